// Files N photos with spread dates through the real window, then the same
// files with a plain loop of date-sorted moves, and reports both rates, their
// ratio and the program's peak memory.
//
//   kamdrop_bench.exe [N]      N defaults to 2000

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "KamdropDriver.h"
#include "TempTree.h"

namespace {

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int count = argc > 1 ? _wtoi(argv[1]) : 2000;
    if (count <= 0) {
        std::fprintf(stderr, "usage: kamdrop_bench [N]\n");
        return 2;
    }
    TempTree tree;
    std::printf("Making %d photos...\n", count);
    MakePhotos(tree, L"in", count);
    tree.MakeDirectory(L"out");
    tree.MakeDirectory(L"program");

    KamdropDriver kamdrop(HostPathToWindows(KAMDROP_EXE), tree.Path(L"program"));
    if (!kamdrop.WaitForMainWindow()) {
        std::fprintf(stderr, "Kamdrop's window did not appear\n");
        return 1;
    }
    kamdrop.SetInput(tree.Path(L"in"));
    kamdrop.SetOutput(tree.Path(L"out"));
    kamdrop.SetLabel(L"Bench");
    double start = Seconds();
    kamdrop.ClickStartAndWait();
    double kamdropSeconds = Seconds() - start;
    int kamdropMoved = CountFiles(tree.Path(L"out"));
    SIZE_T peak = kamdrop.PeakWorkingSet();
    kamdrop.Close();

    MakePhotos(tree, L"in2", count);
    tree.MakeDirectory(L"out2");
    start = Seconds();
    int plainMoved = PlainLoop(tree.Path(L"in2"), tree.Path(L"out2"));
    double plainSeconds = Seconds() - start;

    double kamdropRate = kamdropMoved / kamdropSeconds, plainRate = plainMoved / plainSeconds;
    std::printf("Kamdrop window: %d of %d files in %.2f s, %.0f files/s\n", kamdropMoved, count, kamdropSeconds,
                kamdropRate);
    std::printf("Plain loop:     %d of %d files in %.2f s, %.0f files/s\n", plainMoved, count, plainSeconds,
                plainRate);
    std::printf("Ratio (window / plain): %.2f\n", kamdropRate / plainRate);
    std::printf("Peak working set of Kamdrop: %.1f MiB\n", static_cast<double>(peak) / (1024.0 * 1024.0));
    return kamdropMoved == count && plainMoved == count ? 0 : 1;
}
