#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "forms/Forms.h"
#include "forms/Handles.h"
#include "library/DirectoryReader.h"

using namespace forms;
using library::FileTimeToDateTime;
using library::TDirReader;

namespace {

constexpr int64_t kTicksPerSecond = 10000000;

// A fresh directory under the temp folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        static int counter = 0;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        FPath = std::wstring(temp) + L"DirReaderTest" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                std::to_wstring(++counter) + L"\\";
        CreateDirectoryW(FPath.c_str(), nullptr);
    }
    ~TempDir() { RemoveTree(FPath); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Ends with "\".
    const std::wstring& Path() const { return FPath; }
    std::wstring WithoutDelimiter() const { return FPath.substr(0, FPath.size() - 1); }

    std::wstring Dir(const std::wstring& relative) const {
        std::wstring path = FPath + relative;
        CreateDirectoryW(path.c_str(), nullptr);
        return path + L"\\";
    }
    std::wstring File(const std::wstring& relative) const {
        std::wstring path = FPath + relative;
        FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        EXPECT_TRUE(file) << "cannot create the fixture file";
        return path;
    }

private:
    static void RemoveTree(const std::wstring& dir) {
        WIN32_FIND_DATAW entry;
        FindHandle find(FindFirstFileW((dir + L"*").c_str(), &entry));
        if (find) {
            do {
                std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") continue;
                std::wstring path = dir + name;
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(path + L"\\");
                else
                    DeleteFileW(path.c_str());
            } while (FindNextFileW(find.Get(), &entry));
        }
        find.Reset();
        RemoveDirectoryW(dir.c_str());
    }

    std::wstring FPath;
};

FILETIME SecondsFromNow(int64_t seconds) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    uint64_t ticks = (uint64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime) + seconds * kTicksPerSecond;
    return FILETIME{DWORD(ticks), DWORD(ticks >> 32)};
}

FILETIME UtcDate(WORD year, WORD month, WORD day) {
    SYSTEMTIME parts{};
    parts.wYear = year;
    parts.wMonth = month;
    parts.wDay = day;
    FILETIME result;
    SystemTimeToFileTime(&parts, &result);
    return result;
}

void SetTimes(const std::wstring& path, const FILETIME* lastAccess, const FILETIME* lastWrite) {
    FileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    ASSERT_TRUE(SetFileTime(file.Get(), nullptr, lastAccess, lastWrite));
}

// Records the reader's events as "dir D\Sub\", "file D\Sub\b.txt", "ready",
// with the fixture directory shown as D; the hooks let a test act inside a handler.
struct Recorder {
    TDirReader* reader;
    std::wstring root;
    std::vector<std::wstring> log;
    std::function<void(const std::wstring& relative)> onFile;
    std::function<void()> onReady;

    Recorder(TDirReader& r, const std::wstring& rootPath) : reader(&r), root(rootPath) {
        r.SetOnFileFound(Bind<&Recorder::HandleFileFound>(this));
        r.SetOnDirectoryFound(Bind<&Recorder::HandleDirectoryFound>(this));
        r.SetOnReady(Bind<&Recorder::HandleReady>(this));
    }
    std::wstring Relative(const std::wstring& path) const {
        if (!root.empty() && path.compare(0, root.size(), root) == 0) return L"D\\" + path.substr(root.size());
        return path;
    }
    void HandleFileFound(TObject* sender, const std::wstring& fileName) {
        EXPECT_EQ(sender, reader);
        log.push_back(L"file " + Relative(fileName));
        if (onFile) onFile(Relative(fileName));
    }
    void HandleDirectoryFound(TObject* sender, const std::wstring& directory) {
        EXPECT_EQ(sender, reader);
        log.push_back(L"dir " + Relative(directory));
    }
    void HandleReady(TObject* sender) {
        EXPECT_EQ(sender, reader);
        EXPECT_FALSE(reader->Active());
        log.push_back(L"ready");
        if (onReady) onReady();
    }
};

using Log = std::vector<std::wstring>;

