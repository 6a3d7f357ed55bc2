#pragma once
// The command line of KamdropCmd: INPUT OUTPUT LABEL [--dry-run] [--yes] [--report FILE]
// [--date=photo|file] [--backup DIR].

#include <string>

struct CommandLine {
    std::wstring Input;
    std::wstring Output;
    std::wstring Label;
    std::wstring Report;  // empty: no report
    std::wstring Backup;  // empty: no backup
    bool DryRun = false;
    // --date=photo: each photo's date from its own record (capture time).
    bool PhotoDates = false;
    bool Yes = false;
    bool Help = false;
    // An argument holds a quote: the C runtime reads \" at the end of a quoted
    // folder as a quote in the argument, and runs the next arguments into it.
    bool QuoteInArgument = false;
};

// Reads every argument after the program name before anything is decided.
// Empty when they make a valid command line, otherwise what is wrong with them:
// an unknown or repeated option, an option without its value (an option never
// takes another option as its value), or too few or too many plain arguments
// (not counted with --help, which is shown when the options are right).
std::wstring ParseCommandLine(int Count, wchar_t** Arguments, CommandLine& Result);

// What a quote in an argument most likely means, told with a refusal.
const wchar_t* QuoteHint();

// The text --help shows.
const wchar_t* UsageText();

// Path made absolute and normal (as the system resolves it: "." and ".." gone,
// relative to the current directory, a drive without a folder to that drive's
// current folder) and without a separator at its end, unless it is a drive's root.
// Empty when the system cannot resolve it.
std::wstring FullPath(const std::wstring& Path);
