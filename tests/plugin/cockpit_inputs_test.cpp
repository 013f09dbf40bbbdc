// Inputs end to end: the plug-in runs in the headless host, its data.cfg is read by the real
// configuration reader, and emulated LAN boards send their inputs over loopback UDP. Encoders
// (repeat counts read from the message's byte, mode switches that drive their own group only,
// steps that wrap without sticking), held inputs in groups and on several boards (each release
// ends exactly the hold its press began), analog levers (the square law is the Q entry's choice),
// the lamp test, memory files edited by hand or linked to shared files, and the flight loop's
// dispatch, pings and request for all inputs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "config/settings.h"
#include "config/status_text.h"
#include "inputs_fixture.h"
#include "support/plugin_harness.h"

namespace corvane_inputs_test {
namespace {

namespace fs = std::filesystem;

// Datarefs the sections name, beside the host's default list (which has the starter commands).
const char* const kTestDatarefs =
    "sim/test/float float rw 0\n"
    "sim/test/other float rw 0\n"
    "sim/test/heading float rw 0\n"
    "sim/test/nav1 float rw 0\n"
    "sim/test/servo float rw 0.5\n";

// Board k of a cockpit has board ID k + 1, sits at 127.0.0.(30 + k) and has the section
// sections[k] (the lines after its '*' line); board 0 opens its output gate when open.
class CockpitRun {
  public:
    explicit CockpitRun(const std::vector<std::string>& sections, bool open = false)
        : run_(Options(sections)) {
        xphost::SetDebugEcho(false);
        for (size_t k = 0; k < sections.size(); ++k) {
            boardsim::Options options =
                run_.LanBoardOptions(30 + static_cast<int>(k), static_cast<int>(k) + 1);
            options.configSection = sections[k];
            options.autoGate = open && k != 1;  // board 1 keeps its gate closed
            boards_.push_back(&run_.AddBoard(options));
        }
        connected_ = run_.ConnectAll(400) &&
                     run_.CallUntil([&] { return !open || boards_[0]->gateLetter(); }, 100);
        run_.Call(2);
        xphost::TakeCommandTrace();
    }
    bool connected() const { return connected_; }
    corvane_test::PluginRun& run() { return run_; }
    boardsim::Board& board(size_t k) { return *boards_.at(k); }
    // Board k sends tag (with value after a blank when given); the plug-in takes it in one call.
    void Send(size_t k, const std::string& tag, const std::string& value = "") {
        boards_.at(k)->SendInput(tag, value);
        run_.Call();
    }
    static bool Set(const std::string& name, double value) {
        return xphost::SetDataref(name, std::to_string(value));
    }
    // Board 0's store (M12) of value, and its recall (P12): the value written, -1 for none.
    void Store(double value) {
        ASSERT_TRUE(Set("sim/test/nav1", value));
        Send(0, "M12");
    }
    double Recall() {
        Set("sim/test/nav1", -1);
        Send(0, "P12");
        return Value("sim/test/nav1");
    }

