// The boardsim program, run as a separate process with a script, against a peer socket or a
// peer on its serial link.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "boardsim/peers.h"

using boardsim_test::Bytes;
using boardsim_test::Frame;
using boardsim_test::TempDir;
using boardsim_test::UdpPeer;
using boardsim_test::Upload;

namespace {

// One run of the program: its standard output through a pipe, its error output in a file.
class Program {
  public:
    Program(const std::vector<std::string>& args, const std::string& errorFile) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            int err = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (err >= 0) dup2(err, 2);
            close(out[0]);
            std::vector<char*> argv;
            std::string program = CORVANE_BOARDSIM;
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
        errorFile_ = errorFile;
    }
    ~Program() {
        if (pid_ > 0 && !waited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }

    // The next line of standard output; false at its end or when none comes in time.
    bool ReadLine(std::string* line) {
        for (int i = 0; i < boardsim_test::kRounds; ++i) {
            size_t nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                *line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return true;
            }
            if (!Fill()) return false;
        }
        return false;
    }
    // Everything up to the end of standard output.
    std::string ReadRest() {
        for (int i = 0; i < boardsim_test::kRounds && Fill(); ++i) {
        }
        std::string rest = buffer_;
        buffer_.clear();
        return rest;
    }
    // The exit status; kills the program when it does not end in time.
    int Wait() {
        for (int i = 0; i < boardsim_test::kRounds; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                waited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(1000);
        }
        return -2;
    }
    void Signal(int sig) {
        if (pid_ > 0 && !waited_) kill(pid_, sig);
    }
    std::string Errors() const {
        std::ifstream in(errorFile_);
        std::ostringstream os;
        os << in.rdbuf();
        return os.str();
    }

  private:
    // Waits up to 1 ms for output; false at the end of the output.
    bool Fill() {
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, 1) <= 0) return true;
        char buf[4096];
        ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0) return false;
        buffer_.append(buf, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    bool waited_ = false;
    std::string buffer_, errorFile_;
};

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

class CliTest : public ::testing::Test {
  protected:
    std::string Path(const std::string& name) const { return dir_.path() + "/" + name; }
    TempDir dir_;
};

