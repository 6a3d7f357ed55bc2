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

namespace {

// One channel (shift 0, 8, 16, 24) of a pixel.
inline float Channel(uint32_t pixel, int shift) { return static_cast<float>((pixel >> shift) & 0xFF); }

inline uint32_t PackChannel(float value, int shift) {
    return static_cast<uint32_t>(std::clamp(value + 0.5f, 0.0f, 255.0f)) << shift;
}

}  // namespace

std::vector<uint32_t> ResamplePixels(const std::vector<uint32_t>& pixels, int width, int height, int newWidth,
                                     int newHeight) {
    if (width <= 0 || height <= 0 || newWidth <= 0 || newHeight <= 0 ||
        pixels.size() != static_cast<size_t>(width) * height)
        throw Exception(L"The picture's pixels do not match its size");
    std::vector<uint32_t> result(static_cast<size_t>(newWidth) * newHeight);
    const float scaleX = static_cast<float>(width) / newWidth, scaleY = static_cast<float>(height) / newHeight;
    for (int y = 0; y < newHeight; ++y)
        for (int x = 0; x < newWidth; ++x) {
            float sum[4] = {0, 0, 0, 0}, weight = 0;
            auto add = [&](int sx, int sy, float w) {
                const uint32_t p = pixels[static_cast<size_t>(sy) * width + sx];
                for (int c = 0; c < 4; ++c) sum[c] += w * Channel(p, 8 * c);
                weight += w;
            };
            if (scaleX <= 1.0f && scaleY <= 1.0f) {
                // Growing: between the four nearest source pixels.
                const float fx = std::clamp((x + 0.5f) * scaleX - 0.5f, 0.0f, static_cast<float>(width - 1));
                const float fy = std::clamp((y + 0.5f) * scaleY - 0.5f, 0.0f, static_cast<float>(height - 1));
                const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
                const int x1 = std::min(x0 + 1, width - 1), y1 = std::min(y0 + 1, height - 1);
                const float ax = fx - x0, ay = fy - y0;
                add(x0, y0, (1 - ax) * (1 - ay));
                add(x1, y0, ax * (1 - ay));
                add(x0, y1, (1 - ax) * ay);
                add(x1, y1, ax * ay);
            } else {
                // Shrinking: the average of the source pixels the new one covers.
                const int x0 = static_cast<int>(x * scaleX), y0 = static_cast<int>(y * scaleY);
                const int x1 = std::max(x0 + 1, std::min(width, static_cast<int>((x + 1) * scaleX + 0.999f)));
                const int y1 = std::max(y0 + 1, std::min(height, static_cast<int>((y + 1) * scaleY + 0.999f)));
                for (int sy = y0; sy < y1; ++sy)
                    for (int sx = x0; sx < x1; ++sx) add(sx, sy, 1.0f);
            }
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) out |= PackChannel(sum[c] / weight, 8 * c);
            result[static_cast<size_t>(y) * newWidth + x] = out;
        }
    return result;
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
    bool shapeChanged = FName != font->FName || FHeight != font->FHeight || FStyle != font->FStyle ||
                        FPixelsPerInch != font->FPixelsPerInch;
    bool colorChanged = FColor != font->FColor;
    FPixelsPerInch = font->FPixelsPerInch;
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

int TFont::Size() const { return -MulDiv(FHeight, 72, FPixelsPerInch); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, FPixelsPerInch, 72)); }

HFONT TFont::Handle() const {
    if (!FHandle) {
        // The raster dialog face has sizes for 96 pixels per inch only: scaled, it would come out at
        // the nearest of them (or stretched), its bold a one-pixel smear. Its outline successor scales.
        const wchar_t* face = FPixelsPerInch != kDesignPixelsPerInch && FName == L"MS Sans Serif"
                                  ? L"Microsoft Sans Serif"
                                  : FName.c_str();
        FHandle.Reset(CreateFontW(FHeight, 0, 0, 0, (FStyle & fsBold) ? FW_BOLD : FW_NORMAL, (FStyle & fsItalic) != 0,
                                  (FStyle & fsUnderline) != 0, (FStyle & fsStrikeOut) != 0, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  face));
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
    FPixels = pixels;
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
