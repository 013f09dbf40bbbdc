// data.cfg sections read into a board's tables: the table tests read one section per row as a
// new board and check facts about the tables, the status lines and the reader's notes (see
// ExpectFacts); the others the board rows, the logging and the split of data.cfg into sections.
#include <arpa/inet.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <sstream>

#include "config/board_tables.h"
#include "config/config_diagnostics.h"
#include "config/config_file.h"
#include "config/config_sections.h"
#include "config/input_options.h"
#include "config/missing_names.h"
#include "config/output_options.h"
#include "config/plugin_folder.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "simdata/custom_refs.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"
#include "xphost.h"

using ::testing::HasSubstr;
using corvane_test::Hex;

namespace {

// The host's world for these tests (the host's file format: name, type, access; commands).
const char* const kConfigDatarefs =
    "sim/cockpit/x float rw\nsim/cockpit/y int rw\nsim/x float rw\nsim/y int rw\n"
    "sim/z double rw\nsim/ro float ro\nsim/arr float[8] rw\nsim/iarr int[4] rw\n"
    "sim/bytes byte[40] rw\n"
    "sim/cockpit2/engine/actuators/ignition_key int[8] rw\nsim/both/name int rw\n"
    "command sim/lights/landing_lights_on Landing lights on\n"
    "command sim/starters/engage_starter_1 Engage starter 1\n"
    "command sim/both/name A command that is also a dataref\n";

unsigned Byte(const std::string& block, size_t k) {
    return static_cast<unsigned char>(block.at(k));
}

// Text with every byte outside '!'..'~' written as <n>, so converted tags read plainly.
std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c > ' ' && c <= '~' ? std::string(1, c) : "<" + std::to_string(Byte({c}, 0)) + ">";
    return out;
}

template <class T>
std::string Join(const std::vector<T>& items, const char* separator = ",") {
    std::ostringstream out;
    for (size_t k = 0; k < items.size(); ++k) out << (k ? separator : "") << items[k];
    return out.str();
}

// Board b's tables as lines of "name=value" words: "B" the board's blocks and counts, "I<k>" each
// input, "O<k>" each output, "M<k>" each LED mode entry.
std::vector<std::string> Describe(int b) {
    std::ostringstream board;
    board << "B inputs=" << Datatags[b].size() << " outputs=" << OutDrefs[b].size()
          << " modeleds=" << OutputModeLed[b].size() << " seg=" << Hex(SevenSegAdditional[b])
          << " step=" << Hex(StepperAdditional[b]) << " ports=" << LedPortData[b].size()
          << " matrix=" << Hex(MatrixAdditional[b]) << " gc=" << StepperCommon[b]
          << " lc=" << LEDCommon[b] << " nc=" << SevenSegCommon[b] << " dev=" << OutDevice[b]
          << " allow=" << AllowOutput[b] << " ping=" << AllowPing[b] << " lps=" << LedPortSend[b]
          << " sendall=" << sendall[b] << " gate=" << Printable(std::string(1, allow_output[b]));
    const std::string& analog = AnalogAdditional[b];
    for (size_t n = 0; n < 16 && 3 * n + 2 < analog.size(); ++n)
        if (Byte(analog, 3 * n) || Byte(analog, 3 * n + 1) || Byte(analog, 3 * n + 2) != 100)
            board << " ch" << n << "=" << Byte(analog, 3 * n) << "," << Byte(analog, 3 * n + 1)
                  << "," << Byte(analog, 3 * n + 2);
    std::vector<std::string> lines{board.str()};
    for (size_t k = 0; k < Datatags[b].size(); ++k) {
        std::ostringstream in;
        in << "I" << k << " tag=" << Printable(Datatags[b][k])
           << " f=" << Printable(Join(Data[b][k], "|")) << " arr=" << InputArrayNum[b][k]
           << " def=" << InputDefault[b][k] << " dir=" << InputIncrementDir[b][k]
           << " cont=" << Contval[b][k] << " mode=" << Mode[b][k]
           << " range=" << Join(InputDataRange[b][k]) << " skip=" << Join(InputSkip[b][k])
           << " types=" << InputDrefTypes[b][k] << " ptr=" << (InputDataPointer[b][k] != nullptr)
           << " sq=" << (k < InputSquareLaw[b].size() && InputSquareLaw[b][k]);
        lines.push_back(in.str());
    }
    for (size_t k = 0; k < OutDrefs[b].size(); ++k) {
        std::ostringstream out;
        out << "O" << k << " tag=" << Printable(OutDrefs[b][k][0])
            << " f=" << Printable(Join(OutDrefs[b][k], "|")) << " prev=" << Previous[b][k]
            << " prec=" << Precision[b][k] << " arr=" << Arraynum[b][k] << " type=" << Type[b][k]
            << " act=" << OutputActive[b][k] << " r1=" << Join(OutRange1[b][k])
            << " r2=" << Join(OutRange2[b][k]) << " ptr=" << (Drefread[b][k] != nullptr);
        lines.push_back(out.str());
    }
    for (size_t k = 0; k < OutputModeLed[b].size(); ++k)
        lines.push_back("M" + std::to_string(k) +
                        " f=" + Printable(Join(OutputModeLed[b][k], "|")));
    return lines;
}

