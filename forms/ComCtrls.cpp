#include "forms/ComCtrls.h"

#include <commctrl.h>

#include <algorithm>

#include "runtime/TypInfo.h"

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
    if (FUpdating > 0) {
        FTextPending = true;
        return;
    }
    SendMessageW(FHandle, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
}

void TStatusBar::EndUpdate() {
    if (FUpdating == 0 || --FUpdating > 0 || !FTextPending) return;
    FTextPending = false;
    if (FHandle) SendMessageW(FHandle, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(FSimpleText.c_str()));
}

void TStatusBar::WndProc(TMessage& message) {
    // The control answers its window text from part 0, not from the simple text
    // it shows; keeping part 0 alike would paint the bar a second time.
    switch (message.Msg) {
        case WM_GETTEXTLENGTH:
            message.Result = static_cast<LRESULT>(FSimpleText.size());
            return;
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<wchar_t*>(message.LParam);
            size_t room = static_cast<size_t>(message.WParam);
            if (!buffer || room == 0) {
                message.Result = 0;
                return;
            }
            size_t length = std::min(room - 1, FSimpleText.size());
            FSimpleText.copy(buffer, length);
            buffer[length] = L'\0';
            message.Result = static_cast<LRESULT>(length);
            return;
        }
        default:
            break;
    }
    TWinControl::WndProc(message);
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
    if (!FHandle) return;
    if (FUpdating > 0) {
        FPositionPending = true;
        return;
    }
    SendMessageW(FHandle, PBM_SETPOS, FPosition, 0);
}

void TProgressBar::EndUpdate() {
    if (FUpdating == 0 || --FUpdating > 0 || !FPositionPending) return;
    FPositionPending = false;
    if (FHandle) SendMessageW(FHandle, PBM_SETPOS, FPosition, 0);
}

void TProgressBar::WndProc(TMessage& message) {
    // While the bar waits to show a new position, it is already the position
    // (within the range, as the control keeps it).
    if (message.Msg == PBM_GETPOS && FPositionPending) {
        message.Result = FMax > FMin ? std::clamp(FPosition, FMin, FMax) : FMin;
        return;
    }
    TWinControl::WndProc(message);
}

void TProgressBar::SetStep(int step) {
    FStep = step;
    if (FHandle) SendMessageW(FHandle, PBM_SETSTEP, step, 0);
}

// ---- TPageControl ----

namespace {
// Inserts (TCM_INSERTITEMW) or changes (TCM_SETITEMW) the tab at index to show caption.
void SetTab(HWND window, UINT message, size_t index, std::wstring caption) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageW(window, message, index, reinterpret_cast<LPARAM>(&item));
}
}  // namespace

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
    FWidth = 289;
    FHeight = 193;
    FTabStop = true;
}

TPageControl::~TPageControl() {
    DestroyHandle();
    for (TTabSheet* page : FPages) page->FPageControl = nullptr;
}

void TPageControl::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = WC_TABCONTROLW;
    params.Style |= WS_CLIPCHILDREN;
    if (FStyle == tsButtons) params.Style |= TCS_BUTTONS;
    if (FStyle == tsFlatButtons) params.Style |= TCS_BUTTONS | TCS_FLATBUTTONS;
    params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TPageControl::InitializeWnd() {
    for (size_t i = 0; i < FPages.size(); ++i) SetTab(FHandle, TCM_INSERTITEMW, i, FPages[i]->Caption());
    auto active = std::find(FPages.begin(), FPages.end(), FActivePage);
    if (active != FPages.end()) SendMessageW(FHandle, TCM_SETCURSEL, active - FPages.begin(), 0);
}

void TPageControl::SetStyle(TTabStyle style) {
    if (style == FStyle) return;
    FStyle = style;
    RecreateWnd();
}

void TPageControl::AdjustClientRect(RECT& rect) {
    if (FHandle) {
        SendMessageW(FHandle, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rect));
        return;
    }
    // Before there is a window: room for one row of tabs.
    rect.left += 4;
    rect.top += 24;
    rect.right = std::max(rect.left, rect.right - 4);
    rect.bottom = std::max(rect.top, rect.bottom - 4);
}

void TPageControl::SetActivePage(TTabSheet* page) {
    if (page && page->FPageControl != this) return;
    FActivePage = page;
    for (TTabSheet* other : FPages) other->SetVisible(other == page);
    auto active = std::find(FPages.begin(), FPages.end(), page);
    if (FHandle) SendMessageW(FHandle, TCM_SETCURSEL, active == FPages.end() ? -1 : active - FPages.begin(), 0);
}

void TPageControl::InsertPage(TTabSheet* page) {
    FPages.push_back(page);
    if (FHandle) SetTab(FHandle, TCM_INSERTITEMW, FPages.size() - 1, page->Caption());
    // The first page shows; the others wait behind their tabs.
    if (!FActivePage)
        SetActivePage(page);
    else
        page->SetVisible(false);
}

void TPageControl::RemovePage(TTabSheet* page) {
    auto found = std::find(FPages.begin(), FPages.end(), page);
    if (found == FPages.end()) return;
    if (FHandle) SendMessageW(FHandle, TCM_DELETEITEM, found - FPages.begin(), 0);
    FPages.erase(found);
    if (FActivePage == page) SetActivePage(FPages.empty() ? nullptr : FPages.front());
}

void TPageControl::UpdateTab(TTabSheet* page) {
    auto found = std::find(FPages.begin(), FPages.end(), page);
    if (FHandle && found != FPages.end()) SetTab(FHandle, TCM_SETITEMW, found - FPages.begin(), page->Caption());
}

void TPageControl::WndProc(TMessage& message) {
    if (message.Msg == CN_BASE + WM_NOTIFY) {
        if (reinterpret_cast<NMHDR*>(message.LParam)->code == static_cast<UINT>(TCN_SELCHANGE)) {
            int index = static_cast<int>(SendMessageW(FHandle, TCM_GETCURSEL, 0, 0));
            if (index >= 0 && index < PageCount()) SetActivePage(FPages[index]);
        }
        message.Result = 0;
        return;
    }
    TWinControl::WndProc(message);
}

// ---- TTabSheet ----

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) { FAlign = alClient; }

TTabSheet::~TTabSheet() {
    if (FPageControl) FPageControl->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* pageControl) {
    if (pageControl == FPageControl) return;
    if (FPageControl) FPageControl->RemovePage(this);
    FPageControl = pageControl;
    SetParent(pageControl);
    if (pageControl) pageControl->InsertPage(this);
}

void TTabSheet::TextChanged() {
    if (FPageControl) FPageControl->UpdateTab(this);
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

const TClassInfo* TPageControl::ClassInfo() const {
    static const TClassInfo info{L"TPageControl", TWinControl::ClassInfo(), {}};
    return &info;
}

const TClassInfo* TTabSheet::ClassInfo() const {
    static const TClassInfo info{L"TTabSheet", TWinControl::ClassInfo(), {}};
    return &info;
}

}  // namespace forms
