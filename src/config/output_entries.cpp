#include "config/output_entries.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>
#include <vector>

#include "XPLMDataAccess.h"
#include "config/board_tables.h"
#include "config/config_fields.h"
#include "config/dataref_elements.h"
#include "config/missing_names.h"
#include "config/text_utils.h"
#include "simdata/custom_refs.h"

namespace {

// Precisions beyond this size cut nothing more from a value; the bound keeps the arithmetic in
// range.
constexpr int kPrecisionLimit = 1000000;
constexpr long long kMaxStepsPerTurn = 65535;

char LastOf(const std::string& text) {
    return text.empty() ? '\0' : text.back();
}

// Digit count and decimal position of an Arduino 7-segment entry, clamped and written back in
// plain decimal; false when the entry cannot be a display.
bool CheckSevenSegment(const BoardParse& parse, std::vector<std::string>& f) {
    if (f.size() < 6) {
        parse.Note(ConfigNoteKind::Skipped,
                   "7-segment entry needs six fields (tag, precision, dataref, element, digits, "
                   "decimal position); line ignored");
        return false;
    }
    unsigned int digits{};
    if (!ReadUnsigned(f[4], digits) || digits == 0) {
        parse.Note(ConfigNoteKind::Skipped,
                   "7-segment digit count '" + f[4] + "' does not read as 1 or more; line ignored");
        return false;
    }
    if (digits > kMaxSevenSegDigits) {
        parse.Note(ConfigNoteKind::Suspect,
                   "7-segment digit count " + f[4] + " is above 8; 8 used");
        digits = kMaxSevenSegDigits;
    }
    unsigned int point{};  // 0 when it does not read
    if (!ReadUnsigned(f[5], point))
        parse.Note(ConfigNoteKind::Suspect,
                   "7-segment decimal position '" + f[5] + "' does not read; 0 (none) used");
    if (point > digits) {
        parse.Note(ConfigNoteKind::Suspect, "7-segment decimal position " + f[5] +
                                                " is beyond the digit count; " +
                                                std::to_string(digits) + " used");
        point = digits;
    }
    f[4] = std::to_string(digits);
    f[5] = std::to_string(point);
    return true;
}

// The steps per revolution of field 6, as a size (a negative count counts as its size).
unsigned int StepsPerTurn(const BoardParse& parse, const std::string& field) {
    const long long steps = std::llabs(static_cast<long long>(IntOf(field)));
    if (IntOf(field) < 0)
        parse.Note(ConfigNoteKind::Suspect,
                   "negative steps per revolution " + field + ": its size is used");
    // The same bound as the stepper block, which carries the count in 16 bits.
    return static_cast<unsigned int>(std::min(steps, kMaxStepsPerTurn));
}

// The two range lists, the second scaled for steppers.
void ReadRanges(const BoardParse& parse, const std::vector<std::string>& f, char type,
                std::vector<float>& range1, std::vector<float>& range2) {
    if (f.size() < 6 || type == 'N') return;
    const std::vector<std::string> first = SplitBy(f[4], ",");
    const std::vector<std::string> second = SplitBy(f[5], ",");
    const unsigned int k = f.size() >= 7 ? StepsPerTurn(parse, f[6]) : 0;
    if (first.size() != second.size() || first.empty()) {
        parse.Note(ConfigNoteKind::Suspect, "range lists of " + std::to_string(first.size()) +
                                                " and " + std::to_string(second.size()) +
                                                " values: no mapping");
        return;
    }
    for (size_t n = 0; n < first.size(); ++n) {
        range1.push_back(FloatOf(first[n]));
        float value = FloatOf(second[n]);
        if (k != 0) value = static_cast<float>(value * static_cast<double>(k) / 360.0);
        range2.push_back(value);
    }
    if (first.size() == 1 && type != 'L' && type != 'l') range2 = {0.0f, range2[0]};
    // One value each is a threshold for lamps and a turn for 'G' steppers; any other type
    // compares the value with the range 'first value to 0' and sends only 0 or 1.
    if (first.size() == 1 && type != 'L' && type != 'l' && type != 'G')
        parse.Note(ConfigNoteKind::Suspect,
                   "one range value each is a threshold for L and l lamps and a turn for G "
                   "steppers; this output sends only 0 or 1");
}

// A dataref or command name rather than a number or a mode reference: it has a '/' and no '='.
bool LooksLikeName(const std::string& field) {
    return field.find('/') != std::string::npos && field.find('=') == std::string::npos;
}

// What a two-field line most likely is: an LED mode entry (tag and mode reference, as in 44L E3=1)
// or an output written without its precision (13L sim/...), which the reader also takes as an LED
// mode entry.
void NoteLedModeReference(const BoardParse& parse, const std::string& reference) {
    if (LooksLikeName(reference))
        parse.Note(ConfigNoteKind::Suspect,
                   "output entry without its precision: write the precision between the tag and "
                   "the dataref (0 for whole numbers); as it stands the line is an LED mode entry "
                   "naming '" +
                       reference + "'");
    else if (reference.find('=') == std::string::npos)
        parse.Note(ConfigNoteKind::Suspect,
                   "LED mode reference '" + reference + "' has no '=': it is shown for mode 0");
}

// A precision written as the step it should show (0.1, 0.01, 0.5): the field is read as a whole
// number, so 0.1 is 0. Names the count of decimals that step has; "" for a field without a
// fraction.
std::string PrecisionAsStep(const std::string& field) {
    const size_t point = field.find('.');
    if (point == std::string::npos) return std::string();
    size_t decimals = 0;
    // The digits after the point, up to the text's ending NUL at the latest.
    for (size_t k = point + 1; field[k] >= '0' && field[k] <= '9'; ++k)
        if (field[k] != '0') decimals = k - point;
    if (decimals == 0) return std::string();  // 2.0 is 2, as meant
    const std::string meant = IntOf(field) != 0 ? std::string()
                                                : "; for steps of " + field + " write " +
                                                      std::to_string(decimals) + " (decimals)";
    return "precision " + field + " reads as " + std::to_string(IntOf(field)) +
           ": the precision is a count of decimals (0, 1, 2, or -1), not a step" + meant;
}

// Number fields of an output entry that read as no number (precision, element, range items and
// steps per revolution; a 7-segment entry's own fields are checked with the display).
void NoteUnreadNumbers(const BoardParse& parse, const std::vector<std::string>& f, char type) {
    if (!ConfigDiagnosing()) return;
    const auto note = [&](const std::string& what, const std::string& value,
                          const std::string& used) {
        parse.Note(ConfigNoteKind::Suspect,
                   what + " '" + value + "' does not read as a number; " + used + " used");
    };
    if (LooksLikeName(f[1]))
        parse.Note(ConfigNoteKind::Suspect, "output entry without its precision: the name '" +
                                                f[1] + "' stands where the precision goes");
    else if (!StartsWithNumber(f[1]))
        note("precision", f[1], "0");
    else if (!PrecisionAsStep(f[1]).empty())
        parse.Note(ConfigNoteKind::Suspect, PrecisionAsStep(f[1]));
    if (f.size() >= 4 && !StartsWithNumber(f[3])) note("element", f[3], "1");
    if (type == 'N') return;
    // The two range lists as written: a list cut at a blank runs on into the fields after it.
    for (size_t k = 4, list = 0; list < 2 && k < f.size(); ++list) {
        std::string meant;
        const size_t cut = FieldsOfCutList(f, k, meant);
        if (cut > 0)
            parse.Note(ConfigNoteKind::Suspect,
                       "the range list '" + f[k] + "' ends at a blank " +
                           (f[k].back() == ',' ? "after" : "before") + " a comma: '" + f[k + 1] +
                           "' is read as the next field; write " + meant + " without blanks");
        k += 1 + cut;
    }
    for (size_t k = 4; k < f.size() && k < 6; ++k)
        for (const std::string& item : SplitBy(f[k], ","))
            if (!StartsWithNumber(item)) note("range value", item, "0");
    if (f.size() >= 7 && !StartsWithNumber(f[6])) note("steps per revolution", f[6], "no scaling");
}

std::string DescribeOutput(const BoardParse& parse, const std::vector<std::string>& f, int j,
                           bool active) {
    std::string text = "output " + std::to_string(j) + ", tag " + ShowOutputTag(f[0], parse.id) +
                       ": dataref " + f[2] + " element " + f[3] + ", precision " +
                       std::to_string(IntOf(f[1]));
    if (LastOf(f[0]) == 'N' && f.size() >= 6)
        text +=
            ", " + f[4] + " digits, " + (f[5] == "0" ? "no point" : "point after digit " + f[5]);
    if (!active) text += " (repeated tag: starts inactive)";
    return text;
}

}  // namespace

