#include "console/CommandLine.h"

#include <windows.h>

#include <set>
#include <vector>

std::wstring ParseCommandLine(int Count, wchar_t** Arguments, CommandLine& Result) {
    std::vector<std::wstring> positional;
    std::set<std::wstring> given;
    // The first thing wrong, in the order of the arguments; the rest are still read.
    std::wstring wrong;
    auto refuse = [&](std::wstring text) {
        if (wrong.empty()) wrong = std::move(text);
    };
    auto once = [&](const std::wstring& option) {
        if (!given.insert(option).second) refuse(option + L" is given twice.");
    };
    // An option with a value, "--name VALUE" or "--name=VALUE". A forgotten value must not turn
    // the next option into one: "--report --dry-run".
    auto valued = [&](const std::wstring& option, const wchar_t* what, std::wstring& value, int& i) {
        once(option);
        const std::wstring argument = Arguments[i];
        if (argument == option) {
            const bool named = i + 1 < Count && (Arguments[i + 1][0] != L'-' || Arguments[i + 1][1] == L'\0');
            if (!named) {
                refuse(option + L" needs " + what + L" (" + option + L"=NAME for a name that begins with \"-\").");
                return;
            }
            value = Arguments[++i];
        } else {
            value = argument.substr(option.size() + 1);
        }
        if (value.empty()) refuse(option + L" needs " + what + L".");
    };
    bool optionsEnded = false;
    for (int i = 0; i < Count; ++i) {
        const std::wstring argument = Arguments[i];
        if (argument.find(L'"') != std::wstring::npos) Result.QuoteInArgument = true;
        if (optionsEnded || argument.size() < 2 || (argument[0] != L'-' && argument != L"/?")) {
            positional.push_back(argument);
        } else if (argument == L"--") {
            // Everything after it is a plain argument: a label may begin with "-".
            optionsEnded = true;
        } else if (argument == L"--help" || argument == L"-h" || argument == L"/?" || argument == L"-?") {
            once(L"--help");
            Result.Help = true;
        } else if (argument == L"--dry-run") {
            once(argument);
            Result.DryRun = true;
        } else if (argument == L"--yes") {
            once(argument);
            Result.Yes = true;
        } else if (argument.starts_with(L"--date=") || argument == L"--date") {
            once(L"--date");
            const std::wstring value = argument.size() > 7 ? argument.substr(7) : std::wstring();
            if (value == L"photo" || value == L"file")
                Result.PhotoDates = value == L"photo";
            else
                refuse(L"--date takes photo or file: --date=photo or --date=file.");
        } else if (argument == L"--report" || argument.starts_with(L"--report=")) {
            valued(L"--report", L"a file name", Result.Report, i);
        } else if (argument == L"--backup" || argument.starts_with(L"--backup=")) {
            valued(L"--backup", L"a folder", Result.Backup, i);
        } else {
            refuse(L"Unknown option: " + argument);
        }
    }
    if (!wrong.empty()) return wrong;
    if (Result.Help) return {};
    if (positional.size() != 3)
        return positional.size() < 3 ? L"INPUT, OUTPUT and LABEL are needed." : L"Too many arguments: " + positional[3];
    Result.Input = positional[0];
    Result.Output = positional[1];
    Result.Label = positional[2];
    return {};
}

const wchar_t* QuoteHint() {
    return L"An argument holds a quote (\"): a quoted folder that ends in \\ runs into the next arguments; "
           L"drop the final \\ of a quoted folder (\"D:\\my photos\" rather than \"D:\\my photos\\\").";
}

std::wstring FullPath(const std::wstring& Path) {
    if (Path.empty()) return {};
    wchar_t* namePart = nullptr;
    DWORD size = GetFullPathNameW(Path.c_str(), 0, nullptr, &namePart);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(Path.c_str(), size, full.data(), &namePart);
    if (size == 0 || size >= full.size()) return {};
    full.resize(size);
    // "D:\" is the drive's root; "D:" would be the drive's current folder.
    while (full.size() > 1 && (full.back() == L'\\' || full.back() == L'/') &&
           !(full.size() == 3 && full[1] == L':'))
        full.pop_back();
    return full;
}

const wchar_t* UsageText() {
    return L"Files the photos of a camera card: each file directly in INPUT moves to OUTPUT\n"
           L"as yyyy-mm-dd_LABEL_nn.ext, by its last-write date, with a counter that starts\n"
           L"at 01 every day. A file of the new name is never replaced.\n"
           L"\n"
           L"KamdropCmd INPUT OUTPUT LABEL [--dry-run] [--yes] [--report FILE] [--date=photo]\n"
           L"           [--backup DIR]\n"
           L"\n"
           L"  INPUT          the card's folder, e.g. E:\\DCIM\\100CANON\n"
           L"  OUTPUT         the folder the photos go to\n"
           L"  LABEL          part of every new name, at most 50 characters; a blank,\n"
           L"                 \"*\", \".\", \"?\" and \"\\\" become \"_\"; / : < > | \" are refused\n"
           L"  --dry-run      shows the new names and what would fail; moves nothing\n"
           L"  --yes          goes on when INPUT and OUTPUT are the same folder\n"
           L"  --report FILE  writes a CSV file (UTF-8): source, target, result, reason,\n"
           L"                 date, date from (and backup, with --backup); --report=FILE\n"
           L"                 for a name that begins with \"-\"\n"
           L"  --date=photo   each file's date from its own record (the moment a photo or\n"
           L"                 video was taken), the file date where it has none;\n"
           L"                 --date=file (the default): the last-write date\n"
           L"  --backup DIR   a second copy of every photo in DIR, under the same new name;\n"
           L"                 a photo leaves the card only when both copies stand, whole\n"
           L"                 and verified. DIR must exist, on another disk at best, and\n"
           L"                 be neither INPUT nor OUTPUT nor lie inside either\n"
           L"  --             ends the options (for a label that begins with \"-\")\n"
           L"  --help, -h, /? shows this text\n"
           L"\n"
           L"Each option at most once. A quoted folder ends without \\: \"D:\\my photos\".\n"
           L"One line per file: \"OK   file -> new name\" or \"FAIL file -> new name (why)\"\n"
           L"(with --backup: \"OK   file -> new name + backup\"), then a summary.\n"
           L"Ctrl+C stops after the file in hand; closing the console abandons the copy\n"
           L"in hand, which stays on the card.\n"
           L"\n"
           L"Exit status: 0 all moved (a dry run: nothing would fail), 1 some files failed\n"
           L"(a dry run: would fail, or cannot tell), 2 wrong use or a check refused\n"
           L"(nothing moved), 3 the card could not be read (its listing broke off, or a\n"
           L"date could not be read), 130 stopped.\n";
}