  private:
    static corvane_test::PluginOptions Options(const std::vector<std::string>& sections) {
        corvane_test::PluginOptions options;
        for (size_t k = 0; k < sections.size(); ++k)
            options.dataCfg += "*" + std::to_string(k + 1) + "\n" + sections[k];
        options.extraDatarefs = kTestDatarefs;
        return options;
    }
    corvane_test::PluginRun run_;
    std::vector<boardsim::Board*> boards_;
    bool connected_ = false;
};

// Rows of a dataref's start, the encoder tag board 0 sends with its count byte, and the value
// after.
struct EncoderRow {
    const char* dataref;
    double start;
    const char* tag;
    int count;
    double end;
};
void ExpectEncoderSteps(const std::string& section, const std::vector<EncoderRow>& rows) {
    CockpitRun run({section});
    ASSERT_TRUE(run.connected());
    for (const EncoderRow& row : rows) {
        ASSERT_TRUE(run.Set(row.dataref, row.start));
        run.Send(0, row.tag, std::string(1, static_cast<char>(row.count)));
        EXPECT_FLOAT_EQ(Value(row.dataref), row.end)
            << row.tag << " count " << row.count << " from " << row.start;
    }
}

// Counts 9 and 32 (a tab and a blank as the raw byte) step like any other count, and a skip
// filter sees the real count: it divides a count below ten (9 by 4), not one of ten or more.
TEST(EncoderSteps, CountsAreTheMessagesByte) {
    const char* const f = "sim/test/float";
    const std::vector<EncoderRow> rows = {{f, 0, "E4+", 9, 9},     {f, 0, "E4+", 32, 32},
                                          {f, 0, "E4+", 200, 200}, {f, 0, "E4+", 255, 255},
                                          {f, 0, "E4+", 1, 1},     {f, 0, "E6+", 9, 2},
                                          {f, 0, "E6+", 10, 10}};
    ExpectEncoderSteps("[A]\nS E6,4\n[I]\nE4+ sim/test/float 1+\nE6+ sim/test/float 1+\n", rows);
}

// Mode switches move their own encoder group (E3 of three, with a plain E3+ entry beside it; E5 of
// eleven), never the E30 encoder; a T group of ten moves on through all ten; a board that
// identifies again keeps its modes, and its mode lamps show them.
TEST(EncoderSteps, ModeSwitchesAndGroupsMoveThroughEveryMember) {
    std::string section =
        "[A]\nT D7+\n[I]\nD24+ E3>1\nD25+ E5>1\nE3/1+ sim/test/float 1+\n"
        "E3/2+ sim/test/float 10+\nE3/3+ sim/test/float 100+\nE3+ sim/test/other 5+\n"
        "E30+ sim/test/other 1+\n";
    for (int k = 1; k <= 11; ++k) {
        section += "E5/" + std::to_string(k) + "+ sim/test/heading " + std::to_string(k) + "+\n";
        if (k <= 10) section += "D7+ sim/test/nav1 " + std::to_string(k) + "\n";
    }
    CockpitRun run({section + "[O]\n5L E3=1\n6L E3=2\n"}, true);
    ASSERT_TRUE(run.connected());
    boardsim::Board& board = run.board(0);
    run.Send(0, "D24+");
    const int modes = board.modeCount();
    board.SendIdentification();
    ASSERT_TRUE(run.run().CallUntil([&] { return board.modeCount() >= modes + 2; }, 100));
    EXPECT_TRUE(board.leds()[6]);
    EXPECT_FALSE(board.leds()[5]);
    // The step of each encoder message, mode after mode.
    for (double step : {10, 100, 1, 10}) {
        ASSERT_TRUE(run.Set("sim/test/float", 0));
        run.Send(0, "E3+", "\x01");
        EXPECT_EQ(Value("sim/test/float"), step);
        run.Send(0, "D24+");
    }
    for (int mode = 1; mode <= 12; ++mode) {
        ASSERT_TRUE(run.Set("sim/test/heading", 0));
        run.Send(0, "E5+", "\x01");
        EXPECT_EQ(Value("sim/test/heading"), (mode - 1) % 11 + 1);
        run.Send(0, "D25+");
        run.Send(0, "D7+");
        EXPECT_EQ(Value("sim/test/nav1"), (mode - 1) % 10 + 1);
    }
    run.Send(0, "E30+", "\x01");
    EXPECT_EQ(Value("sim/test/other"), 1);
}

// A step out of the range by less than its span lands beyond the other bound and moves on from
// there; a step larger than the span ends inside the range.
TEST(EncoderSteps, SteppingNeverSticks) {
    const std::vector<EncoderRow> rows = {
        {"sim/test/heading", 1.5, "E1-", 1, 360.5}, {"sim/test/heading", 360.5, "E1-", 1, 359.5},
        {"sim/test/float", 1.25, "E2-", 1, 12.25},  {"sim/test/float", 12.25, "E2-", 1, 11.25},
        {"sim/test/float", 12.25, "E2+", 1, 2.25},  {"sim/test/other", 5, "E5+", 11, 5},
        {"sim/test/other", 5, "E5+", 200, 7},       {"sim/test/other", 5, "E5-", 200, 4}};
    ExpectEncoderSteps(
        "[I]\nE1- sim/test/heading 1-,1,360\nE2- sim/test/float 1-,1,12\n"
        "E2+ sim/test/float 1+,1,12\nE5+ sim/test/other 1+,1,12\n"
        "E5- sim/test/other 1-,1,12\n",
        rows);
}

const char* const kStarter1 = "sim/starters/engage_starter_1";
const char* const kStarter2 = "sim/starters/engage_starter_2";

// A grouped held dataref stops stepping on its release, a grouped hold command ends on its
// release, and each group moves on once per press.
TEST(HeldInputsInGroups, EndOnTheBoardsOwnRelease) {
    CockpitRun run(
        {"[A]\nT D5+ D6+\nR D5+\n[I]\n"
         "D5+ sim/test/float 1+\nD5+ sim/test/other 1+\n"
         "D6+ sim/starters/engage_starter_1\nD6+ sim/starters/engage_starter_2\n"});
    ASSERT_TRUE(run.connected());
    // The member a D5 press steps, and the one a D6 press holds.
    for (const auto& [dataref, starter] :
         {std::pair{"sim/test/float", kStarter1}, std::pair{"sim/test/other", kStarter2},
          std::pair{"sim/test/float", kStarter1}}) {
        const double before = Value(dataref);
        run.Send(0, "D5+");
        run.Send(0, "D6+");
        run.run().Call(25);
        EXPECT_GT(Value(dataref), before + 1.5) << dataref << " repeats while held";
        EXPECT_TRUE(xphost::IsCommandActive(starter));
        run.Send(0, "D5-");
        run.Send(0, "D6-");
        const double released = Value(dataref);
        run.run().Call(25);
        EXPECT_EQ(Value(dataref), released) << dataref << " stops on its release";
        EXPECT_FALSE(xphost::IsCommandActive(kStarter1));
        EXPECT_FALSE(xphost::IsCommandActive(kStarter2));
    }
}

// Two boards hold the same tag on their own starters; each release ends its own.
TEST(HeldInputsPerBoard, EachBoardReleasesItsOwnHold) {
    CockpitRun run(
        {"[I]\nB7+ sim/starters/engage_starter_1\n", "[I]\nB7+ sim/starters/engage_starter_2\n"});
    ASSERT_TRUE(run.connected());
    // The board, the tag it sends, and whether each starter is active afterwards.
    for (const auto& [board, tag, starter1, starter2] :
         {std::tuple{0, "B7+", true, false}, std::tuple{1, "B7+", true, true},
          std::tuple{0, "B7-", false, true}, std::tuple{0, "B7+", true, true},
          std::tuple{1, "B7-", true, false}, std::tuple{0, "B7-", false, false}}) {
        run.Send(board, tag);
        EXPECT_EQ(xphost::IsCommandActive(kStarter1), starter1) << board << tag;
        EXPECT_EQ(xphost::IsCommandActive(kStarter2), starter2) << board << tag;
    }
}

// A release entry beside a group on its pin fires on the release, and an unsigned tag on a longer
// pin number is no message of the group.
TEST(HeldInputsInGroups, ReleaseEntryAndLongerPinBesideAGroup) {
    CockpitRun run(
        {"[A]\nT D5+\n[I]\nD5+ sim/test/float 1\nD5+ sim/test/float 2\n"
         "D5- sim/test/float 0\nD50 sim/test/other 7\n"});
    ASSERT_TRUE(run.connected());
    // The tag sent, and the two datarefs afterwards.
    for (const auto& [tag, value, other] :
         {std::tuple{"D5+", 1, 0}, std::tuple{"D5-", 0, 0}, std::tuple{"D50", 0, 7},
          std::tuple{"D5+", 2, 7}, std::tuple{"D5-", 0, 7}, std::tuple{"D5+", 1, 7}}) {
        run.Send(0, tag);
        EXPECT_EQ(Value("sim/test/float"), value) << tag;
        EXPECT_EQ(Value("sim/test/other"), other) << tag;
    }
}

TEST(AnalogSquareLaw, OnlyAQEntrySelectsIt) {
    CockpitRun run(
        {"[A]\nQ A1 A3\n[I]\nA0 sim/test/float 2,12\nA1 sim/test/other 2,12\n"
         "A3 sim/test/heading 0,100\n"});
    ASSERT_TRUE(run.connected());
    struct Row {
        int reading;
        double linear, square, squareFrom0;
    };
    const Row rows[] = {{0, 2, 2, 0}, {500, 7, 4.5, 25}, {1000, 12, 12, 100}};
    for (const Row& row : rows) {
        const std::string reading = std::to_string(row.reading);
        run.Send(0, "A0", reading);
        run.Send(0, "A1", reading);
        run.Send(0, "A3", reading);
        EXPECT_FLOAT_EQ(Value("sim/test/float"), row.linear) << row.reading;
        EXPECT_FLOAT_EQ(Value("sim/test/other"), row.square) << row.reading;
        EXPECT_FLOAT_EQ(Value("sim/test/heading"), row.squareFrom0) << row.reading;
    }
}

// The input named after an output's pin and letter lights that output while held, and no other
// output of the board. 'L' + 7 is 'S': the servo on pin 9 shares nothing with the LED on pin 7
// but that number. A held mode switch of two modes lights nothing (not output 2).
TEST(LampTest, PinReferenceLightsTheLedItNamesAndNothingElse) {
    CockpitRun cockpit({"[A]\nR D24+\n[I]\nD5+ 7L\nD24+ E8>1\nE8/1+ sim/test/float 1+\n"
                        "E8/2+ sim/test/float 2+\n[O]\n7L 0 sim/test/other\n9S 0 sim/test/servo\n"
                        "8L 0 sim/test/other\n"},
                       true);
    ASSERT_TRUE(cockpit.connected());
    boardsim::Board& board = cockpit.board(0);
    ASSERT_TRUE(cockpit.run().CallUntil([&] { return board.floats().count(9) == 1; }, 100));
    cockpit.run().Call(2);
    for (bool press : {true, false, true}) {
        const size_t seen = board.received().size();
        press ? board.Press("D5") : board.Release("D5");
        cockpit.run().Call(3);
        std::vector<std::string> frames;
        const std::vector<std::string> all = board.received();
        for (size_t k = seen; k < all.size(); ++k)
            if (all[k].size() > 2 && all[k][0] == '{') frames.push_back(all[k]);
        EXPECT_EQ(frames, (std::vector<std::string>{{'{', 2, 7, press ? ')' : '('}})) << press;
        EXPECT_EQ(board.leds()[7], press);
        EXPECT_FALSE(board.leds()[8]);
    }
    board.Press("D24");
    cockpit.run().Call(3);
    EXPECT_FALSE(board.leds()[8]);
}

// A lamp input lights the LED it names on its own board while held, wherever the input and the
// LED stand in their sections (the first input and output included), on the first board as on a
// later one, and lights nothing else.
TEST(LampTest, HeldLampInputLightsItsLedWhereverItStands) {
    const struct {
        const char* section;
        int lit;
    } rows[] = {
        {"[I]\nD5+ 7L\nD6 sim/test/float\n[O]\n7L 0 sim/test/other\n8L 0 sim/test/other\n", 7},
        {"[I]\nD6 sim/test/float\nD5+ 8L\n[O]\n7L 0 sim/test/other\n8L 0 sim/test/other\n", 8},
        {"[I]\nD6 sim/test/float\nD4 sim/test/float\nD5+ 7L\n[O]\n8L 0 sim/test/other\n"
         "7L 0 sim/test/other\n",
         7},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.section);
        CockpitRun cockpit({row.section, row.section, row.section}, true);
        ASSERT_TRUE(cockpit.connected());
        for (size_t k : {size_t{0}, size_t{2}}) {
            boardsim::Board& board = cockpit.board(k);
            boardsim::Board& other = cockpit.board(2 - k);
            ASSERT_TRUE(cockpit.run().CallUntil([&] { return board.gateLetter(); }, 100));
            for (bool press : {true, false}) {
                press ? board.Press("D5") : board.Release("D5");
                cockpit.run().Call(3);
                EXPECT_EQ(board.leds()[row.lit], press) << k;
                EXPECT_FALSE(board.leds()[15 - row.lit]) << k;
                EXPECT_FALSE(other.leds()[row.lit]) << k;
            }
        }
    }
}

// Boards 0 and 2 with their gates open, board 1 with it closed.
TEST(InputsEndToEnd, HeldStarterMemoryAcrossAResetPingsAndTheRequestForAllInputs) {
    CockpitRun cockpit({"[I]\nD7+ sim/starters/engage_starter_1\nM12 sim/test/nav1 3\n"
                        "P12 sim/test/nav1\nB8 sim/test/other 1\nB9 sim/test/heading 1\n",
                        "[I]\n", "[I]\n"},
                       true);
    ASSERT_TRUE(cockpit.connected());
    corvane_test::PluginRun& run = cockpit.run();
    boardsim::Board& board = cockpit.board(0);
    boardsim::Board& closed = cockpit.board(1);
    // Board numbers beyond the boards are dropped without touching status line 13; every message
    // waiting is handled in the same call.
    const std::string line13 = StatusLine(13);
    board.SendRaw("\x04" + board.EncodeInput("B8").substr(1));
    board.SendRaw("\xC1" + board.EncodeInput("B8").substr(1));
    run.Call(2);
    EXPECT_EQ(StatusLine(13), line13);
    EXPECT_EQ(Value("sim/test/other"), 0);
    board.SendInput("B8");
    board.SendInput("B9");
    run.Call(2);  // a call whose reception budget runs out after B8 leaves B9 to the next
    EXPECT_EQ(StatusLine(13), "   Last message received from device 1: B9");
    EXPECT_EQ(Value("sim/test/other"), 1);
    EXPECT_EQ(Value("sim/test/heading"), 1);

    // A held starter begins once and ends with the reset; stores made before it are recalled
    // after it.
    Commands();
    board.Press("D7");
    run.Call(5);
    EXPECT_EQ(Commands(), std::vector<std::string>{std::string(kStarter1) + ":begin"});
    for (double v : {118.25, 121.5, 124.0}) cockpit.Store(v);
    EXPECT_EQ(corvane_test::ReadFile(run.folder() + "/memory0.txt"), "12 124,121.5,118.25\r\n");
    EXPECT_TRUE(xphost::IsCommandActive(kStarter1));
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Reconnect"));
    EXPECT_FALSE(xphost::IsCommandActive(kStarter1));
    ASSERT_TRUE(run.CallUntil([] { return BoardCount() == 3 && !Datatags[0].empty(); }, 400));
    ASSERT_TRUE(run.CallUntil([&] { return AllowOutput[0]; }, 100));
    for (double v : {124.0, 121.5, 118.25, 124.0}) EXPECT_EQ(cockpit.Recall(), v);

    // Pings every 102 calls, only to boards whose gate is open.
    std::vector<int> pingCalls;
    for (int call = 1, seen = board.pingCount(); call <= 400; ++call) {
        run.Call();
        if (board.pingCount() != seen) pingCalls.push_back(call);
        seen = board.pingCount();
    }
    ASSERT_GE(pingCalls.size(), 3u);
    for (size_t k = 1; k < pingCalls.size(); ++k) EXPECT_EQ(pingCalls[k] - pingCalls[k - 1], 102);
    EXPECT_EQ(closed.pingCount(), 0);
    EXPECT_GE(cockpit.board(2).pingCount(), 2);

    // The request for all inputs: on an airport load in the first five seconds of flight only.
    const int before = board.requestAllCount();
    for (const auto& [flightTime, message, requests] :
         {std::tuple{"4.9", 103, 1}, std::tuple{"4.9", 102, 1}, std::tuple{"5.0", 103, 1},
          std::tuple{"0", 103, 2}}) {
        ASSERT_TRUE(xphost::SetDataref("sim/time/total_flight_time", flightTime));
        xphost::SendPluginMessage(message);
        run.PollBoards();
        EXPECT_EQ(board.requestAllCount() - before, requests) << flightTime;
    }
    EXPECT_EQ(closed.requestAllCount(), 0);
    EXPECT_GT(cockpit.board(2).requestAllCount(), 0);
}

// A board with a store input (M12, depth 3) and a recall input (P12) on sim/test/nav1.
const char* const kMemorySection = "[I]\nM12 sim/test/nav1 3\nP12 sim/test/nav1\n";

// A memory file changed by hand between two presses is read again, so stores and recalls follow
// what the person wrote.
TEST(MemoryHandEdits, StoresAndRecallsFollowTheFileAsEdited) {
    CockpitRun cockpit({kMemorySection});
    ASSERT_TRUE(cockpit.connected());
    struct Step {
        const char* edit;  // written by hand before the press (nullptr: none; "" deletes it)
        double store;      // value stored (-2: a recall)
        double recalled;   // the value the recall writes (-1: none)
        const char* file;  // the file after the press
    };
    const Step steps[] = {
        {nullptr, 118.25, 0, "12 118.25\r\n"},
        {nullptr, -2, 118.25, "12 118.25\r\n"},
        {"7 5\r\n12 121.5,124\r\n", -2, 121.5, "7 5\r\n12 121.5,124\r\n"},
        {nullptr, -2, 124, "7 5\r\n12 121.5,124\r\n"},
        {"12 1,2\r\n", 3, 0, "12 3,1,2\r\n"},
        {nullptr, -2, 3, "12 3,1,2\r\n"},
        {"12 9,8,7,6\n", -2, 8, "12 9,8,7,6\n"},  // the cursor stays at the second place
        {"12 5,4,3,2\n", -2, 3, "12 5,4,3,2\n"},  // an edit of the same size
        {"", -2, -1, ""},
        {"", 4, 0, "12 4\r\n"},
        {"7 5\r\n", 6, 0, "7 5\r\n12 6\r\n"},
    };
    const std::string path = cockpit.run().folder() + "/memory0.txt";
    auto written = fs::file_time_type::clock::now();
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.edit ? step.edit : "-") + " / " + std::to_string(step.store));
        if (step.edit && *step.edit == '\0') {
            fs::remove(path);
        } else if (step.edit) {
            corvane_test::WriteFile(path, step.edit);
            // A person saves a second or more after the plug-in wrote the file.
            written += std::chrono::seconds(2);
            fs::last_write_time(path, written);
        }
        if (step.store != -2)
            cockpit.Store(step.store);
        else
            EXPECT_EQ(cockpit.Recall(), step.recalled);
        EXPECT_EQ(corvane_test::ReadFile(path), step.file);
    }
}

