// The benchmark. Every figure is measured beside its baseline in the same
// round, and the rounds take turns, so that a machine shared with other work
// loads both alike:
//
// - One volume, for each N (default 2000 and 10000): N photos filed through the
//   real window (while another thread keeps asking it for an answer and counts
//   its frames), through KamdropCmd.exe, through the engine in this process, and
//   by a plain loop of date-sorted MoveFileExW calls.
// - Across volumes: 300 photos of 3 MiB from a card on another file system (a
//   tmpfs) through the window and the engine, against a plain loop of copying
//   moves that flushes each file before it deletes the photo, and one that does not.
// - Start-up and memory: Kamdrop and a minimal window with the same manifest and
//   a themed list and status bar, started in turns.
// - Where a file's time goes: the engine's steps and the verified copy's steps,
//   each timed on its own.
//
// At the end a table: each figure with its median, its range over the rounds and its goal.
//
// - A backup folder: the same 300 photos by the engine without a backup, with the
//   backup on the output's disk, and with it on another volume (a tmpfs).
//
//   kamdrop_bench.exe [--rounds R] [--emulated] [N...]
//   kamdrop_bench.exe [--rounds R] --backup-only   the backup folder's comparison alone
//   kamdrop_bench.exe --only PART [N]   one run of one part, for a trace of Wine server requests:
//                                       window, console, engine, plain, across-window, across-engine,
//                                       across-flushed, across-backup-disk, across-backup-other,
//                                       start, start-minimal; or the steps alone:
//                                       steps, copy-steps

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "KamdropDriver.h"
#include "TempTree.h"
#include "engine/Crc32c.h"
#include "engine/FileDates.h"
#include "engine/FileListing.h"
#include "engine/FileMove.h"
#include "engine/ReleaseRun.h"
#include "engine/TargetNames.h"

namespace {

double Seconds() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

double MiB(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// A request to the Wine server that names itself in a +server trace, so that a
// trace can be cut where a part begins and ends.
void TraceMark(const std::wstring& text) { GlobalFindAtomW((L"kamdrop-bench " + text).c_str()); }

// ---- Figures over rounds ----

struct Spread {
    double Median = 0, Low = 0, High = 0;
    size_t Count = 0;
};

Spread SpreadOf(std::vector<double> values) {
    Spread spread;
    spread.Count = values.size();
    if (values.empty()) return spread;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    spread.Median = values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    spread.Low = values.front();
    spread.High = values.back();
    return spread;
}

// "1.23 (1.10-1.40)" with the given format for each number.
std::string Show(const Spread& spread, const char* format) {
    char median[32], low[32], high[32];
    std::snprintf(median, sizeof median, format, spread.Median);
    if (spread.Count < 2) return median;
    std::snprintf(low, sizeof low, format, spread.Low);
    std::snprintf(high, sizeof high, format, spread.High);
    return std::string(median) + " (" + low + "-" + high + ")";
}

// One row of the closing table.
struct GoalRow {
    std::string What, Now, Goal;
    // "met", "not met" or empty when there is no goal for this row.
    std::string Verdict;
};

std::vector<GoalRow> gTable;

void AddRow(const std::string& what, const Spread& now, const char* format, const char* goal, double limit) {
    GoalRow row{what, Show(now, format), goal ? goal : "", ""};
    if (goal) row.Verdict = now.Median <= limit ? "met" : "not met";
    gTable.push_back(row);
}

// ---- Photos ----

// N photos over about a year, a few dozen a day, in scan order unlike date order.
void MakePhotos(const TempTree& tree, const std::wstring& folder, int count) {
    tree.MakeDirectory(folder);
    unsigned seed = 12345;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        int dayOfYear = static_cast<int>((seed >> 8) % 360);
        int second = static_cast<int>((seed >> 4) % 86000);
        wchar_t name[32];
        swprintf(name, 32, L"IMG_%05d.JPG", i);
        tree.MakeFile(folder + L"\\" + name, 2023, 1 + dayOfYear / 30, 1 + dayOfYear % 28, second / 3600,
                      (second / 60) % 60, second % 60);
    }
}

ULONGLONG LastWrite(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Photos of Size bytes each, their dates spread as MakePhotos spreads them.
void MakeLargePhotos(const TempTree& tree, const std::wstring& folder, int count, size_t size) {
    MakePhotos(tree, folder, count);
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
    for (int i = 0; i < count; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"IMG_%05d.JPG", i);
        const std::wstring path = tree.Path(folder + L"\\" + name);
        const ULONGLONG time = LastWrite(path);
        bytes[0] = static_cast<char>(i);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(size), &written, nullptr);
        const FILETIME keep{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
        SetFileTime(file, nullptr, nullptr, &keep);
        CloseHandle(file);
    }
}

int CountFiles(const std::wstring& folder) {
    int count = 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do count += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    while (FindNextFileW(find, &found));
    FindClose(find);
    return count;
}

void EmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    while (FindNextFileW(find, &found));
    FindClose(find);
}

// ---- The baselines: plain loops ----

struct PlainEntry {
    std::wstring Path;
    ULONGLONG Time;
};

// Lists a folder and sorts it by date once, as a plain program would.
std::vector<PlainEntry> PlainSortedListing(const std::wstring& input) {
    std::vector<PlainEntry> entries;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((input + L"\\*.*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                entries.push_back({input + L"\\" + found.cFileName, 0});
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    for (PlainEntry& entry : entries) entry.Time = LastWrite(entry.Path);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PlainEntry& a, const PlainEntry& b) { return a.Time < b.Time; });
    return entries;
}

