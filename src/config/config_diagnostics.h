// Optional report of what the data.cfg readers make of each line, for checking tools.
//
// The readers (LoadConfig's sectioning, ReadConfigFile, the entry parsers and the option passes)
// add one note per line they accept, skip or find odd, but only while ConfigDiagnostics points at
// a list. It is null in the plug-in, where every report costs one pointer test.
#pragma once

#include <string>
#include <vector>

enum class ConfigNoteKind {
    Entry,    // what the line became (a header, a setting, input i, output j, ...)
    Skipped,  // the line or part of it is not used
    Suspect,  // used, but probably not what was meant
    Comment,  // not read, as the writer meant: a comment, free text, an entry not selected
};

// The board table entry that an Entry note describes.
enum class ConfigNoteEntry {
    None,
    Input,    // input `index` of the board
    Output,   // output `index`
    LedMode,  // LED mode entry `index`
};

struct ConfigNote {
    // 1-based line number: a data.cfg line for the sectioning (SplitConfigSections, LoadConfig);
    // for ReadConfigFile the position in its text's lines as SplitBy(text, "\n") gives them
    // (ConfigSection::fileLines maps it back to the file); 0 for a note about the whole section.
    int line = 0;
    std::string text;  // the line as read
    ConfigNoteKind kind = ConfigNoteKind::Entry;
    std::string reason;
    ConfigNoteEntry entry = ConfigNoteEntry::None;  // set on the Entry note of a new table entry
    int index = -1;                                 // the entry's index in its table
    std::string unknownName;  // a name of the line that the simulator does not know, if any
};

// Where the notes go; null (the default) switches reporting off.
extern std::vector<ConfigNote>* ConfigDiagnostics;

inline bool ConfigDiagnosing() {
    return ConfigDiagnostics != nullptr;
}

// Appends a note when reporting is on.
void AddConfigNote(int line, const std::string& text, ConfigNoteKind kind,
                   const std::string& reason);
// Appends the Entry note of a new input, output or LED mode entry when reporting is on.
void AddEntryNote(int line, const std::string& text, ConfigNoteEntry entry, int index,
                  const std::string& reason);

// Records on the last note the name it is about that the simulator does not know, so that a
// checking tool can look for the name that was meant.
void NameUnknownInLastNote(const std::string& name);

// Points ConfigDiagnostics at a list for the lifetime of this object, then restores it.
class ConfigDiagnosticsScope {
  public:
    explicit ConfigDiagnosticsScope(std::vector<ConfigNote>& notes) : saved_(ConfigDiagnostics) {
        ConfigDiagnostics = &notes;
    }
    ~ConfigDiagnosticsScope() { ConfigDiagnostics = saved_; }
    ConfigDiagnosticsScope(const ConfigDiagnosticsScope&) = delete;
    ConfigDiagnosticsScope& operator=(const ConfigDiagnosticsScope&) = delete;

  private:
    std::vector<ConfigNote>* saved_;
};
