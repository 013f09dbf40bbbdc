#include "exchange/output_pass.h"

#include <algorithm>
#include <string>

#include "config/board_monitor.h"
#include "config/board_tables.h"
#include "config/scratch_state.h"
#include "exchange/output_records.h"
#include "exchange/output_trials.h"
#include "exchange/output_value.h"
#include "exchange/panel_text.h"
#include "simdata/sim_time.h"
#include "transport/connection.h"
#include "transport/serial_ports.h"

char omsg[kOutputMessageSize];
int oln = 0;

namespace {

// True when every per-board table the pass uses has a row for b.
bool BoardRowComplete(int b) {
    if (!BoardExists(b)) return false;
    const size_t rows =
        std::min({AllowOutput.size(), OutDevice.size(), sendall.size(), LedPortSend.size(),
                  LedPortData.size(), LEDCommon.size(), UdpIP.size(), SerialIndex.size(),
                  OutputActive.size(), Drefread.size(), Type.size(), Arraynum.size(),
                  Precision.size(), Previous.size(), OutRange1.size(), OutRange2.size()});
    return static_cast<size_t>(b) < rows;
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

// Where a board's byte pass begins: the output at which the last pass stopped, so that outputs
// left for later passes are not kept waiting by earlier ones that change on every pass.
struct PassStart {
    int output = 0;
    bool deferred = false;  // that output is a text that did not fit the last message
};
std::vector<PassStart> ResumeAt;  // [board]

// The outputs a board's pass sent last, told to the monitor once at the end of the pass: the
// monitor keeps only the last kMonitorRingSize outputs sent, and a pass sends each output once.
class SentOutputs {
  public:
    void Add(int j) { last_[count_++ % kMonitorRingSize] = j; }
    void Tell(int b, const std::vector<std::string>& previous) const {
        for (int k = std::max(count_ - kMonitorRingSize, 0); k < count_; ++k) {
            const int j = last_[k % kMonitorRingSize];
            NoteOutputSent(b, j, previous[static_cast<size_t>(j)]);
        }
    }

  private:
    int last_[kMonitorRingSize] = {};
    int count_ = 0;
};

// The text of output j: "*" in the all-on state (allOn), else a test-output's text while one
// runs, else from its dataref (null when unreadable).
const std::string* TextOf(const OutputRows& rows, int b, bool allOn, int j, bool byteForm,
                          char letter) {
    if (allOn) return AllOnText(rows, j);
    if (!OutputTrials.empty()) {
        if (const OutputTrial* trial = OutputTrialOf(b, j)) {
            OutValue = trial->value;
            return &trial->text;
        }
    }
    return OutputText(rows, j, byteForm, letter);
}

// The text form: the tags and texts of the changed or due outputs, sent when there are any.
void SendPanelOutputs(int b, int outputs) {
    StartPanelMessage(st);
    const std::vector<bool>& active = OutputActive[b];
    const std::vector<std::vector<std::string>>& entries = OutDrefs[b];
    std::vector<std::string>& previous = Previous[b];
    std::vector<bool>& due = OutputDue[b];
    const std::vector<bool>& allOnRow = OutputAllOn[b];
    const OutputRows rows = RowsOf(b);
    SentOutputs sent;
    for (int j = 0; j < outputs; ++j) {
        if (!active[j] || entries[j].empty()) continue;
        const std::string& tag = entries[j][0];
        const char letter = tag.empty() ? '\0' : tag.back();
        const std::string* text = TextOf(rows, b, allOnRow[j], j, false, letter);
        if (!text || (!due[j] && SameText(*text, previous[j]))) continue;
        AppendPanelText(st, tag, *text);
        previous[j] = *text;
        due[j] = false;
        sent.Add(j);
    }
    sent.Tell(b, previous);
    if (PanelMessageDue(st)) SendToBoard(b, st.data(), static_cast<int>(st.size()));
}

// The byte form: the LED port block when due, then one record per changed or due output, until
// the message is longer than the stop length or the next record does not fit; it is sent on every
// pass, also without records. Outputs left over stay due for the next pass, which begins with
// them.
void SendBoardRecords(int b, int outputs) {
    // '{' and the length byte, which is set once the records are in.
    omsg[0] = '{';
    oln = 2;
    if (LedPortSend[b]) {
        AppendLedPortBlock(LEDCommon[b] & 0xFFu, LedPortData[b], omsg, oln, kOutputMessageSize);
        LedPortSend[b] = false;
    }
    const int recordsStart = oln;
    const std::vector<bool>& active = OutputActive[b];
    const std::vector<std::vector<std::string>>& entries = OutDrefs[b];
    std::vector<std::string>& previous = Previous[b];
    std::vector<bool>& due = OutputDue[b];
    const std::vector<bool>& allOnRow = OutputAllOn[b];
    const OutputRows rows = RowsOf(b);
    PassStart& resume = ResumeAt[static_cast<size_t>(b)];
    SentOutputs sent;
    const int first = resume.output > 0 && resume.output < outputs ? resume.output : 0;
    const bool waited = resume.deferred;
    resume = PassStart();
    for (int n = 0; n < outputs; ++n) {
        const int j = (first + n) % outputs;
        if (!active[j] || entries[j].empty()) continue;
        const std::string& tag = entries[j][0];
        if (tag.size() < 2) continue;  // no pin and type letter: nothing to address
        const char pin = tag[0];
        const char letter = tag[1];
        const bool allOn = allOnRow[j];
        const std::string* text = TextOf(rows, b, allOn, j, true, letter);
        if (!text || (!due[j] && SameText(*text, previous[j]))) continue;
        if (letter == 'l') {
            SetPortLed(LedPortData[b], static_cast<signed char>(pin), allOn || OutValue == 1.0f);
            LedPortSend[b] = true;
        } else {
            // A text that does not fit the room left waits for the next message, which it begins
            // (behind the LED port block, when one is due then too: it then waits no longer); only
            // a text longer than a whole message is cut. The whole text counts as sent.
            if (IsByteDataRecord(letter, Type[b][j])) {
                const int length = ByteDataRecordLength(*text);
                const bool fitsHere = oln + length <= kOutputMessageSize;
                const bool fitsWhole = 2 + length <= kOutputMessageSize;
                if (!fitsHere && (oln > recordsStart || (fitsWhole && !(waited && j == first)))) {
                    resume = PassStart{j, true};
                    break;
                }
            }
            AppendOutputRecord(pin, letter, Type[b][j], *text, OutValue, entries[j], frametime,
                               omsg, oln, kOutputMessageSize);
        }
        rows.memos[static_cast<size_t>(j)].sent = OutValue;
        previous[j] = *text;
        due[j] = false;
        sent.Add(j);
        if (oln > kOutputStopLength) {
            resume = PassStart{(j + 1) % outputs, false};
            break;
        }
    }
    sent.Tell(b, previous);
    omsg[1] = static_cast<char>(oln - 2);
    SendToBoard(b, omsg, oln);
}

}  // namespace

void SendChangedOutputs() {
    const int rows = BoardCount();
    for (int b = 0; b < rows; ++b) {
        if (!BoardRowComplete(b) || !AllowOutput[b]) continue;
        const int outputs = OutputCount(b);
        if (!FitOutputStates(b)) continue;
        if (ResumeAt.size() != static_cast<size_t>(rows))
            ResumeAt.resize(static_cast<size_t>(rows));
        // A board whose configuration was just read sends everything; nothing remembered from
        // its earlier outputs applies.
        if (sendall[b]) {
            OutputDue[b].assign(OutputDue[b].size(), true);
            ResumeAt[static_cast<size_t>(b)] = PassStart();
        }
        // A board whose line still holds back part of an earlier message gets nothing new: its
        // outputs stay changed, and go out once the line takes them.
        if (SerialIndex[b] >= 0 && !PortTakesMore(static_cast<unsigned int>(SerialIndex[b])))
            continue;
        PrepareOutputMemos(rows, b, outputs, sendall[b]);
        if (OutDevice[b] == 0)
            SendPanelOutputs(b, outputs);
        else
            SendBoardRecords(b, outputs);
        sendall[b] = false;
    }
}