// The reported files relative to D, sorted.
std::vector<std::wstring> FileNames(const Log& log) {
    std::vector<std::wstring> names;
    for (const std::wstring& entry : log)
        if (entry.rfind(L"file D\\", 0) == 0) names.push_back(entry.substr(7));
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring AssertionText(const std::function<void()>& action) {
    try {
        action();
    } catch (const EAssertionFailed& error) {
        return error.Message();
    }
    return L"(no assertion)";
}

class DirReaderTest : public testing::Test {
protected:
    // D: A.txt, Sub\ (b.txt, c.txt), Z.txt; listed sorted by upper-cased name.
    void MakeTree() {
        dir.File(L"A.txt");
        dir.Dir(L"Sub");
        dir.File(L"Sub\\b.txt");
        dir.File(L"Sub\\c.txt");
        dir.File(L"Z.txt");
        reader.SetDirectory(dir.Path());
        reader.SetFilemask(L"*.*");
    }
    TempDir dir;
    TDirReader reader;
    Recorder recorder{reader, dir.Path()};
};

TEST_F(DirReaderTest, ReportsDirectoryBeforeItsEntriesAndDescendsDepthFirst) {
    MakeTree();
    reader.SetDirectory(dir.WithoutDelimiter());
    EXPECT_EQ(reader.Directory(), dir.Path());

    reader.Start();
    EXPECT_EQ(recorder.log, (Log{L"dir D\\", L"file D\\A.txt", L"file D\\Z.txt", L"ready"}));

    recorder.log.clear();
    reader.SetRecursive(true);
    reader.Start();
    EXPECT_EQ(recorder.log, (Log{L"dir D\\", L"file D\\A.txt", L"dir D\\Sub\\", L"file D\\Sub\\b.txt",
                                 L"file D\\Sub\\c.txt", L"file D\\Z.txt", L"ready"}));
    EXPECT_FALSE(reader.Active());
}

TEST_F(DirReaderTest, MaskComparesOnlyTheExtensionIgnoringAsciiCase) {
    const std::vector<std::wstring> all = {L"IMG_1.jpg", L"a.jpg", L"b.JPG", L"c.Jpg",
                                           L"d.jpeg",    L"e.txt", L"noext", L"x.jpg.bak"};
    for (const std::wstring& name : all) dir.File(name);
    const std::vector<std::wstring> jpg = {L"IMG_1.jpg", L"a.jpg", L"b.JPG", L"c.Jpg"};
    struct Case {
        const wchar_t* mask;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {L"*.JPG", jpg},
        {L"IMG*.jpg", jpg},
        {L"zz.jpg", jpg},
        {L"*.jpeg", {L"d.jpeg"}},
        {L"*.bak", {L"x.jpg.bak"}},
        {L"", {L"noext"}},  // a new reader's mask
        {L"*", {L"noext"}},
        {L"C:\\pics.jpg\\*", {L"noext"}},  // the dot before the last "\" is no extension
        {L"*.*", all},
    };
    for (const Case& c : cases) {
        TDirReader fresh;
        Recorder found(fresh, dir.Path());
        fresh.SetDirectory(dir.Path());
        if (*c.mask) fresh.SetFilemask(c.mask);
        fresh.Start();
        EXPECT_EQ(FileNames(found.log), c.expected) << "mask " << WideToUtf8(c.mask);
    }
}

TEST_F(DirReaderTest, ReportsHiddenAndSystemFilesButNeverDotEntries) {
    dir.File(L"plain.txt");
    std::wstring hidden = dir.File(L"hidden.txt");
    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    std::wstring dotFile = dir.File(L".profile");  // hidden on this platform's Unix side
    ASSERT_TRUE((GetFileAttributesW(hidden.c_str()) | GetFileAttributesW(dotFile.c_str())) & FILE_ATTRIBUTE_HIDDEN)
        << "the fixture holds no hidden file";

    reader.SetDirectory(dir.Path());
    reader.SetFilemask(L"*.*");
    reader.SetRecursive(true);  // a walk into "." or ".." would never end
    reader.Start();
    EXPECT_EQ(FileNames(recorder.log), (std::vector<std::wstring>{L".profile", L"hidden.txt", L"plain.txt"}));
    EXPECT_EQ(std::count(recorder.log.begin(), recorder.log.end(), L"dir D\\"), 1);
}

// Runs a second time in a zone away from UTC (library_tests_age_in_local_zone),
// where comparing a UTC file time with the local "now" would be hours off.
TEST_F(DirReaderTest, AgeFiltersSkipFilesCloserToNowThanTheDelayInEitherDirection) {
    EXPECT_EQ(reader.DelayTimeStamp(), 0);
    reader.SetDelayTimeStamp(-5);
    EXPECT_EQ(reader.DelayTimeStamp(), 5);
    reader.SetDelayLastAccess(-7);
    EXPECT_EQ(reader.DelayLastAccess(), 7);
    reader.SetDelayTimeStamp(INT32_MIN);
    EXPECT_EQ(reader.DelayTimeStamp(), INT32_MAX);

    struct Age {
        const wchar_t* name;
        std::optional<int64_t> secondsFromNow;
        std::optional<FILETIME> date;
    };
    const Age ages[] = {
        {L"fresh.txt", -4, {}},
        {L"future.txt", 4, {}},
        {L"minute_old.txt", -60, {}},
        {L"minute_ahead.txt", 60, {}},                 // the distance has no sign
        {L"before_dos.txt", {}, UtcDate(1950, 6, 1)},  // over 2^31 seconds ago, before DOS dates
    };
    const std::vector<std::wstring> expected = {L"before_dos.txt", L"minute_ahead.txt", L"minute_old.txt"};
    const FILETIME longAgo = SecondsFromNow(-3600);

    for (bool lastAccess : {false, true}) {
        SCOPED_TRACE(lastAccess ? "last access" : "last write");
        TempDir fixture;
        for (const Age& age : ages) {
            std::wstring path = fixture.File(age.name);
            FILETIME time = age.date ? *age.date : SecondsFromNow(*age.secondsFromNow);
            SetTimes(path, lastAccess ? &time : &longAgo, lastAccess ? &longAgo : &time);
        }
        TDirReader fresh;
        Recorder found(fresh, fixture.Path());
        fresh.SetDirectory(fixture.Path());
        fresh.SetFilemask(L"*.*");
        if (lastAccess)
            fresh.SetDelayLastAccess(10);
        else
            fresh.SetDelayTimeStamp(10);
        fresh.Start();
        EXPECT_EQ(FileNames(found.log), expected);
    }
}

TEST_F(DirReaderTest, ExcludedDirectoryAndEverythingBelowItIsNotWalked) {
    dir.File(L"A.txt");
    dir.Dir(L"Other");
    dir.File(L"Other\\o.txt");
    dir.Dir(L"Other\\Deep");
    dir.File(L"Other\\Deep\\d.txt");
    dir.Dir(L"Raw");
    dir.File(L"Raw\\r.txt");
    dir.Dir(L"Raw\\Deep");
    dir.File(L"Raw\\Deep\\x.txt");
    reader.SetDirectory(dir.Path());
    reader.SetFilemask(L"*.*");
    reader.SetRecursive(true);
    reader.ExcludeDirs().Add(AsciiLowerCase(dir.Path() + L"raw"));  // other case, no trailing "\"
    reader.ExcludeDirs().Add(dir.Path() + L"Oth");                  // a prefix is no match
    reader.ExcludeDirs().Add(dir.Path() + L"Other\\Deep\\");        // the parent stays
    reader.Start();
    EXPECT_EQ(recorder.log, (Log{L"dir D\\", L"file D\\A.txt", L"dir D\\Other\\", L"file D\\Other\\o.txt", L"ready"}));

    recorder.log.clear();
    reader.ExcludeDirs().Clear();
    reader.ExcludeDirs().Add(AsciiUpperCase(dir.WithoutDelimiter()));
    reader.Start();
    EXPECT_EQ(recorder.log, (Log{L"ready"}));
}

TEST_F(DirReaderTest, WritingActiveWithItsOwnValueDoesNothing) {
    // No directory check either: the directory is still empty here.
    reader.SetActive(false);
    reader.Stop();
    EXPECT_FALSE(reader.Active());
    EXPECT_TRUE(recorder.log.empty());

    MakeTree();
    int starts = 0;
    recorder.onFile = [&](const std::wstring&) {
        ++starts;
        reader.Start();  // already active: no second walk
    };
    reader.Start();
    EXPECT_EQ(recorder.log, (Log{L"dir D\\", L"file D\\A.txt", L"file D\\Z.txt", L"ready"}));
    EXPECT_EQ(starts, 2);
}

TEST_F(DirReaderTest, MisuseFailsWithFixedAssertionsAndLeavesStateUnchanged) {
    const std::wstring notExists196 = L"Directory not exists (VexaDirectoryReader, line 196)";
    const std::wstring notExists235 = L"Directory not exists (VexaDirectoryReader, line 235)";

    EXPECT_EQ(AssertionText([&] { reader.Start(); }), notExists196);
    EXPECT_FALSE(reader.Active());

    std::wstring sub = dir.Dir(L"Sub");
    std::wstring file = dir.File(L"A.txt");
    reader.SetDirectory(sub);
    for (const std::wstring& bad : {std::wstring(), dir.Path() + L"Missing", file}) {
        EXPECT_EQ(AssertionText([&] { reader.SetDirectory(bad); }), notExists235) << WideToUtf8(bad);
        EXPECT_EQ(reader.Directory(), sub);
    }

    RemoveDirectoryW(sub.c_str());  // the directory vanished after it was set
    EXPECT_EQ(AssertionText([&] { reader.Start(); }), notExists196);
    EXPECT_FALSE(reader.Active());
    EXPECT_TRUE(recorder.log.empty());

    reader.SetDirectory(dir.Path());
    reader.SetFilemask(L"*.*");
    std::wstring duringWalk;
    recorder.onFile = [&](const std::wstring&) {
        duringWalk = AssertionText([&] { reader.SetDirectory(dir.Path()); });
    };
    reader.Start();
    EXPECT_EQ(duringWalk, L"Can not change directory when active (VexaDirectoryReader, line 234)");
    EXPECT_EQ(reader.Directory(), dir.Path());
}

TEST_F(DirReaderTest, StopInFileHandlerEndsEveryLevelAndRaisesReadyOnce) {
    MakeTree();
    reader.SetRecursive(true);
    struct Case {
        const wchar_t* stopAt;
        Log expected;
    };
    const Case cases[] = {
        {L"D\\A.txt", {L"dir D\\", L"file D\\A.txt", L"ready"}},
        {L"D\\Sub\\b.txt", {L"dir D\\", L"file D\\A.txt", L"dir D\\Sub\\", L"file D\\Sub\\b.txt", L"ready"}},
    };
    for (const Case& c : cases) {
        recorder.log.clear();
        recorder.onFile = [&](const std::wstring& file) {
            if (file == c.stopAt) reader.Stop();
        };
        reader.Start();
        EXPECT_EQ(recorder.log, c.expected);
    }
}

// A small window of the test whose message stops the reader, as a Stop
// button of the user interface would while the walk processes messages.
class StopWindow {
public:
    explicit StopWindow(TDirReader& reader) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"DirReaderTestStopWindow";
        RegisterClassW(&windowClass);
        FWindow.Reset(CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      windowClass.hInstance, nullptr));
        SetWindowLongPtrW(FWindow.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&reader));
    }
    void PostStop() const { PostMessageW(FWindow.Get(), WM_APP, 0, 0); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        if (message != WM_APP) return DefWindowProcW(window, message, wParam, lParam);
        Guarded([&] { reinterpret_cast<TDirReader*>(GetWindowLongPtrW(window, GWLP_USERDATA))->Stop(); });
        return 0;
    }
    WindowHandle FWindow;
};

