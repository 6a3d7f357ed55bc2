// The main window's commands: the "..." buttons with the folder browser, Clear
// history, and the label field's key filter.

#include <gtest/gtest.h>

#include "DialogWatcher.h"
#include "KamdropTestForm.h"
#include "TempTree.h"
#include "tests/state/StateTestSupport.h"

using namespace forms;

namespace {

using Lines = std::vector<std::wstring>;

// Answers the folder browser from a thread timer, which fires inside the
// browser's own loop, once the browser has been placed (its callback has run)
// and a few ticks more so the starting folder is selected. Notes what the
// program looked like meanwhile.
class FolderBrowserDriver {
public:
    FolderBrowserDriver(int answer, HWND mainWindow) : FAnswer(answer), FMainWindow(mainWindow) {
        gCurrent = this;
        FTimer = SetTimer(nullptr, 0, 30, Tick);
    }
    ~FolderBrowserDriver() {
        KillTimer(nullptr, FTimer);
        gCurrent = nullptr;
    }
    FolderBrowserDriver(const FolderBrowserDriver&) = delete;
    FolderBrowserDriver& operator=(const FolderBrowserDriver&) = delete;

    bool Answered = false;
    RECT Bounds{};
    // The texts the browser shows (its caption among them).
    std::wstring Texts;
    bool MainWindowEnabled = true;
    UINT ErrorMode = 0;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) noexcept {
        if (gCurrent) gCurrent->Check();
    }
    static BOOL CALLBACK FindBrowser(HWND window, LPARAM found) noexcept {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (!IsWindowVisible(window) || std::wstring(name) != L"#32770") return TRUE;
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    static BOOL CALLBACK CollectText(HWND window, LPARAM texts) noexcept {
        wchar_t text[256] = {};
        GetWindowTextW(window, text, 256);
        *reinterpret_cast<std::wstring*>(texts) += std::wstring(text) + L"\n";
        return TRUE;
    }
    void Check() {
        HWND browser = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindBrowser, reinterpret_cast<LPARAM>(&browser));
        if (!browser || Answered) return;
        RECT rect;
        GetWindowRect(browser, &rect);
        const RECT centred = CentredOn(FMainWindow, rect);
        if (!EqualRect(&rect, &centred) && ++FWaited < 100) return;
        if (++FSettled < 4) return;
        Bounds = rect;
        EnumChildWindows(browser, CollectText, reinterpret_cast<LPARAM>(&Texts));
        MainWindowEnabled = IsWindowEnabled(FMainWindow);
        ErrorMode = SetErrorMode(0);
        SetErrorMode(ErrorMode);
        Answered = true;
        PostMessageW(browser, WM_COMMAND, MAKEWPARAM(FAnswer, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(browser, FAnswer)));
    }

public:
    // Where a window of rect's size stands centred on the full area of window's monitor.
    static RECT CentredOn(HWND window, const RECT& rect) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& area = monitor.rcMonitor;
        const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
        const LONG left = area.left + (area.right - area.left - width) / 2;
        const LONG top = area.top + (area.bottom - area.top - height) / 2;
        return RECT{left, top, left + width, top + height};
    }

private:
    inline static thread_local FolderBrowserDriver* gCurrent = nullptr;
    int FAnswer;
    HWND FMainWindow;
    UINT_PTR FTimer = 0;
    int FWaited = 0;
    int FSettled = 0;
};

// The main window with its settings file in a temporary folder, shown.
class MainWindowCommandsTest : public testing::Test {
protected:
    void SetUp() override {
        form = new TTestKamdropForm(Application, ini);
        form->Show();
        PumpMessagesFor(30);
    }
    void TearDown() override { forms::Free(form); }

    // Presses a "..." button with the browser answered by answer; what the browser looked like.
    std::unique_ptr<FolderBrowserDriver> Browse(TWinControl* button, int answer) {
        auto driver = std::make_unique<FolderBrowserDriver>(answer, form->Handle());
        SendMessageW(button->Handle(), BM_CLICK, 0, 0);
        EXPECT_TRUE(driver->Answered);
        return driver;
    }

