#include "config/input_entries.h"

#include <algorithm>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMUtilities.h"
#include "config/board_tables.h"
#include "config/config_fields.h"
#include "config/dataref_elements.h"
#include "config/missing_names.h"
#include "config/text_utils.h"
#include "simdata/custom_refs.h"

namespace {

constexpr unsigned int kAnalogChannels = 16;

bool EndsWith(const std::string& text, char c) {
    return !text.empty() && text.back() == c;
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// One input as it is built; pushed into every per-input table at once.
struct InputEntry {
    std::vector<std::string> fields;
    std::string name;  // field 1 as written, for notes
    std::string tag;   // the final tag, for Datatags
    int mode = 0;
    void* pointer = nullptr;
    int types = 0;
    std::vector<float> range;
    int arrayNum = 0;
    float defaultValue = 1.0f;  // also a dataref input's when its value field is missing or empty
    int incrementDir = 0;
    int contval = -1;
    std::vector<int> skip;
    bool squareLaw = false;
    int groupMembers = 0;  // members of the T group it leads
    bool tagSplit{};       // the tag was written with a blank in it: field 1 is its rest
};

// The documented form of a pin reference: a pin number followed by one of N, l, L ("13L").
bool IsPinReference(const std::string& name) {
    if (name.size() < 2) return false;
    const char c = name.back();
    if (c != 'N' && c != 'l' && c != 'L') return false;
    for (size_t k = 0; k + 1 < name.size(); ++k)
        if (!IsDigit(name[k])) return false;
    return true;
}

std::string JoinFloats(const std::vector<float>& values) {
    std::string text;
    for (size_t k = 0; k < values.size(); ++k) {
        if (k) text += ",";
        // Six decimals after a point (or inf, nan): the zeros at the end go, then a last point.
        std::string number = std::to_string(values[k]);
        while (number.back() == '0') number.pop_back();
        if (number.back() == '.') number.pop_back();
        text += number;
    }
    return text;
}

// The three settings of an analog channel, bytes 3n, 3n + 1, 3n + 2.
void ApplyAnalogSettings(const BoardParse& parse, const std::vector<std::string>& f) {
    if (f.size() < 5) return;  // no settings on this line
    std::string& block = AnalogAdditional[parse.board];
    unsigned int n{};
    if (f[0].size() < 2 || !IsDigit(f[0][1]) || !ReadUnsigned(f[0].substr(1), n)) {
        parse.Note(ConfigNoteKind::Skipped, "analog settings ignored: no channel number after 'A'");
        return;
    }
    if (n >= std::min<size_t>(kAnalogChannels, block.size() / 3)) {
        parse.Note(ConfigNoteKind::Skipped,
                   "analog settings ignored: channel " + std::to_string(n) + " is above 15");
        return;
    }
    unsigned int values[3] = {};
    for (size_t k = 4; k < f.size() && k < 7; ++k) {
        if (!ReadUnsigned(f[k], values[k - 4]))
            parse.Note(ConfigNoteKind::Suspect, "analog setting '" + f[k] + "' (field " +
                                                    std::to_string(k) + ") does not read; 0 used");
    }
    // Above 50 the first setting goes as 100 plus its hundreds, and at least as 101.
    unsigned int u = values[0];
    if (u > 50) u = 100 + std::max(u / 100, 1u);
    block[3 * n] = static_cast<char>(u & 0xFF);
    if (f.size() >= 6) block[3 * n + 1] = static_cast<char>(values[1] & 0xFF);
    if (f.size() >= 7) block[3 * n + 2] = static_cast<char>(values[2] & 0xFF);
    if (ConfigDiagnosing())
        parse.Note(ConfigNoteKind::Entry,
                   "analog channel " + std::to_string(n) +
                       " settings: " + std::to_string(static_cast<unsigned char>(block[3 * n])) +
                       " " + std::to_string(static_cast<unsigned char>(block[3 * n + 1])) + " " +
                       std::to_string(static_cast<unsigned char>(block[3 * n + 2])));
    if (f.size() > 7) parse.Note(ConfigNoteKind::Suspect, "fields after field 6 are ignored");
}

// Values of field 2 that read as no number (they count as 0); the sign of a stepping value aside.
void NoteUnreadValues(const BoardParse& parse, const std::vector<std::string>& values,
                      bool stepping) {
    if (!ConfigDiagnosing()) return;
    for (size_t k = 0; k < values.size(); ++k) {
        std::string value = values[k];
        if (k == 0 && stepping) value.pop_back();
        if (!StartsWithNumber(value))
            parse.Note(ConfigNoteKind::Suspect,
                       "value '" + values[k] + "' does not read as a number; 0 used");
    }
}

// Values written with a blank after a comma (1+, 0, 360): the blank ends the value field, so the
// values after it are read as the next fields (the element, ...) and the range is lost.
void NoteBlankAfterComma(const BoardParse& parse, const std::vector<std::string>& f) {
    std::string meant;
    if (!ConfigDiagnosing() || FieldsOfCutList(f, 2, meant) == 0) return;
    parse.Note(ConfigNoteKind::Suspect, "the values '" + f[2] +
                                            "' end at a blank after a comma: '" + f[3] +
                                            "' is read as the next field and the range " +
                                            "is lost; write " + meant + " without blanks");
}

// An encoder input whose value has no sign writes that value on every turn instead of stepping.
void NoteEncoderWithoutStep(const BoardParse& parse, const InputEntry& entry) {
    const std::vector<std::string>& f = entry.fields;
    if (!ConfigDiagnosing() || entry.incrementDir != 0 || (f[0][0] != 'E' && f[0][0] != 'e'))
        return;
    const char sign = EndsWith(f[0], '-') ? '-' : '+';
    std::string meant = f.size() >= 3 ? f[2] : "1";
    const size_t comma = meant.find(',');
    meant.insert(comma == std::string::npos ? meant.size() : comma, 1, sign);
    parse.Note(ConfigNoteKind::Suspect,
               "encoder input with the value " + JoinFloats({entry.defaultValue}) +
                   " and no sign: every turn writes " + JoinFloats({entry.defaultValue}) +
                   "; to step on each turn write " + meant);
}

// An analog input maps its readings onto two values, on one of the board's 16 channels.
void NoteAnalogInput(const BoardParse& parse, const InputEntry& entry) {
    if (!ConfigDiagnosing()) return;
    const std::vector<std::string>& f = entry.fields;
    if (entry.range.size() != 2)
        parse.Note(ConfigNoteKind::Suspect,
                   "an analog input needs the two values lower,upper to map its readings onto (" +
                       std::to_string(entry.range.size()) + " given): readings write nothing");
    unsigned int n{};
    if (f[0][0] == 'A' && f.size() < 5 && IsDigit(f[0][1]) && ReadUnsigned(f[0].substr(1), n) &&
        n >= kAnalogChannels)
        parse.Note(ConfigNoteKind::Suspect,
                   "analog channel " + std::to_string(n) + " is above 15: boards have 0 to 15");
}

// An entry bound to a command.
void ReadCommandEntry(const BoardParse& parse, InputEntry& entry, void* command) {
    entry.pointer = command;
    if (CommandIsHold(entry.fields[1])) entry.contval = 1;
    if (entry.fields.size() > 2)
        parse.Note(ConfigNoteKind::Suspect, "a command takes no value fields; they are ignored");
}

// An entry bound to a dataref.
void ReadDatarefEntry(const BoardParse& parse, InputEntry& entry, void* ref) {
    const std::vector<std::string>& f = entry.fields;
    entry.pointer = ref;
    entry.types = XPLMGetDataRefTypes(ref);
    if (f.size() >= 3) {
        std::vector<std::string> values = SplitBy(f[2], ",");
        if (values.empty()) {
            parse.Note(ConfigNoteKind::Suspect,
                       "value field '" + f[2] + "' holds no value; 1 used");
        } else {
            std::string first = values[0];
            const bool stepping = EndsWith(first, '+') || EndsWith(first, '-');
            NoteUnreadValues(parse, values, stepping);
            if (values.size() >= 2) {
                if (!stepping) {
                    for (const std::string& v : values) entry.range.push_back(FloatOf(v));
                } else {
                    entry.range.push_back(FloatOf(values[1]));
                    if (values.size() >= 3) entry.range.push_back(FloatOf(values[2]));
                    if (values.size() > 3)
                        parse.Note(ConfigNoteKind::Suspect,
                                   "a stepping value takes a lower and an upper limit only; "
                                   "further values are ignored");
                }
            }
            if (EndsWith(first, '+')) {
                entry.incrementDir = 1;
                first.pop_back();
            } else if (EndsWith(first, '-')) {
                entry.incrementDir = -1;
                first.pop_back();
            }
            entry.defaultValue = FloatOf(first);
            if (f[1].find("ignition_key") != std::string::npos && entry.defaultValue == 4.0f)
                entry.contval = 1;
            if (f.size() >= 4) {
                entry.arrayNum = IntOf(f[3]);
                if (!StartsWithNumber(f[3]))
                    parse.Note(ConfigNoteKind::Suspect,
                               "array element '" + f[3] + "' does not read as a number; 1 used");
            }
            if (!f[0].empty() && f[0][0] == 'A') ApplyAnalogSettings(parse, f);
        }
    }
    entry.arrayNum = std::max(entry.arrayNum, 1);
    if (ConfigDiagnosing()) {
        const std::string problem =
            ElementProblem(static_cast<XPLMDataRef>(ref), entry.types, entry.arrayNum, f[1]);
        if (!problem.empty()) parse.Note(ConfigNoteKind::Suspect, problem);
        // A store only reads its dataref; every other dataref input writes it.
        const bool writes = f[0][0] != 'M' || entry.incrementDir != 0;
        if (writes && !XPLMCanWriteDataRef(static_cast<XPLMDataRef>(ref)))
            parse.Note(ConfigNoteKind::Suspect,
                       f[1] + " is read-only in the simulator: this input's writes are ignored");
    }
    if (!f[0].empty() && (f[0][0] == 'A' || f[0][0] == 'R')) NoteAnalogInput(parse, entry);
    NoteBlankAfterComma(parse, f);
    NoteEncoderWithoutStep(parse, entry);
}

// A name that is neither a command nor a dataref.
void ReadInternalEntry(BoardParse& parse, InputEntry& entry) {
    std::string& name = entry.fields[1];
    entry.arrayNum = -1;
    if (name[0] == 'O') {
        const size_t p = name.find('_');
        if (p == std::string::npos) {
            parse.oList.push_back(name);
            parse.Note(ConfigNoteKind::Suspect,
                       "output selection '" + name +
                           "' has no '_' before the output tag: it selects nothing");
        } else if (parse.IsArduino()) {
            // The tag after '_' takes the two-character form of the O section's tags, by the same
            // rule, so that it can equal the stored tag of the output it names.
            std::string converted;
            if (ConvertArduinoTag(name.substr(p + 1), converted)) {
                name = name.substr(0, p + 1) + converted;
                parse.oList.push_back(converted);
            } else {
                parse.Note(ConfigNoteKind::Suspect,
                           "output tag '" + name.substr(p + 1) +
                               "' does not begin with a pin number of 0 to "
                               "255: this input selects no output");
            }
        } else {
            // A Helvan panel keeps its output tags as written.
            parse.oList.push_back(name.substr(p + 1));
        }
        return;
    }
    if (IsPinReference(name)) {
        entry.contval = 1;
        const unsigned int pin = UnsignedOrZero(name);
        if (pin > 255)
            parse.Note(ConfigNoteKind::Suspect,
                       "pin number " + name.substr(0, name.size() - 1) + " does not fit one byte");
        // The two-character form of the O section's tags (pin byte, letter), so that it names
        // the output of that pin and kind.
        std::string converted;
        if (parse.IsArduino() && ConvertArduinoTag(name, converted)) {
            name = converted;
            parse.convertedPins.push_back(static_cast<int>(Datatags[parse.board].size()));
        }
        return;
    }
    const char last = name.back();
    if (last == 'N' || last == 'l' || last == 'L')
        parse.Note(ConfigNoteKind::Suspect,
                   "'" + name + "' ends in " + std::string(1, last) +
                       " but is no pin number and letter: taken as a comparison reference");
    else if (name.find_first_of("<>=") == std::string::npos && !entry.tagSplit) {
        parse.Note(ConfigNoteKind::Suspect, "'" + name +
                                                "' is not a command or dataref of the simulator: "
                                                "it becomes an internal input");
        NameUnknownInLastNote(name);
    }
}

bool IsLetters(const std::string& text) {
    for (char c : text)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
    return !text.empty();
}

// Tags as a new builder mistypes them: a blank inside the tag (D 4+), which makes the rest of the
// tag the name, and an encoder tag without the sign that every encoder message carries. True when
// the tag has a blank in it.
bool NoteTagMistakes(const BoardParse& parse, const std::vector<std::string>& f) {
    if (!ConfigDiagnosing()) return false;
    if (f.size() >= 3 && IsLetters(f[0]) && IsDigit(f[1][0])) {
        parse.Note(ConfigNoteKind::Suspect,
                   "the tag '" + f[0] + " " + f[1] + "' has a blank in it: the tag is read as '" +
                       f[0] + "' and '" + f[1] + "' as the name; write " + f[0] + f[1]);
        return true;
    }
    const std::string& tag = f[0];
    if ((tag[0] == 'E' || tag[0] == 'e') && tag.size() > 1 && !EndsWith(tag, '+') &&
        !EndsWith(tag, '-')) {
        const std::string sent = "E" + tag.substr(1, tag.find('/') - 1);
        parse.Note(ConfigNoteKind::Suspect,
                   "encoder tag '" + tag + "' has no sign: the board sends " + sent + "+ and " +
                       sent + "-, which never match it; write " + tag + "+ and " + tag + "-");
    }
    return false;
}

// Group, encoder, skip and square-law rules on the tag.
void ApplyTagRules(BoardParse& parse, InputEntry& entry, int i) {
    std::string& tag = entry.tag;
    const int b = parse.board;
    if (tag[0] == 'B' || tag[0] == 'D' || tag[0] == 'A') {
        for (ListItem& item : parse.rList)
            if (item.text == tag) {
                entry.contval = 2;
                item.used = true;
            }
        for (TGroup& group : parse.tList) {
            if (group.tag != tag) continue;
            if (group.members == 0) {
                entry.mode = 1;
                group.leader = i;
            }
            ++group.members;
            const char last = tag.back();
            tag = tag.substr(0, tag.size() - 1) + "/" + std::to_string(group.members) + last;
            if (group.leader == i) {
                entry.mode += 10;
                entry.groupMembers = 1;
            } else if (group.leader >= 0 && group.leader < static_cast<int>(Mode[b].size())) {
                Mode[b][group.leader] += 10;
                if (group.leader < static_cast<int>(GroupMembers[b].size()))
                    GroupMembers[b][group.leader] = group.members;
            }
            break;  // the tag has changed: no later element can equal it
        }
    }
    if (tag[0] == 'e') tag[0] = 'E';
    if (tag[0] == 'E') {
        const std::string prefix = tag.substr(0, tag.find('/'));
        if (std::find(parse.eList.begin(), parse.eList.end(), prefix) == parse.eList.end()) {
            entry.mode = 1;
            parse.eList.push_back(prefix);
        }
    }
    const std::string stem = tag.substr(0, tag.size() - 1);
    for (ListItem& item : parse.sList) {
        const std::vector<std::string> parts = SplitBy(item.text, ",");
        if (parts.size() < 2 || parts[0] != stem) continue;
        entry.skip.push_back(IntOf(parts[1]));
        entry.skip.push_back(0);
        item.used = true;
    }
    if (tag[0] == 'A')
        for (ListItem& item : parse.qList)
            if (item.text == tag) {
                entry.squareLaw = true;
                item.used = true;
            }
}

std::string Describe(const BoardParse& parse, const InputEntry& entry, int i) {
    std::string text = "input " + std::to_string(i) + ", tag " + entry.tag + ": ";
    const std::string& name = entry.fields[1];
    if (entry.arrayNum > 0) {
        text += "dataref " + name + " element " + std::to_string(entry.arrayNum);
        if (entry.incrementDir != 0)
            text += std::string(", steps by ") + (entry.incrementDir == 1 ? "+" : "-") +
                    JoinFloats({entry.defaultValue});
        else
            text += ", value " + JoinFloats({entry.defaultValue});
        if (!entry.range.empty()) text += ", range " + JoinFloats(entry.range);
        if (entry.squareLaw) text += ", square law";
    } else if (entry.arrayNum == 0) {
        text += "command " + name;
        if (entry.contval == 1) text += " (held while pressed)";
    } else if (name[0] == 'O') {
        const size_t p = name.find('_');
        text += p == std::string::npos
                    ? "output selection " + name
                    : "selects output " + ShowOutputTag(name.substr(p + 1), parse.id);
    } else if (entry.contval == 1) {
        text += "internal pin reference " + entry.name;
    } else {
        text += "internal reference " + name;
    }
    if (entry.contval == 2) text += " (repeated while held)";
    if (entry.mode > 1) text += " (leads a group)";
    if (!entry.skip.empty()) text += " (skip count " + std::to_string(entry.skip[0]) + ")";
    return text;
}

}  // namespace

void ParseInputEntry(BoardParse& parse, std::string text) {
    const int b = parse.board;
    if (!BoardExists(b)) return;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();

    InputEntry entry;
    entry.fields = SplitBy(text, " ");
    std::vector<std::string>& f = entry.fields;
    if (f.size() < 2) {
        parse.Note(ConfigNoteKind::Skipped, "input entry without a name field");
        return;
    }
    if (f[1] == "not_selected") {
        parse.Note(ConfigNoteKind::Comment, "input not selected");
        return;
    }
    const int i = static_cast<int>(Datatags[b].size());
    if (ConfigDiagnosing()) entry.name = f[1];
    entry.tagSplit = NoteTagMistakes(parse, f);

    XPLMCommandRef command = XPLMFindCommand(f[1].c_str());
    XPLMDataRef ref = command ? nullptr : XPLMFindDataRef(f[1].c_str());
    if (f[0][0] == 'd') f[0][0] = 'D';
    if (f[0][0] == 'b') f[0][0] = 'B';

    if (command) {
        ReadCommandEntry(parse, entry, command);
    } else if (ref) {
        ReadDatarefEntry(parse, entry, ref);
    } else {
        // A name that an aircraft's plug-in may add later is looked up again in flight.
        if (InputNameMayAppear(f[1])) NoteMissingName(b, false, i, f[1], parse.LinePlace());
        ReadInternalEntry(parse, entry);
    }

    entry.tag = f[0];
    ApplyTagRules(parse, entry, i);

    Data[b].push_back(entry.fields);
    Datatags[b].push_back(entry.tag);
    Mode[b].push_back(entry.mode);
    InputDataPointer[b].push_back(entry.pointer);
    InputDrefTypes[b].push_back(entry.types);
    InputDataRange[b].push_back(entry.range);
    InputArrayNum[b].push_back(entry.arrayNum);
    InputDefault[b].push_back(entry.defaultValue);
    InputIncrementDir[b].push_back(entry.incrementDir);
    Contval[b].push_back(entry.contval);
    InputSkip[b].push_back(entry.skip);
    InputSquareLaw[b].push_back(entry.squareLaw);
    GroupMembers[b].push_back(entry.groupMembers);

    parse.RememberSource(parse.inputSources);
    if (ConfigDiagnosing()) parse.NoteMade(ConfigNoteEntry::Input, i, Describe(parse, entry, i));
}

bool InputNameMayAppear(const std::string& name) {
    return !name.empty() && name[0] != 'O' && MayAppearLater(name);
}

NameLookup BindFoundInputName(int b, int i) {
    if (!InputExists(b, i) || InputArrayNum[b][i] >= 0 || Data[b][i].size() < 2)
        return NameLookup::Gone;
    const std::string& name = Data[b][i][1];
    XPLMCommandRef command = XPLMFindCommand(name.c_str());
    XPLMDataRef ref = command ? nullptr : XPLMFindDataRef(name.c_str());
    if (!command && !ref) return NameLookup::Missing;
    InputEntry entry;
    entry.fields = Data[b][i];
    BoardParse parse;
    parse.board = b;
    parse.id = OutDevice[b];
    if (command)
        ReadCommandEntry(parse, entry, command);
    else
        ReadDatarefEntry(parse, entry, ref);
    InputDataPointer[b][i] = entry.pointer;
    InputDrefTypes[b][i] = entry.types;
    InputDataRange[b][i] = entry.range;
    InputArrayNum[b][i] = entry.arrayNum;
    InputDefault[b][i] = entry.defaultValue;
    InputIncrementDir[b][i] = entry.incrementDir;
    // A repeat while held (R list) is the tag's, whatever the name is.
    if (Contval[b][i] != 2) Contval[b][i] = entry.contval;
    return NameLookup::Found;
}