// The baseline: list, sort by date once, MoveFileExW with the flags a move asks for.
int PlainLoop(const std::wstring& input, const std::wstring& output) {
    int moved = 0, serial = 0;
    for (const PlainEntry& entry : PlainSortedListing(input)) {
        std::wstring target = output + L"\\plain_" + std::to_wstring(++serial) + L".jpg";
        moved += MoveFileExW(entry.Path.c_str(), target.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
    }
    return moved;
}

// A copying move that survives a power cut, without verification: the system's
// copy, the copy flushed to the disk, and only then the photo deleted.
bool FlushedCopyingMove(const std::wstring& source, const std::wstring& target) {
    if (!CopyFileExW(source.c_str(), target.c_str(), nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS)) return false;
    HANDLE copy = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (copy == INVALID_HANDLE_VALUE) return false;
    const bool flushed = FlushFileBuffers(copy);
    CloseHandle(copy);
    return flushed && DeleteFileW(source.c_str());
}

int PlainFlushedLoop(const std::wstring& input, const std::wstring& output) {
    int moved = 0, serial = 0;
    for (const PlainEntry& entry : PlainSortedListing(input))
        moved += FlushedCopyingMove(entry.Path, output + L"\\flushed_" + std::to_wstring(++serial) + L".jpg") ? 1 : 0;
    return moved;
}

// ---- The engine in this process, as both programs drive it ----

class QuietRelease : public engine::ReleaseObserver {
public:
    explicit QuietRelease(std::wstring output, std::wstring backup = {})
        : FOutput(std::move(output)), FBackup(std::move(backup)) {}
    std::wstring OutputDirectory() override { return FOutput; }
    std::wstring BackupDirectory() override { return FBackup; }
    std::wstring Label() override { return L"Bench"; }
    bool FileDone(int, const engine::FileResult& result) override {
        FMoved += result.Moved() ? 1 : 0;
        return true;
    }
    int Moved() const { return FMoved; }

private:
    std::wstring FOutput;
    std::wstring FBackup;
    int FMoved = 0;
};

int EngineLoop(const std::wstring& input, const std::wstring& output) {
    std::vector<std::wstring> files = engine::ListFiles(input);
    QuietRelease release(output);
    engine::ReleaseFiles(files, release);
    return release.Moved();
}

// The engine with a second copy of every photo in backup.
int EngineBackupLoop(const std::wstring& input, const std::wstring& output, const std::wstring& backup) {
    std::vector<std::wstring> files = engine::ListFiles(input);
    QuietRelease release(output, backup);
    engine::ReleaseFiles(files, release);
    return release.Moved();
}

// ---- The window ----

BOOL CALLBACK FindListBox(HWND child, LPARAM result) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (_wcsicmp(name, L"ListBox") != 0) return TRUE;
    *reinterpret_cast<HWND*>(result) = child;
    return FALSE;
}

