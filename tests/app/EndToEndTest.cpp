// Starts Kamdrop.exe as its own process: files three photos through its window, and opens its About dialog.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DialogWatcher.h"
#include "KamdropProcessTest.h"
#include "tests/state/StateTestSupport.h"

namespace {

// The program is started once the photos are in place.
class EndToEndTest : public KamdropProcessTest {};

TEST_F(EndToEndTest, ReleaseThroughTheRealWindowMovesTheFilesAndExitEndsTheProgram) {
    tree.MakeFile(L"in\\IMG_0001.JPG", 2023, 1, 11, 9, 0, 0);
    tree.MakeFile(L"in\\IMG_0002.JPG", 2023, 1, 11, 10, 0, 0);
    tree.MakeFile(L"in\\MVI_0003.MOV", 2023, 1, 12, 8, 0, 0);

    ASSERT_TRUE(StartKamdrop(L"Holiday"));
    kamdrop->ClickStartAndWait();

    EXPECT_TRUE(tree.Exists(L"out\\2023-01-11_Holiday_01.jpg"));
    EXPECT_TRUE(tree.Exists(L"out\\2023-01-11_Holiday_02.jpg"));
    EXPECT_TRUE(tree.Exists(L"out\\2023-01-12_Holiday_01.mov"));
    EXPECT_FALSE(tree.Exists(L"in\\IMG_0001.JPG"));
    EXPECT_EQ(kamdrop->RowCount(), 3);
    EXPECT_TRUE(kamdrop->StartEnabled());
    EXPECT_EQ(kamdrop->StatusText(), L"");
    EXPECT_TRUE(kamdrop->Exit());
}

TEST_F(EndToEndTest, ClosingDuringARunLetsTheRunFinishFirst) {
    const int count = 40;
    for (int i = 0; i < count; ++i) tree.MakeFile(L"in\\IMG_" + std::to_wstring(100 + i) + L".JPG", 2023, 4, 1, 9, i, 0);

    ASSERT_TRUE(StartKamdrop(L"Spring"));
    // The close arrives while the run processes its messages after the first entry.
    kamdrop->PostStartClick();
    ASSERT_TRUE(kamdrop->Close());

    for (int i = 1; i <= count; ++i) {
        wchar_t name[64];
        swprintf(name, 64, L"out\\2023-04-01_Spring_%02d.jpg", i);
        EXPECT_TRUE(tree.Exists(name)) << name;
    }
}

TEST_F(EndToEndTest, FolderChosenWithItsButtonClearedHistoryAndFilteredLabelReachTheSettingsFile) {
    using Lines = std::vector<std::wstring>;
    ASSERT_TRUE(StartKamdrop(L""));
    const std::wstring in = tree.Path(L"in"), out = tree.Path(L"out"), ini = tree.Path(L"program\\Kamdrop.ini");

    // The output field names a folder, so the browser starts there and OK chooses it.
    kamdrop->PostBrowseClick(1);
    HWND browser = kamdrop->WaitForFolderBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_FALSE(IsWindowEnabled(kamdrop->MainWindow()));
    ASSERT_TRUE(kamdrop->PressDialogButton(browser, IDOK));
    EXPECT_EQ(kamdrop->FieldText(1), out);
    EXPECT_EQ(kamdrop->FieldRows(1), Lines{out});
    // Saved at once, while the program still runs.
    EXPECT_EQ(RawValue(ini, L"Kamdrop", L"OvcHistoryComboBoxDirTarget.Text"), out);

    // Leaving the input field for the button entered its text into its history; Clear history empties both.
    EXPECT_EQ(kamdrop->FieldRows(0), Lines{in});
    ASSERT_TRUE(kamdrop->ChooseFromPopupMenu(0, L'c'));
    EXPECT_EQ(kamdrop->FieldText(0), L"");
    EXPECT_TRUE(kamdrop->FieldRows(0).empty());
    EXPECT_EQ(kamdrop->FieldRows(1), Lines{out});

    for (wchar_t c : {L'A', L' ', L'*', L'b'}) kamdrop->TypeChar(2, c);
    EXPECT_EQ(kamdrop->FieldText(2), L"A__b");

    ASSERT_TRUE(kamdrop->Exit());
    EXPECT_EQ(RawValue(ini, L"Kamdrop", L"OvcHistoryComboBoxDirSource.Text"), L"");
    EXPECT_TRUE(SectionLines(ini, L"Kamdrop.OvcHistoryComboBoxDirSource.Items").empty());
    EXPECT_EQ(RawValue(ini, L"Kamdrop", L"OvcHistoryComboBoxDirTarget.Text"), out);
    EXPECT_EQ(SectionLines(ini, L"Kamdrop.OvcHistoryComboBoxDirTarget.Items"), (Lines{L"Count=1", L"Item0=" + out}));
    EXPECT_EQ(RawValue(ini, L"Kamdrop", L"OvcHistoryComboBoxLabel.Text"), L"A__b");
}

// ---- The About dialog through the real program ----

// Samples the dialog's alpha value while it shows, until it reaches `until` or the dialog goes; the
// values seen, in order. A dialog not yet shown is waited for.
std::vector<int> WatchAlpha(HWND dialog, int until) {
    std::vector<int> seen;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 5000 && IsWindow(dialog)) {
        if (!IsWindowVisible(dialog)) {
            if (!seen.empty()) break;
            continue;
        }
        int alpha = KamdropDriver::Alpha(dialog);
        if (seen.empty() || seen.back() != alpha) seen.push_back(alpha);
        if (alpha == until) break;
    }
    return seen;
}