// Checks facts about board b (none when b < 0) and the notes of its reading. A fact is
// "X word word ..." where X names a line of Describe and each word must be one of that line's
// words, or "!w": no word of the line begins with w; "S<i> text" is the exact status line i;
// "N<line> <kind letter>:part" a note of that kind (E, S, U for suspect, C) on that line (0: any)
// whose reason holds the part, "!N..." no such note; "L text" a text the read logged.
void ExpectFacts(int b, const std::vector<ConfigNote>& notes, const std::vector<std::string>& facts,
                 const std::string& context, const std::string& log = "") {
    const std::vector<std::string> lines = b >= 0 ? Describe(b) : std::vector<std::string>{};
    for (const std::string& fact : facts) {
        SCOPED_TRACE(context + "\n" + fact);
        const size_t blank = fact.find(' ');
        const std::string name = fact.substr(0, blank), rest = fact.substr(blank + 1);
        const bool absent = name[0] == '!';
        if (name == "L") {
            EXPECT_THAT(log, HasSubstr(rest));
        } else if (name[0] == 'S' && isdigit(static_cast<unsigned char>(name[1]))) {
            EXPECT_EQ(StatusLine(std::stoi(name.substr(1))), rest);
        } else if (name[absent] == 'N') {
            const int line = std::stoi(name.substr(absent + 1));
            const auto kind = static_cast<ConfigNoteKind>(std::string("ESUC").find(rest[0]));
            bool found = false;
            for (const ConfigNote& n : notes)
                found |= n.kind == kind && n.reason.find(rest.substr(2)) != std::string::npos &&
                         (line == 0 || n.line == line);
            EXPECT_NE(found, absent);
        } else {
            const auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
                return l.compare(0, name.size() + 1, name + " ") == 0;
            });
            ASSERT_TRUE(line != lines.end()) << "no " << name << " in:\n" << Join(lines, "\n");
            std::istringstream wanted(rest);
            for (std::string word; wanted >> word;)
                if (word[0] == '!')  // no word of the line begins so
                    EXPECT_EQ(line->find(" " + word.substr(1)), std::string::npos) << *line;
                else
                    EXPECT_NE((*line + " ").find(" " + word + " "), std::string::npos) << *line;
        }
    }
}

class ConfigTest : public ::testing::Test {
  protected:
    // Empty board tables, fresh status lines, no link and no reporting.
    static void Clear() {
        ConfigDiagnostics = nullptr;
        ClearBoardTables();
        ClearConfigReaderState();
        InitStatusLines();
        message_line_number = 2;
        serv_addr = sockaddr_in{};
        CloseSerialDescriptors();
        ClearSerialState();  // the port lists, MessageIsSerial and SerialCurrent
    }
    void SetUp() override {
        xphost::Reset();
        Clear();
        ScanTimeout = 0;
        ASSERT_TRUE(xphost::LoadDatarefText(kConfigDatarefs, nullptr));
    }
    void TearDown() override {
        Clear();
        ScanTimeout = 512;
        xphost::Reset();
    }

    // Reads text as the configuration of a new board with board ID id; returns its index.
    int Read(const std::string& text, unsigned int id = 3) {
        const int b = BoardCount();
        ReadConfigFile(text, b, id);
        return b;
    }
    // Each row, a section and facts about it, read as the first board of fresh tables, with
    // board ID 3 or the one of a "*<id>" line before the section; read quietly, then again with
    // reporting, which must not change what is read.
    void Check(const std::vector<std::vector<std::string>>& rows) {
        for (const std::vector<std::string>& row : rows) {
            const bool own = row[0][0] == '*';
            const std::string text = own ? row[0].substr(row[0].find('\n') + 1) : row[0];
            const unsigned int id = own ? std::stoul(row[0].substr(1)) : 3;
            TearDown();
            SetUp();
            ::testing::internal::CaptureStderr();
            Read(text, id);
            const std::string log = ::testing::internal::GetCapturedStderr();
            const std::vector<std::string> quiet = Describe(0);
            Clear();
            std::vector<ConfigNote> notes;
            ConfigDiagnosticsScope scope(notes);
            Read(text, id);
            EXPECT_EQ(Describe(0), quiet) << row[0];
            ExpectFacts(0, notes, {row.begin() + 1, row.end()}, row[0], log);
        }
    }
};
using ConfigTables = ConfigTest;

