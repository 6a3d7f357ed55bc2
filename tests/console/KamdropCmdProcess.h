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

// Runs KamdropCmd with Arguments (each quoted) and waits for its end (at most
// a minute), in a process group of its own when asked. OnFirstLine, when given,
// is called from the reading thread once the first line of output has arrived,
// with the process handle and id (the id of its group too). StandardOutput,
// when given, takes the place of the output pipe (a console screen, say).
KamdropCmdResult RunKamdropCmd(const std::vector<std::wstring>& Arguments, bool OwnProcessGroup = false,
                               const std::function<void(HANDLE, DWORD)>& OnFirstLine = {},
                               HANDLE StandardOutput = nullptr);
