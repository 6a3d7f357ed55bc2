#include <gtest/gtest.h>

#include "DialogWatcher.h"
#include "forms/Dialogs.h"
#include "forms/Forms.h"

using namespace forms;

namespace {

TEST(MessageDlgTest, InformationShowsItsCaptionTextAndOkButton) {
    DialogWatcher watcher(IDOK);
    EXPECT_EQ(MessageDlg(L"Label must be specified.", mtInformation, mbOK), mrOk);
    ASSERT_EQ(watcher.Dialogs().size(), 1u);
    const auto& dialog = watcher.Dialogs()[0];
    EXPECT_EQ(dialog.Caption, L"Information");
    EXPECT_EQ(dialog.Text, L"Label must be specified.");
    EXPECT_EQ(dialog.Buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_NEAR(dialog.Bounds.left + dialog.Bounds.right, GetSystemMetrics(SM_CXSCREEN), 2);
    EXPECT_NEAR(dialog.Bounds.top + dialog.Bounds.bottom, GetSystemMetrics(SM_CYSCREEN), 60);
}

TEST(MessageDlgTest, ConfirmationReturnsTheButtonPressed) {
    const struct {
        int press;
        int expected;
    } cases[] = {{IDYES, mrYes}, {IDNO, mrNo}};
    for (const auto& c : cases) {
        DialogWatcher watcher(c.press);
        EXPECT_EQ(MessageDlg(L"Overwrite?", mtConfirmation, mbYes | mbNo), c.expected);
        ASSERT_EQ(watcher.Dialogs().size(), 1u);
        EXPECT_EQ(watcher.Dialogs()[0].Caption, L"Confirm");
        EXPECT_EQ(watcher.Dialogs()[0].Buttons, (std::vector<std::wstring>{L"&Yes", L"&No"}));
    }
}

HWND gProbedWindow = nullptr;
bool gProbedEnabled = true;
void CALLBACK ProbeWindowEnabled(HWND, UINT, UINT_PTR, DWORD) { gProbedEnabled = IsWindowEnabled(gProbedWindow); }

TEST(MessageDlgTest, DisablesTheThreadsWindowsWhileItShows) {
    gProbedWindow = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                    nullptr, nullptr);
    gProbedEnabled = true;
    // A second timer looks at the window while the box is up.
    UINT_PTR timer = SetTimer(nullptr, 0, 10, ProbeWindowEnabled);
    {
        DialogWatcher watcher(IDOK, 80);
        MessageDlg(L"x", mtInformation, mbOK);
    }
    KillTimer(nullptr, timer);
    EXPECT_FALSE(gProbedEnabled);
    EXPECT_TRUE(IsWindowEnabled(gProbedWindow));
    DestroyWindow(gProbedWindow);
}

TEST(ErrorBoxTest, ShowsTheMessageWithTheTitleAsCaptionAndAStopBox) {
    Application->SetTitle(L"Kamdrop");
    DialogWatcher watcher(IDOK);
    try {
        throw Exception(L"Cannot create file");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    ASSERT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_EQ(watcher.Dialogs()[0].Caption, L"Kamdrop");
    EXPECT_EQ(watcher.Dialogs()[0].Text, L"Cannot create file.");
    EXPECT_EQ(watcher.Dialogs()[0].Buttons, std::vector<std::wstring>{L"OK"});
}

TEST(DialogWatcherTest, RecordsNothingWhenNoDialogCame) {
    DialogWatcher watcher(IDOK, 10);
    PumpMessagesFor(60);
    EXPECT_TRUE(watcher.Dialogs().empty());
}

}  // namespace
