#include "forms/ComCtrls.h"

#include <commctrl.h>

#include "forms/TypInfo.h"

namespace forms {

// ---- TStatusBar ----

TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner) {
    FAlign = alBottom;
    FWidth = 200;
    FHeight = 19;
}

void TStatusBar::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = STATUSCLASSNAMEW;
    // The layer places it (alignment), not the control itself.
    params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | SBARS_SIZEGRIP;
}

void TStatusBar::InitializeWnd() {
    SendMessageW(FHandle, SB_SIMPLE, TRUE, 0);
    SetSimpleText(FSimpleText);
    SendBackgroundColor();
}

void TStatusBar::SetSimpleText(const std::wstring& text) {
    FSimpleText = text;
    if (!FHandle) return;
    SendMessageW(FHandle, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
    // Part 0 carries the same text so that WM_GETTEXT reads what is shown.
    SendMessageW(FHandle, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TStatusBar::ColorChanged() {
    TWinControl::ColorChanged();
    SendBackgroundColor();
}

void TStatusBar::SendBackgroundColor() {
    if (!FHandle) return;
    COLORREF color = FColor == clBtnFace ? CLR_DEFAULT : ColorToRGB(FColor);
    SendMessageW(FHandle, SB_SETBKCOLOR, 0, static_cast<LPARAM>(color));
}

// ---- TProgressBar ----

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {
    FWidth = 150;
    FHeight = 16;
}

void TProgressBar::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = PROGRESS_CLASSW;
}

void TProgressBar::InitializeWnd() {
    SendMessageW(FHandle, PBM_SETRANGE32, FMin, FMax);
    SendMessageW(FHandle, PBM_SETSTEP, FStep, 0);
    SendMessageW(FHandle, PBM_SETPOS, FPosition, 0);
}

void TProgressBar::DestroyWnd() {
    TWinControl::DestroyWnd();
    FPosition = Position();
}

void TProgressBar::SetRange(int min, int max) {
    FMin = min;
    FMax = max;
    if (FHandle) SendMessageW(FHandle, PBM_SETRANGE32, min, max);
}

int TProgressBar::Position() {
    if (!FHandle) return FPosition;
    return static_cast<int>(SendMessageW(FHandle, PBM_GETPOS, 0, 0));
}

void TProgressBar::SetPosition(int position) {
    FPosition = position;
    if (FHandle) SendMessageW(FHandle, PBM_SETPOS, position, 0);
}

void TProgressBar::SetStep(int step) {
    FStep = step;
    if (FHandle) SendMessageW(FHandle, PBM_SETSTEP, step, 0);
}

namespace {
const TPropInfo kStatusBarProperties[] = {
    StringProperty<TStatusBar, &TStatusBar::SimpleText, &TStatusBar::SetSimpleText>(L"SimpleText"),
};
const TPropInfo kProgressBarProperties[] = {
    OrdinalProperty<TProgressBar, &TProgressBar::Max, &TProgressBar::SetMax>(L"Max", TypeInteger),
    OrdinalProperty<TProgressBar, &TProgressBar::Min, &TProgressBar::SetMin>(L"Min", TypeInteger),
    OrdinalProperty<TProgressBar, &TProgressBar::Position, &TProgressBar::SetPosition>(L"Position", TypeInteger),
    OrdinalProperty<TProgressBar, &TProgressBar::Step, &TProgressBar::SetStep>(L"Step", TypeInteger),
};
}  // namespace

const TClassInfo* TStatusBar::ClassInfo() const {
    static const TClassInfo info{L"TStatusBar", TWinControl::ClassInfo(), kStatusBarProperties};
    return &info;
}

const TClassInfo* TProgressBar::ClassInfo() const {
    static const TClassInfo info{L"TProgressBar", TWinControl::ClassInfo(), kProgressBarProperties};
    return &info;
}

}  // namespace forms
