// KamdropCmd: the release of the window's Start from a command line, on the same
// engine, with a dry run and a CSV report. Exit statuses: see UsageText.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

#include "console/CommandLine.h"
#include "console/ConsoleOutput.h"
#include "console/ReleaseReport.h"
#include "engine/FileListing.h"
#include "engine/FileMove.h"
#include "engine/ReleaseChecks.h"
#include "engine/ReleaseRun.h"
#include "engine/TargetNames.h"
#include "runtime/SysUtils.h"

namespace {

enum ExitStatus { kAllMoved = 0, kSomeFailed = 1, kRefused = 2, kCardError = 3, kStopped = 130 };

std::atomic<bool> gStopRequested{false};
std::atomic<bool> gCopyAbandoned{false};
// Set once the summary and the report are out; closing the console waits for it.
HANDLE gFinished = nullptr;
// The report of the run while it runs: closing the console writes it at once.
// The lock keeps the run's end from taking it away while that goes on.
std::mutex gReportLock;
ReleaseReport* gReport = nullptr;
// The report holds the row of a console that was closed.
std::atomic<bool> gClosedRowAdded{false};

constexpr wchar_t kStoppedResult[] = L"stopped";

// Ctrl+C and Ctrl+Break stop the run after the file in hand. Closing the
// console, logging off and shutting down end the process a few seconds after
// the handler is called, too soon for a large video's copy: the report is
// written at once with what is done and a row that says the run stopped (so
// that no older report stands for it, however soon the end comes), then the
// copy in hand is abandoned (its temporary file goes, the photo stays on the
// card), and the handler waits until the summary and the report are out.
BOOL WINAPI HandleConsoleControl(DWORD Event) noexcept {
    gStopRequested = true;
    if (Event == CTRL_CLOSE_EVENT || Event == CTRL_LOGOFF_EVENT || Event == CTRL_SHUTDOWN_EVENT) {
        try {
            std::lock_guard<std::mutex> lock(gReportLock);
            if (gReport && !gClosedRowAdded) {
                gReport->Add({}, {}, kStoppedResult, L"The console was closed: the file in hand stays where it was.");
                gClosedRowAdded = true;
                gReport->Write();
            }
        } catch (...) {
            // Out of memory at the very end: the run still stops.
        }
        gCopyAbandoned = true;
        WaitForSingleObject(gFinished, 4500);
    }
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

// The window's texts break their lines with "\r\n"; a console line ends with "\n",
// a report's field holds one line.
std::wstring ConsoleText(std::wstring text, const wchar_t* lineBreak = L"\n") {
    for (size_t at; (at = text.find(L"\r\n")) != std::wstring::npos;) text.replace(at, 2, lineBreak);
    return text;
}

// A message as the window's error box shows it: with a full stop added when it ends in a letter or digit.
std::wstring AsSentence(const std::wstring& message) {
    return !message.empty() && message.back() > L'.' ? message + L"." : message;
}

// A date as the report gives it: "2023-01-11 09:00:00", with the milliseconds where a photo's
// record gives a fraction of the second.
std::wstring DateText(forms::TDateTime date) {
    int year, month, day;
    forms::DecodeDate(date, year, month, day);
    const double fraction = date - static_cast<double>(static_cast<long long>(date));
    const long long milliseconds = std::min(std::llround(fraction * 86400000.0), 86399999LL);
    std::wstring text = forms::Format(L"%04d-%02d-%02d %02lld:%02lld:%02lld", year, month, day, milliseconds / 3600000,
                                      milliseconds / 60000 % 60, milliseconds / 1000 % 60);
    if (milliseconds % 1000) text += forms::Format(L".%03lld", milliseconds % 1000);
    return text;
}

class ConsoleRelease : public engine::ReleaseObserver {
public:
    ConsoleRelease(const CommandLine& Options, ConsoleStream& Output, ConsoleStream& Errors, ReleaseReport& Report)
        : FOptions(Options),
          FOutput(Output),
          FProgress(Errors, Output),
          FLabel(engine::FilterLabel(Options.Label)),
          FReport(Report) {}

    std::wstring OutputDirectory() override { return FOptions.Output; }
    std::wstring Label() override { return FLabel; }
    std::wstring BackupDirectory() override { return FOptions.Backup; }
    // A large card takes a while to open file by file.
    bool DateRead(int Done, int Count) override {
        FProgress.Show(Done, Count, L"dates read");
        return !gStopRequested;
    }
    // The report never takes the name of a photo this run files, nor of its backup; with a
    // backup, both volumes must have room for what the run copies before the first move.
    bool Sorted(const std::vector<std::wstring>& Files, const std::vector<std::wstring>& Days) override {
        FCount = static_cast<int>(Files.size());
        FProgress.Clear();
        if (!FOptions.Backup.empty()) {
            FRefusal = engine::BackupSpaceRefusal(Files, FOptions.Output, FOptions.Backup);
            if (!FRefusal.empty()) return false;
        }
        if (!FReport.IsOpen()) return true;
        engine::DayCounter counter;
        for (size_t i = 0; i < Files.size(); ++i) {
            const int number = counter.Next(Days[i]);
            const std::wstring target = engine::BuildTargetName(FOptions.Output, Days[i], FLabel, number, Files[i]);
            if (target.empty()) continue;
            std::wstring backup;
            if (!FOptions.Backup.empty())
                backup = engine::BuildTargetName(FOptions.Backup, Days[i], FLabel, number, Files[i]);
            for (const std::wstring& name : {target, backup}) {
                if (!name.empty() && engine::SamePath(name, FReport.FileName())) {
                    FRefusal = L"The report file would take the name of a file this run files: " + name;
                    return false;
                }
            }
        }
        return true;
    }
    void FileStarting(int Index, const std::wstring& Source) override {
        FIndex = Index;
        FName = Source.substr(Source.find_last_of(L'\\') + 1);
        FFileStarted = GetTickCount64();
    }
    bool FileDone(int Index, const engine::FileResult& Result) override {
        const std::wstring reason = Result.Moved() ? std::wstring() : engine::FailureReason(Result);
        std::wstring line = Result.Moved() ? L"OK   " : Result.Unsure() ? L"?    " : L"FAIL ";
        line += Result.Source;
        if (!Result.Target.empty()) line += L" -> " + Result.Target;
        if (!Result.Backup.empty()) line += L" + " + Result.Backup;
        if (!Result.Moved()) line += L" (" + reason + L")";
        if (FOutput.IsConsole()) FProgress.Clear();
        FOutput.Write(line + L"\n");
        FProgress.Show(Index + 1, FCount);
        (Result.Moved() ? FMoved : Result.Unsure() ? FUnsure : FFailed) += 1;
        const wchar_t* result = FOptions.DryRun ? (Result.Moved() ? L"would move" : Result.Unsure() ? L"unsure" : L"would fail")
                                                : (Result.Moved() ? L"moved" : L"failed");
        FReport.Add(Result.Source, Result.Target, result, reason, DateText(Result.Date.Date),
                    Result.Date.FromPhoto ? L"photo" : L"file", Result.Backup);
        return !gStopRequested;
    }
    // A copy that takes long shows how far it has come.
    bool CopyAbandoned(const engine::CopyProgress& Progress) override {
        if (GetTickCount64() - FFileStarted >= 1000)
            FProgress.Show(FIndex, FCount, L"files", (FName + L": " + engine::AmountCopied(Progress)).c_str());
        return gCopyAbandoned;
    }
    void EndProgress() { FProgress.Clear(); }

    int Moved() const { return FMoved; }
    int Failed() const { return FFailed; }
    int Unsure() const { return FUnsure; }
    // Why the run was refused once its names were known; empty when it was not.
    const std::wstring& Refusal() const { return FRefusal; }

private:
    const CommandLine& FOptions;
    ConsoleStream& FOutput;
    ProgressLine FProgress;
    std::wstring FLabel;
    ReleaseReport& FReport;
    std::wstring FRefusal;
    int FCount = 0;
    int FIndex = 0;
    std::wstring FName;
    ULONGLONG FFileStarted = 0;
    int FMoved = 0;
    int FFailed = 0;
    int FUnsure = 0;
};

// The window's checks in the window's order and with its texts, then the
// command line's own; an empty text when the run may go on. INPUT and OUTPUT
// are full paths; when they name one folder, OUTPUT takes INPUT's spelling, so
// that the plan knows every name under one spelling.
std::wstring RefusalOf(CommandLine& Options) {
    if (std::wstring refusal = engine::StartRefusal(Options.Input, Options.Output, Options.Label); !refusal.empty())
        return refusal;
    if (Options.Label.size() > static_cast<size_t>(engine::kMaxLabelLength))
        return forms::Format(L"Label is longer than %d characters.", engine::kMaxLabelLength);
    if (const std::wstring characters = engine::UnnameableCharacters(engine::FilterLabel(Options.Label));
        !characters.empty())
        return engine::UnnameableLabelRefusal(characters);
    if (engine::SameDirectory(Options.Input, Options.Output)) {
        if (!Options.Yes) return std::wstring(engine::kSameDirectories) + L"\r\nAdd --yes to continue.";
        Options.Output = Options.Input;
    }
    if (!Options.Backup.empty()) return engine::BackupRefusal(Options.Backup, Options.Input, Options.Output);
    return {};
}

// Why the report cannot be kept where FILE says: a folder, a file in INPUT (the
// next run would file it as a photo), a file that cannot be made or replaced.
std::wstring ReportRefusalOf(const CommandLine& Options, ReleaseReport& Report) {
    const std::wstring folder = Options.Report.substr(0, Options.Report.find_last_of(L'\\') + 1);
    if (engine::SameDirectory(folder, Options.Input))
        return L"The report file must not lie in the input directory, whose files are filed: " + Options.Report;
    return Report.Open(Options.Report);
}

// A path as the system resolves it, or as typed when it cannot.
std::wstring Resolved(const std::wstring& path) {
    const std::wstring full = FullPath(path);
    return full.empty() ? path : full;
}

int Run(int Count, wchar_t** Arguments, ConsoleStream& Output, ConsoleStream& Errors) {
    CommandLine options;
    const std::wstring misuse = ParseCommandLine(Count, Arguments, options);
    auto refuse = [&](const std::wstring& text) {
        Errors.Write(ConsoleText(text) + L"\n");
        if (options.QuoteInArgument) Errors.Write(std::wstring(QuoteHint()) + L"\n");
        return kRefused;
    };
    if (!misuse.empty()) return refuse(misuse + L"\r\nTry KamdropCmd --help.");
    if (options.Help) {
        Output.Write(UsageText());
        return kAllMoved;
    }

    // Every check before anything moves, on full paths: two spellings of one
    // folder are one folder, and the report names every file in full.
    options.Input = Resolved(options.Input);
    options.Output = Resolved(options.Output);
    if (!options.Backup.empty()) options.Backup = Resolved(options.Backup);
    ReleaseReport report;
    if (!options.Backup.empty()) report.AddBackupColumn();
    std::wstring reportRefusal;
    if (!options.Report.empty()) {
        options.Report = Resolved(options.Report);
        reportRefusal = ReportRefusalOf(options, report);
    }
    if (const std::wstring refusal = RefusalOf(options); !refusal.empty() || !reportRefusal.empty()) {
        // A report that can be written tells of the refusal, so that no older report stands for this run.
        if (report.IsOpen()) {
            report.Add(options.Input, options.Output, L"refused", ConsoleText(refusal, L" "));
            report.Write();
        }
        return refuse(refusal.empty() ? reportRefusal : refusal);
    }

    const ULONGLONG started = GetTickCount64();
    ConsoleRelease release(options, Output, Errors, report);
    // Until the run's end takes the report over, a console being closed may write it.
    auto takeReportOver = [&report] {
        std::lock_guard<std::mutex> lock(gReportLock);
        gReport = nullptr;
    };
    if (report.IsOpen()) {
        std::lock_guard<std::mutex> lock(gReportLock);
        gReport = &report;
    }
    int status = kAllMoved;
    // A Ctrl+C after the last file has stopped nothing.
    bool stopped = false;
    std::vector<std::wstring> files;
    std::wstring error;
    try {
        files = engine::ListFiles(options.Input);
        if (files.empty())
            Output.Write(L"No files found.\n");
        else
            engine::ReleaseFiles(files, release, options.DryRun ? engine::ReleaseMode::Plan : engine::ReleaseMode::Move,
                                 options.PhotoDates ? engine::DateSource::Photo : engine::DateSource::File);
    } catch (const forms::Exception& exception) {
        // The card could not be read: its listing broke off, or a date could not be read.
        error = ConsoleText(AsSentence(exception.Message()), L" ");
        status = kCardError;
    } catch (const std::exception& exception) {
        error = AsSentence(forms::Utf8ToWide(exception.what()));
        status = kSomeFailed;
    }
    release.EndProgress();
    if (!release.Refusal().empty()) {
        // Refused before anything moved: no report keeps the name a photo would take.
        takeReportOver();
        if (gClosedRowAdded) DeleteFileW(report.FileName().c_str());
        report.Abandon();
        return refuse(release.Refusal());
    }
    if (!error.empty()) {
        Errors.Write(error + L"\n");
        report.Add({}, {}, L"error", error);
    }
    if (!files.empty()) {
        const double seconds = static_cast<double>(GetTickCount64() - started) / 1000.0;
        const int notReached = static_cast<int>(files.size()) - release.Moved() - release.Failed() - release.Unsure();
        std::wstring summary =
            options.DryRun ? forms::Format(L"Dry run: %d would move, %d would fail", release.Moved(), release.Failed())
                           : forms::Format(L"%d moved, %d failed", release.Moved(), release.Failed());
        if (release.Unsure() > 0) summary += forms::Format(L", %d cannot tell", release.Unsure());
        if (notReached > 0) summary += forms::Format(L", %d not reached", notReached);
        summary += forms::Format(L", %.2f s.", seconds);
        if (options.DryRun) summary += L" Nothing was moved.";
        stopped = gStopRequested && notReached > 0 && error.empty();
        if (stopped) summary = L"Stopped. " + summary;
        Output.Write(summary + L"\n");
    }
    if (stopped) status = kStopped;
    if (status == kAllMoved && (release.Failed() > 0 || release.Unsure() > 0)) status = kSomeFailed;

    // From here on the report is written here: a console closed now waits for it.
    takeReportOver();
    if (stopped && !gClosedRowAdded)
        report.Add({}, {}, kStoppedResult, L"Stopped by Ctrl+C: the files after it stay where they were.");
    if (report.IsOpen()) {
        if (const std::wstring failure = report.Write(); !failure.empty()) {
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
        ConsoleStream output(STD_OUTPUT_HANDLE), errors(STD_ERROR_HANDLE, &output);
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
