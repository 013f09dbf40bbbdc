#include "config/board_tables.h"

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

#include "config/missing_names.h"

std::vector<std::vector<std::vector<std::string>>> Data;
std::vector<std::vector<std::string>> Datatags;
std::vector<std::vector<int>> Mode;
std::vector<std::vector<void*>> InputDataPointer;
std::vector<std::vector<int>> InputDrefTypes;
std::vector<std::vector<std::vector<float>>> InputDataRange;
std::vector<std::vector<int>> InputArrayNum;
std::vector<std::vector<float>> InputDefault;
std::vector<std::vector<int>> InputIncrementDir;
std::vector<std::vector<int>> Contval;
std::vector<std::vector<std::vector<int>>> InputSkip;
std::vector<std::vector<bool>> InputSquareLaw;
std::vector<std::vector<int>> GroupMembers;

std::vector<std::vector<std::vector<std::string>>> OutDrefs;
std::vector<std::vector<bool>> OutputActive;
std::vector<std::vector<void*>> Drefread;
std::vector<std::vector<int>> Type;
std::vector<std::vector<int>> Arraynum;
std::vector<std::vector<int>> Precision;
std::vector<std::vector<std::string>> Previous;
std::vector<std::vector<std::vector<float>>> OutRange1;
std::vector<std::vector<std::vector<float>>> OutRange2;
std::vector<std::vector<bool>> OutputAllOn;
std::vector<std::vector<bool>> OutputDue;

std::vector<std::vector<std::vector<std::string>>> OutputModeLed;
std::vector<std::vector<int>> ModeLedLeader;

std::vector<std::string> AnalogAdditional;
std::vector<std::string> MatrixAdditional;
std::vector<std::string> SevenSegAdditional;
std::vector<std::string> StepperAdditional;
std::vector<std::vector<uint8_t>> LedPortData;
std::vector<unsigned int> StepperCommon;
std::vector<unsigned int> LEDCommon;
std::vector<unsigned int> SevenSegCommon;
std::vector<unsigned int> OutDevice;
std::vector<bool> AllowOutput;
std::vector<bool> AllowPing;
std::vector<bool> LedPortSend;
std::vector<bool> sendall;
std::vector<char> allow_output;
std::vector<sockaddr_in> UdpIP;
std::vector<int> SerialIndex;
std::vector<bool> BoardRefused;
std::vector<int> BoardStatusLine;
std::vector<std::string> BoardLinkName;

std::vector<std::string> ArduinoConfigFile;
std::vector<unsigned int> ArduinoID;
std::vector<std::vector<int>> ArduinoConfigLines;

std::vector<std::vector<int>> Continuous;
std::vector<std::string> ContinuousTag;
int OutArrayUse = 0;

namespace {

// The scalar values of a fresh or reset row.
void SetFreshScalars(int b, unsigned int id) {
    StepperCommon[b] = 100;
    LEDCommon[b] = 100;
    SevenSegCommon[b] = 100;
    OutDevice[b] = id;
    AllowOutput[b] = (id == 0);
    AllowPing[b] = false;
    LedPortSend[b] = false;
    sendall[b] = true;
    allow_output[b] = 'w';
    BoardRefused[b] = false;
}

}  // namespace

int BoardCount() {
    return static_cast<int>(Data.size());
}

bool BoardExists(int b) {
    return b >= 0 && b < BoardCount();
}

bool InputExists(int b, int i) {
    if (!BoardExists(b) || i < 0) return false;
    // Within every table of the board's inputs, also when a row was built out of step.
    const size_t rows =
        std::min({Data[b].size(), Datatags[b].size(), Mode[b].size(), InputDataPointer[b].size(),
                  InputDrefTypes[b].size(), InputDataRange[b].size(), InputArrayNum[b].size(),
                  InputDefault[b].size(), InputIncrementDir[b].size(), Contval[b].size(),
                  InputSkip[b].size()});
    return static_cast<size_t>(i) < rows;
}

