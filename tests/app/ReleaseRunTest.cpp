// The release run of the main window on fixture directories.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <utility>

#include "DialogWatcher.h"
#include "forms/Graphics.h"
#include "forms/Handles.h"
#include "ReferenceQuickSort.h"
#include "TempTree.h"
#include "engine/FileDates.h"
#include "engine/FileMove.h"
#include "KamdropTestForm.h"
#include "runtime/DirectoryListing.h"
#include "SystemText.h"

using namespace forms;
using engine::CompareFileDates;
using engine::GetFileDate;

namespace {

struct Row {
    std::wstring Path;
    intptr_t Mark;
    bool operator==(const Row&) const = default;
};

class ReleaseRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.MakeDirectory(L"in");
        tree.MakeDirectory(L"out");
        form = new TTestKamdropForm(Application);
        Application->OnShowException = Bind<&ReleaseRunTest::RecordError>(this);
        SetFields(tree.Path(L"in"), tree.Path(L"out"), L"Holiday");
    }
    void TearDown() override {
        Application->OnShowException = {};
        forms::Free(form);
    }

    void SetFields(const std::wstring& input, const std::wstring& output, const std::wstring& label) {
        form->OvcHistoryComboBoxDirSource->SetText(input);
        form->OvcHistoryComboBoxDirTarget->SetText(output);
        form->OvcHistoryComboBoxLabel->SetText(label);
    }
    // Presses Start as the user does: errors go to the error box.
    void PressStart() { form->StartButton->Perform(BM_CLICK, 0, 0); }
    std::wstring In(const std::wstring& name) const { return tree.Path(L"in\\" + name); }
    bool InOut(const std::wstring& name) const { return tree.Exists(L"out\\" + name); }
    std::vector<Row> Rows() const {
        std::vector<Row> rows;
        TStrings& items = form->FilesListBox->Items();
        for (int i = 0; i < items.Count(); ++i) rows.push_back({items.Get(i), items.GetTag(i)});
        return rows;
    }
    void RecordError(const std::wstring& text) { errors.push_back(text); }
    // Picks a row as the arrow keys do (the list tells its window of the change) and returns the
    // status text that follows.
    std::wstring PickRow(int index) {
        HWND list = form->FilesListBox->Handle();
        RECT row{};
        SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&row));
        const LPARAM point = MAKELPARAM(row.left + 30, (row.top + row.bottom) / 2);
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageW(list, WM_LBUTTONUP, 0, point);
        EXPECT_EQ(form->FilesListBox->ItemIndex(), index);
        return form->StatusBar->SimpleText();
    }

    TempTree tree;
    TKamdropForm* form = nullptr;
    std::vector<std::wstring> errors;
};

TEST_F(ReleaseRunTest, NamesCarryDateLabelDayCounterAndLowerCasedExtension) {
    tree.MakeFile(L"in\\IMG_0001.JPG", 2023, 1, 11, 9, 0, 0);
    tree.MakeFile(L"in\\IMG_0002.Jpg", 2023, 1, 11, 10, 0, 0);
    tree.MakeFile(L"in\\archive.tar.GZ", 2023, 1, 11, 11, 0, 0);
    tree.MakeFile(L"in\\NOEXT", 2023, 1, 12, 8, 0, 0);
    tree.MakeFile(L"in\\IMG_0003.JPG", 2023, 1, 12, 9, 0, 0);
    DialogWatcher dialogs;
    PressStart();

    for (const wchar_t* name : {L"2023-01-11_Holiday_01.jpg", L"2023-01-11_Holiday_02.jpg",
                                L"2023-01-11_Holiday_03.gz", L"2023-01-12_Holiday_01", L"2023-01-12_Holiday_02.jpg"})
        EXPECT_TRUE(InOut(name)) << name;
    EXPECT_TRUE(dialogs.Dialogs().empty());
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(form->StatusBar->SimpleText(), L"");
    EXPECT_EQ(form->ProgressBar->Position(), 0);
    EXPECT_TRUE(form->StartButton->Enabled());
}

TEST_F(ReleaseRunTest, CounterGrowsFromTwoToThreeDigitsWithoutLimit) {
    for (int i = 0; i < 100; ++i)
        tree.MakeFile(L"in\\P" + std::to_wstring(1000 + i) + L".jpg", 2023, 3, 1, 8 + i / 60, i % 60, 0);
    PressStart();
    for (const wchar_t* name : {L"2023-03-01_Holiday_01.jpg", L"2023-03-01_Holiday_09.jpg",
                                L"2023-03-01_Holiday_10.jpg", L"2023-03-01_Holiday_99.jpg",
                                L"2023-03-01_Holiday_100.jpg"})
        EXPECT_TRUE(InOut(name)) << name;
    EXPECT_FALSE(InOut(L"2023-03-01_Holiday_010.jpg"));
}

