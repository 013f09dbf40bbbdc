// The USB sender on a real pseudo-terminal whose other end the test holds: what the line does not
// take waits whole and in order, a message that finds 4 KB waiting is dropped whole, and a write
// that the line refuses (its other end gone) is told as failed, never as sent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/plugin_harness.h"
#include "transport/serial_ports.h"

namespace {

class SerialLine : public ::testing::Test {
  protected:
    void SetUp() override {
        devices_ = corvane_test::MakeTempFolder("corvane-line");
        int slave = -1;
        ASSERT_EQ(openpty(&master_, &slave, nullptr, nullptr, nullptr), 0);
        const std::string name = ttyname(slave);
        close(slave);
        ASSERT_EQ(symlink(name.c_str(), (devices_ + "/ttyUSB0").c_str()), 0);
        fcntl(master_, F_SETFL, O_NONBLOCK);
        setenv("CORVANE_DEVICE_DIR", devices_.c_str(), 1);
        ClearSerialState();
        ScanSerialDevices();
        ASSERT_EQ(comport.size(), 1u);
    }
    void TearDown() override {
        CloseSerialDescriptors();
        ClearSerialState();
        FinishPortCloses();
        if (master_ >= 0) close(master_);
        unsetenv("CORVANE_DEVICE_DIR");
        corvane_test::RemoveFolder(devices_);
    }
    // Everything the board's end can read now.
    std::string Drain() const {
        std::string got;
        char buffer[4096];
        for (ssize_t n; (n = read(master_, buffer, sizeof buffer)) > 0;)
            got.append(buffer, static_cast<size_t>(n));
        return got;
    }

    std::string devices_;
    int master_ = -1;
};

// A 61-byte message stamped with its number.
std::string Message(int k) {
    std::string text = "~" + std::to_string(k) + "|";
    text.resize(60, static_cast<char>('a' + k % 26));
    return text + "\n";
}

TEST_F(SerialLine, FullLineDeliversWholeMessagesInOrderAndDropsWholeOnesPastItsLimit) {
    std::string accepted;
    int dropped = 0;
    int k = 0;
    for (; k < 4000 && dropped < 3; ++k) {
        const std::string message = Message(k);
        ASSERT_TRUE(SendToPort(0, message.data(), static_cast<int>(message.size())));
        if (bytes_sent == static_cast<int>(message.size()))
            accepted += message;
        else if (bytes_sent == -1)
            ++dropped;
        else
            FAIL() << "message " << k << " told as " << bytes_sent << " bytes sent";
    }
    ASSERT_EQ(dropped, 3) << "the line never filled";
    // The board reads again: what waits goes out as the line takes it, and nothing else first.
    std::string received;
    for (int pass = 0; pass < 1000 && received.size() < accepted.size(); ++pass) {
        received += Drain();
        PortTakesMore(0);
        usleep(1000);
    }
    received += Drain();
    EXPECT_EQ(received, accepted);
    EXPECT_TRUE(PortTakesMore(0));
    // Once the line takes everything, a message goes out at once.
    const std::string next = Message(k);
    ASSERT_TRUE(SendToPort(0, next.data(), static_cast<int>(next.size())));
    EXPECT_EQ(bytes_sent, static_cast<int>(next.size()));
    usleep(20000);
    EXPECT_EQ(Drain(), next);
}

TEST_F(SerialLine, WriteTheLineRefusesIsToldAsFailed) {
    const std::string message = Message(1);
    ASSERT_TRUE(SendToPort(0, message.data(), static_cast<int>(message.size())));
    EXPECT_EQ(bytes_sent, static_cast<int>(message.size()));
    close(master_);  // the board's end is gone: the terminal refuses every write
    master_ = -1;
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(SendToPort(0, message.data(), static_cast<int>(message.size())));
        EXPECT_EQ(bytes_sent, -1) << "send " << k;
    }
    EXPECT_TRUE(PortHungUp(comport[0]));
    EXPECT_FALSE(SendToPort(1, message.data(), static_cast<int>(message.size())));
}

}  // namespace