TEST_F(ConfigTables, InputEntries) {
    Check({
        {"[I]\nB3 sim/lights/landing_lights_on\n",
         "I0 arr=0 def=1 cont=-1 types=0 mode=0 ptr=1 dir=0 range= skip=", "!N2 U:takes no value"},
        {"[I]\nB3 sim/starters/engage_starter_1\nB4 sim/lights/landing_lights_on\n", "I0 cont=1",
         "N2 E:command sim/starters/engage_starter_1 (held while pressed)", "!N3 E:(held"},
        {"[I]\nB3 sim/both/name 1\n", "I0 arr=0 types=0 ptr=1", "N2 U:a command takes no value"},
        {"[I]\nD7 sim/x 0.5+,0,10\nD8 sim/x 0,1,2\nD9 sim/x 2-,1,5\n",
         "I0 f=D7|sim/x|0.5+,0,10 dir=1 def=0.5 range=0,10 types=2 ptr=1",
         "I1 dir=0 def=0 range=0,1,2", "I2 dir=-1 def=2 range=1,5", "N4 E:steps by -2, range 1,5"},
        {"[I]\nD7 sim/x 3\nD8 sim/x\nD9 sim/arr 1 0\nD10 sim/arr 1 5\n", "I0 def=3 range= arr=1",
         "I1 def=1 arr=1", "I2 arr=1", "I3 arr=5"},
        {"[I]\nB7 sim/cockpit2/engine/actuators/ignition_key 4 1\n"
         "B8 sim/cockpit2/engine/actuators/ignition_key 3 1\n",
         "I0 cont=1", "I1 cont=-1"},
        {"[I]\nA5 sim/x 0,1 1 250 3 7\n", "B ch5=102,3,7"},
        {"[I]\nA5 sim/x 0,1 1 60 3 7\nA6 sim/x 0,1 1 40\n", "B ch5=101,3,7 ch6=40,0,100",
         "N2 E:analog channel 5 settings: 101 3 7"},
        {"[I]\nA16 sim/x 0,1 1 40 3 7\nA sim/x 0,1 1 40 3 7\nA99999999999 sim/x 0,1 1 40\n"
         "A20 sim/x 0,1\n",
         "B inputs=4 !ch", "N2 S:channel 16 is above 15", "N3 S:no channel number",
         "!N4 U:boards have", "N5 U:analog channel 20 is above 15: boards have 0 to 15"},
        {"[I]\nA1 sim/x 0,1 1 50\nA2 sim/x 0,1 1 51\nA3 sim/x 0,1 1 100\nA4 sim/x 0,1 1 101 9\n"
         "A5 sim/x 0,1 1 40 3 7 9\nD6 sim/x 0,1 1 40\n",
         "B ch1=50,0,100 ch2=101,0,100 ch3=101,0,100 ch4=101,9,100 ch5=40,3,7 !ch6",
         "!N5 U:after field 6", "N6 U:fields after field 6 are ignored"},
        {"[I]\nD5 sim/x 1+,0,10,20\nD6 sim/x 1+,0,10\nD7 sim/x ,\nM5 sim/ro 1\nM6 sim/ro 1+\n"
         "D8 sim/ro 1\n",
         "I0 range=0,10", "N2 U:lower and an upper limit only", "!N3 U:limit only",
         "I2 def=1 range=", "N4 U:value field ',' holds no value", "!N5 U:read-only",
         "N6 U:sim/ro is read-only", "N7 U:sim/ro is read-only"},
        {"[I]\nA5 sim/x 0,1 1 x 3 y\nA6 sim/x 0,1 1 40 x 7\n", "B ch5=0,3,0 ch6=40,0,7"},
        {"[I]\nD7 sim/x 0.5+,-10,10.25\nD8 sim/arr 20 3\n",
         "N2 E:dataref sim/x element 1, steps by +0.5, range -10,10.25",
         "N3 E:dataref sim/arr element 3, value 20"},
        {"[A]\nT D5+\nT D6+\n[I]\nD5+ sim/x 1\n", "!N2 U:matches no input",
         "N3 U:T tag D6+ matches no input tag"},
        {"[I]\nB7 13L\nB8 7N\nB9 20l\n", "I0 f=B7|<13>L cont=1 arr=-1 ptr=0 dir=32767",
         "N2 E:internal pin reference 13L", "I1 f=B8|<7>N cont=1", "I2 f=B9|<20>l cont=1"},
        {"[I]\nB1 O_x5\nB2 300L\nB3 255L\n", "N2 U:tag 'x5' does not begin with a pin number",
         "N3 U:pin number 300 does not fit one byte", "I1 f=B2|300L cont=1",
         "N3 U:pin reference 300L names no output", "!N4 U:does not fit", "I2 f=B3|<255>L"},
        {"*0\n[I]\nB7 13L\n", "I0 f=B7|13L cont=1 dir=-1"},
        {"[I]\nB7 sim/cockpit/engine/fuel\nB8 O\nB9 x\n",
         "I0 f=B7|sim/cockpit/engine/fuel cont=-1 arr=-1 mode=0", "N2 U:no pin number and letter",
         "I1 dir=0", "I2 dir=0", "N3 E:output selection O", "N4 E:internal reference x",
         "N4 U:'x' is not a command or dataref"},
        {"*0\n[I]\nB7 13L\n[O]\n1L 0 sim/x\n2L 0 sim/x\n3L 0 sim/x\n4L 0 sim/x\n13L 0 sim/x\n",
         "I0 dir=4"},
        {"[I]\nB1 O_9L\nB2 O9N\n[O]\n9L 0 sim/x\n9L 0 sim/y\n", "I0 f=B1|O_<9>L", "I1 f=B2|O9N",
         "O0 act=1", "O1 act=0", "N3 U:has no '_'", "N2 E:selects output 9L",
         "N3 E:output selection O9N"},
        {"[I]\nB2 O9N\n[O]\n9L 0 sim/x\n9L 0 sim/y\n", "O0 act=1", "O1 act=1", "!N2 U:names no"},
        {"[I]\nB1 O_9N\nB2 O2_7\n[O]\n7 0 sim/x\n7 0 sim/y\n", "I0 f=B1|O_<9>N", "I1 f=B2|O2_<7>D",
         "O0 act=1", "O1 act=0", "!N0 U:'_'"},
        {"*0\n[I]\nB1 O_X5\n[O]\nX5 0 sim/x\nX5 0 sim/y\nX5 0 sim/z\n", "I0 f=B1|O_X5",
         "N2 E:selects output X5", "O0 act=1", "O1 act=0", "O2 act=0"},
        {"[A]\nT D5+\n[I]\nD5+ sim/x 1\nD5+ sim/x 2\nD5+ sim/x 3\n",
         "I0 tag=D5/1+ mode=31 f=D5+|sim/x|1", "I1 tag=D5/2+ mode=0 f=D5+|sim/x|2",
         "I2 tag=D5/3+ mode=0"},
        {"[I]\nB1 not_selected\nB2\nB3 sim/x 1\n", "B inputs=1", "I0 tag=B3",
         "N2 C:input not selected", "N3 S:shorter than 3"},
        {"[A]\nS D5,4 D6 D7,x D8,\nS D8,0 D9,9\n[I]\nD5+ sim/x 1\nD6+ sim/x 1\nD7+ sim/x 1\n",
         "I0 skip=4,0", "I1 skip=", "I2 skip=0,0", "N2 U:count does not read",
         "N2 S:'D8,' has no tag,count form", "!N3 U:count does not read"},
        {"[A]\nS D5,-3\n[I]\nD5+ sim/x 1\n", "I0 skip=", "N2 S:negative count"},
        {"[A]\nR E5+\nQ M6\nT E7+\n[I]\nE5+ sim/x 1+\nM6 sim/x\nE7+ sim/x 1+\nE7+ sim/x 2+\n",
         "I0 cont=-1", "I1 sq=0", "I2 tag=E7+", "I3 tag=E7+", "N2 U:R item E5+ matches no input"},
        {"[I]\nE2/1 sim/x 1\nE2/2 sim/x 1\nE3 sim/x 1\ne4 sim/x 2\n", "I0 mode=1", "I1 mode=0",
         "I2 mode=1", "I3 mode=1 tag=E4 f=e4|sim/x|2", "!N2 E:(leads",
         "N5 U:every turn writes 2; to step on each turn write 2+",
         "N5 U:encoder tag 'e4' has no sign: the board sends E4+ and E4-",
         "N2 U:the board sends E2+ and E2-"},
        {"[I]\nA 1 sim/x\nZ 2 sim/x\na 3 sim/x\nz 4 sim/x\nE sim/x 1\nD1 2 sim/x\n_ 3 sim/x\n",
         "N2 U:the tag 'A 1' has a blank", "N3 U:'Z 2' has a blank", "N4 U:'a 3' has a blank",
         "N5 U:'z 4' has a blank", "!N6 U:has no sign", "!N7 U:has a blank", "!N8 U:has a blank",
         "!N2 U:not a command"},
        {"[I]\nd5 sim/x 1\nb6 sim/x 1\n", "I0 tag=D5 f=D5|sim/x|1", "I1 tag=B6"},
        {"*0\n[I]\r\nB5 sim/x 3\r\n", "B inputs=1", "I0 f=B5|sim/x|3 def=3"},
        {"[A]\nT D5+\n[I]\nD5+ sim/x 1\nD5+ sim/x 2\nD5+ sim/x 3\nB1 D5<\nB2 D5=2\nB3 E3>\n"
         "E3/1 sim/x 1\n",
         "I3 f=B1|D5<1 mode=0 dir=3", "I4 f=B2|D5=2 mode=0 dir=0", "I5 f=B3|E3>1 mode=6 dir=1"},
        {"[I]\nD7 sim/x 1\nD50+ sim/x 1\nD59+ sim/x 1\nB1 D5=1\nB2 D7=1\n",
         "N5 U:comparison reference D5=1: no input tag is D5", "!N6 U:comparison", "I4 mode=-1"},
        {"[I]\nE3/1+ sim/x 1+\nE3/9+ sim/x 1+\nE4/1+ sim/lights/landing_lights_on\n"
         "E4/10+ sim/x 1+\nB3 E3>\nB4 E4<\n",
         "I4 dir=9 mode=0", "I5 dir=10 mode=2"},
        {"[A]\nT D5+\n[I]\nB9 sim/x 1\nD5+ sim/x 1\nD5+ sim/x 2\nB1 D5>2\nB2 D50=1\n",
         "I3 mode=1 dir=2", "!N7 U:comparison", "N8 U:comparison reference D50=1: no input tag",
         "!N8 U:internal input"},
        {"[I]\nA2/5 sim/x\nA2/30 sim/x\nA3/30 sim/x\nA3/5 sim/x\nA4 sim/x 0,1 1 250\nA4/5 sim/x\n"
         "A5+ sim/x\nA6 sim/x 0,1 1 40\nA7/200 sim/x\nA8/128 sim/x\nA0/5 sim/x\nA9/5 sim/x\n",
         "B ch2=157,0,100 ch3=157,0,100 ch4=132,0,100 ch5=1,0,100 ch6=40,0,100 ch7=255,0,100 "
         "ch8=255,0,100 ch0=132,0,100 ch9=132,0,100",
         "N10 U:analog mode /200 is above 128", "!N11 U:above 128"},
        {"[I]\nA20/5 sim/x\nA/5 sim/x\n", "B !ch", "N2 S:channel 20 is above 15, its mode",
         "N3 S:analog tag A/5 has no channel number"},
        {"[I]\nA2 sim/x 1\nA3 sim/x 0,1\nR4 sim/x\nA5 sim/x 0,1,2\nD6 sim/x 1\n",
         "N2 U:lower,upper", "!N3 U:lower,upper", "N4 U:lower,upper", "N5 U:(3 given)",
         "!N6 U:lower,upper"},
        {"[I]\nB5 sim/arr 1 9\nB6 sim/arr 1 8\nB7 sim/x 1 2\n[O]\n5L 0 sim/iarr 5\n"
         "6L 0 sim/iarr 4\n7L 0 sim/y 3\n8D 40 sim/bytes 3\n9 0 sim/y 1\n",
         "N2 U:beyond the 8 elements", "!N3 U:element", "N4 U:no array",
         "N6 U:beyond the 4 elements", "!N7 U:element", "N8 U:no array", "!N9 U:element",
         "!N10 U:element"},
        {"[I]\nB5 sim/x 1,x\nB6 sim/x q+,0,10\nB7 sim/arr 1 two\n[O]\n"
         "5S x sim/x 1 0,1 500,y\n6L 0 sim/x z\n7G 0 sim/x 1 0,360 0,1 many\n",
         "N2 U:value 'x' does not read", "N3 U:value 'q+' does not read",
         "N4 U:array element 'two'", "N6 U:precision 'x'", "N6 U:range value 'y'",
         "N7 U:element 'z'", "N8 U:steps per revolution 'many'", "!N8 U:range value"},
        {"[A]\nR B9+\n[I]\nB5+ sim/starters/engage_starter_1\nB5- sim/starters/engage_starter_1\n"
         "B7+ sim/starters/engage_starter_1\nB7- sim/lights/landing_lights_on\n"
         "B9+ sim/lights/landing_lights_on\nB9- sim/lights/landing_lights_on\n",
         "N5 U:runs it once more", "!N7 U:runs it once more", "N9 U:runs it once more"},
        {"[I]\nD3+ 13L\n[O]\n13L 0 sim/x\n", "!N0 U:lights nothing"},
        {"[I]\nD3+ 13L\n[O]\n5Y 0 sim/x\n", "N2 U:lights nothing"},
    });
}

