#include "forms/Graphics.h"

#include <algorithm>

#include "forms/PublishedTypes.h"

namespace forms {

COLORREF ColorToRGB(TColor color) {
    // Every system colour is negative; clNone (0x1FFFFFFF) is not one.
    if (color < 0) return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color) & 0x00FFFFFF;
}

int ScreenPixelsPerInch() {
    int pixels = 96;
    if (HDC screen = GetDC(nullptr)) {
        pixels = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    return pixels;
}

GdiObject<HBITMAP> CreatePixelBitmap(int width, int height, uint32_t*& pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bits) bitmap.Reset();
    pixels = bitmap ? static_cast<uint32_t*>(bits) : nullptr;
    return bitmap;
}

// ---- TFont ----

TFont::TFont() = default;

void TFont::Assign(const TPersistent& source) {
    const auto* font = dynamic_cast<const TFont*>(&source);
    if (!font) return TPersistent::Assign(source);
    if (font == this) return;
    bool shapeChanged = FName != font->FName || FHeight != font->FHeight || FStyle != font->FStyle;
    bool colorChanged = FColor != font->FColor;
    if (!shapeChanged && !colorChanged) return;
    FName = font->FName;
    FHeight = font->FHeight;
    FStyle = font->FStyle;
    FColor = font->FColor;
    if (shapeChanged) FHandle.Reset();
    Changed();
}

void TFont::SetName(const std::wstring& name) {
    if (name == FName) return;
    FName = name;
    FHandle.Reset();
    Changed();
}

void TFont::SetHeight(int height) {
    if (height == FHeight) return;
    FHeight = height;
    FHandle.Reset();
    Changed();
}

void TFont::SetColor(TColor color) {
    if (color == FColor) return;
    // The colour is not part of the font object; the handle stays.
    FColor = color;
    Changed();
}

void TFont::SetStyle(TFontStyles style) {
    if (style == FStyle) return;
    FStyle = style;
    FHandle.Reset();
    Changed();
}

int TFont::Size() const { return -MulDiv(FHeight, 72, ScreenPixelsPerInch()); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72)); }

HFONT TFont::Handle() const {
    if (!FHandle) {
        FHandle.Reset(CreateFontW(FHeight, 0, 0, 0, (FStyle & fsBold) ? FW_BOLD : FW_NORMAL, (FStyle & fsItalic) != 0,
                                  (FStyle & fsUnderline) != 0, (FStyle & fsStrikeOut) != 0, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  FName.c_str()));
    }
    return FHandle.Get();
}

void TFont::Changed() {
    if (OnChange) OnChange(this);
}

namespace published {
const TTypeInfo ColorType{tkInteger, L"TColor"};
const TTypeInfo FontType{tkClass, L"TFont"};
const TTypeInfo StringsType{tkClass, L"TStrings"};
}  // namespace published

namespace {
const std::wstring_view kFontStyleNames[] = {L"fsBold", L"fsItalic", L"fsUnderline", L"fsStrikeOut"};
const TTypeInfo kFontStyleType{tkEnumeration, L"TFontStyle", kFontStyleNames};
const TTypeInfo kFontStylesType{tkSet, L"TFontStyles", {}, &kFontStyleType};
const TPropInfo kFontProperties[] = {
    OrdinalProperty<TFont, &TFont::Color, &TFont::SetColor>(L"Color", published::ColorType),
    OrdinalProperty<TFont, &TFont::Height, &TFont::SetHeight>(L"Height", TypeInteger),
    StringProperty<TFont, &TFont::Name, &TFont::SetName>(L"Name"),
    OrdinalProperty<TFont, &TFont::Style, &TFont::SetStyle>(L"Style", kFontStylesType),
};
}  // namespace

const TClassInfo* TFont::ClassInfo() const {
    static const TClassInfo info{L"TFont", nullptr, kFontProperties};
    return &info;
}

// ---- TPen ----

void TPen::SetColor(TColor color) {
    if (color == FColor) return;
    FColor = color;
    FHandle.Reset();
}

void TPen::SetWidth(int width) {
    if (width == FWidth) return;
    FWidth = width;
    FHandle.Reset();
}

HPEN TPen::Handle() const {
    if (!FHandle) FHandle.Reset(CreatePen(PS_INSIDEFRAME, FWidth, ColorToRGB(FColor)));
    return FHandle.Get();
}

// ---- TBitmap ----

void TBitmap::SetPixels(int width, int height, const std::vector<uint32_t>& pixels) {
    if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * height)
        throw Exception(L"The picture's pixels do not match its size");
    uint32_t* bits = nullptr;
    GdiObject<HBITMAP> bitmap = CreatePixelBitmap(width, height, bits);
    if (!bitmap) throw Exception(Format(L"Cannot make a picture of %d x %d pixels", width, height));
    std::copy(pixels.begin(), pixels.end(), bits);
    FHandle = std::move(bitmap);
    FWidth = width;
    FHeight = height;
    if (OnChange) OnChange(nullptr);
}

void TBitmap::Draw(HDC dc, int x, int y) const {
    if (!FHandle) return;
    MemoryDC source(CreateCompatibleDC(dc));
    ScopedSelect picture(source.Get(), FHandle.Get());
    BitBlt(dc, x, y, FWidth, FHeight, source.Get(), 0, 0, SRCCOPY);
}

// ---- TBrush ----

void TBrush::SetColor(TColor color) {
    if (color == FColor) return;
    FColor = color;
    FHandle.Reset();
}

HBRUSH TBrush::Handle() const {
    if (!FHandle) FHandle.Reset(CreateSolidBrush(ColorToRGB(FColor)));
    return FHandle.Get();
}

// ---- TCanvas ----

void TCanvas::FillRect(const RECT& rect) { ::FillRect(FDC, &rect, FBrush.Handle()); }

void TCanvas::TextOut(int x, int y, const std::wstring& text) {
    ScopedSelect font(FDC, FFont.Handle());
    SetTextColor(FDC, ColorToRGB(FFont.Color()));
    SetBkColor(FDC, ColorToRGB(FBrush.Color()));
    SetBkMode(FDC, OPAQUE);
    ExtTextOutW(FDC, x, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

void TCanvas::DrawIcon(int x, int y, HICON icon, int width, int height) {
    DrawIconEx(FDC, x, y, icon, width, height, 0, nullptr, DI_NORMAL);
}

int TCanvas::TextHeight(const std::wstring& text) {
    ScopedSelect font(FDC, FFont.Handle());
    SIZE size{};
    GetTextExtentPoint32W(FDC, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cy;
}

int TCanvas::TextWidth(const std::wstring& text) {
    ScopedSelect font(FDC, FFont.Handle());
    SIZE size{};
    GetTextExtentPoint32W(FDC, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

}  // namespace forms
