#include "DialogWatcher.h"

#include "forms/Controls.h"
#include "forms/Forms.h"

namespace {

// The watcher the thread timer serves; watchers nest like scopes.
thread_local DialogWatcher* gCurrent = nullptr;

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
    if (IsWindowVisible(window) && ClassOf(window) == L"#32770") {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
    auto* dialog = reinterpret_cast<DialogWatcher::Dialog*>(param);
    std::wstring name = ClassOf(window);
    std::wstring text = forms::WindowText(window);
    if (_wcsicmp(name.c_str(), L"Button") == 0) {
        dialog->Buttons.push_back(text);
    } else if (_wcsicmp(name.c_str(), L"Static") == 0 && !text.empty()) {
        if (!dialog->Text.empty()) dialog->Text += L"\n";
        dialog->Text += text;
    }
    return TRUE;
}

}  // namespace

DialogWatcher::DialogWatcher(int answer, UINT intervalMs) : FAnswer(answer), FPrevious(gCurrent) {
    gCurrent = this;
    FTimer = SetTimer(nullptr, 0, intervalMs, TimerProc);
}

DialogWatcher::~DialogWatcher() {
    if (FTimer) KillTimer(nullptr, FTimer);
    gCurrent = FPrevious;
}

void CALLBACK DialogWatcher::TimerProc(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
    try {
        for (DialogWatcher* watcher = gCurrent; watcher; watcher = watcher->FPrevious)
            if (watcher->FTimer == timer) watcher->Check();
    } catch (...) {
        if (forms::Application) forms::Application->HandleException(nullptr);
    }
}

void DialogWatcher::Check() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&found));
    // The dialog already answered may still be closing.
    if (!found || (found == FLastAnswered && IsWindow(found))) return;
    Dialog dialog;
    dialog.Caption = forms::WindowText(found);
    GetWindowRect(found, &dialog.Bounds);
    EnumChildWindows(found, CollectChild, reinterpret_cast<LPARAM>(&dialog));
    dialog.Pressed = FAnswer;
    FDialogs.push_back(dialog);
    FLastAnswered = found;
    PostMessageW(found, WM_COMMAND, MAKEWPARAM(FAnswer, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(found, FAnswer)));
}

void PumpMessagesFor(DWORD milliseconds) {
    DWORD start = GetTickCount();
    do {
        forms::Application->ProcessMessages();
        Sleep(1);
    } while (GetTickCount() - start < milliseconds);
}