void ParseOutputEntry(BoardParse& parse, std::string text) {
    const int b = parse.board;
    if (!BoardExists(b)) return;
    // A line feed or carriage return left at the end (a Helvan panel's text is not trimmed) would
    // end up in the last field, a dataref name among them.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();

    std::vector<std::string> f = SplitBy(text, " ");
    if (f.size() < 2) {
        parse.Note(ConfigNoteKind::Skipped, "output entry without a dataref field; line ignored");
        return;
    }
    if (f.size() > 2 && f[2] == "not_selected") {
        parse.Note(ConfigNoteKind::Comment, "output not selected");
        return;
    }
    if (parse.IsArduino()) {
        std::string converted;
        if (!ConvertArduinoTag(f[0], converted)) {
            parse.Note(ConfigNoteKind::Skipped, "output tag '" + f[0] +
                                                    "' does not begin with a pin number of 0 to "
                                                    "255; line ignored");
            return;
        }
        f[0] = converted;
    }
    const char type = LastOf(f[0]);

    if (f.size() == 2) {
        OutputModeLed[b].push_back(f);
        parse.RememberSource(parse.ledModeSources);
        if (ConfigDiagnosing())
            parse.NoteMade(ConfigNoteEntry::LedMode, static_cast<int>(OutputModeLed[b].size() - 1),
                           "LED mode entry " + std::to_string(OutputModeLed[b].size() - 1) +
                               ", tag " + ShowOutputTag(f[0], parse.id) + ": " + f[1]);
        if (ConfigDiagnosing()) NoteLedModeReference(parse, f[1]);
        return;
    }
    if (type == 'N' && parse.IsArduino() && !CheckSevenSegment(parse, f)) return;

    NoteUnreadNumbers(parse, f, type);
    std::vector<float> range1;
    std::vector<float> range2;
    if (f.size() < 4) f.push_back("1");
    if (f.size() == 5) {
        if (type == 'S')
            f.push_back("500,2500");
        else if (type == 'P')
            f.push_back("0,255");
        else if (type == 'L' || type == 'l')
            f.push_back(f[4]);
    }
    ReadRanges(parse, f, type, range1, range2);
    if ((type == 'G' || type == 'g') && f.size() < 6)
        parse.Note(ConfigNoteKind::Suspect,
                   "stepper entry with fewer than six fields: no stepper settings are sent");
    if (f.size() > 7 && type != 'N')
        parse.Note(ConfigNoteKind::Suspect, "fields after field 6 are ignored");

    // A repeated tag starts inactive. The tags seen are kept in a set: a panel may send thousands
    // of entries, and comparing each with every earlier one would stall the call that reads them.
    const bool active = parse.outputTags.insert(f[0]).second;

    const int j = static_cast<int>(OutDrefs[b].size());
    OutDrefs[b].push_back(f);
    OutputActive[b].push_back(active);
    OutRange1[b].push_back(range1);
    OutRange2[b].push_back(range2);
    // Filled by the completion; pushed now so that every per-output table has the same length.
    Drefread[b].push_back(nullptr);
    Type[b].push_back(0);
    Arraynum[b].push_back(1);
    Precision[b].push_back(0);
    Previous[b].push_back("0");
    if (FitOutputStates(b)) OutputDue[b][static_cast<size_t>(j)] = true;
    parse.outputLines.push_back(parse.lineNumber);

    parse.RememberSource(parse.outputSources);
    if (ConfigDiagnosing())
        parse.NoteMade(ConfigNoteEntry::Output, j, DescribeOutput(parse, f, j, active));
}