    TempFolder settings;
    const std::wstring ini = settings / L"Kamdrop.ini";
    TempTree tree;
    TTestKamdropForm* form = nullptr;
};

TEST_F(MainWindowCommandsTest, ChosenFolderGoesIntoTheFieldAndItsHistoryAndAllFieldsAreSavedAtOnce) {
    const std::wstring photos = tree.MakeDirectory(L"Photos");
    form->OvcHistoryComboBoxDirSource->SetText(photos);
    form->OvcHistoryComboBoxLabel->SetText(L"Trip");
    const UINT errorMode = SetErrorMode(0);

    auto browser = Browse(form->OvcAttachedButtonSource, IDOK);
    const UINT errorModeAfter = SetErrorMode(errorMode);
    // The browser showed its caption centred on the main window's monitor, started at the
    // field's folder, and kept the program's windows disabled and critical-error boxes off.
    EXPECT_NE(browser->Texts.find(L"Select input directory on camera"), std::wstring::npos) << browser->Texts;
    const RECT centred = FolderBrowserDriver::CentredOn(form->Handle(), browser->Bounds);
    EXPECT_EQ(browser->Bounds.left, centred.left);
    EXPECT_EQ(browser->Bounds.top, centred.top);
    EXPECT_FALSE(browser->MainWindowEnabled);
    EXPECT_EQ(browser->ErrorMode & SEM_FAILCRITICALERRORS, static_cast<UINT>(SEM_FAILCRITICALERRORS));
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
    EXPECT_EQ(GetActiveWindow(), form->Handle());
    EXPECT_EQ(errorModeAfter, 0u);

    EXPECT_EQ(form->OvcHistoryComboBoxDirSource->Text(), photos);
    EXPECT_EQ(form->OvcHistoryComboBoxDirSource->Items().ToVector(), Lines{photos});
    EXPECT_EQ(RawValue(ini, L"Kamdrop", L"OvcHistoryComboBoxDirSource.Text"), photos);
    EXPECT_EQ(SectionLines(ini, L"Kamdrop.OvcHistoryComboBoxDirSource.Items"), (Lines{L"Count=1", L"Item0=" + photos}));
    EXPECT_EQ(RawValue(ini, L"Kamdrop", L"OvcHistoryComboBoxLabel.Text"), L"Trip");
}

TEST_F(MainWindowCommandsTest, FolderInTheHistoryInAnotherCaseAddsNoRowAndTheFieldTakesTheShellsSpelling) {
    const std::wstring photos = tree.MakeDirectory(L"Photos");
    std::wstring shouted = photos;
    CharUpperBuffW(shouted.data(), static_cast<DWORD>(shouted.size()));
    form->OvcHistoryComboBoxDirTarget->Items().Assign(TStringList{L"D:\\Other", shouted});
    form->OvcHistoryComboBoxDirTarget->SetText(photos);

    auto browser = Browse(form->OvcAttachedButtonTarget, IDOK);
    EXPECT_NE(browser->Texts.find(L"Select output directory on harddisk"), std::wstring::npos) << browser->Texts;
    EXPECT_EQ(form->OvcHistoryComboBoxDirTarget->Items().ToVector(), (Lines{L"D:\\Other", shouted}));
    EXPECT_EQ(form->OvcHistoryComboBoxDirTarget->Text(), photos);
}

TEST_F(MainWindowCommandsTest, DriveRootComesBackWithItsDelimiter) {
    form->OvcHistoryComboBoxDirTarget->SetText(L"C:\\");
    Browse(form->OvcAttachedButtonTarget, IDOK);
    EXPECT_EQ(form->OvcHistoryComboBoxDirTarget->Text(), L"C:\\");
    EXPECT_EQ(form->OvcHistoryComboBoxDirTarget->Items().ToVector(), Lines{L"C:\\"});
}