TEST_F(ConfigTables, OutputEntries) {
    Check({
        {"[O]\n13L 0 sim/cockpit/x\n7 2 sim/cockpit/y\n",
         "O0 f=<13>L|0|sim/cockpit/x|1 arr=1 prec=-1 type=2 act=1 ptr=1 prev=0",
         "O1 f=<7>D|2|sim/cockpit/y|1 prec=2 type=1 prev=0"},
        {"*0\n[O]\n13L 0 sim/cockpit/x\n12 -1 sim/x\n", "O0 tag=13L prec=0", "O1 tag=12 prec=-1"},
        {"[O]\n7 -1 sim/x\n8 -2147483648 sim/x\n9 1 sim/x\n", "O0 prec=-2", "O1 prec=-1000001",
         "O2 prec=1"},
        {"[O]\n10 0 sim/x\n20L 0 sim/x\n", "O0 tag=<10>D", "O1 tag=<20>L"},
        {"[O]\n9S 0 sim/x 1 0,1\n9P 0 sim/x 1 0,1\n9L 0 sim/x 1 0,1\n9D 0 sim/x 1 0,1\n"
         "9l 0 sim/x 1 0,1\n",
         "O0 f=<9>S|0|sim/x|1|0,1|500,2500 r1=0,1 r2=500,2500", "O1 f=<9>P|0|sim/x|1|0,1|0,255",
         "O2 f=<9>L|0|sim/x|1|0,1|0,1 r2=0,1",
         "O3 f=<9>D|0|sim/x|1|0,1 r1= r2=", "O4 f=<9>l|0|sim/x|1|0,1|0,1"},
        {"[O]\n4G 0 sim/x 1 0,360 0,1 200\n", "O0 r1=0,360 r2=0,0.555556", "B step=04c800"},
        {"[O]\n4G 0 sim/x 1 0,360 0,360 -400\n", "O0 r2=0,400",
         "N2 U:negative steps per revolution"},
        {"[O]\n5S 0 sim/x 1 0.5 1500\n5L 0 sim/x 1 0.5 100\n6L 0 sim/x 1 0.5 1\n"
         "8G 0 sim/x 1 360 2048\n9g 0 sim/x 1 360 2048\n10S 0 sim/x 1 0,1 500,2500\n",
         "O0 r1=0.5 r2=0,1500", "O1 r1=0.5 r2=100", "N2 U:only 0 or 1", "!N3 U:only 0 or 1",
         "!N4 U:only 0 or 1", "!N5 U:only 0 or 1", "N6 U:only 0 or 1", "!N7 U:only 0 or 1"},
        {"[O]\n5S 0 sim/x 1 0,1 1,2,3\n2N 0 sim/x 1 4 2 7 7\n9S 0 sim/x 1 0,1 0,1 0 5\n",
         "O0 r1= r2=", "O1 r1= r2=", "O2 r1=0,1", "!N3 U:after field 6", "N4 U:after field 6"},
        {"[I]\nB2 O_7L\n[O]\n7L 0 sim/x\n7L 0 sim/y\n7L 0 sim/z\n", "O0 act=1", "O1 act=0",
         "O2 act=0", "!N4 E:(repeated", "N5 E:(repeated tag: starts inactive)"},
        {"[O]\n7 0 sim/x\n9L E3=1\n8 0 sim/y\n", "B modeleds=1 outputs=2", "M0 f=<9>L|E3=1",
         "O1 tag=<8>D ptr=1", "N3 E:LED mode entry 0, tag 9L: E3=1", "!N3 U:has no"},
        {"[O]\n13L\nxL 0 sim/x\n300L 0 sim/x\n7 0 not_selected\n19 0 sim/y\n255 0 sim/y\n",
         "B outputs=2", "O0 tag=<19>D", "O1 tag=<255>D", "N2 S:without a dataref field",
         "N3 S:does not begin with a pin number", "N4 S:does not begin with a pin number",
         "N5 C:not selected"},
        {"[O]\n7 0 sim/arr 5000\n8 0 sim/arr 0\n9 0 sim/arr -3\n10 0 sim/arr 1023\n", "O0 arr=1023",
         "O1 arr=1", "O2 arr=1", "O3 arr=1023", "N2 U:element 5000 is above 1023", "!N5 U:above"},
        {"[O]\n7 4000 sim/bytes\n8 1024 sim/bytes\n", "O0 type=32 prec=1024", "O1 prec=1024",
         "N2 U:byte data length 4000 is above 1024", "!N3 U:byte data"},
        {"[O]\n7 2.0 sim/x\n8 1.5 sim/x\n9 0.10 sim/x\n10 0.09 sim/x\n", "N5 U:of 0.09 write 2",
         "!N2 U:precision", "N3 U:precision 1.5 reads as 1: the precision is a count of decimals",
         "!N3 U:for steps",
         "N4 U:reads as 0: the precision is a count of decimals (0, 1, 2, or -1), not a step; for "
         "steps of 0.10 write 1"},
        {"[O]\n7 0 sim/unknown\n8 sim/x 2\n", "O0 ptr=0 type=0", "N2 U:not known to the simulator",
         "N3 U:'sim/x' stands where the precision goes", "!N3 U:not known"},
        {"*0\n[O]\r\n5S 0 sim/x\r\n", "B outputs=1", "O0 f=5S|0|sim/x|1 ptr=1"},
        {"[O]\n2N 0 sim/x 1 12 3\n3N 0 sim/x 1 4 6\n4N 0 sim/x 1 8 8\n5N 0 sim/x 1 4 x\n"
         "6N 0 sim/x 1 1 1\n7N 0 sim/x 1 9 8\n",
         "O0 f=<2>N|0|sim/x|1|8|3", "O1 f=<3>N|0|sim/x|1|4|4", "O2 f=<4>N|0|sim/x|1|8|8",
         "O3 f=<5>N|0|sim/x|1|4|0", "O4 f=<6>N|0|sim/x|1|1|1", "O5 f=<7>N|0|sim/x|1|8|8",
         "N2 U:is above 8", "!N4 U:above", "!N4 U:beyond", "N7 U:is above 8", "B seg=020304050607",
         "N2 E:8 digits, point after digit 3", "N5 E:4 digits, no point"},
        {"[O]\n2N 0 sim/x 1 4\n3N 0 sim/x 1 x 2\n4N 0 sim/x\n6N 0 sim/x 1 0 0\n"
         "5N 0 sim/x 1 4 2\n",
         "B outputs=1 seg=05", "O0 tag=<5>N", "N2 S:needs six fields", "N3 S:digit count 'x'",
         "N4 S:needs six fields"},
        {"*0\n[O]\n5N 0 sim/x\n12N 0 sim/x 1 4 2\n", "B outputs=2 seg=0c", "!N2 E:digits",
         "N3 E:4 digits, point after digit 2"},
        {"[O]\n4G 0 sim/x 1 0,360 0,1 400\n", "B step=049001", "!N2 U:negative"},
        {"[O]\n4G 0 sim/x 1 0,360 0,1 -400\n", "B step=049001"},
        {"[O]\n5g 0 sim/x 1 0,360 0,400\n", "B step=059001"},
        {"[O]\n6G 0 sim/x 1 0,360 0,1 70000\n4G 0 sim/x 1 0,360 0,1 65535\n", "B step=06ffff04ffff",
         "N2 U:70000 do not fit 16 bits", "!N3 U:do not fit"},
        {"[O]\n6G 0 sim/x 1 0,360\n7G 0 sim/x 1 0,360 ,\n8G 0 sim/x 1 0,360 0,1 0\n",
         "B step=070000080000", "N2 U:fewer than six", "!N4 U:negative"},
        {"[O]\n5l 0 sim/x\n20l 0 sim/x\n", "B ports=3"},
        {"[O]\n70l 0 sim/x\n", "B ports=8"},
        {"[O]\n64l 0 sim/x\n", "B ports=8", "!N2 U:LED port"},
        {"[O]\n65l 0 sim/x\n8l 0 sim/x\n", "B ports=8"},
        {"[O]\n7 0 sim/x\n0l E2=1\n12l E3=1\n", "B ports=2", "!N2 U:LED port",
         "N3 U:LED port number 0 is outside 1 to 64"},
        {"[O]\n7 0 sim/x\n7L 0 sim/y\n", "B ports=0 seg= step="},
        {"*0\n[O]\n4G 0 sim/x 1 0,360 0,1 400\n17l 0 sim/x\n", "B step=049001 ports=3"},
    });
}

