// The state of one ReadConfigFile run: the board being read, the line being parsed and the lists
// that the A entries fill and the I entries consult Local to one run.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "config/config_diagnostics.h"

// One T list element: a tag whose inputs form a group, its member count and its leader.
struct TGroup {
    std::string tag;
    int members = 0;
    int leader = -1;  // input index of the first member; -1 until one is read
    int line = 0;     // line of the A entry, for notes
};

// One element of the R, S or Q list.
struct ListItem {
    std::string text;
    int line = 0;       // line of the A entry, for notes
    bool used = false;  // some input matched it
};

// Where an input, output or LED mode entry came from, kept only while reporting is on.
struct EntrySource {
    int line = 0;
    std::string text;
};

struct BoardParse {
    int board = 0;         // board index of the row being filled
    unsigned int id = 0;   // board ID; 0 is the Helvan panel
    int lineNumber = 0;    // 1-based position of the current line in the text, for notes
    std::string lineText;  // the current line, for notes
    // The line in the configuration file of each line of the text, when the text is a section of
    // that file (fileName, "data.cfg" or "profiles/B738.cfg"); else null.
    const std::vector<int>* fileLines = nullptr;
    std::string fileName;

    std::vector<TGroup> tList;       // A entry T
    std::vector<ListItem> rList;     // A entry R
    std::vector<ListItem> sList;     // A entry S: items "tag,count" (only items with a comma)
    std::vector<ListItem> qList;     // A entry Q
    std::vector<std::string> eList;  // prefixes of encoder tags seen
    std::vector<std::string> oList;  // output tags named by output-selecting inputs
    bool inputsSeen = false;         // an [I] header has been read (A entries after it are late)
    std::vector<int> convertedPins;  // inputs whose pin reference became one character (Arduino)
    std::unordered_set<std::string> outputTags;  // tags of the outputs read so far
    std::vector<int> outputLines;                // line of each output, by index

    // Sources of the board's inputs, outputs and LED mode entries, by index (reporting only).
    std::vector<EntrySource> inputSources;
    std::vector<EntrySource> outputSources;
    std::vector<EntrySource> ledModeSources;

    bool IsArduino() const { return id != 0; }
    // Where line `number` of the text is written, for the log: "data.cfg line 14"; a Helvan
    // panel's text is the panel's own ("panel configuration").
    std::string PlaceOfLine(int number) const {
        const size_t k = static_cast<size_t>(number - 1);
        if (fileLines && number >= 1 && k < fileLines->size())
            return fileName + " line " + std::to_string((*fileLines)[k]);
        return IsArduino() ? "line " + std::to_string(number) : "panel configuration";
    }
    std::string LinePlace() const { return PlaceOfLine(lineNumber); }
    // A note about the current line (only when reporting is on).
    void Note(ConfigNoteKind kind, const std::string& reason) const {
        if (ConfigDiagnosing()) AddConfigNote(lineNumber, lineText, kind, reason);
    }
    // The Entry note of the table entry just made from the current line.
    void NoteMade(ConfigNoteEntry entry, int index, const std::string& reason) const {
        if (ConfigDiagnosing()) AddEntryNote(lineNumber, lineText, entry, index, reason);
    }
    // Remembers the current line as the source of the entry just appended (reporting only).
    void RememberSource(std::vector<EntrySource>& sources) const {
        if (ConfigDiagnosing()) sources.push_back(EntrySource{lineNumber, lineText});
    }
};

// A note about an entry read earlier (input, output or LED mode entry `index`), for the option
// passes; sources may be null, and then the note has no line.
inline void NoteEntry(const std::vector<EntrySource>* sources, size_t index, ConfigNoteKind kind,
                      const std::string& reason) {
    if (!ConfigDiagnosing()) return;
    if (sources && index < sources->size())
        AddConfigNote((*sources)[index].line, (*sources)[index].text, kind, reason);
    else
        AddConfigNote(0, std::string(), kind, reason);
}
