#include "config/config_diagnostics.h"

std::vector<ConfigNote>* ConfigDiagnostics = nullptr;

void AddConfigNote(int line, const std::string& text, ConfigNoteKind kind,
                   const std::string& reason) {
    if (!ConfigDiagnostics) return;
    ConfigDiagnostics->push_back(ConfigNote{line, text, kind, reason});
}

void AddEntryNote(int line, const std::string& text, ConfigNoteEntry entry, int index,
                  const std::string& reason) {
    if (!ConfigDiagnostics) return;
    ConfigDiagnostics->push_back(
        ConfigNote{line, text, ConfigNoteKind::Entry, reason, entry, index});
}