TEST_F(ConfigTables, SectionsHeadersAndTheASection) {
    Check({
        {"",
         "B inputs=0 outputs=0 matrix=6464646464 gc=100 lc=100 nc=100 dev=3 allow=0 "
         "ping=0 lps=0 sendall=1 gate=w seg= step= ports=0 !ch"},
        {"*0\n", "B allow=1 dev=0"},
        {"[O]\n7 0 sim/x\n[I\n5 2 sim/y\n", "B inputs=0 outputs=2", "O1 f=<5>D|2|sim/y|1",
         "N3 S:header shorter than 3 characters"},
        {"B6 sim/x 1\n[I]\n# B7 sim/x 1\n/ B8 sim/x 1\n! B9 sim/x 1\nB1\n B2 sim/x 1\n"
         "B3 sim/x 1\n",
         "B inputs=1", "I0 tag=B3", "N1 S:before the first section header", "N3 C:comment",
         "N6 S:line shorter than 3"},
        {"[X]\nB5 sim/x 1\n[I]\nB6 sim/x 1\n[0]\nB7 sim/x 1\n[i]\n", "B inputs=1", "I0 tag=B6",
         "N2 S:ignored section", "N1 S:section letter 'X': the lines below it are ignored",
         "!N1 U:repeated", "!N1 S:capitals", "N5 S:'[0]' has a zero",
         "N7 S:header letters are capitals: [I]"},
        {"[A]\nB 2 3 4 5 6\nG 7\nL 8\nN 9\nX 1\nG\n", "B matrix=0203040506 gc=7 lc=8 nc=9",
         "N2 E:matrix bytes 2 3 4 5 6", "N6 S:unknown A entry letter 'X'",
         "L Stepper Direction pin: 7\nCorvane: LED Port pin: 8\nCorvane: 7-segment common pin: "
         "9\n"},
        {"[A]\nB 2 3 4 5\n", "B matrix=6464646464", "N2 S:needs five numbers"},
        {"[A]\nL x\nB 1 2 x 4 5\n", "B lc=100 matrix=6464646464"},
        {"[A]\nR B5 A3\nQ A3\nT D6+\nS D7,2\n[I]\nB5 sim/x 1\nA3 sim/x\nD6+ sim/x 1\n"
         "D6+ sim/x 2\nD7+ sim/x 1\n",
         "I0 cont=2", "I1 def=1 sq=1 cont=2", "I2 tag=D6/1+", "I3 tag=D6/2+", "I4 skip=2,0",
         "!N2 U:matches no", "!N3 U:matches no", "!N4 U:matches no",
         "!N5 S:", "N7 E:(repeated while held)", "N8 E:value 1, square law", "N9 E:(leads a group)",
         "!N10 E:(leads", "N11 E:(skip count 2)"},
        {"[I]\nB5 sim/x 1\nA3 sim/x\nD6+ sim/x 1\nD7+ sim/x 1\n[A]\nR B5\nQ A3\nT D6+\n"
         "S D7,2\nL 9\n",
         "I0 cont=-1", "I1 def=1 sq=0", "I2 tag=D6+", "I3 skip=", "N7 U:after the I section",
         "N8 U:after the I", "N9 U:after the I", "N10 U:after the I", "!N11 U:after the I",
         "N7 U:matches no input"},
        {"[A]\nT D5+\n[I]\nD5+ sim/x 1\nB2 sim/lights/landing_lights_on\n[O]\n7 0 sim/y\n"
         "[I]\nD5+ sim/x 2\nB4 sim/z 4\nA2/30 sim/x\n",
         "B inputs=5 ch2=157,0,100", "I0 tag=D5/1+ mode=21 def=1", "I1 tag=B2 arr=0",
         "I2 tag=D5/2+ def=2", "I3 tag=B4 def=4 arr=1", "I4 tag=A2/30", "N8 U:repeated [I] header"},
        {"[O]\n7 0 sim/x\n9L E3=1\n[I]\nB5 sim/x 1\n[O]\n8 2 sim/arr 3\n9 0 sim/y\n",
         "B outputs=3 modeleds=1", "O0 prec=-1 arr=1", "O1 tag=<8>D prec=2 arr=3 type=8 ptr=1",
         "O2 prec=-1 arr=1 type=1"},
        {"[I]\nB5 sim/x 1\nB7 sim/nothing\n[O]\n13L 2 sim/y\n", "N1 E:section I",
         "N2 E:input 0, tag B5: dataref sim/x", "N3 U:becomes an internal input",
         "N5 E:output 0, tag 13L: dataref sim/y", "N5 E:precision 2"},
    });
}