HWND FilesList(HWND mainWindow) {
    HWND found = nullptr;
    EnumChildWindows(mainWindow, FindListBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Asks the window's thread for an answer over and over from a thread of its
// own and keeps the longest wait; a window that waits for nothing answers at
// once. The question is the results list's top row, which moves only when a
// frame scrolls the list to its end: its changes count the frames.
class AnswerProbe {
public:
    explicit AnswerProbe(HWND list) : FList(list) { FThread = CreateThread(nullptr, 0, Run, this, 0, nullptr); }
    ~AnswerProbe() { Stop(); }
    void Stop() {
        if (!FThread) return;
        FStop = true;
        WaitForSingleObject(FThread, INFINITE);
        CloseHandle(FThread);
        FThread = nullptr;
    }
    double LongestWait() const { return FLongest; }
    // When the longest wait began, in seconds from the probe's start.
    double LongestWaitAt() const { return FLongestAt; }
    // Frames a second between the first frame that scrolled the list and the last.
    double FramesPerSecond() const {
        return FFrames > 1 && FLastFrame > FFirstFrame ? (FFrames - 1) / (FLastFrame - FFirstFrame) : 0;
    }
    int Frames() const { return FFrames; }

private:
    static DWORD WINAPI Run(void* param) {
        auto* probe = static_cast<AnswerProbe*>(param);
        DWORD_PTR lastTop = 0;
        while (!probe->FStop) {
            const double sent = Seconds();
            DWORD_PTR top = 0;
            if (!SendMessageTimeoutW(probe->FList, LB_GETTOPINDEX, 0, 0, SMTO_NORMAL, 60000, &top)) break;
            const double answered = Seconds();
            if (answered - sent > probe->FLongest) {
                probe->FLongest = answered - sent;
                probe->FLongestAt = sent - probe->FStarted;
            }
            if (top != lastTop) {
                lastTop = top;
                if (probe->FFrames++ == 0) probe->FFirstFrame = answered;
                probe->FLastFrame = answered;
            }
            // Often enough to see any wait that matters (a wait longer than this
            // pause is seen less at most this pause), rarely enough to cost the run
            // little: each answer is a few round trips to the Wine server for the window.
            Sleep(10);
        }
        return 0;
    }

    HWND FList;
    HANDLE FThread = nullptr;
    std::atomic<bool> FStop{false};
    double FStarted = Seconds(), FLongest = 0, FLongestAt = 0, FFirstFrame = 0, FLastFrame = 0;
    int FFrames = 0;
};

struct WindowRun {
    int Moved = 0;
    double Seconds = 0, LongestWait = 0, LongestWaitAt = 0, FramesPerSecond = 0;
    SIZE_T PeakWorkingSet = 0;
    bool Started = false;
};

// Kamdrop.exe started in program, its fields filled from outside, Start clicked;
// the time runs from the click to the end of the run.
WindowRun RunWindow(const std::wstring& program, const std::wstring& input, const std::wstring& output) {
    WindowRun run;
    KamdropDriver kamdrop(HostPathToWindows(KAMDROP_EXE), program);
    if (!kamdrop.WaitForMainWindow()) {
        std::fprintf(stderr, "Kamdrop's window did not appear\n");
        return run;
    }
    run.Started = true;
    kamdrop.SetInput(input);
    kamdrop.SetOutput(output);
    kamdrop.SetLabel(L"Bench");
    AnswerProbe probe(FilesList(kamdrop.MainWindow()));
    TraceMark(L"click");
    const double start = Seconds();
    kamdrop.ClickStartAndWait();
    run.Seconds = Seconds() - start;
    TraceMark(L"run over");
    probe.Stop();
    run.LongestWait = probe.LongestWait();
    run.LongestWaitAt = probe.LongestWaitAt();
    run.FramesPerSecond = probe.FramesPerSecond();
    run.Moved = CountFiles(output);
    run.PeakWorkingSet = kamdrop.PeakWorkingSet();
    kamdrop.Close();
    return run;
}

// KamdropCmd.exe on input, as a batch file runs it: its lines go to a file.
// The time runs from the process's start to its end.
double RunConsole(const std::wstring& linesFile, const std::wstring& input, const std::wstring& output) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE lines = CreateFileW(linesFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = lines;
    startup.hStdError = lines;
    const std::wstring exe = HostPathToWindows(KAMDROP_CMD_EXE);
    std::wstring commandLine = L"\"" + exe + L"\" \"" + input + L"\" \"" + output + L"\" Bench";
    PROCESS_INFORMATION process{};
    double seconds = -1;
    const double start = Seconds();
    if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        seconds = Seconds() - start;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        std::fprintf(stderr, "KamdropCmd did not start\n");
    }
    CloseHandle(lines);
    return seconds;
}

// ---- One volume ----

struct OneVolume {
    int Count = 0;
    std::vector<double> WindowRatio, ConsoleRatio, EngineRatio, Wait, Fps, WindowOverMs, ConsoleOverMs;
    std::vector<double> WindowMs, PlainMs, ConsoleMs, EngineMs;
    SIZE_T PeakWorkingSet = 0;
    bool Complete = true;
};

// Round by round the four ways take turns at going first.
OneVolume MeasureOneVolume(int count, int rounds) {
    OneVolume result;
    result.Count = count;
    TempTree tree;
    tree.MakeDirectory(L"program");
    // KamdropCmd on an empty card: what a run costs before its first file.
    tree.MakeDirectory(L"empty");
    tree.MakeDirectory(L"empty-out");
    for (int round = 0; round < rounds; ++round) {
        std::printf("  round %d of %d: making %d photos four times...\n", round + 1, rounds, count);
        std::fflush(stdout);
        for (const wchar_t* way : {L"window", L"plain", L"console", L"engine"}) {
            MakePhotos(tree, std::wstring(way) + L"-in", count);
            tree.MakeDirectory(std::wstring(way) + L"-out");
        }
        double window = 0, plain = 0, console = 0, engine = 0, fixed = 0;
        const std::vector<std::function<void()>> ways = {
            [&] {
                const WindowRun run = RunWindow(tree.Path(L"program"), tree.Path(L"window-in"), tree.Path(L"window-out"));
                window = run.Seconds;
                result.Complete = result.Complete && run.Moved == count;
                result.Wait.push_back(1000 * run.LongestWait);
                result.Fps.push_back(run.FramesPerSecond);
                result.PeakWorkingSet = std::max(result.PeakWorkingSet, run.PeakWorkingSet);
            },
            [&] {
                const double start = Seconds();
                const int moved = PlainLoop(tree.Path(L"plain-in"), tree.Path(L"plain-out"));
                plain = Seconds() - start;
                result.Complete = result.Complete && moved == count;
            },
            [&] {
                fixed = RunConsole(tree.Path(L"lines.txt"), tree.Path(L"empty"), tree.Path(L"empty-out"));
                console = RunConsole(tree.Path(L"lines.txt"), tree.Path(L"console-in"), tree.Path(L"console-out"));
                result.Complete = result.Complete && CountFiles(tree.Path(L"console-out")) == count;
            },
            [&] {
                const double start = Seconds();
                const int moved = EngineLoop(tree.Path(L"engine-in"), tree.Path(L"engine-out"));
                engine = Seconds() - start;
                result.Complete = result.Complete && moved == count;
            },
        };
        for (size_t i = 0; i < ways.size(); ++i) ways[(i + round) % ways.size()]();
        const double perFile = 1000.0 / count;
        std::printf("    window %.2f s, plain loop %.2f s, KamdropCmd %.2f s (%.2f s of it with no files), "
                    "engine %.2f s\n",
                    window, plain, console, fixed, engine);
        result.WindowRatio.push_back(window / plain);
        result.ConsoleRatio.push_back(console / plain);
        result.EngineRatio.push_back(engine / plain);
        result.WindowMs.push_back(window * perFile);
        result.PlainMs.push_back(plain * perFile);
        result.ConsoleMs.push_back(console * perFile);
        result.EngineMs.push_back(engine * perFile);
        result.WindowOverMs.push_back((window - engine) * perFile);
        result.ConsoleOverMs.push_back((console - fixed - engine) * perFile);
        for (const wchar_t* way : {L"window", L"plain", L"console", L"engine"}) {
            EmptyFolder(tree.Path(std::wstring(way) + L"-out"));
            RemoveDirectoryW(tree.Path(std::wstring(way) + L"-in").c_str());
        }
    }
    return result;
}

void PrintOneVolume(const OneVolume& r) {
    std::printf("%d photos, one volume (%zu rounds; median, range in brackets)\n", r.Count, r.WindowRatio.size());
    std::printf("  ms a file: window %s, plain loop %s, KamdropCmd %s, engine alone %s\n",
                Show(SpreadOf(r.WindowMs), "%.2f").c_str(), Show(SpreadOf(r.PlainMs), "%.2f").c_str(),
                Show(SpreadOf(r.ConsoleMs), "%.2f").c_str(), Show(SpreadOf(r.EngineMs), "%.2f").c_str());
    std::printf("  Time ratio window / plain loop: %s\n", Show(SpreadOf(r.WindowRatio), "%.2f").c_str());
    std::printf("  Time ratio KamdropCmd / plain loop: %s\n", Show(SpreadOf(r.ConsoleRatio), "%.2f").c_str());
    std::printf("  Time ratio engine alone / plain loop: %s\n", Show(SpreadOf(r.EngineRatio), "%.2f").c_str());
    std::printf("  The window's own share over the engine: %s ms a file; KamdropCmd's (start and lines): %s ms a file\n",
                Show(SpreadOf(r.WindowOverMs), "%.3f").c_str(), Show(SpreadOf(r.ConsoleOverMs), "%.3f").c_str());
    std::printf("  Longest wait for the window's answer: %s ms\n", Show(SpreadOf(r.Wait), "%.0f").c_str());
    std::printf("  Frames a second during the run: %s\n", Show(SpreadOf(r.Fps), "%.1f").c_str());
    std::printf("  Peak working set of Kamdrop during the runs: %.1f MiB\n", MiB(r.PeakWorkingSet));
}

// ---- Across volumes: the card on a tmpfs, the output on disk ----

constexpr wchar_t kCardVolume[] = L"Z:\\dev\\shm\\";

struct AcrossVolumes {
    int Count = 0;
    size_t Size = 0;
    std::vector<double> WindowRatio, EngineRatio, PlainRatio, WindowMiBs, EngineMiBs, FlushedMiBs, PlainMiBs;
    bool Complete = true;
};

AcrossVolumes MeasureAcrossVolumes(int count, size_t size, int rounds) {
    AcrossVolumes result;
    result.Count = count;
    result.Size = size;
    const double mib = static_cast<double>(size) * count / (1024.0 * 1024.0);
    TempTree disk, card(kCardVolume);
    disk.MakeDirectory(L"program");
    for (int round = 0; round < rounds; ++round) {
        double window = 0, engine = 0, flushed = 0, plain = 0;
        // One at a time on the card: a tmpfs holds them in memory.
        auto loop = [&](int (*files)(const std::wstring&, const std::wstring&), double& seconds) {
            return [&, files, out = &seconds] {
                MakeLargePhotos(card, L"in", count, size);
                disk.MakeDirectory(L"out");
                const double start = Seconds();
                const int moved = files(card.Path(L"in"), disk.Path(L"out"));
                *out = Seconds() - start;
                result.Complete = result.Complete && moved == count;
            };
        };
        const std::vector<std::function<void()>> ways = {
            [&] {
                MakeLargePhotos(card, L"in", count, size);
                disk.MakeDirectory(L"out");
                const WindowRun run = RunWindow(disk.Path(L"program"), card.Path(L"in"), disk.Path(L"out"));
                window = run.Seconds;
                result.Complete = result.Complete && run.Moved == count;
            },
            loop(EngineLoop, engine),
            loop(PlainFlushedLoop, flushed),
            loop(PlainLoop, plain),
        };
        std::printf("  round %d of %d: %d photos of %zu KiB on the card, four times...\n", round + 1, rounds, count,
                    size / 1024);
        std::fflush(stdout);
        for (size_t i = 0; i < ways.size(); ++i) {
            ways[(i + round) % ways.size()]();
            EmptyFolder(card.Path(L"in"));
            EmptyFolder(disk.Path(L"out"));
        }
        std::printf("    window %.2f s, engine %.2f s, flushed plain loop %.2f s, plain loop %.2f s\n", window, engine,
                    flushed, plain);
        result.WindowRatio.push_back(window / flushed);
        result.EngineRatio.push_back(engine / flushed);
        result.PlainRatio.push_back(plain / flushed);
        result.WindowMiBs.push_back(mib / window);
        result.EngineMiBs.push_back(mib / engine);
        result.FlushedMiBs.push_back(mib / flushed);
        result.PlainMiBs.push_back(mib / plain);
    }
    return result;
}

void PrintAcrossVolumes(const AcrossVolumes& r) {
    std::printf("%d photos of %zu KiB from a card on another file system (%zu rounds)\n", r.Count, r.Size / 1024,
                r.WindowRatio.size());
    std::printf("  MiB/s: window %s, engine %s, plain loop flushing each file %s, plain loop without flushing %s\n",
                Show(SpreadOf(r.WindowMiBs), "%.0f").c_str(), Show(SpreadOf(r.EngineMiBs), "%.0f").c_str(),
                Show(SpreadOf(r.FlushedMiBs), "%.0f").c_str(), Show(SpreadOf(r.PlainMiBs), "%.0f").c_str());
    std::printf("  Time ratio window / flushed plain loop: %s\n", Show(SpreadOf(r.WindowRatio), "%.2f").c_str());
    std::printf("  Time ratio engine / flushed plain loop: %s\n", Show(SpreadOf(r.EngineRatio), "%.2f").c_str());
    std::printf("  Time ratio plain loop without flushing / flushed: %s\n", Show(SpreadOf(r.PlainRatio), "%.2f").c_str());
}

// ---- A backup folder: the same card with a second copy of each photo ----

struct WithBackup {
    int Count = 0;
    size_t Size = 0;
    std::vector<double> Alone, SameDisk, OtherVolume, OneAfterOther, SameDiskRatio, OtherVolumeRatio, OneAfterOtherRatio;
    bool Complete = true;
};

// The engine filing the card onto the disk in turns: without a backup, with the backup on the same
// disk as the output, and with the backup on another volume (a tmpfs, as the card), its copy
// flushed and read back at once with the output's (as the engine does), and one after the other.
WithBackup MeasureWithBackup(int count, size_t size, int rounds) {
    WithBackup result;
    result.Count = count;
    result.Size = size;
    TempTree disk, card(kCardVolume), other(kCardVolume);
    for (int round = 0; round < rounds; ++round) {
        double alone = 0, sameDisk = 0, otherVolume = 0, oneAfterOther = 0;
        auto way = [&](const wchar_t* backup, double& seconds, bool atOnce = true) {
            return [&, backup, atOnce, out = &seconds] {
                engine::FinishCopiesAtOnce = atOnce;
                MakeLargePhotos(card, L"in", count, size);
                disk.MakeDirectory(L"out");
                std::wstring folder;
                if (backup) {
                    const TempTree& tree = std::wstring(backup) == L"disk" ? disk : other;
                    tree.MakeDirectory(L"backup");
                    folder = tree.Path(L"backup");
                }
                const double start = Seconds();
                const int moved = backup ? EngineBackupLoop(card.Path(L"in"), disk.Path(L"out"), folder)
                                         : EngineLoop(card.Path(L"in"), disk.Path(L"out"));
                *out = Seconds() - start;
                result.Complete = result.Complete && moved == count;
                EmptyFolder(card.Path(L"in"));
                EmptyFolder(disk.Path(L"out"));
                if (backup) EmptyFolder(folder);
                engine::FinishCopiesAtOnce = true;
            };
        };
        const std::vector<std::function<void()>> ways = {way(nullptr, alone), way(L"disk", sameDisk),
                                                         way(L"other", otherVolume),
                                                         way(L"other", oneAfterOther, false)};
        std::printf("  round %d of %d: %d photos of %zu KiB, four times...\n", round + 1, rounds, count, size / 1024);
        std::fflush(stdout);
        for (size_t i = 0; i < ways.size(); ++i) ways[(i + round) % ways.size()]();
        std::printf("    no backup %.2f s, backup on the output's disk %.2f s, backup on another volume %.2f s "
                    "(%.2f s one after the other)\n",
                    alone, sameDisk, otherVolume, oneAfterOther);
        result.Alone.push_back(alone);
        result.SameDisk.push_back(sameDisk);
        result.OtherVolume.push_back(otherVolume);
        result.SameDiskRatio.push_back(sameDisk / alone);
        result.OtherVolumeRatio.push_back(otherVolume / alone);
        result.OneAfterOther.push_back(oneAfterOther);
        result.OneAfterOtherRatio.push_back(oneAfterOther / alone);
    }
    return result;
}

void PrintWithBackup(const WithBackup& r) {
    std::printf("%d photos of %zu KiB from a card to the disk, with and without a backup folder (%zu rounds)\n", r.Count,
                r.Size / 1024, r.Alone.size());
    std::printf("  seconds: no backup %s, backup on the output's disk %s, backup on another volume %s\n",
                Show(SpreadOf(r.Alone), "%.2f").c_str(), Show(SpreadOf(r.SameDisk), "%.2f").c_str(),
                Show(SpreadOf(r.OtherVolume), "%.2f").c_str());
    std::printf("  Time ratio backup on the output's disk / no backup: %s\n", Show(SpreadOf(r.SameDiskRatio), "%.2f").c_str());
    std::printf("  Time ratio backup on another volume / no backup: %s\n", Show(SpreadOf(r.OtherVolumeRatio), "%.2f").c_str());
    std::printf("  the same, the two copies flushed and read back one after the other: %s s, ratio %s\n",
                Show(SpreadOf(r.OneAfterOther), "%.2f").c_str(), Show(SpreadOf(r.OneAfterOtherRatio), "%.2f").c_str());
}

// ---- Where a file's time goes ----

class StepClock {
public:
    // Times one step and adds it to the step's sum.
    template <typename Step>
    auto Time(const char* name, Step step) {
        const double start = Seconds();
        if constexpr (std::is_void_v<decltype(step())>) {
            step();
            FSums[name] += Seconds() - start;
        } else {
            auto result = step();
            FSums[name] += Seconds() - start;
            return result;
        }
    }
    double Sum(const char* name) const {
        auto found = FSums.find(name);
        return found == FSums.end() ? 0 : found->second;
    }
    double Total() const {
        double total = 0;
        for (const auto& step : FSums) total += step.second;
        return total;
    }

private:
    std::map<std::string, double> FSums;
};

void PrintStep(const StepClock& clock, const char* name, const char* what, int count) {
    std::printf("    %-58s %8.4f\n", what, 1000.0 * clock.Sum(name) / count);
}

// The engine's steps one by one on N photos, and the plain loop's beside them.
void MeasureEngineSteps(int count) {
    TempTree tree;
    MakePhotos(tree, L"in", count);
    MakePhotos(tree, L"plain-in", count);
    tree.MakeDirectory(L"out");
    tree.MakeDirectory(L"plain-out");
    StepClock engine;
    std::vector<std::wstring> files = engine.Time("list", [&] { return engine::ListFiles(tree.Path(L"in")); });
    std::vector<forms::TDateTime> dates;
    engine.Time("dates", [&] {
        engine::FileDateReader reader;
        for (const std::wstring& file : files) dates.push_back(reader.Read(file));
    });
    // Of the date, what the check for a photo another program holds costs: the open without sharing.
    engine.Time("held", [&] {
        for (const std::wstring& file : files)
            CloseHandle(CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    });
    engine.Time("sort", [&] { engine::SortByFileDates(files, dates); });
    std::vector<std::wstring> targets;
    engine.Time("names", [&] {
        engine::DayCounter counter;
        for (size_t i = 0; i < files.size(); ++i) {
            const std::wstring day = forms::FormatDateIso(dates[i]);
            targets.push_back(engine::BuildTargetName(tree.Path(L"out"), day, L"Bench", counter.Next(day), files[i]));
        }
    });
    engine.Time("moves", [&] {
        engine::FileMover mover;
        for (size_t i = 0; i < files.size(); ++i) mover.Move(files[i], targets[i]);
    });
    // What a window's pass through its messages costs when none is waiting.
    engine.Time("messages", [&] {
        MSG msg;
        for (int i = 0; i < count; ++i) PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    });

    StepClock plain;
    std::vector<PlainEntry> entries;
    plain.Time("list", [&] {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((tree.Path(L"plain-in") + L"\\*.*").c_str(), &found);
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                entries.push_back({tree.Path(L"plain-in") + L"\\" + found.cFileName, 0});
        while (FindNextFileW(find, &found));
        FindClose(find);
    });
    plain.Time("dates", [&] {
        for (PlainEntry& entry : entries) entry.Time = LastWrite(entry.Path);
    });
    plain.Time("sort", [&] {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const PlainEntry& a, const PlainEntry& b) { return a.Time < b.Time; });
    });
    plain.Time("moves", [&] {
        int serial = 0;
        for (const PlainEntry& entry : entries)
            MoveFileExW(entry.Path.c_str(), (tree.Path(L"plain-out") + L"\\plain_" + std::to_wstring(++serial) + L".jpg").c_str(),
                        MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH);
    });

    std::printf("  One volume, %d photos, ms a file (engine; plain loop)\n", count);
    std::printf("    %-58s %8.4f; %.4f\n", "list the card", 1000.0 * engine.Sum("list") / count,
                1000.0 * plain.Sum("list") / count);
    std::printf("    %-58s %8.4f; %.4f\n", "the date (engine: listing, open unshared, close; plain: attributes)",
                1000.0 * engine.Sum("dates") / count, 1000.0 * plain.Sum("dates") / count);
    PrintStep(engine, "held", "  of it the open without sharing and its close", count);
    std::printf("    %-58s %8.4f; %.4f\n", "sort", 1000.0 * engine.Sum("sort") / count,
                1000.0 * plain.Sum("sort") / count);
    PrintStep(engine, "names", "the new name", count);
    std::printf("    %-58s %8.4f; %.4f\n", "the move (MoveFileExW)", 1000.0 * engine.Sum("moves") / count,
                1000.0 * plain.Sum("moves") / count);
    PrintStep(engine, "messages", "a window's pass through its messages, none waiting", count);
}