TEST_F(CliTest, HelpDocumentsLinksOptionsAndScriptCommands) {
    Program p({"--help"}, Path("err"));
    std::string text = p.ReadRest();
    EXPECT_EQ(p.Wait(), 0);
    for (const char* word : {"--lan",
                             "--plugin",
                             "--serial",
                             "--twin",
                             "--id",
                             "--version",
                             "--panel",
                             "--config",
                             "--script",
                             "--quiet",
                             "127.0.0.0/8",
                             "wait SECONDS",
                             "until-configured",
                             "until KIND COUNT",
                             "ident",
                             "gate",
                             "press TAG",
                             "release TAG",
                             "input TAG",
                             "encoder TAG COUNT",
                             "axis TAG VALUE",
                             "raw TEXT",
                             "state",
                             "quit",
                             "Exit status"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word;
    }
}

TEST_F(CliTest, RefusesAddressesOutsideLoopbackAndBadScripts) {
    {
        Program p({"--lan", "10.1.2.3:5080", "--id", "3"}, Path("err"));
        EXPECT_EQ(p.Wait(), 2);
        EXPECT_NE(p.Errors().find("refusing --lan 10.1.2.3"), std::string::npos) << p.Errors();
    }
    {
        Program p({"--lan", "127.0.0.41:0", "--plugin", "192.168.0.1:5080"}, Path("err"));
        EXPECT_EQ(p.Wait(), 2);
        EXPECT_NE(p.Errors().find("refusing --plugin 192.168.0.1"), std::string::npos);
    }
    {
        WriteFile(Path("bad.txt"), "press B7\nfly away\n");
        Program p({"--lan", "127.0.0.41:0", "--script", Path("bad.txt")}, Path("err"));
        EXPECT_EQ(p.Wait(), 2);
        EXPECT_NE(p.Errors().find("line 2: unknown command 'fly'"), std::string::npos)
            << p.Errors();
    }
    {
        Program p({"--lan", "127.0.0.41:0", "--serial", Path("tty.usbX")}, Path("err"));
        EXPECT_EQ(p.Wait(), 2) << "one link only";
    }
}

TEST_F(CliTest, ScriptedLanBoardTalksToThePlugin) {
    UdpPeer plugin;
    WriteFile(Path("data.cfg"),
              "*2\n[O]\n14L 0 sim/other\n"
              "*3\n[O]\n13L 0 sim/a\n14L E3=1\n5N 2 sim/b 1 4 2\n");
    WriteFile(Path("script.txt"),
              "# wait for the plug-in's upload, then work the panel\n"
              "until-configured 20\n"
              "press B7\n"
              "encoder E3+ 2\n"
              "axis A1 512\n"
              "raw \\x01Zraw\n"
              "until mode 1 20\n"
              "until frame 1 20\n"
              "state\n"
              "quit\n");
    Program p({"--lan", "127.0.0.40:0", "--id", "3", "--plugin",
               "127.0.0.1:" + std::to_string(plugin.port()), "--config", Path("data.cfg"),
               "--script", Path("script.txt")},
              Path("err"));
    std::string ready;
    ASSERT_TRUE(p.ReadLine(&ready)) << p.Errors();
    const std::string prefix = "ready lan 127.0.0.40:";
    ASSERT_EQ(ready.compare(0, prefix.size(), prefix), 0) << ready;
    int port = std::atoi(ready.c_str() + prefix.size());
    ASSERT_GT(port, 0);
    EXPECT_NE(ready.find("id 3 version 124"), std::string::npos) << ready;

    ASSERT_TRUE(plugin.SendTo("127.0.0.40", port, "XP"));
    std::string m;
    ASSERT_TRUE(plugin.Receive(&m)) << p.Errors();
    EXPECT_EQ(m, Bytes({'|', 'A', 124, '3'}));
    ASSERT_TRUE(plugin.SendTo("127.0.0.40", port, Upload({{13, 7}}, "MNQPR", 1)));
    ASSERT_TRUE(plugin.Receive(&m));
    EXPECT_EQ(m, Bytes({1, 'P', '7', '+'}));
    ASSERT_TRUE(plugin.Receive(&m));
    EXPECT_EQ(m, Bytes({1, 'M', '3', '+', ' ', 2}));
    ASSERT_TRUE(plugin.Receive(&m));
    EXPECT_EQ(m, Bytes({1, 'Q', '1', ' ', '5', '1', '2'}));
    ASSERT_TRUE(plugin.Receive(&m));
    EXPECT_EQ(m, Bytes({1, 'Z', 'r', 'a', 'w'}));
    ASSERT_TRUE(plugin.SendTo("127.0.0.40", port, Bytes({'{', 2, 14, ')'})));
    ASSERT_TRUE(plugin.SendTo("127.0.0.40", port,
                              Frame(Bytes({13, 0x29, 5, 'R', 4, 0x9F, 0x24, 0x0D, 0x99}))));

    std::string out = p.ReadRest();
    EXPECT_EQ(p.Wait(), 0) << p.Errors();
    for (const char* line :
         {"<- probe XP\n", "-> ident |A|3\n", "<- upload board=1 codes=MNQPR pins=13:7\n",
          "-> input \\x01P7+\n", "-> input \\x01M3+ \\x02\n", "-> raw \\x01Zraw\n",
          "<- mode L14=on\n", "<- frame L13=on N5=\"12.34\"\n", "leds: 13=on 14=on\n",
          "displays: 5=\"12.34\"\n", "modes: 14=on\n"}) {
        EXPECT_NE(out.find(line), std::string::npos) << line << "\nin:\n" << out;
    }
}

TEST_F(CliTest, WithoutAScriptItAnswersUntilTerminated) {
    UdpPeer plugin;
    Program p({"--lan", "127.0.0.42:0", "--id", "6", "--version", "200", "--plugin",
               "127.0.0.1:" + std::to_string(plugin.port())},
              Path("err"));
    std::string ready;
    ASSERT_TRUE(p.ReadLine(&ready)) << p.Errors();
    int port = std::atoi(ready.c_str() + std::string("ready lan 127.0.0.42:").size());
    ASSERT_TRUE(plugin.SendTo("127.0.0.42", port, "XP"));
    std::string m;
    ASSERT_TRUE(plugin.Receive(&m)) << p.Errors();
    EXPECT_EQ(m, Bytes({'|', 'A', 200, '6'}));
    std::string line;
    ASSERT_TRUE(p.ReadLine(&line));
    EXPECT_EQ(line, "<- probe XP");
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
}

TEST_F(CliTest, ScriptedSerialBoardLinksItsDeviceAndCleansUp) {
    std::string link = Path("tty.usbmodemCLI");
    WriteFile(Path("script.txt"), "until-configured 20\nstate\n");
    Program p({"--serial", link, "--twin", "--id", "5", "--quiet", "--script", Path("script.txt")},
              Path("err"));
    std::string ready;
    ASSERT_TRUE(p.ReadLine(&ready)) << p.Errors();
    ASSERT_EQ(ready.compare(0, 13, "ready serial "), 0) << ready;
    EXPECT_NE(ready.find("twin " + Path("cu.usbmodemCLI")), std::string::npos) << ready;
    {
        boardsim_test::SerialPeer peer(Path("cu.usbmodemCLI"));
        ASSERT_TRUE(peer.ok());
        ASSERT_TRUE(peer.Write(Upload({{3, 1}}, "VWXYZ", 2)));
        std::string out = p.ReadRest();
        EXPECT_EQ(p.Wait(), 0) << p.Errors();
        EXPECT_NE(out.find("number 2 codes VWXYZ uploads 1"), std::string::npos) << out;
        EXPECT_NE(out.find("pins: 3=1\n"), std::string::npos) << out;
        EXPECT_EQ(out.find("<- "), std::string::npos) << "--quiet prints no messages";
    }
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "the link goes with the program";
    EXPECT_NE(lstat(Path("cu.usbmodemCLI").c_str(), &st), 0);
}

}  // namespace