TEST_F(ConfigTables, StatusLinesOfTheBoardRows) {
    Check({
        {"*4\n[I]\nB2 sim/x 1\nB3 sim/x 1\n", "S2    Connection status - Connected to:",
         "S3    1. LAN Arduino #4,   2 inputs", "S4    "},
        {"[I]\nB5 sim/x 1\n[O]\n7 0 sim/x\n8 0 sim/y\n9L E3=1\n",
         "S3    1. LAN Arduino #3,   1 inputs,   3 outputs"},
        {"*0\n[O]\n", "S3    1. LAN Helvan Panel"},
    });
    // While scanning, the line after the last board says so; many boards share line 11, the last
    // board line, and leave line 12 to the search and line 13 on.
    TearDown();
    SetUp();
    ScanTimeout = 300;
    const std::vector<std::string> before = InstructionsText;
    Read("");
    EXPECT_EQ(StatusLine(4), "   scanning...");
    Read("");
    EXPECT_EQ(StatusLine(4) + StatusLine(5), "   2. LAN Arduino #3   scanning...");
    for (int k = 2; k < 25; ++k) Read("[I]\nB5 sim/x 1\n", 1 + k % 9);
    ASSERT_EQ(InstructionsText.size(), 23u);
    for (int i = 13; i < 23; ++i) EXPECT_EQ(InstructionsText[i], before[i]) << i;
    EXPECT_GE(*std::min_element(BoardStatusLine.begin(), BoardStatusLine.end()), 3);
    EXPECT_LE(*std::max_element(BoardStatusLine.begin(), BoardStatusLine.end()), 11);
    EXPECT_EQ(StatusLine(11) + StatusLine(12), "   25. LAN Arduino #7,   1 inputs   scanning...");
}

