#include "KamdropCmdProcess.h"

#include <stdexcept>
#include <thread>

#include "KamdropDriver.h"
#include "runtime/SysUtils.h"

namespace {

struct Pipe {
    HANDLE Read = nullptr, Write = nullptr;
    Pipe() {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        if (!CreatePipe(&Read, &Write, &inherit, 0)) throw std::runtime_error("cannot make a pipe");
        SetHandleInformation(Read, HANDLE_FLAG_INHERIT, 0);
    }
    ~Pipe() {
        if (Read) CloseHandle(Read);
        if (Write) CloseHandle(Write);
    }
    void CloseWrite() {
        CloseHandle(Write);
        Write = nullptr;
    }
};

// Quoted as the C runtime splits a command line: backslashes count only before a quote.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

}  // namespace

std::vector<std::wstring> KamdropCmdResult::Lines() const {
    std::vector<std::wstring> lines;
    const std::wstring text = forms::Utf8ToWide(Output);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

KamdropCmdResult RunKamdropCmd(const std::vector<std::wstring>& Arguments, const KamdropCmdOptions& Options) {
    const std::wstring exe = HostPathToWindows(KAMDROP_CMD_EXE);
    std::wstring commandLine = Quoted(exe);
    for (const std::wstring& argument : Arguments) commandLine += L" " + Quoted(argument);
    if (!Options.RawArguments.empty()) commandLine += L" " + Options.RawArguments;
    Pipe output, errors;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = Options.StandardOutput ? Options.StandardOutput : output.Write;
    startup.hStdError = Options.ErrorsIntoOutput ? output.Write : errors.Write;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        Options.OwnProcessGroup ? CREATE_NEW_PROCESS_GROUP : 0, nullptr,
                        Options.CurrentDirectory.empty() ? nullptr : Options.CurrentDirectory.c_str(), &startup,
                        &process))
        throw std::runtime_error("cannot start KamdropCmd.exe");
    output.CloseWrite();
    errors.CloseWrite();

    KamdropCmdResult result;
    std::thread errorReader([&] {
        char buffer[4096];
        DWORD read;
        while (ReadFile(errors.Read, buffer, sizeof(buffer), &read, nullptr) && read) result.Errors.append(buffer, read);
    });
    char buffer[4096];
    DWORD read;
    bool told = false;
    while (ReadFile(output.Read, buffer, sizeof(buffer), &read, nullptr) && read) {
        result.Output.append(buffer, read);
        if (!told && Options.OnFirstLine && result.Output.find('\n') != std::string::npos) {
            told = true;
            Options.OnFirstLine(process.hProcess, process.dwProcessId);
        }
    }
    errorReader.join();
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &result.ExitStatus);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}
