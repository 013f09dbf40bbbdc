#include "check_options.h"

#include "xphost.h"

namespace corvane_check {

const char kCheckUsage[] =
    "usage: corvane-check [--xplane DIR] [--datarefs FILE] [--quiet] [--panel] [FILE]\n";

const char kCheckHelp[] =
    "usage: corvane-check [--xplane DIR] [--datarefs FILE] [--quiet] [--panel] [FILE]\n"
    "\n"
    "Reads FILE, a Corvane data.cfg or an aircraft's profile (profiles/NAME.cfg), with the\n"
    "plug-in's own reader, and prints for every board section what each line becomes: its\n"
    "inputs, outputs and LED mode entries, the blocks the board receives (pin uses, analog,\n"
    "7-segment and stepper blocks), and every line that the plug-in skips or will read in a way\n"
    "that was probably not meant, with its line number. Without FILE, run in the plug-in's\n"
    "folder: data.cfg and every profile in profiles/, one after the other.\n"
    "\n"
    "  --xplane DIR     check names against X-Plane's own lists, DIR/Resources/plugins/\n"
    "                   DataRefs.txt and Commands.txt. Run from inside the plug-in's folder\n"
    "                   (Resources/plugins/Corvane or a sub-folder) without --xplane and\n"
    "                   --datarefs, the checker finds them by itself. Beside them it reads\n"
    "                   the plug-in's datarefs-live.txt, when there is one: every dataref of\n"
    "                   a running X-Plane, an add-on aircraft's included, as the plug-in's\n"
    "                   menu item Write dataref list writes it\n"
    "  --datarefs FILE  datarefs and commands in the format of examples/datarefs.txt, also\n"
    "                   beside --xplane for names that plug-ins add (default, when X-Plane's\n"
    "                   lists are not found: the list the headless host xphost loads:\n"
    "                   $XPHOST_DATAREFS, else examples/datarefs.txt of the source tree).\n"
    "                   Names in none of the lists and not the plug-in's own corvane/ names\n"
    "                   are reported, with the closest known names\n"
    "  --quiet          print the problems only, one per line as FILE:LINE: kind: reason\n"
    "  --panel          FILE is the configuration text that a Helvan panel sends\n"
    "  --help           this text\n"
    "\n"
    "Exit status: 0 no problem, 1 problems found, 2 bad command line or unreadable file.\n";

bool ParseCheckOptions(int argc, const char* const* argv, CheckOptions& options,
                       std::string& error) {
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--datarefs") {
            if (k + 1 >= argc) {
                error = "--datarefs needs a file";
                return false;
            }
            options.datarefs = argv[++k];
            options.listGiven = true;
        } else if (arg == "--xplane") {
            if (k + 1 >= argc) {
                error = "--xplane needs the X-Plane folder";
                return false;
            }
            options.xplane = argv[++k];
            options.listGiven = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--panel") {
            options.panel = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            error = "unknown option " + arg;
            return false;
        } else if (!options.file.empty()) {
            error = "one file at a time";
            return false;
        } else {
            options.file = arg;
        }
    }
    if (options.file.empty() && options.panel) {
        error = "--panel needs the file to check";
        return false;
    }
    if (!options.listGiven) options.datarefs = xphost::DefaultDatarefFile();
    return true;
}

}  // namespace corvane_check