// Files in one 2-second step are equal to the sort; their counters follow
// the order the sort leaves them in, which is fixed, not the scan order.
TEST_F(ReleaseRunTest, FilesInTheSameTwoSecondStepGetCountersInTheSortsOrder) {
    tree.MakeFile(L"in\\a.jpg", 2023, 5, 5, 10, 0, 0);
    tree.MakeFile(L"in\\b.jpg", 2023, 5, 5, 10, 0, 1);
    tree.MakeFile(L"in\\c.jpg", 2023, 5, 5, 10, 0, 0);
    PressStart();
    // Scanned as a, b, c; three equal keys come out of the sort as c, b, a.
    EXPECT_EQ(tree.Content(L"out\\2023-05-05_Holiday_01.jpg"), "in\\c.jpg");
    EXPECT_EQ(tree.Content(L"out\\2023-05-05_Holiday_02.jpg"), "in\\b.jpg");
    EXPECT_EQ(tree.Content(L"out\\2023-05-05_Holiday_03.jpg"), "in\\a.jpg");
}

// Through real files and the real window: every name follows the order that the
// comparator reading the disk gives, however the ties fall.
TEST_F(ReleaseRunTest, NamesFollowTheOrderOfTheComparatorThatReadsTheDisk) {
    std::mt19937 random(11);
    for (int i = 0; i < 60; ++i)
        tree.MakeFile(L"in\\P" + std::to_wstring(100 + i) + L".jpg", 2023, 6, 1 + static_cast<int>(random() % 2),
                      10, 0, 2 * static_cast<int>(random() % 4));
    TStringList expected;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((tree.Path(L"in") + L"\\*.*").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) expected.Add(In(found.cFileName));
    while (FindNextFileW(find, &found));
    FindClose(find);
    ReferenceQuickSort(expected, 0, expected.Count() - 1, CompareFileDates);
    std::vector<std::wstring> names;
    std::wstring day;
    int counter = 0;
    for (const std::wstring& path : expected.ToVector()) {
        std::wstring date = FormatDateIso(GetFileDate(path));
        counter = date == day ? counter + 1 : 1;
        day = date;
        wchar_t name[64];
        swprintf(name, 64, L"out\\%ls_Holiday_%02d.jpg", date.c_str(), counter);
        names.push_back(name);
    }

    PressStart();
    ASSERT_TRUE(errors.empty());
    for (int i = 0; i < expected.Count(); ++i) {
        std::wstring source = expected.Get(i);
        std::string relative = "in\\";
        for (wchar_t c : source.substr(source.rfind(L'\\') + 1)) relative += static_cast<char>(c);
        EXPECT_EQ(tree.Content(names[i]), relative) << i;
    }
}

// The list's client area as it is on the screen, pixel by pixel.
std::vector<uint32_t> ListPixels(HWND list) {
    RECT client;
    GetClientRect(list, &client);
    uint32_t* pixels = nullptr;
    GdiObject<HBITMAP> copy = CreatePixelBitmap(client.right, client.bottom, pixels);
    MemoryDC memory(CreateCompatibleDC(nullptr));
    {
        ScopedSelect selected(memory.Get(), copy.Get());
        HDC screen = GetDC(list);
        BitBlt(memory.Get(), 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
        ReleaseDC(list, screen);
    }
    GdiFlush();
    return std::vector<uint32_t>(pixels, pixels + client.right * client.bottom);
}

// Watches the status bar through a window procedure put on top of its own: each
// time the run shows a file there, a check is queued, which the run's message
// processing right after that file runs. The list on the screen must then be
// what a full redraw of the list paints.
class ShownListProbe {
public:
    explicit ShownListProbe(TKamdropForm* form) : FForm(form) {
        Current = this;
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = CheckProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"ShownListProbe";
        RegisterClassW(&windowClass);
        FWindow = CreateWindowW(L"ShownListProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        FStatusBar = form->StatusBar->Handle();
        FPrevious = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(FStatusBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StatusBarProc)));
        FList = form->FilesListBox->Handle();
        FListPrevious =
            reinterpret_cast<WNDPROC>(SetWindowLongPtrW(FList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc)));
    }
    ~ShownListProbe() {
        SetWindowLongPtrW(FList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FListPrevious));
        SetWindowLongPtrW(FStatusBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FPrevious));
        DestroyWindow(FWindow);
        Current = nullptr;
    }

    std::vector<int> Checked, Differing;

