#include "config/config_diagnostics.h"

#include <utility>

std::vector<ConfigNote>* ConfigDiagnostics = nullptr;

void AddConfigNote(int line, const std::string& text, ConfigNoteKind kind,
                   const std::string& reason) {
    if (!ConfigDiagnostics) return;
    ConfigNote note;
    note.line = line;
    note.text = text;
    note.kind = kind;
    note.reason = reason;
    ConfigDiagnostics->push_back(std::move(note));
}

void AddEntryNote(int line, const std::string& text, ConfigNoteEntry entry, int index,
                  const std::string& reason) {
    if (!ConfigDiagnostics) return;
    AddConfigNote(line, text, ConfigNoteKind::Entry, reason);
    ConfigDiagnostics->back().entry = entry;
    ConfigDiagnostics->back().index = index;
}

void NameUnknownInLastNote(const std::string& name) {
    if (ConfigDiagnostics && !ConfigDiagnostics->empty())
        ConfigDiagnostics->back().unknownName = name;
}
