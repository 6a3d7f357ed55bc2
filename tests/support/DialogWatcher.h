#pragma once
// Answers the modal dialogs (message boxes, the error box) that a call under
// test shows, from a thread timer that fires inside the dialog's own loop.
// Every answered dialog is recorded, so a test can also assert that none came.
//
//     DialogWatcher watcher(IDYES);
//     int result = MessageDlg(L"Go on?", mtConfirmation, mbYes | mbNo);
//     EXPECT_EQ(watcher.Dialogs().at(0).Caption, L"Confirm");

#include <windows.h>

#include <string>
#include <vector>

class DialogWatcher {
public:
    struct Dialog {
        std::wstring Caption;
        // The texts of its static controls that carry text (the message).
        std::wstring Text;
        std::vector<std::wstring> Buttons;
        // Screen rectangle of the dialog when it was answered.
        RECT Bounds{};
        int Pressed = 0;
    };

    // Arms the timer; dialogs are answered with the button of id answer (IDOK, IDYES, IDNO...).
    explicit DialogWatcher(int answer = IDOK, UINT intervalMs = 30);
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    // The button for the dialogs still to come.
    void SetAnswer(int answer) { FAnswer = answer; }
    const std::vector<Dialog>& Dialogs() const { return FDialogs; }

private:
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD) noexcept;
    void Check();

    int FAnswer;
    UINT_PTR FTimer = 0;
    HWND FLastAnswered = nullptr;
    DialogWatcher* FPrevious = nullptr;
    std::vector<Dialog> FDialogs;
};

// Pumps this thread's messages for a while (tests that wait for posted work).
void PumpMessagesFor(DWORD milliseconds);
