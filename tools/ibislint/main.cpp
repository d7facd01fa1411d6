// ibislint: checks IBIS (.ibs), package (.pkg), board description (.ebd) and AMI
// parameter-definition (.ami) files and gives a verdict for each.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "IbisParser/frame.h"
#include "IbisParser/parse.h"
#include "IbisParser/report.h"

namespace {

const char* kUsage =
    "usage: ibislint [options] FILE...\n"
    "Checks each file by its extension (.ibs, .pkg, .ebd, .ami) against the IBIS version it\n"
    "declares (1.1 to 7.2; an .ami file by the IBIS file that names it, or its AMI_Version)\n"
    "and prints every finding, then a summary and a verdict for that file. An\n"
    "[Algorithmic Model] also has the files it names checked: plain names, looked up in\n"
    "the folder of the .ibs file. Only regular files are read; an .ami file may hold at\n"
    "most 16 MiB.\n"
    "\n"
    "  --numbered          print message numbers (E1234 ...) instead of words\n"
    "  --no-warnings       do not print or count warnings\n"
    "  --quiet             no \"Checking ...\" banner per file\n"
    "  --help              this text\n"
    "\n"
    "Exit status: 0 when every file passed, 1 when any failed, 2 for a usage error.\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--numbered") SetWordStyle(false);
        else if (arg == "--no-warnings") SetWarningsQuiet(true);
        else if (arg == "--quiet") Frame().quiet = true;
        else if (arg == "--") {
            for (++i; i < argc; ++i) files.push_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "ibislint: unknown option '%s'\n%s", arg.c_str(), kUsage);
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "ibislint: no file to check\n%s", kUsage);
        return 2;
    }
    bool allPassed = true;
    for (const std::string& file : files) {
        ResetCounts();
        const int kind = FileKindOf(file);
        if (kind == 0) {
            std::printf("\nibislint: %s: not a .ibs, .pkg, .ebd or .ami file\n\nFile Failed\n", file.c_str());
            allPassed = false;
            continue;
        }
        try {
            CheckIbisFile(file.c_str(), kind);
        } catch (const std::exception& e) {
            // Memory ran out (or the like): the checker's state is not to be trusted
            // for further files, so the run ends here with a clear verdict.
            std::fflush(stdout);
            std::fprintf(stderr, "ibislint: %s: check abandoned (%s)\n", file.c_str(), e.what());
            std::printf("\nFile Failed\n");
            return 1;
        }
        std::printf("\nSummary of %s:\n", file.c_str());
        PrintSummary();
        std::uint32_t bugs = 0, errors = 0;
        GetCounts(&bugs, &errors, nullptr);
        if (bugs || errors) allPassed = false;
        std::fflush(stdout);
    }
    return allPassed ? 0 : 1;
}
