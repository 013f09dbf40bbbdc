// corvane-check: reads a data.cfg with the plug-in's own readers and tells what every line
// becomes and which lines the plug-in skips or will read in a way that was probably not meant.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "check_options.h"
#include "check_world.h"
#include "config_check.h"
#include "report_text.h"

namespace {

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    corvane_check::CheckOptions options;
    std::string error;
    if (!corvane_check::ParseCheckOptions(argc, argv, options, error)) {
        std::cerr << "corvane-check: " << error << "\n" << corvane_check::kCheckUsage;
        return corvane_check::kExitUsage;
    }
    if (options.help) {
        std::cout << corvane_check::kCheckHelp;
        return corvane_check::kExitClean;
    }
    std::string text;
    if (!ReadWholeFile(options.file, text)) {
        std::cerr << "corvane-check: cannot read " << options.file << "\n";
        return corvane_check::kExitUsage;
    }
    std::string warning;
    if (!corvane_check::PrepareWorld(options.datarefs, &error, &warning)) {
        std::cerr << "corvane-check: " << error << " (give one with --datarefs FILE)\n";
        return corvane_check::kExitUsage;
    }
    if (!warning.empty())
        std::cerr << "corvane-check: " << options.datarefs << ": " << warning << "\n";
    const corvane_check::CheckReport report =
        options.panel ? corvane_check::CheckPanelText(text) : corvane_check::CheckDataCfg(text);
    if (options.quiet)
        corvane_check::WriteProblems(std::cout, report, options.file);
    else
        corvane_check::WriteReport(std::cout, report, options.file);
    return report.Problems().empty() ? corvane_check::kExitClean : corvane_check::kExitProblems;
}