// Two folders of a test, removed at its end; USB finds no real device in the first.
struct DeviceAndSharedFolders {
    std::string devices = corvane_test::MakeTempFolder("corvane-nodevices");
    std::string shared = corvane_test::MakeTempFolder("corvane-shared");
    DeviceAndSharedFolders() { setenv("CORVANE_DEVICE_DIR", devices.c_str(), 1); }
    ~DeviceAndSharedFolders() {
        unsetenv("CORVANE_DEVICE_DIR");
        corvane_test::RemoveFolder(devices);
        corvane_test::RemoveFolder(shared);
    }
};

// Files that are symbolic links to shared files stay links when the plug-in rewrites them, and
// the shared files take the new content and keep their permission bits.
TEST(LinkedFiles, RewritesGoThroughTheLinkToTheSharedFile) {
    DeviceAndSharedFolders folders;
    CockpitRun cockpit({kMemorySection});
    ASSERT_TRUE(cockpit.connected());
    const std::string folder = cockpit.run().folder();
    const std::string settings = corvane_test::ReadFile(folder + "/config.ini");
    const std::string usbOff = "USB_DEVICE_COUNT = 0\n";
    ASSERT_NE(settings.find(usbOff), std::string::npos);
    std::string usbOn = settings;
    usbOn.erase(usbOn.find(usbOff), usbOff.size());
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));
    struct Row {
        std::string name;  // in the plug-in's folder
        bool relative;     // the link's text relative to the plug-in's folder
        mode_t mode;
        std::string before;
        std::function<void()> rewrite;
        std::string after;
    };
    const Row rows[] = {
        {"memory0.txt", false, 0640, "7 5\r\n", [&] { cockpit.Store(118.25); },
         "7 5\r\n12 118.25\r\n"},
        {"config.ini", true, 0600, settings, [] { xphost::SetCheckBox("Enable USB", 1); }, usbOn},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string link = folder + "/" + row.name;
        const std::string target = folders.shared + "/" + row.name;
        corvane_test::WriteFile(target, row.before);
        ASSERT_EQ(chmod(target.c_str(), row.mode), 0);
        fs::remove(link);
        const fs::path text = row.relative ? fs::relative(target, folder) : fs::path(target);
        fs::create_symlink(text, link);

        row.rewrite();
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(fs::read_symlink(link), text);
        EXPECT_EQ(corvane_test::ReadFile(target), row.after);
        struct stat info {};
        ASSERT_EQ(stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, row.mode);
    }
    EXPECT_EQ(USBcountVar, 1024);  // the reset read the shared settings
    EXPECT_EQ(std::distance(fs::directory_iterator(folders.shared), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace corvane_inputs_test
