// The xphost program as a separate process: it loads the test plug-in with dlopen, runs control
// lines from a script and from standard input, and shuts the plug-in down on quit or a signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

#ifndef XPHOST_TEST_PLUGIN
#error "the host tests need XPHOST_TEST_PLUGIN, the path of the host_test_plugin module"
#endif

const char* const kDatarefs =
    "command sim/lights/landing_lights_on Landing lights on\n"
    "sim/cockpit2/controls/flap_ratio float rw 0.5\n";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A temporary folder with the files a run needs.
class Scratch {
  public:
    Scratch() {
        char pattern[] = "/tmp/xphost_cli_XXXXXX";
        char* made = mkdtemp(pattern);
        if (made != nullptr) dir_ = made;
    }
    ~Scratch() {
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string Write(const std::string& name, const std::string& text) const {
        std::string path = dir_ + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  private:
    std::string dir_;
};

// xphost as a child process with pipes for standard input and output; standard error goes to a
// file.
class Child {
  public:
    Child(const std::vector<std::string>& args, const std::string& stderrPath, bool pipeStdin) {
        int in[2] = {-1, -1};
        int out[2] = {-1, -1};
        if (pipeStdin && pipe(in) != 0) return;
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            int input = pipeStdin ? in[0] : open("/dev/null", O_RDONLY);
            dup2(input, STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(err, STDERR_FILENO);
            std::vector<char*> argv;
            for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        if (pipeStdin) {
            close(in[0]);
            stdin_ = in[1];
        }
        close(out[1]);
        stdout_ = fdopen(out[0], "r");
    }
    ~Child() {
        CloseStdin();
        if (stdout_ != nullptr) std::fclose(stdout_);
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void Send(const std::string& text) const {
        ASSERT_EQ(write(stdin_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void CloseStdin() {
        if (stdin_ >= 0) close(stdin_);
        stdin_ = -1;
    }
    // The next line of standard output, without its newline; "<eof>" at the end.
    std::string Line() const {
        char buffer[4096];
        if (stdout_ == nullptr || std::fgets(buffer, sizeof buffer, stdout_) == nullptr) {
            return "<eof>";
        }
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        return line;
    }
    std::string Rest() const {
        std::string text;
        char buffer[4096];
        while (stdout_ != nullptr && std::fgets(buffer, sizeof buffer, stdout_) != nullptr) {
            text += buffer;
        }
        return text;
    }
    void Signal(int signal) const { kill(pid_, signal); }
    // The exit status, or -1 when the child did not exit normally.
    int Wait() {
        int status = 0;
        if (waitpid(pid_, &status, 0) != pid_) return -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        return status_;
    }
    bool Started() const { return pid_ > 0 && stdout_ != nullptr; }

  private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    FILE* stdout_ = nullptr;
    int status_ = -1;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// The positions of the plug-in's log lines that contain each text, in order of appearance.
bool InOrder(const std::string& log, const std::vector<std::string>& texts) {
    std::size_t from = 0;
    for (const auto& text : texts) {
        std::size_t at = log.find(text, from);
        if (at == std::string::npos) return false;
        from = at + text.size();
    }
    return true;
}

TEST(XphostCli, ScriptDrivesAPluginLoadedWithDlopen) {
    Scratch scratch;
    std::string datarefs = scratch.Write("datarefs.txt", kDatarefs);
    std::string script = scratch.Write("script.txt",
                                       "# frames first: the plug-in counts them\n"
                                       "frames 3\n"
                                       "get hosttest/frames\n"
                                       "items HostTest\n"
                                       "menu HostTest/Hello\n"
                                       "trace\n"
                                       "menu HostTest/Window\n"
                                       "window\n"
                                       "click Press\n"
                                       "check 1 Toggle\n"
                                       "close\n"
                                       "window\n"
                                       "message 102\n"
                                       "bogus line\n"
                                       "set sim/cockpit2/controls/flap_ratio 0.25\n"
                                       "reload\n"
                                       "get hosttest/starts\n"
                                       "get hosttest/frames\n"
                                       "quit\n"
                                       "get never/reached\n");
    Child child({CORVANE_XPHOST, "--echo-log", "--plugin", XPHOST_TEST_PLUGIN, "--datarefs",
                 datarefs, "--script", script},
                scratch.Path("stderr.txt"), false);
    ASSERT_TRUE(child.Started());
    std::string out = child.Rest();
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_EQ(Lines(out), (std::vector<std::string>{
                              "ok: time 0.050 s, frame 3",
                              "hosttest/frames = 3",
                              "Hello",
                              "Window",
                              "Reload",
                              "ok",
                              "sim/lights/landing_lights_on begin plugin",
                              "sim/lights/landing_lights_on end plugin",
                              "ok",
                              "Host Test Window",
                              "Frames seen",
                              "Press me",
                              "Toggle me",
                              "ok",
                              "ok",
                              "ok",
                              "(no visible window)",
                              "ok",
                              "error: unknown control line 'bogus line' (try help)",
                              "sim/cockpit2/controls/flap_ratio = 0.25",
                              "ok: reloaded",
                              "hosttest/starts = 1",  // a fresh copy of the library
                              "hosttest/frames = 0",
                              "bye",
                          }));
    std::string log = ReadFile(scratch.Path("stderr.txt"));
    EXPECT_NE(log.find("start 1 id 1 path /"), std::string::npos) << log;
    EXPECT_NE(log.find("HostTestPlugin/64/lin.xpl"), std::string::npos) << log;
    EXPECT_TRUE(InOrder(
        log, {"start 1", "enable", "menu hello", "menu window", "pressed 'Press me'",
              "check box now 1", "close box", "message 102 from 0", "disable",
              "stop after 3 frames", "start 1", "enable", "disable", "stop after 0 frames"}))
        << log;
}

TEST(XphostCli, StandardInputIsAnsweredLineByLine) {
    Scratch scratch;
    std::string datarefs = scratch.Write("datarefs.txt", kDatarefs);
    Child child(
        {CORVANE_XPHOST, "--echo-log", "--plugin", XPHOST_TEST_PLUGIN, "--datarefs", datarefs},
        scratch.Path("stderr.txt"), true);
    ASSERT_TRUE(child.Started());
    child.Send("get sim/cockpit2/controls/flap_ratio\n");
    EXPECT_EQ(child.Line(), "sim/cockpit2/controls/flap_ratio = 0.5");
    child.Send("frames 2\n\n# nothing to answer\nget hosttest/frames\n");
    EXPECT_EQ(child.Line(), "ok: time 0.033 s, frame 2");
    EXPECT_EQ(child.Line(), "hosttest/frames = 2");
    child.Send("quit\n");
    EXPECT_EQ(child.Line(), "bye");
    EXPECT_EQ(child.Line(), "<eof>");
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_TRUE(
        InOrder(ReadFile(scratch.Path("stderr.txt")), {"start", "enable", "disable", "stop"}));
}

TEST(XphostCli, AfterTheScriptItRunsInRealTimeUntilASignal) {
    Scratch scratch;
    std::string script = scratch.Write("script.txt", "frames 1\nget hosttest/frames\n");
    // No --datarefs: the default file of the source tree.
    Child child({CORVANE_XPHOST, "--echo-log", "--plugin", XPHOST_TEST_PLUGIN, "--script", script,
                 "--fps", "50"},
                scratch.Path("stderr.txt"), false);
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(child.Line(), "ok: time 0.020 s, frame 1");
    EXPECT_EQ(child.Line(), "hosttest/frames = 1");
    child.Signal(SIGTERM);
    EXPECT_EQ(child.Line(), "<eof>");
    EXPECT_EQ(child.Wait(), 0);
    std::string log = ReadFile(scratch.Path("stderr.txt"));
    EXPECT_TRUE(InOrder(log, {"start", "enable", "disable", "stop after"})) << log;
    EXPECT_EQ(log.find("xphost:"), std::string::npos) << log;  // the default file loaded cleanly
}

TEST(XphostCli, HelpAndBadArguments) {
    Scratch scratch;
    {
        Child child({CORVANE_XPHOST, "--help"}, scratch.Path("stderr.txt"), false);
        std::string out = child.Rest();
        EXPECT_EQ(child.Wait(), 0);
        for (const char* option : {"--plugin", "--datarefs", "--fps", "--realtime", "--script",
                                   "--live", "XPHOST_DATAREFS", "click CAPTION", "quit"}) {
            EXPECT_NE(out.find(option), std::string::npos) << option;
        }
    }
    {
        Child child({CORVANE_XPHOST, "--plugin", scratch.Path("missing.xpl")},
                    scratch.Path("stderr.txt"), false);
        child.Rest();
        EXPECT_EQ(child.Wait(), 1);
    }
    {
        Child child({CORVANE_XPHOST, "--fps"}, scratch.Path("stderr.txt"), false);
        child.Rest();
        EXPECT_EQ(child.Wait(), 2);
    }
    {
        Child child({CORVANE_XPHOST}, scratch.Path("stderr.txt"), false);
        child.Rest();
        EXPECT_EQ(child.Wait(), 2);
        EXPECT_NE(ReadFile(scratch.Path("stderr.txt")).find("--plugin"), std::string::npos);
    }
}

}  // namespace