bool Contains(const std::vector<std::wstring>& texts, const std::wstring& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

bool SomeTextStartsWith(const std::vector<std::wstring>& texts, const std::wstring& start) {
    return std::any_of(texts.begin(), texts.end(), [&](const std::wstring& text) { return text.rfind(start, 0) == 0; });
}

// A window of this test program, which stands for another program the user switches to.
class OtherProgramWindow {
public:
    OtherProgramWindow() {
        FWindow = CreateWindowExW(0, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 0, 0, 120, 60, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~OtherProgramWindow() { DestroyWindow(FWindow); }
    HWND Handle() const { return FWindow; }

private:
    HWND FWindow;
};

TEST_F(EndToEndTest, AboutDisablesTheMainWindowFadesInShowsItsPanelsAndEndsEachWayWithAFadeOut) {
    ASSERT_TRUE(StartKamdrop(L"About"));
    HWND main = kamdrop->MainWindow();
    const struct {
        const char* way;
        std::function<void(HWND dialog, HWND ok)> dismiss;
    } ways[] = {
        {"OK", [](HWND, HWND ok) { PostMessageW(ok, BM_CLICK, 0, 0); }},
        {"Enter", [](HWND, HWND ok) { PostMessageW(ok, WM_KEYDOWN, VK_RETURN, 1); }},
        {"close box", [](HWND dialog, HWND) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Alt+F4", [](HWND, HWND ok) { PostMessageW(ok, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29)); }},
    };
    bool first = true;
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        ASSERT_TRUE(kamdrop->OpenAbout());
        // Found before it shows (its window is made hidden), so that the whole fade-in is seen.
        HWND dialog = kamdrop->WaitForWindow(L"About", nullptr, 10000, false);
        ASSERT_NE(dialog, nullptr);
        std::vector<int> rising = WatchAlpha(dialog, 255);
        ASSERT_FALSE(rising.empty());
        EXPECT_EQ(rising.back(), 255);
        EXPECT_LT(rising.front(), 255) << "the dialog shows before it is opaque";
        EXPECT_FALSE(IsWindowEnabled(main));
        HWND ok = KamdropDriver::FindChildByText(dialog, L"&Ok");
        ASSERT_NE(ok, nullptr);

        if (first) {
            first = false;
            std::vector<std::wstring> texts = KamdropDriver::VisibleTexts(dialog);
            EXPECT_TRUE(Contains(texts, L"Kamdrop"));
            EXPECT_TRUE(Contains(texts, L"Version 0.6  Build 149"));
            EXPECT_TRUE(Contains(texts, L"feedback+kamdrop@vexa.example"));
            EXPECT_TRUE(Contains(texts, L"More freeware and updates"));

            // Each panel's word, typed into the dialog, shows that panel; a digit brings the About panel back.
            const struct {
                const wchar_t *word, *text;
            } panels[] = {{L"zembro", L"This software is made by"},
                          {L"QXV", L"\r\nInformation:\r\nhttps://vexa.example/software/kamdrop.htm"},
                          {L"Yarnok", L"Click here to download the latest version of Kamdrop."},
                          {L"1", L"More freeware and updates"}};
            for (const auto& panel : panels) {
                for (wchar_t key : std::wstring(panel.word)) PostMessageW(ok, WM_CHAR, key, 1);
                EXPECT_TRUE(WaitUntil([&] { return SomeTextStartsWith(KamdropDriver::VisibleTexts(dialog), panel.text); }))
                    << panel.word;
                if (std::wstring(panel.word) != L"1") {
                    EXPECT_FALSE(Contains(KamdropDriver::VisibleTexts(dialog), L"Version 0.6  Build 149"))
                        << "the About panel has made way";
                }
            }

            // Switching to another program leaves the dialog up; the user then comes back to it.
            {
                OtherProgramWindow other;
                SetForegroundWindow(other.Handle());
                EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other.Handle(); }));
                PumpMessagesFor(300);
                EXPECT_TRUE(IsWindowVisible(dialog));
                EXPECT_EQ(KamdropDriver::Alpha(dialog), 255);
            }
            PumpMessagesFor(50);
            SetForegroundWindow(dialog);
            EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dialog; })) << "back to the dialog";
            PumpMessagesFor(100);
        }

        way.dismiss(dialog, ok);
        std::vector<int> falling = WatchAlpha(dialog, 0);
        ASSERT_FALSE(falling.empty());
        EXPECT_LT(falling.back(), 255) << "the dialog fades before it goes";
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }));
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }));
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; })) << "the main window is active again";
    }
    EXPECT_TRUE(kamdrop->Exit());
}