// The verified copy's steps, made here call for call as the engine makes them,
// so that each can be timed; its total beside the engine's own shows that it
// is the same work.
struct CopySteps {
    StepClock Clock;
    int Files = 0;
};

bool TimedVerifiedCopy(const std::wstring& source, const std::wstring& target, CopySteps& steps) {
    constexpr DWORD kBlock = 1 << 16;
    StepClock& clock = steps.Clock;
    char* block = static_cast<char*>(VirtualAlloc(nullptr, kBlock, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    const std::wstring folder = target.substr(0, target.find_last_of(L'\\') + 1);
    const std::wstring temporary = folder + L"~kd-000000.part";
    HANDLE from = INVALID_HANDLE_VALUE, to = INVALID_HANDLE_VALUE;
    FILE_BASIC_INFO basic{};
    LARGE_INTEGER size{};
    clock.Time("check", [&] { GetFileAttributesW(target.c_str()); });
    clock.Time("open", [&] {
        from = CreateFileW(source.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        GetFileInformationByHandleEx(from, FileBasicInfo, &basic, sizeof(basic));
        GetFileSizeEx(from, &size);
    });
    clock.Time("create", [&] {
        to = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    });
    uint32_t checksum = 0, readBack = 0;
    for (;;) {
        DWORD read = 0, wrote = 0;
        clock.Time("read", [&] { ReadFile(from, block, kBlock, &read, nullptr); });
        if (read == 0) break;
        clock.Time("checksum", [&] { checksum = engine::Crc32c(checksum, block, read); });
        clock.Time("write", [&] { WriteFile(to, block, read, &wrote, nullptr); });
    }
    clock.Time("flush", [&] {
        FILE_BASIC_INFO times = basic;
        times.ChangeTime.QuadPart = 0;
        times.FileAttributes &= FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
        FlushFileBuffers(to);
        SetFileInformationByHandle(to, FileBasicInfo, &times, sizeof(times));
        CloseHandle(to);
    });
    HANDLE back = clock.Time("read back", [&] {
        return CreateFileW(temporary.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    });
    for (;;) {
        DWORD read = 0;
        clock.Time("read back", [&] { ReadFile(back, block, kBlock, &read, nullptr); });
        clock.Time("checksum", [&] { readBack = engine::Crc32c(readBack, block, read); });
        if (read < kBlock) break;
    }
    clock.Time("read back", [&] { CloseHandle(back); });
    const bool renamed = clock.Time("rename", [&] {
        return readBack == checksum && MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    });
    clock.Time("folder", [&] {
        HANDLE directory = CreateFileW(folder.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                       FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        FlushFileBuffers(directory);
        CloseHandle(directory);
    });
    clock.Time("delete", [&] {
        FILE_BASIC_INFO now{};
        LARGE_INTEGER nowSize{};
        GetFileInformationByHandleEx(from, FileBasicInfo, &now, sizeof(now));
        GetFileSizeEx(from, &nowSize);
        FILE_DISPOSITION_INFO disposition{TRUE};
        SetFileInformationByHandle(from, FileDispositionInfo, &disposition, sizeof(disposition));
        CloseHandle(from);
    });
    VirtualFree(block, 0, MEM_RELEASE);
    ++steps.Files;
    return renamed;
}

void MeasureCopySteps(int count, size_t size) {
    TempTree disk, card(kCardVolume);
    card.MakeDirectory(L"in");
    MakeLargePhotos(card, L"in", count, size);
    disk.MakeDirectory(L"out");
    CopySteps steps;
    const double start = Seconds();
    int serial = 0;
    for (const PlainEntry& entry : PlainSortedListing(card.Path(L"in")))
        TimedVerifiedCopy(entry.Path, disk.Path(L"out") + L"\\copy_" + std::to_wstring(++serial) + L".jpg", steps);
    const double total = Seconds() - start;
    EmptyFolder(card.Path(L"in"));
    EmptyFolder(disk.Path(L"out"));
    MakeLargePhotos(card, L"in", count, size);
    double engineStart = Seconds();
    EngineLoop(card.Path(L"in"), disk.Path(L"out"));
    const double engineTotal = Seconds() - engineStart;
    EmptyFolder(card.Path(L"in"));
    EmptyFolder(disk.Path(L"out"));
    MakeLargePhotos(card, L"in", count, size);
    engineStart = Seconds();
    PlainFlushedLoop(card.Path(L"in"), disk.Path(L"out"));
    const double flushedTotal = Seconds() - engineStart;
    EmptyFolder(disk.Path(L"out"));

    const StepClock& clock = steps.Clock;
    std::printf("  Across volumes, %d photos of %zu KiB, the verified copy step by step, ms a file\n", count,
                size / 1024);
    PrintStep(clock, "check", "is the new name free", count);
    PrintStep(clock, "open", "open the photo with delete access, its dates and size", count);
    PrintStep(clock, "create", "make the temporary copy", count);
    PrintStep(clock, "read", "read from the card (64 KiB blocks)", count);
    PrintStep(clock, "checksum", "CRC-32C of what was read and of what was read back", count);
    PrintStep(clock, "write", "write the copy", count);
    PrintStep(clock, "flush", "flush to the disk, its dates and attributes, close", count);
    PrintStep(clock, "read back", "read the copy back", count);
    PrintStep(clock, "rename", "rename to the new name", count);
    PrintStep(clock, "folder", "flush the output folder (the new name lasts)", count);
    PrintStep(clock, "delete", "the photo unchanged? deleted through its handle", count);
    std::printf("    %-58s %8.4f\n", "all steps", 1000.0 * total / count);
    std::printf("    %-58s %8.4f\n", "the engine's own verified moves, for comparison", 1000.0 * engineTotal / count);
    std::printf("    %-58s %8.4f\n", "the plain loop flushing each file, for comparison", 1000.0 * flushedTotal / count);
    const double verification = clock.Sum("checksum") + clock.Sum("read back");
    std::printf("  Checksums and read-back: %.1f %% of the verified copy's time\n", 100.0 * verification / total);
    gTable.push_back({"Across volumes: checksums and read-back, share of the time",
                      Show(SpreadOf({100.0 * verification / total}), "%.1f %%"), "under 10 %",
                      verification / total < 0.10 ? "met" : "not met"});
}

// ---- Start-up and memory ----

// The process's shown top-level window titled title; nullptr when none.
HWND ShownWindow(DWORD processId, const wchar_t* title) {
    for (HWND window : TopLevelWindows(processId)) {
        wchar_t text[64] = {};
        GetWindowTextW(window, text, 64);
        if (IsWindowVisible(window) && wcscmp(text, title) == 0) return window;
    }
    return nullptr;
}

struct StartResult {
    double Seconds = -1;
    SIZE_T PeakWorkingSet = 0;
};

// Starts a copy of exe in folder, waits for its window titled title, lets it
// settle, reads its peak memory and closes it again.
StartResult MeasureStart(const std::wstring& exe, const std::wstring& folder, const wchar_t* title) {
    StartResult result;
    std::wstring copy = folder + exe.substr(exe.find_last_of(L'\\'));
    CopyFileW(exe.c_str(), copy.c_str(), FALSE);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + copy + L"\"";
    double start = Seconds();
    if (!CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process))
        return result;
    HWND shown = nullptr;
    while (!(shown = ShownWindow(process.dwProcessId, title)) && Seconds() - start < 30) Sleep(1);
    if (shown) {
        result.Seconds = Seconds() - start;
        TraceMark(L"shown");
        Sleep(500);
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof(counters);
        if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof(counters)))
            result.PeakWorkingSet = counters.PeakWorkingSetSize;
        PostMessageW(shown, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    DeleteFileW(copy.c_str());
    return result;
}

struct StartUp {
    std::vector<double> KamdropMs, MinimalMs, Ratio, KamdropMiB, MinimalMiB, MoreMiB;
    bool Complete = true;
};

StartUp MeasureStartUp(int rounds) {
    StartUp result;
    TempTree tree;
    tree.MakeDirectory(L"program");
    const std::wstring folder = tree.Path(L"program");
    for (int round = 0; round < rounds; ++round) {
        StartResult minimal, kamdrop;
        // Each goes first every other round.
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn + round) % 2 == 0)
                minimal = MeasureStart(HostPathToWindows(MINIMAL_WINDOW_EXE), folder, L"Minimal window");
            else
                kamdrop = MeasureStart(HostPathToWindows(KAMDROP_EXE), folder, L"Kamdrop");
        }
        if (minimal.Seconds < 0 || kamdrop.Seconds < 0) {
            std::fprintf(stderr, "a window did not appear\n");
            result.Complete = false;
            break;
        }
        result.KamdropMs.push_back(1000 * kamdrop.Seconds);
        result.MinimalMs.push_back(1000 * minimal.Seconds);
        result.Ratio.push_back(kamdrop.Seconds / minimal.Seconds);
        result.KamdropMiB.push_back(MiB(kamdrop.PeakWorkingSet));
        result.MinimalMiB.push_back(MiB(minimal.PeakWorkingSet));
        result.MoreMiB.push_back(MiB(kamdrop.PeakWorkingSet) - MiB(minimal.PeakWorkingSet));
    }
    return result;
}

void PrintStartUp(const StartUp& r) {
    std::printf("Start-up, process start to window shown (%zu rounds in turns)\n", r.Ratio.size());
    std::printf("  Kamdrop %s ms, minimal themed window %s ms, ratio %s\n", Show(SpreadOf(r.KamdropMs), "%.0f").c_str(),
                Show(SpreadOf(r.MinimalMs), "%.0f").c_str(), Show(SpreadOf(r.Ratio), "%.2f").c_str());
    std::printf("Peak working set after start\n");
    std::printf("  Kamdrop %s MiB, minimal themed window %s MiB, difference %s MiB\n",
                Show(SpreadOf(r.KamdropMiB), "%.1f").c_str(), Show(SpreadOf(r.MinimalMiB), "%.1f").c_str(),
                Show(SpreadOf(r.MoreMiB), "%.2f").c_str());
}

// ---- One part alone, for a trace ----

int RunPart(const std::wstring& part, int count) {
    constexpr size_t kLarge = 3u << 20;
    if (part == L"steps") {
        MeasureEngineSteps(count);
        return 0;
    }
    if (part == L"copy-steps") {
        MeasureCopySteps(count, kLarge);
        return 0;
    }
    TempTree disk, card(kCardVolume);
    const bool across = part.rfind(L"across-", 0) == 0;
    const TempTree& source = across ? card : disk;
    if (across)
        MakeLargePhotos(source, L"in", count, kLarge);
    else
        MakePhotos(source, L"in", count);
    disk.MakeDirectory(L"out");
    disk.MakeDirectory(L"program");
    const std::wstring input = source.Path(L"in"), output = disk.Path(L"out");
    int moved = 0;
    const double start = Seconds();
    TraceMark(L"begin " + part);
    if (part == L"window" || part == L"across-window") {
        const WindowRun run = RunWindow(disk.Path(L"program"), input, output);
        moved = run.Moved;
        std::printf("longest wait for the window's answer %.0f ms (%.2f s into the run), %.1f frames a second\n",
                    1000 * run.LongestWait, run.LongestWaitAt, run.FramesPerSecond);
    } else if (part == L"console") {
        RunConsole(disk.Path(L"lines.txt"), input, output);
        moved = CountFiles(output);
    } else if (part == L"engine" || part == L"across-engine") {
        moved = EngineLoop(input, output);
    } else if (part == L"across-backup-disk" || part == L"across-backup-other") {
        const TempTree& tree = part == L"across-backup-disk" ? disk : card;
        tree.MakeDirectory(L"backup");
        moved = EngineBackupLoop(input, output, tree.Path(L"backup"));
    } else if (part == L"plain") {
        moved = PlainLoop(input, output);
    } else if (part == L"across-flushed") {
        moved = PlainFlushedLoop(input, output);
    } else if (part == L"start") {
        MeasureStart(HostPathToWindows(KAMDROP_EXE), disk.Path(L"program"), L"Kamdrop");
        moved = count;
    } else if (part == L"start-minimal") {
        MeasureStart(HostPathToWindows(MINIMAL_WINDOW_EXE), disk.Path(L"program"), L"Minimal window");
        moved = count;
    } else {
        std::fprintf(stderr, "unknown part\n");
        return 2;
    }
    TraceMark(L"end " + part);
    std::printf("%ls: %d of %d files in %.2f s\n", part.c_str(), moved, count, Seconds() - start);
    return moved == count ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<int> counts;
    int rounds = 3;
    bool emulated = false;
    bool backupOnly = false;
    std::wstring only;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--rounds" && i + 1 < argc)
            rounds = _wtoi(argv[++i]);
        else if (argument == L"--emulated")
            emulated = true;
        else if (argument == L"--backup-only")
            backupOnly = true;
        else if (argument == L"--only" && i + 1 < argc)
            only = argv[++i];
        else
            counts.push_back(_wtoi(argv[i]));
    }
    if (counts.empty()) counts = only.empty() ? std::vector<int>{2000, 10000} : std::vector<int>{500};
    if (rounds <= 0 || std::any_of(counts.begin(), counts.end(), [](int n) { return n <= 0; })) {
        std::fprintf(stderr,
                     "usage: kamdrop_bench [--rounds R] [--emulated] [--backup-only] [N...] | --only PART [N]\n");
        return 2;
    }
    if (!only.empty()) return RunPart(only, counts.front());
    if (backupOnly) {
        std::printf("300 photos of 3 MiB with and without a backup folder\n");
        const WithBackup backup = MeasureWithBackup(300, 3u << 20, rounds);
        std::printf("\n%s", emulated ? "EMULATED: not comparable with native figures.\n" : "");
        PrintWithBackup(backup);
        return backup.Complete ? 0 : 1;
    }

    bool complete = true;
    std::vector<OneVolume> volumes;
    for (int count : counts) {
        std::printf("%d photos on one volume\n", count);
        volumes.push_back(MeasureOneVolume(count, rounds));
        complete = complete && volumes.back().Complete;
    }
    std::printf("300 photos of 3 MiB across volumes\n");
    const AcrossVolumes across = MeasureAcrossVolumes(300, 3u << 20, rounds);
    complete = complete && across.Complete;
    std::printf("300 photos of 3 MiB with and without a backup folder\n");
    const WithBackup backup = MeasureWithBackup(300, 3u << 20, rounds);
    complete = complete && backup.Complete;
    std::printf("Start-up and memory\n");
    const StartUp start = MeasureStartUp(std::max(5, 2 * rounds + 1));
    complete = complete && start.Complete;

    std::printf("\n");
    if (emulated)
        std::printf("EMULATED: this program ran under user-mode emulation (qemu); its figures are not comparable "
                    "with native ones nor with another machine's.\n\n");
    for (const OneVolume& r : volumes) PrintOneVolume(r);
    PrintAcrossVolumes(across);
    PrintWithBackup(backup);
    PrintStartUp(start);

    std::printf("\nWhere a file's time goes (each step timed on its own, this process)\n");
    MeasureEngineSteps(counts.front());
    MeasureCopySteps(100, 3u << 20);

    for (const OneVolume& r : volumes) {
        const bool main = r.Count == 2000 || r.Count == 10000;
        const double windowGoal = r.Count == 2000 ? 1.3 : 1.2;
        AddRow(std::to_string(r.Count) + " photos, one volume, window / plain loop", SpreadOf(r.WindowRatio), "%.2f",
               main ? (r.Count == 2000 ? "1.3" : "1.2") : nullptr, windowGoal);
        AddRow(std::to_string(r.Count) + " photos, one volume, KamdropCmd / plain loop", SpreadOf(r.ConsoleRatio),
               "%.2f", r.Count == 2000 ? "1.1" : nullptr, 1.1);
    }
    AddRow("300 photos of 3 MiB across volumes, window / flushed plain loop", SpreadOf(across.WindowRatio), "%.2f",
           "1.15", 1.15);
    AddRow("300 photos of 3 MiB across volumes, engine / flushed plain loop", SpreadOf(across.EngineRatio), "%.2f",
           "1.15", 1.15);
    AddRow("Start-up, Kamdrop / minimal themed window", SpreadOf(start.Ratio), "%.2f", "1.3", 1.3);
    AddRow("Working set after start over the minimal themed window, MiB", SpreadOf(start.MoreMiB), "%+.2f", "+1.5",
           1.5);
    std::vector<double> waits, fps;
    for (const OneVolume& r : volumes) {
        waits.insert(waits.end(), r.Wait.begin(), r.Wait.end());
        fps.insert(fps.end(), r.Fps.begin(), r.Fps.end());
    }
    AddRow("Longest wait for the window's answer, ms (all runs)", SpreadOf(waits), "%.0f", "50", 50);
    AddRow("Frames a second during a run (all runs)", SpreadOf(fps), "%.1f", "about 20", 21);

    std::printf("\nThe figures against their goals (median, range over the rounds in brackets)%s\n",
                emulated ? ", EMULATED: not comparable" : "");
    std::printf("  %-66s %-22s %-10s %s\n", "What", "Now", "Goal", "");
    for (const GoalRow& row : gTable)
        std::printf("  %-66s %-22s %-10s %s\n", row.What.c_str(), row.Now.c_str(), row.Goal.c_str(),
                    emulated ? "(emulated)" : row.Verdict.c_str());
    return complete ? 0 : 1;
}
