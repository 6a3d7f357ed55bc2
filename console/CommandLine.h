#pragma once
// The command line of KamdropCmd: INPUT OUTPUT LABEL [--dry-run] [--yes] [--report FILE].

#include <string>

struct CommandLine {
    std::wstring Input;
    std::wstring Output;
    std::wstring Label;
    std::wstring Report;  // empty: no report
    bool DryRun = false;
    bool Yes = false;
    bool Help = false;
};

// Reads the arguments after the program name. Empty when they make a valid
// command line, otherwise what is wrong with them.
std::wstring ParseCommandLine(int Count, wchar_t** Arguments, CommandLine& Result);

// The text --help shows.
const wchar_t* UsageText();
