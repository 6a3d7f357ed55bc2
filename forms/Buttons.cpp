#include "forms/Buttons.h"

#include <windowsx.h>

#include "runtime/TypInfo.h"

namespace forms {

wchar_t CaptionAccelerator(const std::wstring& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        // "&&" is a literal ampersand.
        if (caption[i + 1] == L'&') {
            ++i;
            continue;
        }
        wchar_t letter = caption[i + 1];
        CharUpperBuffW(&letter, 1);
        return letter;
    }
    return 0;
}

TSpeedButton::TSpeedButton(TComponent* owner) : TWinControl(owner) {
    FParentColor = true;
    FWidth = 23;
    FHeight = 22;
}

void TSpeedButton::CreateParams(TCreateParams& params) { TWinControl::CreateParams(params); }

void TSpeedButton::SetFlat(bool value) {
    if (value == FFlat) return;
    FFlat = value;
    Invalidate();
}

bool TSpeedButton::DialogChar(wchar_t letter) {
    if (CaptionAccelerator(Caption()) != letter || !IsShowingAndEnabled()) return false;
    Click();
    return true;
}

void TSpeedButton::Paint(HDC dc) {
    RECT client;
    GetClientRect(FHandle, &client);
    FillRect(dc, &client, BackgroundBrush());
    bool down = FPressed && FMouseInside;
    if (!FFlat)
        DrawFrameControl(dc, &client, DFC_BUTTON, DFCS_BUTTONPUSH | (down ? DFCS_PUSHED : 0));
    else if (FEnabled && (down || FMouseInside))
        DrawEdge(dc, &client, down ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    std::wstring caption = Caption();
    ScopedSelect font(dc, FFont.Handle());
    SetBkMode(dc, TRANSPARENT);
    RECT text = client;
    if (down) OffsetRect(&text, 1, 1);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (FEnabled) {
        SetTextColor(dc, ColorToRGB(FFont.Color()));
        DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, format);
        return;
    }
    // Disabled: the grey text with a light shadow, as the system draws it.
    OffsetRect(&text, 1, 1);
    SetTextColor(dc, ColorToRGB(clBtnHighlight));
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, format);
    OffsetRect(&text, -1, -1);
    SetTextColor(dc, ColorToRGB(clBtnShadow));
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, format);
}

void TSpeedButton::WndProc(TMessage& message) {
    switch (message.Msg) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(FHandle, &paint);
            Paint(dc);
            EndPaint(FHandle, &paint);
            message.Result = 0;
            return;
        }
        case WM_ERASEBKGND:
            message.Result = 1;
            return;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            // No SetFocus: the focus stays where it was.
            FPressed = true;
            FMouseInside = true;
            SetCapture(FHandle);
            Invalidate();
            message.Result = 0;
            return;
        case WM_MOUSEMOVE: {
            RECT client;
            GetClientRect(FHandle, &client);
            bool inside = PtInRect(&client, POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)});
            if (inside != FMouseInside) {
                FMouseInside = inside;
                Invalidate();
            }
            if (inside && GetCapture() != FHandle) {
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, FHandle, 0};
                TrackMouseEvent(&track);
            }
            message.Result = 0;
            return;
        }
        case WM_MOUSELEAVE:
            FMouseInside = false;
            Invalidate();
            message.Result = 0;
            return;
        case WM_LBUTTONUP: {
            bool wasPressed = FPressed;
            FPressed = false;
            if (GetCapture() == FHandle) ReleaseCapture();
            RECT client;
            GetClientRect(FHandle, &client);
            bool inside = PtInRect(&client, POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)});
            Invalidate();
            // A click is a release inside the button after a press on it.
            if (wasPressed && inside && FEnabled) Click();
            message.Result = 0;
            return;
        }
        case WM_CAPTURECHANGED:
            FPressed = false;
            Invalidate();
            break;
        case BM_CLICK:
            if (FEnabled) Click();
            message.Result = 0;
            return;
        case WM_SETTEXT:
        case WM_ENABLE:
            DefaultHandler(message);
            Invalidate();
            return;
        default:
            break;
    }
    TWinControl::WndProc(message);
}

namespace {
const TPropInfo kSpeedButtonProperties[] = {
    StringProperty<TSpeedButton, &TSpeedButton::Caption, &TSpeedButton::SetCaption>(L"Caption"),
    OrdinalProperty<TSpeedButton, &TSpeedButton::Flat, &TSpeedButton::SetFlat>(L"Flat", TypeBoolean),
    OrdinalProperty<TSpeedButton, &TSpeedButton::Spacing, &TSpeedButton::SetSpacing>(L"Spacing", TypeInteger),
};
const TPropInfo kBitBtnProperties[] = {
    OrdinalProperty<TBitBtn, &TBitBtn::Spacing, &TBitBtn::SetSpacing>(L"Spacing", TypeInteger),
};
}  // namespace

const TClassInfo* TSpeedButton::ClassInfo() const {
    static const TClassInfo info{L"TSpeedButton", TWinControl::ClassInfo(), kSpeedButtonProperties};
    return &info;
}

const TClassInfo* TBitBtn::ClassInfo() const {
    static const TClassInfo info{L"TBitBtn", TButton::ClassInfo(), kBitBtnProperties};
    return &info;
}

}  // namespace forms
