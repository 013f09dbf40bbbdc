// corvane-check: reads a data.cfg or an aircraft's profile with the plug-in's own readers and tells
// what every line becomes and which lines the plug-in skips or will read in a way that was
// probably not meant.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "check/name_lists.h"
#include "check/verdict.h"
#include "check_options.h"
#include "check_world.h"
#include "config/aircraft_profile.h"
#include "program_folder.h"
#include "report_text.h"

namespace {

// The lists given on the command line; without any, X-Plane's lists when the checker runs from a
// plug-in's folder inside X-Plane (the current folder or the program's own), else the host's list.
corvane_check::NameSources NameSourcesOf(const corvane_check::CheckOptions& options,
                                         const char* argv0) {
    corvane_check::NameSources sources;
    if (options.listGiven) {
        sources.datarefs = options.datarefs;
        if (!options.xplane.empty()) {
            sources.xplaneLists = corvane_check::XPlaneListFolder(options.xplane);
            sources.liveList = sources.xplaneLists + "/Corvane/" + corvane_check::kLiveListFile;
        }
        return sources;
    }
    for (const std::string& folder : {std::string("."), corvane_check::ProgramFolder(argv0)}) {
        if (folder.empty()) continue;
        std::string plugin;
        sources.xplaneLists = corvane_check::FindListsFromPluginFolder(folder, &plugin);
        sources.liveList = plugin + "/" + corvane_check::kLiveListFile;
        if (!sources.xplaneLists.empty()) return sources;
    }
    sources.liveList.clear();
    sources.datarefs = options.datarefs;
    return sources;
}

// The file named, or without one the plug-in's folder's data.cfg and every profile in it.
std::vector<std::string> FilesToCheck(const corvane_check::CheckOptions& options) {
    if (!options.file.empty()) return {options.file};
    std::vector<std::string> files;
    // A data.cfg of any kind is named: a folder or a link to nothing is told, not passed over.
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status("data.cfg", error)))
        files.push_back("data.cfg");
    for (const std::string& name : ProfileNames(".")) files.push_back("profiles/" + name);
    return files;
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
    int status = corvane_check::kExitClean;
    std::vector<std::pair<std::string, std::string>> texts;  // each readable file and its text
    const std::vector<std::string> files = FilesToCheck(options);
    for (const std::string& file : files) {
        std::string text, why;
        if (corvane_check::ReadWholeFile(file, text, &why)) {
            texts.emplace_back(file, std::move(text));
            continue;
        }
        std::cerr << "corvane-check: cannot read " << file << ": " << why << "\n";
        status = corvane_check::kExitUsage;
    }
    if (files.empty())
        std::cerr << "corvane-check: no file to check: name one, or run in the plug-in's folder "
                     "(data.cfg, profiles/)\n"
                  << corvane_check::kCheckUsage;
    if (texts.empty()) return corvane_check::kExitUsage;
    std::string warning;
    const corvane_check::NameSources sources = NameSourcesOf(options, argc > 0 ? argv[0] : "");
    if (!corvane_check::PrepareWorldFrom(sources, &error, &warning)) {
        std::cerr << "corvane-check: " << error
                  << " (name the lists with --xplane DIR or --datarefs FILE)\n";
        return corvane_check::kExitUsage;
    }
    if (!warning.empty()) std::cerr << "corvane-check: " << warning << "\n";
    if (!sources.xplaneLists.empty() && !options.listGiven && !options.quiet)
        std::cerr << "corvane-check: names from X-Plane's lists in " << sources.xplaneLists << "\n";
    if (!sources.liveList.empty() && std::filesystem::exists(sources.liveList) && !options.quiet)
        std::cerr << "corvane-check: and from the running X-Plane's list " << sources.liveList
                  << "\n";
    for (const auto& [file, text] : texts) {
        const corvane_check::Verdict verdict =
            corvane_check::CheckConfigText(options.panel ? "panel" : "data.cfg", text);
        if (options.quiet) {
            corvane_check::WriteProblems(std::cout, verdict, file);
        } else {
            if (&file != &texts.front().first) std::cout << "\n";
            corvane_check::WriteReport(std::cout, verdict, file);
        }
        if (!verdict.Issues().empty() && status == corvane_check::kExitClean)
            status = corvane_check::kExitProblems;
    }
    return status;
}