TEST_F(ConfigTest, BoardRowsKeepTheirLinkAndTheirOwnStatusLine) {
    ComPortName = {"/dev/cu.usbmodem1"};
    MessageIsSerial = 1;
    Read("[I]\nB5 addon/a 1\nB6 O_a/b\n", 2);  // board 0 on USB
    EXPECT_EQ(DebugAddress, "USB");
    EXPECT_EQ(MissingNames.size(), 1u);  // an output selection is no name to look up
    MessageIsSerial = 0;
    inet_pton(AF_INET, "192.168.1.30", &serv_addr.sin_addr);
    Read("[O]\n7 0 addon/b\n", 5);  // board 1 on the LAN
    EXPECT_EQ(BoardLinkName[1], "192.168.1.30");
    EXPECT_EQ(SerialIndex[1], -1);
    EXPECT_EQ(UdpIP[1].sin_addr.s_addr, serv_addr.sin_addr.s_addr);
    // Board 0 identifies again while the last message came from the LAN board.
    ReadConfigFile("[I]\nB5 sim/x 1\nB6 sim/x 1\n", 0, 2);
    EXPECT_EQ(BoardCount(), 2);
    EXPECT_EQ(SerialIndex[0], 0);
    EXPECT_EQ(UdpIP[0].sin_addr.s_addr, 0u);
    EXPECT_EQ(BoardLinkName[0], "/dev/cu.usbmodem1");
    EXPECT_EQ(StatusLine(3), "   1. USB Arduino #2,   2 inputs");
    EXPECT_EQ(StatusLine(4), "   2. LAN Arduino #5,   1 outputs");
    // Its names not found are forgotten with its old row; the other board's stay.
    ASSERT_EQ(MissingNames.size(), 1u);
    EXPECT_EQ(MissingNames[0].board, 1);
    EXPECT_EQ(message_line_number, 4);
    // Rows beyond the next one are not made; SetInputOptions and SetOutputOptions ignore them.
    ReadConfigFile("[I]\nB5 sim/x 1\n", 3, 1);
    ReadConfigFile("", -1, 1);
    SetInputOptions(5);
    SetOutputOptions(-1, 1);
    EXPECT_EQ(BoardCount(), 2);
    // A serial board whose port has no name (yet) gets an empty link name.
    ComPortName.clear();
    MessageIsSerial = 1;
    Read("", 6);
    EXPECT_EQ(BoardLinkName[2], "");
    ClearConfigReaderState();
    EXPECT_EQ(DebugAddress, "");
}

TEST_F(ConfigTest, LedPortsOfTheBoard) {
    const int b = Read("[O]\n5l 0 sim/x\n20l 0 sim/x\n0l E2=1\n");
    for (int led = -3; led <= 26; ++led)  // 8 LEDs a port, from LED 1
        EXPECT_EQ(LedPortOf(b, led), led >= 1 && led <= 24 ? (led - 1) / 8 : -1) << led;
    EXPECT_EQ(LedPortOf(b + 1, 1), -1);
    const int c = Read("[O]\n70l 0 sim/x\n");
    EXPECT_EQ(LedPortOf(c, 64), 7);
    EXPECT_EQ(LedPortOf(c, 65), -1);
}

TEST_F(ConfigTest, OwnDatarefsAreMarkedUsedOnce) {
    InitiateCustom();
    const int b = Read(
        "[O]\n7 0 corvane/altitude_hold_status\n8 0 corvane/altitude_hold_status\n"
        "9 0 corvane/flaps_in_transition\n10 0 corvane/unknown\n");
    EXPECT_EQ(CustomIndices, (std::vector<unsigned int>{1, 0}));
    EXPECT_NE(Drefread[b][0], nullptr);
    EXPECT_EQ(Drefread[b][3], nullptr);
    UnregisterCustomDrefs();
    Corvane_Drefs.clear();
    Corvane_Commands.clear();
    CustomIndices.clear();
}

