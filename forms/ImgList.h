#pragma once
#include <cstdint>
#include <vector>

#include "runtime/Classes.h"
#include "forms/Graphics.h"
#include "forms/Handles.h"

namespace forms {

// Images of one size, kept as pixels; the image-list control's handle and the
// bitmap that Draw uses are made from them only when first needed.
class TImageList : public TComponent {
public:
    explicit TImageList(TComponent* owner);
    ~TImageList() override;
    const TClassInfo* ClassInfo() const override;
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Sets the image size; clears the images.
    void SetSize(int width, int height);
    int Count() const;
    // Adds a 32-bit top-down ARGB image of Width x Height pixels (alpha 0 is transparent).
    int AddPixels(const uint32_t* argb);
    // A new icon of image index; the caller owns it.
    IconHandle GetIcon(int index) const;
    // Draws image index with its top-left corner at (x, y), blended by its alpha.
    // The images are kept in one bitmap made once, so drawing creates nothing.
    void Draw(TCanvas& canvas, int x, int y, int index) const;
    HIMAGELIST Handle() const;

private:
    void AddToHandle(const uint32_t* argb) const;
    void PrepareStrip() const;
    void DropStrip() const;

    int FWidth = 16, FHeight = 16;
    // Every image's pixels, one image after the other.
    std::vector<uint32_t> FPixels;
    mutable ImageListHandle FHandle;
    // Every image side by side, premultiplied, selected into a DC of its own.
    mutable MemoryDC FStripDC;
    mutable GdiObject<HBITMAP> FStrip;
    mutable HGDIOBJ FStripDCBitmap = nullptr;
};

}  // namespace forms
