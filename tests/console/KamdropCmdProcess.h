#pragma once
// Runs KamdropCmd.exe as a process of its own with its output through pipes.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct KamdropCmdResult {
    DWORD ExitStatus = 0;
    std::string Output;  // standard output as the program wrote it (UTF-8)
    std::string Errors;
    // Standard output decoded, one entry per line, line ends removed.
    std::vector<std::wstring> Lines() const;
};

struct KamdropCmdOptions {
    // In a process group of its own.
    bool OwnProcessGroup = false;
    // Called from the reading thread once the first line of output has arrived,
    // with the process handle and id (the id of its group too).
    std::function<void(HANDLE, DWORD)> OnFirstLine;
    // Takes the place of the output pipe (a console screen, say).
    HANDLE StandardOutput = nullptr;
    // Standard error into the same pipe as standard output, as "2>&1" does.
    bool ErrorsIntoOutput = false;
    // The program's current directory; this process's when empty.
    std::wstring CurrentDirectory;
    // The whole command line after the program's name as given, instead of the
    // arguments each quoted.
    std::wstring RawArguments;
};

// Runs KamdropCmd with Arguments (each quoted) and waits for its end (at most a minute).
KamdropCmdResult RunKamdropCmd(const std::vector<std::wstring>& Arguments, const KamdropCmdOptions& Options = {});