TEST_F(DirReaderTest, StopFromMessageHandlerTakesEffectAfterTheCurrentEntry) {
    MakeTree();
    reader.SetRecursive(true);
    StopWindow window(reader);
    struct Case {
        const wchar_t* postAt;  // nullptr: posted before the walk starts
        Log expected;
    };
    const Case cases[] = {
        // messages are processed after the skipped "." entry already
        {nullptr, {L"dir D\\", L"ready"}},
        {L"D\\A.txt", {L"dir D\\", L"file D\\A.txt", L"ready"}},
        {L"D\\Sub\\b.txt", {L"dir D\\", L"file D\\A.txt", L"dir D\\Sub\\", L"file D\\Sub\\b.txt", L"ready"}},
    };
    for (const Case& c : cases) {
        recorder.log.clear();
        recorder.onFile = [&](const std::wstring& file) {
            if (c.postAt && file == c.postAt) window.PostStop();
        };
        if (!c.postAt) window.PostStop();
        reader.Start();
        EXPECT_EQ(recorder.log, c.expected);
    }
}

// Paced, the walk looks at its messages once per interval (the first entry
// starts one) and at the end of each directory, not after every entry: the
// stop posted at A.txt takes effect when Sub is done.
TEST_F(DirReaderTest, WithAMessageIntervalAStopWaitsForTheNextLookAtTheMessages) {
    MakeTree();
    reader.SetRecursive(true);
    reader.SetMessageInterval(60000);
    StopWindow window(reader);
    recorder.onFile = [&](const std::wstring& file) {
        if (file == L"D\\A.txt") window.PostStop();
    };
    reader.Start();
    EXPECT_EQ(recorder.log, (Log{L"dir D\\", L"file D\\A.txt", L"dir D\\Sub\\", L"file D\\Sub\\b.txt",
                                 L"file D\\Sub\\c.txt", L"ready"}));
}