private:
    static inline ShownListProbe* Current = nullptr;

    static LRESULT CALLBACK StatusBarProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        // A file's path; the texts of the run's start and end show no file.
        auto text = reinterpret_cast<const wchar_t*>(lParam);
        if (msg == SB_SETTEXTW && text && std::wstring(text).find(L'\\') != std::wstring::npos && !Current->FPending) {
            Current->FPending = true;
            PostMessageW(Current->FWindow, WM_APP, 0, 0);
        }
        return CallWindowProcW(Current->FPrevious, window, msg, wParam, lParam);
    }
    // Each file takes a few milliseconds longer, so that a short run still shows several frames.
    static LRESULT CALLBACK ListProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == LB_ADDSTRING) Sleep(3);
        return CallWindowProcW(Current->FListPrevious, window, msg, wParam, lParam);
    }
    static LRESULT CALLBACK CheckProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg != WM_APP || !Current) return DefWindowProcW(window, msg, wParam, lParam);
        Current->FPending = false;
        Current->Check();
        return 0;
    }
    void Check() {
        int rows = FForm->FilesListBox->Items().Count();
        if (rows == 0) return;
        HWND list = FForm->FilesListBox->Handle();
        UpdateWindow(list);
        std::vector<uint32_t> shown = ListPixels(list);
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Checked.push_back(rows);
        if (ListPixels(list) != shown) Differing.push_back(rows);
    }

    TKamdropForm* FForm;
    HWND FWindow = nullptr, FStatusBar = nullptr, FList = nullptr;
    WNDPROC FPrevious = nullptr, FListPrevious = nullptr;
    bool FPending = false;
};

TEST_F(ReleaseRunTest, TheListShowsTheRightRowsWheneverTheRunHasShownAFile) {
    const int count = 150;
    std::mt19937 random(5);
    for (int i = 0; i < count; ++i)
        tree.MakeFile(L"in\\N" + std::to_wstring(1000 + random() % 9000) + L"_" + std::to_wstring(i) + L".jpg", 2023,
                      7, 1, 8 + i / 60, i % 60, 0);
    form->Show();
    SetWindowPos(form->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShownListProbe probe(form);
    PressStart();
    ASSERT_EQ(form->FilesListBox->Items().Count(), count);
    EXPECT_GE(probe.Checked.size(), 3u);
    ASSERT_FALSE(probe.Checked.empty());
    EXPECT_EQ(probe.Checked.back(), count);
    EXPECT_TRUE(probe.Differing.empty()) << probe.Differing.size() << " of " << probe.Checked.size()
                                         << " shown states differ from a full redraw, the first after "
                                         << (probe.Differing.empty() ? 0 : probe.Differing[0]) << " files";
}

// Sees every row as the run adds it, through a window procedure put on top of
// the list's own, with the status text and progress step it has then.
class AddedRowProbe {
public:
    struct Added {
        std::wstring Row, Status;
        int Progress;
        bool operator==(const Added&) const = default;
    };
    explicit AddedRowProbe(TKamdropForm* form) : FForm(form), FList(form->FilesListBox->Handle()) {
        Current = this;
        FPrevious = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(FList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
    }
    ~AddedRowProbe() {
        SetWindowLongPtrW(FList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FPrevious));
        Current = nullptr;
    }
    std::vector<Added> Rows;

private:
    static inline AddedRowProbe* Current = nullptr;
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == LB_ADDSTRING) {
            wchar_t status[MAX_PATH] = {};
            SendMessageW(Current->FForm->StatusBar->Handle(), WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(status));
            Current->Rows.push_back({reinterpret_cast<const wchar_t*>(lParam), status,
                                     Current->FForm->ProgressBar->Position()});
        }
        return CallWindowProcW(Current->FPrevious, window, msg, wParam, lParam);
    }
    TKamdropForm* FForm;
    HWND FList;
    WNDPROC FPrevious = nullptr;
};

TEST_F(ReleaseRunTest, EveryFileGetsItsStatusTextProgressStepAndRowInTheOrderOfTheMoves) {
    const wchar_t* byDate[] = {L"c.jpg", L"a.jpg", L"e.jpg", L"b.jpg", L"d.jpg"};
    for (int i = 0; i < 5; ++i) tree.MakeFile(L"in\\" + std::wstring(byDate[i]), 2023, 8, 1 + i);
    AddedRowProbe probe(form);
    PressStart();
    std::vector<AddedRowProbe::Added> expected;
    for (int i = 0; i < 5; ++i) expected.push_back({In(byDate[i]), In(byDate[i]), i + 1});
    EXPECT_EQ(probe.Rows, expected);
    EXPECT_TRUE(InOut(L"2023-08-05_Holiday_01.jpg"));
}