void CompleteOutputs(const BoardParse& parse) {
    const int b = parse.board;
    if (!BoardExists(b)) return;
    const size_t count = OutDrefs[b].size();
    Drefread[b].resize(count, nullptr);
    Type[b].resize(count);
    Arraynum[b].resize(count, 1);
    Precision[b].resize(count);
    Previous[b].resize(count, "0");
    OutputActive[b].resize(count, true);
    // Every output is sent once after its board's configuration was read, whatever its value.
    FitOutputStates(b);
    OutputAllOn[b].assign(count, false);
    OutputDue[b].assign(count, true);
    // The tags that output-selecting inputs name, in a set: a panel may send thousands of both.
    const std::unordered_set<std::string> selected(parse.oList.begin(), parse.oList.end());
    for (size_t j = 0; j < count; ++j) {
        if (OutDrefs[b][j].size() < 4) continue;  // not made by the entry parser
        const std::vector<std::string>& f = OutDrefs[b][j];
        int element = std::max(IntOf(f[3]), 1);
        if (element > kMaxOutputElements) {
            NoteEntry(&parse.outputSources, j, ConfigNoteKind::Suspect,
                      "element " + f[3] + " is above 1023; 1023 used");
            element = kMaxOutputElements;
        }
        Arraynum[b][j] = element;
        Previous[b][j] = "0";
        int precision = std::clamp(IntOf(f[1]), -kPrecisionLimit, kPrecisionLimit);
        if (parse.IsArduino() && precision <= 0) --precision;
        if (f[2].compare(0, 8, "corvane/") == 0) AddCustomRef(f[2]);
        XPLMDataRef ref = XPLMFindDataRef(f[2].c_str());
        Drefread[b][j] = ref;
        Type[b][j] = ref ? XPLMGetDataRefTypes(ref) : 0;
        if (!ref && !LooksLikeName(f[1])) {  // else the precision is missing, noted above
            NoteEntry(&parse.outputSources, j, ConfigNoteKind::Suspect,
                      "dataref " + f[2] + " is not known to the simulator: nothing is sent");
            NameUnknownInLastNote(f[2]);
            // A name that an aircraft's plug-in may add later is looked up again in flight.
            if (MayAppearLater(f[2]))
                NoteMissingName(
                    b, true, static_cast<int>(j), f[2],
                    parse.PlaceOfLine(j < parse.outputLines.size() ? parse.outputLines[j] : 0));
        }
        if (ConfigDiagnosing()) {
            const std::string problem = ElementProblem(ref, Type[b][j], element, f[2]);
            if (!problem.empty())
                NoteEntry(&parse.outputSources, j, ConfigNoteKind::Suspect, problem);
        }
        if (Type[b][j] == 32 && precision > kMaxByteDataLength) {
            NoteEntry(&parse.outputSources, j, ConfigNoteKind::Suspect,
                      "byte data length " + f[1] + " is above 1024; 1024 used");
            precision = kMaxByteDataLength;
        }
        Precision[b][j] = precision;
        if (!OutputActive[b][j] && selected.count(f[0]) == 0) OutputActive[b][j] = true;
    }
}

NameLookup BindFoundOutputName(int b, int j) {
    if (!OutputExists(b, j) || Drefread[b][j] || OutDrefs[b][j].size() < 3) return NameLookup::Gone;
    XPLMDataRef ref = XPLMFindDataRef(OutDrefs[b][j][2].c_str());
    if (!ref) return NameLookup::Missing;
    Drefread[b][j] = ref;
    Type[b][j] = XPLMGetDataRefTypes(ref);
    if (Type[b][j] == 32) Precision[b][j] = std::min(Precision[b][j], kMaxByteDataLength);
    if (FitOutputStates(b)) OutputDue[b][static_cast<size_t>(j)] = true;
    return NameLookup::Found;
}