bool OutputExists(int b, int j) {
    if (!BoardExists(b) || j < 0) return false;
    // Within every table of the board's outputs.
    const size_t rows = std::min({OutDrefs[b].size(), OutputActive[b].size(), Drefread[b].size(),
                                  Type[b].size(), Arraynum[b].size(), Precision[b].size(),
                                  Previous[b].size(), OutRange1[b].size(), OutRange2[b].size()});
    return static_cast<size_t>(j) < rows;
}

bool FitOutputStates(int b) {
    if (!BoardExists(b)) return false;
    // Rows made by hand beside the row tables still get theirs.
    if (OutputAllOn.size() < Data.size()) OutputAllOn.resize(Data.size());
    if (OutputDue.size() < Data.size()) OutputDue.resize(Data.size());
    const size_t count = OutDrefs[b].size();
    if (OutputAllOn[b].size() != count) OutputAllOn[b].resize(count, false);
    if (OutputDue[b].size() != count) OutputDue[b].resize(count, false);
    return true;
}

int GroupMemberCount(int b, int i) {
    if (!InputExists(b, i)) return 0;
    const size_t n = static_cast<size_t>(i);
    if (n < GroupMembers[b].size()) return GroupMembers[b][n];
    return Mode[b][i] > 0 ? Mode[b][i] / 10 : 0;
}

int LedPortOf(int b, int led) {
    if (!BoardExists(b) || led < 1) return -1;
    const int port = (led - 1) / 8;
    return port < static_cast<int>(LedPortData[b].size()) ? port : -1;
}

void CreateBoardRow(unsigned int id, const sockaddr_in& address, int serialIndex) {
    Data.emplace_back();
    Datatags.emplace_back();
    Mode.emplace_back();
    InputDataPointer.emplace_back();
    InputDrefTypes.emplace_back();
    InputDataRange.emplace_back();
    InputArrayNum.emplace_back();
    InputDefault.emplace_back();
    InputIncrementDir.emplace_back();
    Contval.emplace_back();
    InputSkip.emplace_back();
    InputSquareLaw.emplace_back();
    GroupMembers.emplace_back();
    OutDrefs.emplace_back();
    OutputActive.emplace_back();
    Drefread.emplace_back();
    Type.emplace_back();
    Arraynum.emplace_back();
    Precision.emplace_back();
    Previous.emplace_back();
    OutRange1.emplace_back();
    OutRange2.emplace_back();
    OutputAllOn.emplace_back();
    OutputDue.emplace_back();
    OutputModeLed.emplace_back();
    ModeLedLeader.emplace_back();
    AnalogAdditional.emplace_back();
    MatrixAdditional.emplace_back();
    SevenSegAdditional.emplace_back();
    StepperAdditional.emplace_back();
    LedPortData.emplace_back();
    StepperCommon.push_back(0);
    LEDCommon.push_back(0);
    SevenSegCommon.push_back(0);
    OutDevice.push_back(0);
    AllowOutput.push_back(false);
    AllowPing.push_back(false);
    LedPortSend.push_back(false);
    sendall.push_back(true);
    allow_output.push_back('w');
    UdpIP.push_back(address);
    SerialIndex.push_back(serialIndex);
    BoardRefused.push_back(false);
    BoardStatusLine.push_back(-1);
    BoardLinkName.emplace_back();
    SetFreshScalars(BoardCount() - 1, id);
}

void ResetBoardRow(int b, unsigned int id) {
    if (!BoardExists(b)) return;
    Data[b].clear();
    Datatags[b].clear();
    Mode[b].clear();
    InputDataPointer[b].clear();
    InputDrefTypes[b].clear();
    InputDataRange[b].clear();
    InputArrayNum[b].clear();
    InputDefault[b].clear();
    InputIncrementDir[b].clear();
    Contval[b].clear();
    InputSkip[b].clear();
    InputSquareLaw[b].clear();
    GroupMembers[b].clear();
    OutDrefs[b].clear();
    OutputActive[b].clear();
    Drefread[b].clear();
    Type[b].clear();
    Arraynum[b].clear();
    Precision[b].clear();
    Previous[b].clear();
    OutRange1[b].clear();
    OutRange2[b].clear();
    OutputAllOn[b].clear();
    OutputDue[b].clear();
    OutputModeLed[b].clear();
    ModeLedLeader[b].clear();
    AnalogAdditional[b].clear();
    MatrixAdditional[b].clear();
    SevenSegAdditional[b].clear();
    StepperAdditional[b].clear();
    LedPortData[b].clear();
    ForgetMissingNames(b);
    SetFreshScalars(b, id);
}