TEST_F(MainWindowCommandsTest, CancelKeepsWhatTheFieldHeldAndStillSaves) {
    const std::wstring photos = tree.MakeDirectory(L"Photos");
    for (const std::wstring& text : {photos, std::wstring(L"Q:\\camera not attached"), std::wstring()}) {
        SCOPED_TRACE(text);
        form->OvcHistoryComboBoxDirSource->SetText(text);
        Browse(form->OvcAttachedButtonSource, IDCANCEL);
        EXPECT_EQ(form->OvcHistoryComboBoxDirSource->Text(), text);
        EXPECT_EQ(RawValue(ini, L"Kamdrop", L"OvcHistoryComboBoxDirSource.Text"), text);
    }
}

TEST_F(MainWindowCommandsTest, BrowseForDirectoryStartsEmptyWhenTheTextNamesNoDirectory) {
    std::wstring directory = L"Q:\\camera not attached";
    FolderBrowserDriver browser(IDCANCEL, form->Handle());
    EXPECT_FALSE(BrowseForDirectory(L"Pick", directory));
    EXPECT_TRUE(browser.Answered);
    EXPECT_EQ(directory, L"");
}

TEST_F(MainWindowCommandsTest, ClearHistoryEmptiesTheFieldThePopupMenuWasOpenedOnOnly) {
    controls::TOvcHistoryComboBox* boxes[] = {form->OvcHistoryComboBoxDirSource, form->OvcHistoryComboBoxDirTarget,
                                              form->OvcHistoryComboBoxLabel};
    for (auto* box : boxes) {
        box->Items().Assign(TStringList{L"one", L"two"});
        box->SetText(L"one");
    }
    form->PopupMenu->SetPopupComponent(form->OvcHistoryComboBoxDirTarget);
    form->ClearMenuItem->Click();

    EXPECT_EQ(form->OvcHistoryComboBoxDirTarget->Text(), L"");
    EXPECT_EQ(form->OvcHistoryComboBoxDirTarget->Items().Count(), 0);
    EXPECT_EQ(form->OvcHistoryComboBoxDirTarget->ItemIndex(), -1);
    for (auto* box : {boxes[0], boxes[2]}) {
        EXPECT_EQ(box->Text(), L"one");
        EXPECT_EQ(box->Items().ToVector(), (Lines{L"one", L"two"}));
    }
    // Nothing is saved until the next save of the fields.
    EXPECT_EQ(RawValue(ini, L"Kamdrop", L"OvcHistoryComboBoxDirTarget.Text"), L"<none>");
}

TEST_F(MainWindowCommandsTest, LabelFieldTurnsBlanksAndWildcardsIntoUnderscoresAsTheyAreTyped) {
    const struct {
        wchar_t typed;
        const wchar_t* label;
        wchar_t otherSender;
    } keys[] = {{L' ', L"a_", 0},   {L'*', L"a_", 0},   {L'.', L"a_", 0},     {L'?', L"a_", 0},
                {L'\\', L"a_", 0},  {L'/', L"a/", L'/'}, {L':', L"a:", L':'}, {L'b', L"ab", L'b'}};
    HWND edit = form->OvcHistoryComboBoxLabel->EditHandle();
    for (const auto& key : keys) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(key.typed));
        form->OvcHistoryComboBoxLabel->SetText(L"a");
        SendMessageW(edit, EM_SETSEL, 1, 1);
        SendMessageW(edit, WM_CHAR, key.typed, 1);
        EXPECT_EQ(form->OvcHistoryComboBoxLabel->Text(), key.label);
        // The filter swallows those characters for any other sender.
        wchar_t filtered = key.typed;
        form->HandleValidateInput(form->OvcHistoryComboBoxDirSource, filtered);
        EXPECT_EQ(filtered, key.otherSender);
    }
}

}  // namespace
