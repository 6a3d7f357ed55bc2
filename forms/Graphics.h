#pragma once
// Colours, fonts and a canvas over a device context.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/Classes.h"
#include "forms/Handles.h"

namespace forms {

// An RGB value, or a system colour as 0xFF000000 | COLOR_xxx (negative: the
// settings file keeps the window colour as -16777211).
using TColor = int32_t;
constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
constexpr TColor clBlack = 0x000000, clNavy = 0x800000, clGreen = 0x008000, clRed = 0x0000FF,
                 clWhite = 0xFFFFFF, clMaroon = 0x000080, clBlue = 0xFF0000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clNone = 0x1FFFFFFF;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
constexpr TColor clHotLight = clSystemColor | COLOR_HOTLIGHT;

COLORREF ColorToRGB(TColor color);

// The screen's logical pixels per inch, which turn a font's points into pixels.
int ScreenPixelsPerInch();

// The pixels per inch a form's layout is designed at: its sizes are scaled from there.
constexpr int kDesignPixelsPerInch = 96;

// A picture of width x height pixels (0xAARRGGBB, rows from the top) at another size, smoothly:
// each new pixel blends the source pixels it covers when shrinking and its nearest four when
// growing, so no pixel is simply repeated.
std::vector<uint32_t> ResamplePixels(const std::vector<uint32_t>& pixels, int width, int height, int newWidth,
                                     int newHeight);

// A bitmap of width x height 32-bit pixels (0xAARRGGBB), rows from the top, whose
// memory pixels points to; no handle (and pixels nullptr) when the system makes none.
GdiObject<HBITMAP> CreatePixelBitmap(int width, int height, uint32_t*& pixels);

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;

class TFont : public TPersistent {
public:
    TFont();
    const TClassInfo* ClassInfo() const override;
    void Assign(const TPersistent& source) override;

    const std::wstring& Name() const { return FName; }
    void SetName(const std::wstring& name);
    int Height() const { return FHeight; }
    void SetHeight(int height);
    // The height in points at the font's pixels per inch.
    int Size() const;
    void SetSize(int points);
    // The pixels per inch that turn points into pixels: the form's, which a scaled form sets.
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int value) {
        if (value == FPixelsPerInch) return;
        FPixelsPerInch = value;
        FHandle.Reset();
    }
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles style);

    // The font object, made on first use and after every change.
    HFONT Handle() const;

    TNotifyEvent OnChange;

private:
    void Changed();

    std::wstring FName = L"MS Sans Serif";
    int FHeight = -11;
    TColor FColor = clWindowText;
    TFontStyles FStyle = 0;
    int FPixelsPerInch = kDesignPixelsPerInch;
    mutable GdiObject<HFONT> FHandle;
};

class TPen {
public:
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    int Width() const { return FWidth; }
    void SetWidth(int width);
    // A pen whose lines stay inside the frame of the shape they outline.
    HPEN Handle() const;

private:
    TColor FColor = clBlack;
    int FWidth = 1;
    mutable GdiObject<HPEN> FHandle;
};

// A picture of 32-bit pixels held as a device-independent bitmap.
class TBitmap {
public:
    // Pixels row by row from the top, each 0x00RRGGBB.
    void SetPixels(int width, int height, const std::vector<uint32_t>& pixels);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Empty() const { return !FHandle; }
    // The pixels as given (0x00RRGGBB, rows from the top).
    const std::vector<uint32_t>& Pixels() const { return FPixels; }
    HBITMAP Handle() const { return FHandle.Get(); }
    // Draws the picture at its own size with its top-left corner at x, y.
    void Draw(HDC dc, int x, int y) const;

    TNotifyEvent OnChange;

private:
    int FWidth = 0, FHeight = 0;
    std::vector<uint32_t> FPixels;
    GdiObject<HBITMAP> FHandle;
};

class TBrush {
public:
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    HBRUSH Handle() const;

private:
    TColor FColor = clWhite;
    mutable GdiObject<HBRUSH> FHandle;
};

// Drawing on a device context that someone else owns (paint or owner-draw).
class TCanvas {
public:
    explicit TCanvas(HDC dc = nullptr) : FDC(dc) {}
    HDC Handle() const { return FDC; }
    void SetHandle(HDC dc) { FDC = dc; }

    TBrush& Brush() { return FBrush; }
    TFont& Font() { return FFont; }

    void FillRect(const RECT& rect);
    // Text with an opaque background in the brush colour.
    void TextOut(int x, int y, const std::wstring& text);
    void DrawIcon(int x, int y, HICON icon, int width, int height);
    int TextHeight(const std::wstring& text);
    int TextWidth(const std::wstring& text);

private:
    HDC FDC;
    TBrush FBrush;
    TFont FFont;
};

}  // namespace forms
