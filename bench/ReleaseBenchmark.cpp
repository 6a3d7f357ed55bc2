// The benchmark. For each N (default 2000 and 10000): files N photos through
// the real window while another thread keeps asking the window for an answer,
// then files N fresh photos with a plain loop of date-sorted moves and N more
// with KamdropCmd.exe; prints the times, their ratios to the plain loop and the
// longest wait for an answer. Then, with the card on another file system (a
// tmpfs), the window against a plain loop of copying moves, and where the
// verified copy's time goes. Then starts Kamdrop and
// a minimal window program in turns and prints their start-up times (process
// start to window shown) and peak memory.
//
//   kamdrop_bench.exe [N...]

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "KamdropDriver.h"
#include "engine/FileMove.h"
#include "TempTree.h"

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

// The baseline: list, sort by date once, move with the same flags.
int PlainLoop(const std::wstring& input, const std::wstring& output) {
    struct Entry {
        std::wstring Path;
        ULONGLONG Time;
    };
    std::vector<Entry> entries;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((input + L"\\*.*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                entries.push_back({input + L"\\" + found.cFileName, 0});
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    for (Entry& entry : entries) entry.Time = LastWrite(entry.Path);
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.Time < b.Time; });
    int moved = 0, serial = 0;
    for (const Entry& entry : entries) {
        std::wstring target = output + L"\\plain_" + std::to_wstring(++serial) + L".jpg";
        moved += MoveFileExW(entry.Path.c_str(), target.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
    }
    return moved;
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

// Asks a window for an answer (WM_NULL) over and over from a thread of its own
// and keeps the longest wait; a window that waits for nothing answers at once.
class AnswerProbe {
public:
    explicit AnswerProbe(HWND window) : FWindow(window) {
        FThread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~AnswerProbe() { Stop(); }
    // Stops asking; the longest wait in seconds.
    double Stop() {
        if (FThread) {
            FStop = true;
            WaitForSingleObject(FThread, INFINITE);
            CloseHandle(FThread);
            FThread = nullptr;
        }
        return FLongest;
    }
    int Answers() const { return FAnswers; }

private:
    static DWORD WINAPI Run(void* param) {
        auto* probe = static_cast<AnswerProbe*>(param);
        while (!probe->FStop) {
            double sent = Seconds();
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(probe->FWindow, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result)) break;
            probe->FLongest = std::max(probe->FLongest, Seconds() - sent);
            ++probe->FAnswers;
            // Often enough to see any wait that matters, rarely enough to cost the run little.
            Sleep(4);
        }
        return 0;
    }

    HWND FWindow;
    HANDLE FThread = nullptr;
    std::atomic<bool> FStop{false};
    double FLongest = 0;
    int FAnswers = 0;
};

struct ReleaseResult {
    int Count = 0, WindowMoved = 0, PlainMoved = 0, ConsoleMoved = 0;
    double WindowSeconds = 0, PlainSeconds = 0, ConsoleSeconds = 0, LongestWait = 0;
    SIZE_T PeakWorkingSet = 0;
};

// KamdropCmd.exe on the photos in input, as a batch file runs it: its lines go
// to a file. The time runs from the process's start to its end.
void MeasureConsole(const TempTree& tree, const std::wstring& input, const std::wstring& output,
                    ReleaseResult& result) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE lines = CreateFileW(tree.Path(L"console-lines.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = lines;
    startup.hStdError = lines;
    const std::wstring exe = HostPathToWindows(KAMDROP_CMD_EXE);
    std::wstring commandLine = L"\"" + exe + L"\" \"" + tree.Path(input) + L"\" \"" + tree.Path(output) + L"\" Bench";
    PROCESS_INFORMATION process{};
    const double start = Seconds();
    if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        result.ConsoleSeconds = Seconds() - start;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        std::fprintf(stderr, "KamdropCmd did not start\n");
    }
    CloseHandle(lines);
    result.ConsoleMoved = CountFiles(tree.Path(output));
}

// One run through the window, one plain loop and one run of the command-line
// program, in turn, on N fresh photos each.
ReleaseResult MeasureRelease(int count) {
    ReleaseResult result;
    result.Count = count;
    TempTree tree;
    std::printf("Making %d photos...\n", count);
    std::fflush(stdout);
    MakePhotos(tree, L"in", count);
    tree.MakeDirectory(L"out");
    tree.MakeDirectory(L"program");
    {
        KamdropDriver kamdrop(HostPathToWindows(KAMDROP_EXE), tree.Path(L"program"));
        if (!kamdrop.WaitForMainWindow()) {
            std::fprintf(stderr, "Kamdrop's window did not appear\n");
            return result;
        }
        kamdrop.SetInput(tree.Path(L"in"));
        kamdrop.SetOutput(tree.Path(L"out"));
        kamdrop.SetLabel(L"Bench");
        AnswerProbe probe(kamdrop.MainWindow());
        double start = Seconds();
        kamdrop.ClickStartAndWait();
        result.WindowSeconds = Seconds() - start;
        result.LongestWait = probe.Stop();
        result.WindowMoved = CountFiles(tree.Path(L"out"));
        result.PeakWorkingSet = kamdrop.PeakWorkingSet();
        kamdrop.Close();
    }
    MakePhotos(tree, L"in2", count);
    tree.MakeDirectory(L"out2");
    double start = Seconds();
    result.PlainMoved = PlainLoop(tree.Path(L"in2"), tree.Path(L"out2"));
    result.PlainSeconds = Seconds() - start;
    MakePhotos(tree, L"in3", count);
    tree.MakeDirectory(L"out3");
    MeasureConsole(tree, L"in3", L"out3", result);
    return result;
}

// ---- Across volumes: the card on a tmpfs, the output on disk ----

constexpr wchar_t kCardVolume[] = L"Z:\\dev\\shm\\";

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

struct AcrossResult {
    int Count = 0, WindowMoved = 0, PlainMoved = 0, EngineMoved = 0;
    size_t Size = 0;
    double WindowSeconds = 0, PlainSeconds = 0, EngineSeconds = 0, ChecksumSeconds = 0;
};

// The same loop as PlainLoop, but each file through the engine's verified move.
int EngineLoop(const std::wstring& input, const std::wstring& output) {
    std::vector<std::pair<ULONGLONG, std::wstring>> entries;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((input + L"\\*.*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                entries.emplace_back(0, input + L"\\" + found.cFileName);
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    for (auto& entry : entries) entry.first = LastWrite(entry.second);
    std::stable_sort(entries.begin(), entries.end());
    int moved = 0, serial = 0;
    engine::FileMover mover;
    for (const auto& entry : entries)
        moved += mover.Move(entry.second, output + L"\\engine_" + std::to_wstring(++serial) + L".jpg") == ERROR_SUCCESS
                     ? 1
                     : 0;
    return moved;
}

AcrossResult MeasureAcrossVolumes(int count, size_t size) {
    AcrossResult result;
    result.Count = count;
    result.Size = size;
    TempTree disk, card(kCardVolume);
    std::printf("Making %d photos of %zu KiB on the tmpfs card...\n", count, size / 1024);
    std::fflush(stdout);
    disk.MakeDirectory(L"program");
    MakeLargePhotos(card, L"in", count, size);
    disk.MakeDirectory(L"out");
    {
        KamdropDriver kamdrop(HostPathToWindows(KAMDROP_EXE), disk.Path(L"program"));
        if (!kamdrop.WaitForMainWindow()) return result;
        kamdrop.SetInput(card.Path(L"in"));
        kamdrop.SetOutput(disk.Path(L"out"));
        kamdrop.SetLabel(L"Bench");
        const double start = Seconds();
        kamdrop.ClickStartAndWait();
        result.WindowSeconds = Seconds() - start;
        result.WindowMoved = CountFiles(disk.Path(L"out"));
        kamdrop.Close();
    }
    MakeLargePhotos(card, L"in2", count, size);
    disk.MakeDirectory(L"out2");
    double start = Seconds();
    result.PlainMoved = PlainLoop(card.Path(L"in2"), disk.Path(L"out2"));
    result.PlainSeconds = Seconds() - start;
    MakeLargePhotos(card, L"in3", count, size);
    disk.MakeDirectory(L"out3");
    start = Seconds();
    result.EngineMoved = EngineLoop(card.Path(L"in3"), disk.Path(L"out3"));
    result.EngineSeconds = Seconds() - start;
    // The checksum is taken twice a file: of what was read, and of what is read back.
    std::string bytes(size, '\x5a');
    start = Seconds();
    uint32_t crc = 0;
    for (int i = 0; i < 2 * count; ++i) crc = engine::Crc32c(crc, bytes.data(), bytes.size());
    result.ChecksumSeconds = Seconds() - start + (crc == 1 ? 1e-9 : 0);
    return result;
}

void PrintAcrossVolumes(const AcrossResult& r) {
    const double mib = static_cast<double>(r.Size) * r.Count / (1024.0 * 1024.0);
    std::printf("%d photos of %zu KiB from a card on another file system (%.0f MiB)\n", r.Count, r.Size / 1024, mib);
    std::printf("  Kamdrop window (verified): %d of %d files in %.2f s (%.0f MiB/s)\n", r.WindowMoved, r.Count,
                r.WindowSeconds, mib / r.WindowSeconds);
    std::printf("  Plain loop of copying moves: %d of %d files in %.2f s (%.0f MiB/s)\n", r.PlainMoved, r.Count,
                r.PlainSeconds, mib / r.PlainSeconds);
    std::printf("  Engine loop (verified, no window): %d of %d files in %.2f s\n", r.EngineMoved, r.Count,
                r.EngineSeconds);
    std::printf("  Time ratio (window / plain): %.2f\n", r.WindowSeconds / r.PlainSeconds);
    std::printf("  Verification: %.2f s over the plain loop, of it checksums %.2f s (%.0f MiB/s), the read-back "
                "and the rest %.2f s\n",
                r.EngineSeconds - r.PlainSeconds, r.ChecksumSeconds, 2 * mib / r.ChecksumSeconds,
                r.EngineSeconds - r.PlainSeconds - r.ChecksumSeconds);
}

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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(_wtoi(argv[i]));
    if (counts.empty()) counts = {2000, 10000};
    if (std::any_of(counts.begin(), counts.end(), [](int n) { return n <= 0; })) {
        std::fprintf(stderr, "usage: kamdrop_bench [N...]\n");
        return 2;
    }

    bool complete = true;
    SIZE_T runPeak = 0;
    std::vector<ReleaseResult> releases;
    for (int count : counts) {
        releases.push_back(MeasureRelease(count));
        const ReleaseResult& r = releases.back();
        complete = complete && r.WindowMoved == count && r.PlainMoved == count && r.ConsoleMoved == count;
        runPeak = std::max(runPeak, r.PeakWorkingSet);
    }

    const AcrossResult across = MeasureAcrossVolumes(300, 3u << 20);
    complete = complete && across.WindowMoved == across.Count && across.PlainMoved == across.Count &&
               across.EngineMoved == across.Count;

    // Start-up in turns, so that both programs meet the same load on the machine.
    TempTree tree;
    tree.MakeDirectory(L"program");
    const std::wstring folder = tree.Path(L"program");
    std::vector<double> kamdropStarts, minimalStarts, kamdropPeaks, minimalPeaks;
    for (int round = 0; round < 5; ++round) {
        StartResult minimal = MeasureStart(HostPathToWindows(MINIMAL_WINDOW_EXE), folder, L"Minimal window");
        StartResult kamdrop = MeasureStart(HostPathToWindows(KAMDROP_EXE), folder, L"Kamdrop");
        if (minimal.Seconds < 0 || kamdrop.Seconds < 0) {
            std::fprintf(stderr, "a window did not appear\n");
            complete = false;
            break;
        }
        minimalStarts.push_back(minimal.Seconds);
        kamdropStarts.push_back(kamdrop.Seconds);
        minimalPeaks.push_back(MiB(minimal.PeakWorkingSet));
        kamdropPeaks.push_back(MiB(kamdrop.PeakWorkingSet));
    }

    std::printf("\n");
    for (const ReleaseResult& r : releases) {
        std::printf("%d files\n", r.Count);
        std::printf("  Kamdrop window: %d of %d files in %.2f s (%.2f ms a file)\n", r.WindowMoved, r.Count,
                    r.WindowSeconds, 1000.0 * r.WindowSeconds / r.Count);
        std::printf("  Plain loop:     %d of %d files in %.2f s (%.2f ms a file)\n", r.PlainMoved, r.Count,
                    r.PlainSeconds, 1000.0 * r.PlainSeconds / r.Count);
        std::printf("  KamdropCmd:     %d of %d files in %.2f s (%.2f ms a file)\n", r.ConsoleMoved, r.Count,
                    r.ConsoleSeconds, 1000.0 * r.ConsoleSeconds / r.Count);
        std::printf("  Time ratio (window / plain): %.2f\n", r.WindowSeconds / r.PlainSeconds);
        std::printf("  Time ratio (KamdropCmd / plain): %.2f\n", r.ConsoleSeconds / r.PlainSeconds);
        std::printf("  Longest wait for the window's answer during the run: %.0f ms\n", 1000.0 * r.LongestWait);
        std::printf("  Peak working set of Kamdrop: %.1f MiB\n", MiB(r.PeakWorkingSet));
    }
    PrintAcrossVolumes(across);
    if (!kamdropStarts.empty()) {
        double kamdropStart = Median(kamdropStarts), minimalStart = Median(minimalStarts);
        double kamdropPeak = Median(kamdropPeaks), minimalPeak = Median(minimalPeaks);
        std::printf("Start-up, process start to window shown (median of %zu in turns)\n", kamdropStarts.size());
        std::printf("  Kamdrop %.0f ms, minimal window %.0f ms, ratio %.2f\n", 1000.0 * kamdropStart,
                    1000.0 * minimalStart, kamdropStart / minimalStart);
        std::printf("Peak working set\n");
        std::printf("  Kamdrop started %.1f MiB, minimal window %.1f MiB, difference %.1f MiB\n", kamdropPeak,
                    minimalPeak, kamdropPeak - minimalPeak);
        std::printf("  Kamdrop during the runs %.1f MiB, difference %.1f MiB\n", MiB(runPeak),
                    MiB(runPeak) - minimalPeak);
    }
    return complete ? 0 : 1;
}
