#include "console/CommandLine.h"

#include <vector>

std::wstring ParseCommandLine(int Count, wchar_t** Arguments, CommandLine& Result) {
    std::vector<std::wstring> positional;
    bool optionsEnded = false;
    for (int i = 0; i < Count; ++i) {
        const std::wstring argument = Arguments[i];
        if (optionsEnded || argument.size() < 2 || (argument[0] != L'-' && argument != L"/?")) {
            positional.push_back(argument);
        } else if (argument == L"--") {
            // Everything after it is a plain argument: a label may begin with "-".
            optionsEnded = true;
        } else if (argument == L"--help" || argument == L"-h" || argument == L"/?" || argument == L"-?") {
            Result.Help = true;
        } else if (argument == L"--dry-run") {
            Result.DryRun = true;
        } else if (argument == L"--yes") {
            Result.Yes = true;
        } else if (argument == L"--report" || argument.starts_with(L"--report=")) {
            if (argument == L"--report") {
                if (i + 1 == Count) return L"--report needs a file name.";
                Result.Report = Arguments[++i];
            } else {
                Result.Report = argument.substr(9);
            }
            if (Result.Report.empty()) return L"--report needs a file name.";
        } else {
            return L"Unknown option: " + argument;
        }
    }
    if (Result.Help) return {};
    if (positional.size() != 3)
        return positional.size() < 3 ? L"INPUT, OUTPUT and LABEL are needed." : L"Too many arguments: " + positional[3];
    Result.Input = positional[0];
    Result.Output = positional[1];
    Result.Label = positional[2];
    return {};
}

const wchar_t* UsageText() {
    return L"Files the photos of a camera card: each file directly in INPUT moves to OUTPUT\n"
           L"as yyyy-mm-dd_LABEL_nn.ext, by its last-write date, with a counter that starts\n"
           L"at 01 every day. A file of the new name is never replaced.\n"
           L"\n"
           L"KamdropCmd INPUT OUTPUT LABEL [--dry-run] [--yes] [--report FILE]\n"
           L"\n"
           L"  INPUT          the card's folder, e.g. E:\\DCIM\\100CANON\n"
           L"  OUTPUT         the folder the photos go to\n"
           L"  LABEL          part of every new name, at most 50 characters; a blank,\n"
           L"                 \"*\", \".\", \"?\" and \"\\\" become \"_\"\n"
           L"  --dry-run      shows the new names and what would fail; moves nothing\n"
           L"  --yes          goes on when INPUT and OUTPUT are the same folder\n"
           L"  --report FILE  writes a CSV file (UTF-8): source, target, result, reason\n"
           L"  --             ends the options (for a label that begins with \"-\")\n"
           L"  --help, -h, /? shows this text\n"
           L"\n"
           L"One line per file: \"OK   file -> new name\" or \"FAIL file -> new name (why)\",\n"
           L"then a summary. Ctrl+C stops after the file in hand.\n"
           L"\n"
           L"Exit status: 0 all moved (a dry run: nothing would fail), 1 some files failed,\n"
           L"2 wrong use or a check refused (nothing moved), 3 the run ended on a date it\n"
           L"could not read, 130 stopped by Ctrl+C.\n";
}