TEST_F(EndToEndTest, AProgramWithoutAVersionRecordReportsItAndShowsNoDialog) {
    tree.MakeDirectory(L"stripped");
    const std::wstring stripped = tree.Path(L"stripped") + L"\\Kamdrop.exe";
    CopyWithoutVersionRecord(HostPathToWindows(KAMDROP_EXE), stripped);
    DWORD ignored = 0;
    ASSERT_EQ(GetFileVersionInfoSizeW(stripped.c_str(), &ignored), 0u);
    kamdrop = std::make_unique<KamdropDriver>(stripped, tree.Path(L"program"));
    ASSERT_TRUE(kamdrop->WaitForMainWindow());

    ASSERT_TRUE(kamdrop->OpenAbout());
    HWND box = kamdrop->WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(KamdropDriver::WindowText(box), L"Kamdrop");
    EXPECT_EQ(KamdropDriver::MessageBoxText(box), L"File contains no version information.");
    EXPECT_EQ(kamdrop->WaitForWindow(L"About", nullptr, 0, false), nullptr) << "no dialog was made";
    ASSERT_TRUE(kamdrop->PressDialogButton(box, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(kamdrop->MainWindow()) != FALSE; }));
    EXPECT_EQ(kamdrop->WaitForWindow(L"About", nullptr, 300), nullptr);
    EXPECT_TRUE(kamdrop->Exit());
}

}  // namespace