TEST_F(DirReaderTest, ErrorInFileHandlerRaisesReadyThenReachesTheCaller) {
    MakeTree();
    reader.SetRecursive(true);
    recorder.onFile = [&](const std::wstring& file) {
        if (file == L"D\\Sub\\b.txt") throw Exception(L"disk on fire");
    };
    try {
        reader.Start();
        ADD_FAILURE() << "the handler's error was swallowed";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), L"disk on fire");
        EXPECT_EQ(recorder.log, (Log{L"dir D\\", L"file D\\A.txt", L"dir D\\Sub\\", L"file D\\Sub\\b.txt", L"ready"}));
    }
    EXPECT_FALSE(reader.Active());

    // Nothing was left half-running: the next walk is complete.
    recorder.onFile = nullptr;
    recorder.log.clear();
    reader.Start();
    EXPECT_EQ(recorder.log.size(), 7u);
}

TEST_F(DirReaderTest, ReadyHandlerMayStartTheReaderAgain) {
    MakeTree();
    bool restarted = false;
    recorder.onReady = [&] {
        if (restarted) return;
        restarted = true;
        reader.SetRecursive(true);
        reader.Start();
    };
    reader.Start();
    EXPECT_EQ(recorder.log,
              (Log{L"dir D\\", L"file D\\A.txt", L"file D\\Z.txt", L"ready", L"dir D\\", L"file D\\A.txt",
                   L"dir D\\Sub\\", L"file D\\Sub\\b.txt", L"file D\\Sub\\c.txt", L"file D\\Z.txt", L"ready"}));
    EXPECT_FALSE(reader.Active());
}

TEST(FileTimeToDateTimeTest, CountsDaysFrom1601WithoutZoneShift) {
    struct Case {
        int64_t ticks;
        double expected;
    };
    const Case cases[] = {
        {0, -109205.0},
        {109205LL * 864000000000LL, 0.0},
        {-864000000000LL, -109206.0},
        {(109205LL + 36526) * 864000000000LL + 432000000000LL, 36526.5},  // 1 January 2000, noon
    };
    for (const Case& c : cases) EXPECT_EQ(FileTimeToDateTime(c.ticks), c.expected) << c.ticks;

    FILETIME midnight2000 = UtcDate(2000, 1, 1);
    EXPECT_EQ(FileTimeToDateTime(midnight2000), 36526.0);
}

}  // namespace