void ClearBoardTables() {
    Data.clear();
    Datatags.clear();
    Mode.clear();
    InputDataPointer.clear();
    InputDrefTypes.clear();
    InputDataRange.clear();
    InputArrayNum.clear();
    InputDefault.clear();
    InputIncrementDir.clear();
    Contval.clear();
    InputSkip.clear();
    InputSquareLaw.clear();
    GroupMembers.clear();
    OutDrefs.clear();
    OutputActive.clear();
    Drefread.clear();
    Type.clear();
    Arraynum.clear();
    Precision.clear();
    Previous.clear();
    OutRange1.clear();
    OutRange2.clear();
    OutputAllOn.clear();
    OutputDue.clear();
    OutputModeLed.clear();
    ModeLedLeader.clear();
    AnalogAdditional.clear();
    MatrixAdditional.clear();
    SevenSegAdditional.clear();
    StepperAdditional.clear();
    LedPortData.clear();
    StepperCommon.clear();
    LEDCommon.clear();
    SevenSegCommon.clear();
    OutDevice.clear();
    AllowOutput.clear();
    AllowPing.clear();
    LedPortSend.clear();
    sendall.clear();
    allow_output.clear();
    UdpIP.clear();
    SerialIndex.clear();
    BoardRefused.clear();
    BoardStatusLine.clear();
    BoardLinkName.clear();
    ArduinoConfigFile.clear();
    ArduinoID.clear();
    ArduinoConfigLines.clear();
    ClearMissingNames();
    Continuous.clear();
    ContinuousTag.clear();
    OutArrayUse = 0;
}

namespace {

// Every table, in one tuple of references: the set that BoardTablesSet holds and exchanges.
auto AllTables() {
    return std::tie(
        Data, Datatags, Mode, InputDataPointer, InputDrefTypes, InputDataRange, InputArrayNum,
        InputDefault, InputIncrementDir, Contval, InputSkip, InputSquareLaw, GroupMembers, OutDrefs,
        OutputActive, Drefread, Type, Arraynum, Precision, Previous, OutRange1, OutRange2,
        OutputAllOn, OutputDue, OutputModeLed, ModeLedLeader, AnalogAdditional, MatrixAdditional,
        SevenSegAdditional, StepperAdditional, LedPortData, StepperCommon, LEDCommon,
        SevenSegCommon, OutDevice, AllowOutput, AllowPing, LedPortSend, sendall, allow_output,
        UdpIP, SerialIndex, BoardRefused, BoardStatusLine, BoardLinkName, ArduinoConfigFile,
        ArduinoID, ArduinoConfigLines, Continuous, ContinuousTag, OutArrayUse);
}

// The tuple of values that a tuple of references refers to (for decltype only).
template <typename... T>
std::tuple<T...> ValuesOf(const std::tuple<T&...>&);

template <typename Refs, typename Values, size_t... I>
void ExchangeEach(Refs refs, Values& values, std::index_sequence<I...>) {
    using std::swap;
    (swap(std::get<I>(refs), std::get<I>(values)), ...);
}

}  // namespace

struct BoardTablesSet::Tables {
    decltype(ValuesOf(AllTables())) values{};
};

BoardTablesSet::BoardTablesSet() : tables_(std::make_unique<Tables>()) {}

BoardTablesSet::~BoardTablesSet() = default;

void ExchangeBoardTables(BoardTablesSet& set) {
    auto& values = set.tables_->values;
    ExchangeEach(
        AllTables(), values,
        std::make_index_sequence<std::tuple_size<std::decay_t<decltype(values)>>::value>());
}
