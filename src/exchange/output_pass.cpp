#include "exchange/output_pass.h"

#include <algorithm>
#include <string>

#include "config/board_tables.h"
#include "config/scratch_state.h"
#include "exchange/output_records.h"
#include "exchange/output_value.h"
#include "exchange/panel_text.h"
#include "simdata/sim_time.h"
#include "transport/connection.h"

char omsg[kOutputMessageSize];
int oln = 0;

namespace {

// True when every per-board table the pass uses has a row for b.
bool BoardRowComplete(int b) {
    const size_t n = static_cast<size_t>(b);
    return BoardExists(b) && n < AllowOutput.size() && n < OutDevice.size() && n < sendall.size() &&
           n < LedPortSend.size() && n < LedPortData.size() && n < LEDCommon.size() &&
           n < UdpIP.size() && n < SerialIndex.size() && n < OutputActive.size() &&
           n < Drefread.size() && n < Type.size() && n < Arraynum.size() && n < Precision.size() &&
           n < Previous.size() && n < OutRange1.size() && n < OutRange2.size();
}

// The outputs of board b that every per-output table holds.
int OutputCount(int b) {
    size_t n = OutDrefs[b].size();
    n = std::min({n, OutputActive[b].size(), Drefread[b].size(), Type[b].size(), Arraynum[b].size(),
                  Precision[b].size(), Previous[b].size(), OutRange1[b].size(),
                  OutRange2[b].size()});
    return static_cast<int>(n);
}

// Equal texts, compared in place: output texts are a few characters long.
bool SameText(const std::string& a, const std::string& b) {
    const size_t n = a.size();
    if (n != b.size()) return false;
    const char* x = a.data();
    const char* y = b.data();
    for (size_t k = 0; k < n; ++k)
        if (x[k] != y[k]) return false;
    return true;
}

// The text form: the tags and texts of the changed outputs, sent when any changed.
void SendPanelOutputs(int b, int outputs) {
    StartPanelMessage(st);
    const std::vector<bool>& active = OutputActive[b];
    const std::vector<std::vector<std::string>>& entries = OutDrefs[b];
    std::vector<std::string>& previous = Previous[b];
    const bool all = sendall[b];
    const OutputRows rows = RowsOf(b);
    for (int j = 0; j < outputs; ++j) {
        if (!active[j] || entries[j].empty()) continue;
        const std::string& tag = entries[j][0];
        const char letter = tag.empty() ? '\0' : tag.back();
        const std::string* text = OutputText(rows, j, false, letter);
        if (!text || (!all && SameText(*text, previous[j]))) continue;
        AppendPanelText(st, tag, *text);
        previous[j] = *text;
    }
    if (PanelMessageDue(st)) SendToBoard(b, st.data(), static_cast<int>(st.size()));
}

// The byte form: the LED port block when due, then one record per changed output, until the
// message is longer than the stop length; it is sent on every pass, also without records.
void SendBoardRecords(int b, int outputs) {
    omsg[0] = '{';
    omsg[1] = 0;
    oln = 2;
    if (LedPortSend[b]) {
        AppendLedPortBlock(LEDCommon[b] & 0xFFu, LedPortData[b], omsg, oln, kOutputMessageSize);
        LedPortSend[b] = false;
    }
    const std::vector<bool>& active = OutputActive[b];
    const std::vector<std::vector<std::string>>& entries = OutDrefs[b];
    std::vector<std::string>& previous = Previous[b];
    const bool all = sendall[b];
    const OutputRows rows = RowsOf(b);
    for (int j = 0; j < outputs; ++j) {
        if (!active[j] || entries[j].empty()) continue;
        const std::string& tag = entries[j][0];
        if (tag.size() < 2) continue;  // no pin and type letter: nothing to address
        const char pin = tag[0];
        const char letter = tag[1];
        const std::string* text = OutputText(rows, j, true, letter);
        if (!text || (!all && SameText(*text, previous[j]))) continue;
        if (letter == 'l') {
            SetPortLed(LedPortData[b], static_cast<signed char>(pin),
                       *text == "*" || OutValue == 1.0f);
            LedPortSend[b] = true;
        } else {
            AppendOutputRecord(pin, letter, Type[b][j], *text, OutValue, entries[j], frametime,
                               omsg, oln, kOutputMessageSize);
        }
        rows.memos[static_cast<size_t>(j)].sent = OutValue;
        previous[j] = *text;
        if (oln > kOutputStopLength) break;
    }
    omsg[1] = static_cast<char>(oln - 2);
    SendToBoard(b, omsg, oln);
}

}  // namespace

void SendChangedOutputs() {
    const int rows = BoardCount();
    for (int b = 0; b < rows; ++b) {
        if (!BoardRowComplete(b) || !AllowOutput[b]) continue;
        const int outputs = OutputCount(b);
        // A board whose configuration was just read sends everything; nothing remembered from
        // its earlier outputs applies.
        PrepareOutputMemos(rows, b, outputs, sendall[b]);
        if (OutDevice[b] == 0)
            SendPanelOutputs(b, outputs);
        else
            SendBoardRecords(b, outputs);
        sendall[b] = false;
    }
}
