// KamdropCmd: the release of the window's Start from a command line, on the same
// engine, with a dry run and a CSV report. Exit statuses: see UsageText.

#include <windows.h>

#include <atomic>
#include <vector>

#include "console/CommandLine.h"
#include "console/ConsoleOutput.h"
#include "console/ReleaseReport.h"
#include "engine/FileListing.h"
#include "engine/ReleaseRun.h"
#include "engine/TargetNames.h"
#include "runtime/SysUtils.h"

namespace {

enum ExitStatus { kAllMoved = 0, kSomeFailed = 1, kRefused = 2, kDateError = 3, kStopped = 130 };

std::atomic<bool> gStopRequested{false};
// Set once the summary and the report are out; closing the console waits for it.
HANDLE gFinished = nullptr;

// Ctrl+C and Ctrl+Break stop the run after the file in hand. Closing the
// console, logging off and shutting down end the process when the handler
// returns, so the handler waits (within the system's few seconds) until the
// file in hand, the summary and the report are done.
BOOL WINAPI HandleConsoleControl(DWORD Event) noexcept {
    gStopRequested = true;
    if (Event == CTRL_CLOSE_EVENT || Event == CTRL_LOGOFF_EVENT || Event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(gFinished, 4500);
    return TRUE;
}

// No DLL from the program's folder or the current directory: only System32.
// Bound at run time, as Windows 7 without its loader update lacks the call;
// false there.
bool LoadLibrariesFromSystemFolderOnly() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    SetDllDirectoryW(L"");
    auto function = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    return function && function(kSearchSystem32);
}

// The window's texts break their lines with "\r\n"; a console line ends with "\n".
std::wstring ConsoleText(std::wstring text) {
    for (size_t at; (at = text.find(L"\r\n")) != std::wstring::npos;) text.erase(at, 1);
    return text;
}

// A message as the window's error box shows it: with a full stop added when it ends in a letter or digit.
std::wstring AsSentence(const std::wstring& message) {
    return !message.empty() && message.back() > L'.' ? message + L"." : message;
}

class ConsoleRelease : public engine::ReleaseObserver {
public:
    ConsoleRelease(const CommandLine& Options, ConsoleStream& Output, ConsoleStream& Errors)
        : FOptions(Options), FOutput(Output), FProgress(Errors, Output), FLabel(engine::FilterLabel(Options.Label)) {}

    std::wstring OutputDirectory() override { return FOptions.Output; }
    std::wstring Label() override { return FLabel; }
    // A large card takes a while to open file by file.
    bool DateRead(int Done, int Count) override {
        FProgress.Show(Done, Count, L"dates read");
        return !gStopRequested;
    }
    void Sorted(int Count) override {
        FCount = Count;
        FProgress.Clear();
    }
    bool FileDone(int Index, const engine::FileResult& Result) override {
        const std::wstring reason = Result.Moved() ? std::wstring() : engine::FailureReason(Result);
        std::wstring line = Result.Moved() ? L"OK   " : L"FAIL ";
        line += Result.Source;
        if (!Result.Target.empty()) line += L" -> " + Result.Target;
        if (!Result.Moved()) line += L" (" + reason + L")";
        if (FOutput.IsConsole()) FProgress.Clear();
        FOutput.Write(line + L"\n");
        FProgress.Show(Index + 1, FCount);
        (Result.Moved() ? FMoved : FFailed) += 1;
        const wchar_t* result = FOptions.DryRun ? (Result.Moved() ? L"would move" : L"would fail")
                                                : (Result.Moved() ? L"moved" : L"failed");
        FReport.Add(Result.Source, Result.Target, result, reason);
        return !gStopRequested;
    }
    void EndProgress() { FProgress.Clear(); }