// Does something to the disk once, when the run adds its first row (after the
// sort has read every date), through a procedure put on top of the list's own.
class AfterFirstRow {
public:
    AfterFirstRow(TKamdropForm* form, std::function<void()> action)
        : FList(form->FilesListBox->Handle()), FAction(std::move(action)) {
        Current = this;
        FPrevious = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(FList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
    }
    ~AfterFirstRow() {
        SetWindowLongPtrW(FList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FPrevious));
        Current = nullptr;
    }

private:
    static inline AfterFirstRow* Current = nullptr;
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == LB_ADDSTRING && Current->FAction) std::exchange(Current->FAction, nullptr)();
        return CallWindowProcW(Current->FPrevious, window, msg, wParam, lParam);
    }
    HWND FList;
    std::function<void()> FAction;
    WNDPROC FPrevious = nullptr;
};

TEST_F(ReleaseRunTest, FileHeldOrGoneSinceTheSortEndsTheRunAtItsTurnWithTheDateError) {
    for (bool held : {true, false}) {
        SCOPED_TRACE(held ? "held by another program" : "gone");
        const wchar_t* byDate[] = {L"c.jpg", L"a.jpg", L"e.jpg", L"b.jpg", L"d.jpg"};
        for (int i = 0; i < 5; ++i) tree.MakeFile(L"in\\" + std::wstring(byDate[i]), 2023, 9, 1 + i);
        HANDLE holder = INVALID_HANDLE_VALUE;
        {
            AfterFirstRow trouble(form, [&] {
                if (held)
                    holder = CreateFileW(In(L"e.jpg").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                else
                    DeleteFileW(In(L"e.jpg").c_str());
            });
            errors.clear();
            PressStart();
        }
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        EXPECT_EQ(errors, std::vector<std::wstring>{L"Invalid argument to date encode."});
        EXPECT_EQ(Rows(), (std::vector<Row>{{In(L"a.jpg"), 0}, {In(L"c.jpg"), 0}}));
        EXPECT_EQ(tree.Exists(L"in\\e.jpg"), held);
        EXPECT_TRUE(tree.Exists(L"in\\b.jpg"));
        EXPECT_FALSE(InOut(L"2023-09-03_Holiday_01.jpg"));
        EXPECT_TRUE(form->StartButton->Enabled());
        for (const wchar_t* name : {L"in\\e.jpg", L"in\\b.jpg", L"in\\d.jpg", L"out\\2023-09-01_Holiday_01.jpg",
                                    L"out\\2023-09-02_Holiday_01.jpg"})
            DeleteFileW(tree.Path(name).c_str());
    }
}

TEST_F(ReleaseRunTest, DayIsTheLocalDayOfTheLastWriteTime) {
    tree.MakeFile(L"in\\late.jpg", 2023, 1, 11, 23, 59, 58);
    tree.MakeFile(L"in\\early.jpg", 2023, 1, 12, 0, 0, 0);
    tree.MakeFile(L"in\\later.jpg", 2023, 1, 12, 0, 0, 2);
    PressStart();
    EXPECT_TRUE(InOut(L"2023-01-11_Holiday_01.jpg"));
    EXPECT_TRUE(InOut(L"2023-01-12_Holiday_01.jpg"));
    EXPECT_TRUE(InOut(L"2023-01-12_Holiday_02.jpg"));
}

TEST_F(ReleaseRunTest, SecondRunIntoTheSameOutputFailsOnExistingNamesAndLeavesTheFiles) {
    tree.MakeFile(L"in\\first.jpg", 2023, 1, 11);
    PressStart();
    ASSERT_TRUE(InOut(L"2023-01-11_Holiday_01.jpg"));
    tree.MakeFile(L"in\\second.jpg", 2023, 1, 11);
    PressStart();
    EXPECT_EQ(Rows(), (std::vector<Row>{{In(L"second.jpg"), 1}}));
    EXPECT_TRUE(tree.Exists(L"in\\second.jpg"));
    EXPECT_TRUE(errors.empty());
}

// A copy an earlier run left unfinished (its temporary name) is never a photo either.
TEST_F(ReleaseRunTest, HiddenFilesMoveWhileSubdirectoriesAndUnfinishedCopiesStayUntouched) {
    tree.MakeFile(L"in\\hidden.jpg", 2023, 1, 11, 12, 0, 0, FILE_ATTRIBUTE_HIDDEN);
    tree.MakeDirectory(L"in\\sub");
    tree.MakeFile(L"in\\sub\\inner.jpg", 2023, 1, 11);
    tree.MakeFile(L"in\\~kd-3f09a1.part", 2023, 1, 10);
    PressStart();
    EXPECT_TRUE(InOut(L"2023-01-11_Holiday_01.jpg"));
    EXPECT_TRUE(tree.Exists(L"in\\sub\\inner.jpg"));
    EXPECT_TRUE(tree.Exists(L"in\\~kd-3f09a1.part"));
    EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(ReleaseRunTest, InputAndOutputTextsWorkWithAndWithoutTrailingBackslash) {
    const struct {
        const wchar_t* inputSuffix;
        const wchar_t* outputSuffix;
    } cases[] = {{L"", L""}, {L"\\", L"\\"}, {L"\\", L""}, {L"", L"\\"}};
    int day = 1;
    for (const auto& c : cases) {
        tree.MakeFile(L"in\\photo.jpg", 2023, 2, day);
        SetFields(tree.Path(L"in") + c.inputSuffix, tree.Path(L"out") + c.outputSuffix, L"Holiday");
        PressStart();
        wchar_t expected[64];
        swprintf(expected, 64, L"2023-02-%02d_Holiday_01.jpg", day);
        EXPECT_TRUE(InOut(expected)) << expected;
        EXPECT_EQ(Rows(), (std::vector<Row>{{In(L"photo.jpg"), 0}}));
        ++day;
    }
}

TEST_F(ReleaseRunTest, EmptyInputOrOnlySubdirectoriesSaysNoFilesFound) {
    for (bool withSubdirectory : {false, true}) {
        if (withSubdirectory) tree.MakeDirectory(L"in\\sub");
        DialogWatcher dialogs;
        PressStart();
        ASSERT_EQ(dialogs.Dialogs().size(), 1u);
        EXPECT_EQ(dialogs.Dialogs()[0].Text, L"No files found.");
        EXPECT_EQ(dialogs.Dialogs()[0].Caption, L"Information");
        EXPECT_TRUE(Rows().empty());
        EXPECT_TRUE(form->StartButton->Enabled());
    }
}

TEST_F(ReleaseRunTest, UnreadableFileDateEndsTheRunWithTheDateErrorBeforeAnyMove) {
    tree.MakeFile(L"in\\a.jpg", 2023, 1, 11);
    tree.MakeFile(L"in\\b.jpg", 2023, 1, 12);
    std::wstring held = tree.MakeFile(L"in\\c.jpg", 2023, 1, 13);
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    PressStart();
    CloseHandle(holder);
    EXPECT_EQ(errors, std::vector<std::wstring>{L"Invalid argument to date encode."});
    EXPECT_TRUE(tree.Exists(L"in\\a.jpg"));
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(form->StartButton->Enabled());
    EXPECT_EQ(form->StatusBar->SimpleText(), L"");
}

TEST_F(ReleaseRunTest, RowsStandInAlphabeticalOrderWithNoRowSelected) {
    tree.MakeFile(L"in\\c.jpg", 2023, 1, 10);
    tree.MakeFile(L"in\\a.jpg", 2023, 1, 12);
    tree.MakeFile(L"in\\b.jpg", 2023, 1, 11);
    PressStart();
    EXPECT_EQ(Rows(), (std::vector<Row>{{In(L"a.jpg"), 0}, {In(L"b.jpg"), 0}, {In(L"c.jpg"), 0}}));
    EXPECT_EQ(form->FilesListBox->ItemIndex(), -1);
    EXPECT_TRUE(InOut(L"2023-01-10_Holiday_01.jpg"));
}

// A label is free text; a name that would leave the output directory or
// name a stream is not moved, like any other failed move.
TEST_F(ReleaseRunTest, LabelThatWouldLeaveTheOutputDirectoryIsNotMoved) {
    for (const wchar_t* label : {L"a/../../x", L"a\\..\\..\\x", L"a:stream", L"sub/x"}) {
        tree.MakeFile(L"in\\photo.jpg", 2023, 1, 11);
        SetFields(tree.Path(L"in"), tree.Path(L"out"), label);
        PressStart();
        EXPECT_EQ(Rows(), (std::vector<Row>{{In(L"photo.jpg"), 1}})) << label;
        EXPECT_TRUE(tree.Exists(L"in\\photo.jpg")) << label;
        DeleteFileW(In(L"photo.jpg").c_str());
    }
}

// The photo and its copy, for the hook (a plain function) to take.
std::wstring gPhoto, gCopy;

// A photo that cannot leave its card once its copy is filed (made read-only meanwhile), whose copy
// another program made read-only: the copy cannot go again, and both names stand in the list with
// a cross. Picked after the run, each row tells why in the status bar.
TEST_F(ReleaseRunTest, CopyThatCannotBeRemovedAgainStandsInTheListBesideThePhoto) {
    TempTree card(L"Z:\\dev\\shm\\");
    gPhoto = card.MakeFile(L"IMG_0001.JPG", 2023, 1, 11);
    gCopy = tree.Path(L"out\\2023-01-11_Holiday_01.jpg");
    engine::AfterCopyFiled = [] {
        SetFileAttributesW(gPhoto.c_str(), FILE_ATTRIBUTE_READONLY);
        SetFileAttributesW(gCopy.c_str(), FILE_ATTRIBUTE_READONLY);
    };
    SetFields(card.Path(), tree.Path(L"out"), L"Holiday");
    PressStart();
    engine::AfterCopyFiled = nullptr;
    EXPECT_EQ(Rows(), (std::vector<Row>{{gCopy, 1}, {gPhoto, 1}}));
    EXPECT_EQ(card.Content(L"IMG_0001.JPG"), "IMG_0001.JPG");
    EXPECT_EQ(tree.Content(L"out\\2023-01-11_Holiday_01.jpg"), "IMG_0001.JPG");
    EXPECT_EQ(PickRow(0), L"A copy of " + gPhoto + L" that could not be removed again; the file is still on the card.");
    EXPECT_EQ(PickRow(1), SystemText(ERROR_ACCESS_DENIED) + L" A copy could not be removed again: " + gCopy);
    SetFileAttributesW(gPhoto.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW(gCopy.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// After a run, a row picked with the arrow keys or a click shows what happened to its file: the
// new name of a file that moved, the reason for one that stayed. The rows stay as they are.
TEST_F(ReleaseRunTest, PickingARowAfterTheRunTellsWhatHappenedToItsFile) {
    tree.MakeFile(L"in\\a.jpg", 2023, 1, 11, 9);
    tree.MakeFile(L"in\\b.jpg", 2023, 1, 11, 10);
    tree.MakeFile(L"out\\2023-01-11_Holiday_02.jpg", 2022, 1, 1);
    PressStart();
    ASSERT_EQ(Rows(), (std::vector<Row>{{In(L"a.jpg"), 0}, {In(L"b.jpg"), 1}}));
    EXPECT_EQ(form->StatusBar->SimpleText(), L"");
    EXPECT_EQ(PickRow(0), L"Moved to " + tree.Path(L"out\\2023-01-11_Holiday_01.jpg"));
    EXPECT_EQ(PickRow(1), SystemText(ERROR_ALREADY_EXISTS));
    // The arrow keys pick rows too.
    SendMessageW(form->FilesListBox->Handle(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(form->StatusBar->SimpleText(), L"Moved to " + tree.Path(L"out\\2023-01-11_Holiday_01.jpg"));
    EXPECT_EQ(Rows(), (std::vector<Row>{{In(L"a.jpg"), 0}, {In(L"b.jpg"), 1}}));
}

// A listing that breaks off part-way (a damaged card, one pulled out during the scan) moves
// nothing: the error box shows the system's reason, and no row claims a file was filed.
TEST_F(ReleaseRunTest, ListingThatBreaksOffMovesNothingAndShowsTheSystemsReason) {
    for (int i = 0; i < 4; ++i) tree.MakeFile(L"in\\" + std::to_wstring(i) + L".jpg", 2023, 1, 11, 9 + i);
    static int steps;
    steps = 0;
    forms::ListingFault = [] { return ++steps == 4 ? static_cast<DWORD>(ERROR_NOT_READY) : ERROR_SUCCESS; };
    DialogWatcher dialogs;
    PressStart();
    forms::ListingFault = nullptr;
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with(L"The folder " + tree.Path(L"in") + L"\\ could not be listed to its end: "))
        << testing::PrintToString(errors[0]);
    EXPECT_TRUE(dialogs.Dialogs().empty()) << "no \"No files found.\"";
    EXPECT_TRUE(Rows().empty());
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(tree.Exists(L"in\\" + std::to_wstring(i) + L".jpg"));
    EXPECT_TRUE(form->StartButton->Enabled());
}

int gTimerTicks = 0;
void CALLBACK CountTimerTick(HWND, UINT, UINT_PTR, DWORD) { ++gTimerTicks; }

// A large copy from a card keeps the window answering as between files, and after a second its
// status text tells how much of the file is copied.
TEST_F(ReleaseRunTest, WindowAnswersDuringALargeCopyAndTellsHowFarItHasCome) {
    TempTree card(L"Z:\\dev\\shm\\");
    const std::wstring video = card.MakeFile(L"MVI_0001.MP4", 2023, 1, 11);
    HANDLE file = CreateFileW(video.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFilePointer(file, 8 << 20, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    static int blocks;
    static std::wstring status;
    static TKamdropForm* shown;
    blocks = gTimerTicks = 0;
    status.clear();
    shown = form;
    // A slow card: 128 blocks of 64 KiB at 12 ms each. A timer's ticks are dispatched only where the
    // window looks at its messages.
    engine::BeforeCopyBlockWritten = [](char*, DWORD) {
        Sleep(12);
        if (++blocks == 127) status = shown->StatusBar->SimpleText();
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, CountTimerTick);
    SetFields(card.Path(), tree.Path(L"out"), L"Holiday");
    PressStart();
    KillTimer(nullptr, timer);
    engine::BeforeCopyBlockWritten = nullptr;
    EXPECT_EQ(blocks, 128);
    EXPECT_GE(gTimerTicks, 20) << "the window looked at its messages during the copy";
    EXPECT_EQ(status.substr(0, status.find(L" (")), video);
    EXPECT_TRUE(status.ends_with(L" of 8.0 MB)")) << testing::PrintToString(status);
    EXPECT_EQ(Rows(), (std::vector<Row>{{video, 0}}));
}

TEST_F(ReleaseRunTest, StartChecksRefuseWithTheirMessagesAndChangeNothing) {
    tree.MakeFile(L"in\\photo.jpg", 2023, 1, 11);
    const struct {
        std::wstring input, output, label, message;
    } cases[] = {
        {tree.Path(L"missing"), tree.Path(L"out"), L"x",
         L"Invalid input directory.\r\nBe sure camera is attached and standby in USB mode."},
        {L"", tree.Path(L"out"), L"x",
         L"Invalid input directory.\r\nBe sure camera is attached and standby in USB mode."},
        {tree.Path(L"in"), tree.Path(L"missing"), L"x", L"Invalid output directory."},
        {tree.Path(L"in"), tree.Path(L"out"), L"", L"Label must be specified."},
    };
    for (const auto& c : cases) {
        SetFields(c.input, c.output, c.label);
        DialogWatcher dialogs;
        PressStart();
        ASSERT_EQ(dialogs.Dialogs().size(), 1u) << c.message;
        EXPECT_EQ(dialogs.Dialogs()[0].Text, c.message);
        EXPECT_EQ(dialogs.Dialogs()[0].Caption, L"Information");
        EXPECT_TRUE(tree.Exists(L"in\\photo.jpg"));
        EXPECT_EQ(form->StatusBar->SimpleText(), L"");
    }
    // A blank label is a label.
    SetFields(tree.Path(L"in"), tree.Path(L"out"), L" ");
    PressStart();
    EXPECT_TRUE(InOut(L"2023-01-11_ _01.jpg"));
}

TEST_F(ReleaseRunTest, SameInputAndOutputAsksAndGoesOnOnlyWithYes) {
    tree.MakeFile(L"in\\photo.jpg", 2023, 1, 11);
    SetFields(tree.Path(L"in"), tree.Path(L"in"), L"Holiday");
    {
        DialogWatcher dialogs(IDNO);
        PressStart();
        ASSERT_EQ(dialogs.Dialogs().size(), 1u);
        EXPECT_EQ(dialogs.Dialogs()[0].Caption, L"Confirm");
        EXPECT_EQ(dialogs.Dialogs()[0].Text,
                  L"The input directory is the same as the output directory.\r\nAre you sure to continue?");
        EXPECT_TRUE(tree.Exists(L"in\\photo.jpg"));
    }
    {
        DialogWatcher dialogs(IDYES);
        PressStart();
        EXPECT_EQ(dialogs.Dialogs().size(), 1u);
        EXPECT_TRUE(tree.Exists(L"in\\2023-01-11_Holiday_01.jpg"));
    }
    // Not the same text, so not asked: each file gets its new name in place.
    tree.MakeFile(L"in\\second.jpg", 2023, 1, 12);
    SetFields(tree.Path(L"in"), tree.Path(L"in") + L"\\", L"Holiday");
    DialogWatcher dialogs;
    PressStart();
    EXPECT_TRUE(dialogs.Dialogs().empty());
    EXPECT_TRUE(tree.Exists(L"in\\2023-01-12_Holiday_01.jpg"));
}

// With a backup folder set, the idle status bar says where the backup goes, each photo moves
// only with its second copy there, the rows stay as without it and a picked row names both
// copies; a backup folder inside the input is refused at Start, and "No backup" turns it off.
TEST_F(ReleaseRunTest, BackupFolderShowsBeforeStartAndEveryMovedPhotoHasItsSecondCopy) {
    tree.MakeDirectory(L"backup");
    tree.MakeDirectory(L"in\\inside");
    tree.MakeFile(L"in\\a.jpg", 2023, 1, 11, 9);
    tree.MakeFile(L"in\\b.jpg", 2023, 1, 11, 10);
    tree.MakeFile(L"backup\\2023-01-11_Holiday_02.jpg", 2022, 1, 1);
    EXPECT_EQ(form->StatusBar->SimpleText(), L"") << "no backup by default";
    {
        form->SetBackupDirectory(tree.Path(L"in\\inside"));
        DialogWatcher dialogs;
        PressStart();
        ASSERT_EQ(dialogs.Dialogs().size(), 1u);
        EXPECT_TRUE(dialogs.Dialogs()[0].Text.starts_with(L"The backup directory must be neither the input nor"))
            << testing::PrintToString(dialogs.Dialogs()[0].Text);
        EXPECT_TRUE(Rows().empty());
    }
    form->SetBackupDirectory(tree.Path(L"backup"));
    EXPECT_EQ(form->StatusBar->SimpleText(), L"Backup: " + tree.Path(L"backup"));
    PressStart();
    ASSERT_EQ(Rows(), (std::vector<Row>{{In(L"a.jpg"), 0}, {In(L"b.jpg"), 1}}));
    EXPECT_EQ(form->StatusBar->SimpleText(), L"Backup: " + tree.Path(L"backup")) << "back to idle";
    EXPECT_EQ(tree.Content(L"out\\2023-01-11_Holiday_01.jpg"), "in\\a.jpg");
    EXPECT_EQ(tree.Content(L"backup\\2023-01-11_Holiday_01.jpg"), "in\\a.jpg");
    EXPECT_EQ(tree.Content(L"in\\b.jpg"), "in\\b.jpg");
    EXPECT_FALSE(InOut(L"2023-01-11_Holiday_02.jpg"));
    EXPECT_EQ(PickRow(0), L"Moved to " + tree.Path(L"out\\2023-01-11_Holiday_01.jpg") + L", backup " +
                              tree.Path(L"backup\\2023-01-11_Holiday_01.jpg"));
    EXPECT_EQ(PickRow(1), L"backup: " + SystemText(ERROR_ALREADY_EXISTS) + L" (backup " +
                              tree.Path(L"backup\\2023-01-11_Holiday_02.jpg") + L")");
    form->HandleNoBackupClick(form);
    EXPECT_EQ(form->BackupDirectory(), L"");
    EXPECT_EQ(form->StatusBar->SimpleText(), L"");
}

// A backup volume without room for what the run copies refuses the run before the first move, with
// a message that says which volume and how much; no file moves and no row is added.
TEST_F(ReleaseRunTest, BackupVolumeWithoutRoomForTheRunRefusesItBeforeAnythingMoves) {
    const char* mounted = getenv("KAMDROP_SMALL_VOLUME");
    if (!mounted || !*mounted) GTEST_SKIP() << "no small volume on this machine";
    std::wstring backup = L"Z:";
    for (const char* at = mounted; *at; ++at) backup += *at == '/' ? L'\\' : static_cast<wchar_t>(*at);
    // Three photos of 400 KiB: together more than the 1 MiB volume holds.
    for (int i = 1; i <= 3; ++i) {
        const std::wstring photo = tree.MakeFile(L"in\\" + std::to_wstring(i) + L".jpg", 2023, 1, 11, 8 + i);
        HANDLE file = CreateFileW(photo.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFilePointer(file, 400 * 1024, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
    }
    form->SetBackupDirectory(backup);
    DialogWatcher dialogs;
    PressStart();
    ASSERT_EQ(dialogs.Dialogs().size(), 1u);
    EXPECT_TRUE(dialogs.Dialogs()[0].Text.starts_with(L"There is not enough space on the backup volume"))
        << testing::PrintToString(dialogs.Dialogs()[0].Text);
    EXPECT_TRUE(Rows().empty());
    for (int i = 1; i <= 3; ++i) EXPECT_TRUE(tree.Exists(L"in\\" + std::to_wstring(i) + L".jpg"));
    EXPECT_FALSE(InOut(L"2023-01-11_Holiday_01.jpg"));
    EXPECT_EQ(form->StatusBar->SimpleText(), L"Backup: " + backup);
}

}  // namespace
