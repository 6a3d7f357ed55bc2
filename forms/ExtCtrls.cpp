#include "forms/ExtCtrls.h"

#include "runtime/TypInfo.h"

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
    AlignControls();
}

void TPanel::SetBevelInner(TPanelBevel bevel) {
    if (bevel == FBevelInner) return;
    FBevelInner = bevel;
    Invalidate();
    AlignControls();
}

void TPanel::AdjustClientRect(RECT& rect) {
    int bevels = (FBevelOuter != bvNone ? 1 : 0) + (FBevelInner != bvNone ? 1 : 0);
    InflateRect(&rect, -bevels, -bevels);
}

namespace {
void DrawBevel(HDC dc, RECT& rect, TPanelBevel bevel) {
    if (bevel == bvNone) return;
    DrawEdge(dc, &rect, bevel == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
    InflateRect(&rect, -1, -1);
}
}  // namespace

void TPanel::WndProc(TMessage& message) {
    if (message.Msg == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(FHandle, &paint);
        RECT client;
        GetClientRect(FHandle, &client);
        RECT bevel = client;
        DrawBevel(dc, bevel, FBevelOuter);
        DrawBevel(dc, bevel, FBevelInner);
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

// ---- TImage ----

TImage::TImage(TComponent* owner) : TPaintedControl(owner) {
    FWidth = 105;
    FHeight = 105;
    FPicture.OnChange = Bind<&TImage::HandlePictureChange>(this);
}

void TImage::SetCenter(bool value) {
    if (value == FCenter) return;
    FCenter = value;
    Invalidate();
}

void TImage::HandlePictureChange(TObject*) {
    MakeScaledPicture();
    Invalidate();
}

void TImage::ChangeScale(int M, int D) {
    TPaintedControl::ChangeScale(M, D);
    FPixelsPerInch = MulDiv(FPixelsPerInch, M, D);
    MakeScaledPicture();
}

void TImage::MakeScaledPicture() {
    if (FPixelsPerInch == kDesignPixelsPerInch || FPicture.Empty()) return;
    const int width = MulDiv(FPicture.Width(), FPixelsPerInch, kDesignPixelsPerInch);
    const int height = MulDiv(FPicture.Height(), FPixelsPerInch, kDesignPixelsPerInch);
    FScaled.SetPixels(width, height, ResamplePixels(FPicture.Pixels(), FPicture.Width(), FPicture.Height(), width, height));
}

void TImage::Paint(HDC dc, const RECT& client) {
    const TBitmap& shown = Shown();
    int x = FCenter ? (client.right - shown.Width()) / 2 : 0;
    int y = FCenter ? (client.bottom - shown.Height()) / 2 : 0;
    shown.Draw(dc, x, y);
}

// ---- TShape ----

TShape::TShape(TComponent* owner) : TPaintedControl(owner) {
    FWidth = 65;
    FHeight = 65;
}

void TShape::Paint(HDC dc, const RECT& client) {
    ScopedSelect pen(dc, FPen.Handle());
    ScopedSelect fill(dc, FBrush.Handle());
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
}

// ---- TPaintedControl ----

void TPaintedControl::WndProc(TMessage& message) {
    if (message.Msg == WM_ERASEBKGND) {
        message.Result = 1;
        return;
    }
    if (message.Msg == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(FHandle, &paint);
        RECT client;
        GetClientRect(FHandle, &client);
        // Drawn on the parent's surface.
        FillRect(dc, &client, FParent ? FParent->BackgroundBrush() : BackgroundBrush());
        Paint(dc, client);
        EndPaint(FHandle, &paint);
        message.Result = 0;
        return;
    }
    TWinControl::WndProc(message);
}

namespace {
const std::wstring_view kBevelNames[] = {L"bvNone", L"bvLowered", L"bvRaised"};
const TTypeInfo kBevelType{tkEnumeration, L"TPanelBevel", kBevelNames};
const TPropInfo kPanelProperties[] = {
    OrdinalProperty<TPanel, &TPanel::BevelInner, &TPanel::SetBevelInner>(L"BevelInner", kBevelType),
    OrdinalProperty<TPanel, &TPanel::BevelOuter, &TPanel::SetBevelOuter>(L"BevelOuter", kBevelType),
    OrdinalProperty<TPanel, &TPanel::BorderWidth, &TPanel::SetBorderWidth>(L"BorderWidth", TypeInteger),
    StringProperty<TPanel, &TPanel::Caption, &TPanel::SetCaption>(L"Caption"),
};
}  // namespace

const TClassInfo* TPanel::ClassInfo() const {
    static const TClassInfo info{L"TPanel", TWinControl::ClassInfo(), kPanelProperties};
    return &info;
}

const TClassInfo* TImage::ClassInfo() const {
    static const TClassInfo info{L"TImage", TWinControl::ClassInfo(), {}};
    return &info;
}

const TClassInfo* TShape::ClassInfo() const {
    static const TClassInfo info{L"TShape", TWinControl::ClassInfo(), {}};
    return &info;
}

}  // namespace forms