    int Moved() const { return FMoved; }
    int Failed() const { return FFailed; }
    int Count() const { return FCount; }
    const ReleaseReport& Report() const { return FReport; }

private:
    const CommandLine& FOptions;
    ConsoleStream& FOutput;
    ProgressLine FProgress;
    std::wstring FLabel;
    ReleaseReport FReport;
    int FCount = 0;
    int FMoved = 0;
    int FFailed = 0;
};

// The window's checks in the window's order and with its texts, then the
// command line's own; an empty text when the run may go on.
std::wstring RefusalOf(const CommandLine& Options) {
    if (!forms::DirectoryExists(Options.Input))
        return L"Invalid input directory.\r\nBe sure camera is attached and standby in USB mode.";
    if (!forms::DirectoryExists(Options.Output)) return L"Invalid output directory.";
    if (Options.Label.empty()) return L"Label must be specified.";
    if (Options.Label.size() > static_cast<size_t>(engine::kMaxLabelLength))
        return forms::Format(L"Label is longer than %d characters.", engine::kMaxLabelLength);
    if (Options.Input == Options.Output && !Options.Yes)
        return L"The input directory is the same as the output directory.\r\nAdd --yes to continue.";
    if (!Options.Report.empty() && !ReportFolderExists(Options.Report))
        return L"Invalid report file: " + Options.Report;
    return {};
}

int Run(int Count, wchar_t** Arguments, ConsoleStream& Output, ConsoleStream& Errors) {
    CommandLine options;
    const std::wstring misuse = ParseCommandLine(Count, Arguments, options);
    if (options.Help) {
        Output.Write(UsageText());
        return kAllMoved;
    }
    if (!misuse.empty()) {
        Errors.Write(misuse + L"\nTry KamdropCmd --help.\n");
        return kRefused;
    }
    if (const std::wstring refusal = RefusalOf(options); !refusal.empty()) {
        Errors.Write(ConsoleText(refusal) + L"\n");
        return kRefused;
    }

    const ULONGLONG started = GetTickCount64();
    std::vector<std::wstring> files = engine::ListFiles(options.Input);
    ConsoleRelease release(options, Output, Errors);
    int status = kAllMoved;
    // A Ctrl+C after the last file has stopped nothing.
    bool stopped = false;
    if (files.empty()) {
        Output.Write(L"No files found.\n");
    } else {
        try {
            engine::ReleaseFiles(files, release, options.DryRun ? engine::ReleaseMode::Plan : engine::ReleaseMode::Move);
        } catch (const forms::Exception& error) {
            release.EndProgress();
            Errors.Write(AsSentence(error.Message()) + L"\n");
            status = kDateError;
        }
        if (status != kDateError) release.EndProgress();
        const double seconds = static_cast<double>(GetTickCount64() - started) / 1000.0;
        const int notReached = static_cast<int>(files.size()) - release.Moved() - release.Failed();
        std::wstring summary =
            options.DryRun ? forms::Format(L"Dry run: %d would move, %d would fail", release.Moved(), release.Failed())
                           : forms::Format(L"%d moved, %d failed", release.Moved(), release.Failed());
        if (notReached > 0) summary += forms::Format(L", %d not reached", notReached);
        summary += forms::Format(L", %.2f s.", seconds);
        if (options.DryRun) summary += L" Nothing was moved.";
        stopped = gStopRequested && notReached > 0 && status != kDateError;
        if (stopped) summary = L"Stopped. " + summary;
        Output.Write(summary + L"\n");
    }
    if (stopped) status = kStopped;
    if (status == kAllMoved && release.Failed() > 0) status = kSomeFailed;

    if (!options.Report.empty()) {
        if (const std::wstring failure = release.Report().Write(options.Report); !failure.empty()) {
            Errors.Write(L"The report could not be written: " + failure + L"\n");
            if (status == kAllMoved) status = kSomeFailed;
        }
    }
    return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool restricted = LoadLibrariesFromSystemFolderOnly();
    gFinished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // A process started in a group of its own has Ctrl+C turned off; this program wants it.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(HandleConsoleControl, TRUE);
    int status = kSomeFailed;
    {
        ConsoleStream output(STD_OUTPUT_HANDLE), errors(STD_ERROR_HANDLE);
        if (!restricted)
            errors.Write(L"Warning: this Windows lacks the update that lets a program load DLLs from the system "
                         L"folder only (KB2533623), so a DLL put beside KamdropCmd could be loaded.\n");
        try {
            status = Run(argc - 1, argv + 1, output, errors);
        } catch (const forms::Exception& error) {
            errors.Write(AsSentence(error.Message()) + L"\n");
        } catch (const std::exception& error) {
            errors.Write(forms::Utf8ToWide(error.what()) + L"\n");
        }
    }
    SetEvent(gFinished);
    return status;
}