// data.cfg split into board sections: each row is a file, its sections as "id:text@file lines",
// and the notes expected on file lines.
TEST_F(ConfigTest, SectionsOfDataCfg) {
    const std::vector<std::vector<std::string>> rows = {
        {"*3\n[I]\nB5 sim/x\n@info\nsome words\n[O]\n13L 0 sim/y\n",
         "3:[I]\nB5 sim/x\n[O]\n13L 0 sim/y\n@2,3,6,7", "N5 C:after an @info marker"},
        {"*4\n[I]\nB5 sim/x\n@info\nfree\n[0]\nB6 sim/x\n", "4:[I]\nB5 sim/x\n@2,3",
         "N7 S:line under the '[0]' of line 6"},
        {"*2\n[I]\n@note\nB5 sim/x\n@ info \nfree\n", "2:[I]\nB5 sim/x\n@2,4",
         "N3 S:marker other than @info", "N5 E:info marker"},
        {"[I]\nB5 sim/x\n*4\nB6 sim/y\n", "4:B6 sim/y\n@4", "N1 S:before the first '*'"},
        {"*0\n[0]\nB5 sim/x\n*5\n[O]\n7 0 sim/y\n", "0:@", "5:[O]\n7 0 sim/y\n@5,6",
         "N2 S:board ID 0", "N1 E:section of board ID 0 (Helvan panel)",
         "N4 E:section of board ID 5"},
        {"*10\n[I]\nB5 sim/x\n*29\n*9\n", "1:[I]\nB5 sim/x\n@2,3", "2:@", "9:@",
         "N1 U:only one digit", "N4 U:only one digit", "N5 E:section of board ID 9"},
        {"  *6 \r\n\t[I]\r\n   B5   sim/x 1 \t\r\n\n\n[O] \n", "6:[I]\nB5   sim/x 1\n[O]\n@2,3,6"},
        {"*1\n[I]\nB5 sim/x\n[0]\nnotes\n[O]\n7 0 sim/y\n",
         "1:[I]\nB5 sim/x\n[O]\n7 0 sim/y\n@2,3,6,7", "N4 E:end of the part that is read",
         "N5 S:line under the '[0]' of line 4"},
        {"*3\n[I]\nB5 sim/x\n*3\n[I]\nB6 sim/x\n", "3:[I]\nB5 sim/x\n@2,3", "3:[I]\nB6 sim/x\n@5,6",
         "N4 U:repeated board ID 3"},
        {"*3\n[I]\nB5 sim/x\n*\nB6 sim/y\n*x\nB7 sim/y\n", "3:[I]\nB5 sim/x\n@2,3", "4294967295:@",
         "4294967295:@", "N4 S:no board ID digit", "N5 S:line of an unstored section"},
        {"\x01\x02\x03*2\n\x01\x02\x03\x04\x05\x06\x07\x08*3\n\x01\x02\n\x1f~*4\n\x01 *5\n",
         "N1 S:3 stray bytes (01 02 03) before '*2'", "N2 S:(01 02 03 04 05 06 07 08) before",
         "N3 S:line before the first '*' section line", "N4 S:line before the first '*'",
         "N5 S:line before the first '*'"},
        {"\xEF\xBB\xBF# "
         "x\n\xEF\xBB\xBF*2\n\x01[I]\n\x01\x02\x03\x04\x05\x06\x07\x08\x0e*3\n\x01x\n",
         "N1 U:the file begins with a UTF-8", "N1 C:comment",
         "N2 S:the line begins with a UTF-8 byte order mark (bytes EF BB BF) before '*2', so it "
         "is not read as a section line",
         "N3 S:1 stray byte (01) before '[I]', so it is not read; save",
         "N4 S:9 stray bytes (01 02 03 04 05 06 07 08 ...)", "N5 S:before the first '*' section"},
        {"# head\nstray\n*2\n# before\nloose\n[I]\nB5 sim/x\n", "2:[I]\nB5 sim/x\n@6,7",
         "N1 C:comment", "N2 S:before the first '*'", "N4 C:comment",
         "N5 S:before a section header"},
    };
    for (const std::vector<std::string>& row : rows) {
        std::vector<ConfigNote> notes;
        ConfigDiagnosticsScope scope(notes);
        std::istringstream in(row[0]);
        std::vector<std::string> got, sections, facts;
        for (size_t k = 1; k < row.size(); ++k)
            (isdigit(row[k][0]) ? sections : facts).push_back(row[k]);
        for (const ConfigSection& s : SplitConfigSections(in))
            got.push_back(std::to_string(s.id) + ":" + s.text + "@" + Join(s.fileLines));
        EXPECT_EQ(got, sections) << row[0];
        ExpectFacts(-1, notes, facts, row[0]);
    }
}

TEST_F(ConfigTest, LoadConfigFilesEverySectionFromThePluginFolder) {
    foldername = corvane_test::MakeTempFolder("corvane_cfg");
    corvane_test::WriteFile(foldername + "/data.cfg",
                            "# Corvane\n*1\n[I]\nB5 sim/x\n*2\n[O]\n7 0 sim/y\n*\n");
    ::testing::internal::CaptureStderr();
    LoadConfig();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Corvane: configuration data.cfg\nCorvane: Reading config for board #1\nCorvane: "
              "Reading config for board #2\n");
    EXPECT_EQ(filepath, foldername + "/data.cfg");
    EXPECT_EQ(ArduinoID, (std::vector<unsigned int>{1, 2, kNoBoardId}));
    EXPECT_EQ(ArduinoConfigFile,
              (std::vector<std::string>{"[I]\nB5 sim/x\n", "[O]\n7 0 sim/y\n", ""}));
    corvane_test::RemoveFolder(foldername);
    ClearBoardTables();
    LoadConfig();  // the folder is gone
    EXPECT_TRUE(ArduinoConfigFile.empty());
    EXPECT_TRUE(ArduinoID.empty());
    foldername.clear();
    filepath.clear();
}

}  // namespace
