// The board's USB port as the host sees it: a pseudo-terminal with the line discipline's default
// settings, as a new ttyACM device has them, whose slave is reached
// through a symbolic link (for example DIR/ttyACM0). The board keeps the slave open itself, so
// the master never reads a hang-up, and watches the slave's device node for the host's opens and
// closes (inotify), as a real board's USB adapter sees DTR.
#pragma once

#include <string>

namespace avrboard {

class PtyLink {
  public:
    PtyLink() = default;
    ~PtyLink() { Unplug(); }
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    // A new pseudo-terminal with `link` pointing at its slave (a symbolic link there is
    // replaced; anything else is an error).
    bool Plug(const std::string& link, std::string* error);
    // Removes the link and closes the pseudo-terminal: the host reads a hang-up.
    void Unplug();
    bool plugged() const { return master_ >= 0; }
    int master() const { return master_; }
    int watch() const { return inotify_; }
    // Reads the open and close events so far: true when the host opened the port while nobody
    // had it open.
    bool TakeFirstOpen();
    // The host has the port open (as far as the events read so far tell).
    bool hostHasOpen() const { return opens_ > 0; }
    // Throws away what the chip sent and the host has not read.
    void DiscardUnread() const;

  private:
    int master_ = -1, slave_ = -1, inotify_ = -1;
    int opens_ = 0;  // the host's open descriptors of the slave
    std::string link_;
};

}  // namespace avrboard
