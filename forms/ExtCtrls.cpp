#include "forms/ExtCtrls.h"

#include "forms/TypInfo.h"

namespace forms {

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {
    FWidth = 185;
    FHeight = 41;
}

void TPanel::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.Style |= WS_CLIPCHILDREN;
    // Dialog navigation goes into the panel's children.
    params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TPanel::SetBevelOuter(TPanelBevel bevel) {
    if (bevel == FBevelOuter) return;
    FBevelOuter = bevel;
    Invalidate();
}

void TPanel::WndProc(TMessage& message) {
    if (message.Msg == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(FHandle, &paint);
        RECT client;
        GetClientRect(FHandle, &client);
        if (FBevelOuter == bvRaised) DrawEdge(dc, &client, BDR_RAISEDINNER, BF_RECT);
        if (FBevelOuter == bvLowered) DrawEdge(dc, &client, BDR_SUNKENOUTER, BF_RECT);
        if (!FText.empty()) {
            ScopedSelect font(dc, FFont.Handle());
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, ColorToRGB(FFont.Color()));
            DrawTextW(dc, FText.c_str(), static_cast<int>(FText.size()), &client,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
        EndPaint(FHandle, &paint);
        message.Result = 0;
        return;
    }
    if (message.Msg == WM_SETTEXT) {
        DefaultHandler(message);
        Invalidate();
        return;
    }
    TWinControl::WndProc(message);
}

namespace {
const std::wstring_view kBevelNames[] = {L"bvNone", L"bvLowered", L"bvRaised"};
const TTypeInfo kBevelType{tkEnumeration, L"TPanelBevel", kBevelNames};
const TPropInfo kPanelProperties[] = {
    OrdinalProperty<TPanel, &TPanel::BevelOuter, &TPanel::SetBevelOuter>(L"BevelOuter", kBevelType),
    OrdinalProperty<TPanel, &TPanel::BorderWidth, &TPanel::SetBorderWidth>(L"BorderWidth", TypeInteger),
    StringProperty<TPanel, &TPanel::Caption, &TPanel::SetCaption>(L"Caption"),
};
}  // namespace

const TClassInfo* TPanel::ClassInfo() const {
    static const TClassInfo info{L"TPanel", TWinControl::ClassInfo(), kPanelProperties};
    return &info;
}

}  // namespace forms
