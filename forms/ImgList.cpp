#include "forms/ImgList.h"

#include <vector>

#include "runtime/TypInfo.h"

namespace forms {

TImageList::TImageList(TComponent* owner) : TComponent(owner) { SetSize(16, 16); }

TImageList::~TImageList() { DropStrip(); }

void TImageList::DropStrip() const {
    // A bitmap can be freed only once it is no longer selected into a DC.
    if (FStripDC) SelectObject(FStripDC.Get(), FStripDCBitmap);
    FStripDC.Reset();
    FStrip.Reset();
}

void TImageList::SetSize(int width, int height) {
    FWidth = width;
    FHeight = height;
    FPixels.clear();
    DropStrip();
    FHandle.Reset();
}

int TImageList::Count() const { return static_cast<int>(FPixels.size()) / (FWidth * FHeight); }

int TImageList::AddPixels(const uint32_t* argb) {
    FPixels.insert(FPixels.end(), argb, argb + FWidth * FHeight);
    DropStrip();
    if (FHandle) AddToHandle(argb);
    return Count() - 1;
}

HIMAGELIST TImageList::Handle() const {
    if (!FHandle) {
        FHandle.Reset(ImageList_Create(FWidth, FHeight, ILC_COLOR32 | ILC_MASK, 4, 4));
        if (!FHandle) throw Exception(L"Cannot create the image list");
        for (int i = 0, count = Count(); i < count; ++i) AddToHandle(&FPixels[static_cast<size_t>(i) * FWidth * FHeight]);
    }
    return FHandle.Get();
}

void TImageList::AddToHandle(const uint32_t* argb) const {
    uint32_t* pixels = nullptr;
    GdiObject<HBITMAP> color = CreatePixelBitmap(FWidth, FHeight, pixels);
    if (!color) throw Exception(L"Cannot create an image bitmap");
    // The mask (1 = transparent) serves image lists that ignore alpha; its rows are word-aligned.
    const int maskStride = ((FWidth + 15) / 16) * 2;
    std::vector<BYTE> mask(static_cast<size_t>(maskStride) * FHeight, 0);
    for (int y = 0; y < FHeight; ++y) {
        for (int x = 0; x < FWidth; ++x) {
            uint32_t pixel = argb[y * FWidth + x];
            bool transparent = (pixel >> 24) < 0x80;
            pixels[y * FWidth + x] = transparent ? 0 : pixel;
            if (transparent) mask[y * maskStride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
        }
    }
    GdiObject<HBITMAP> maskBitmap(CreateBitmap(FWidth, FHeight, 1, 1, mask.data()));
    GdiFlush();
    if (ImageList_Add(FHandle.Get(), color.Get(), maskBitmap.Get()) < 0)
        throw Exception(L"Cannot add an image to the image list");
}

void TImageList::PrepareStrip() const {
    const int count = Count();
    const int stride = FWidth * count;
    uint32_t* pixels = nullptr;
    GdiObject<HBITMAP> strip = CreatePixelBitmap(stride, FHeight, pixels);
    if (!strip) throw Exception(L"Cannot create an image bitmap");
    for (int image = 0; image < count; ++image)
        for (int y = 0; y < FHeight; ++y)
            for (int x = 0; x < FWidth; ++x) {
                uint32_t pixel = FPixels[(image * FHeight + y) * FWidth + x], alpha = pixel >> 24;
                auto scale = [alpha](uint32_t channel) { return (channel * alpha + 127) / 255; };
                pixels[y * stride + image * FWidth + x] = (alpha << 24) | (scale((pixel >> 16) & 0xFF) << 16) |
                                                          (scale((pixel >> 8) & 0xFF) << 8) | scale(pixel & 0xFF);
            }
    GdiFlush();
    MemoryDC dc(CreateCompatibleDC(nullptr));
    if (!dc) throw Exception(L"Cannot create a drawing surface for the images");
    FStripDCBitmap = SelectObject(dc.Get(), strip.Get());
    FStripDC = std::move(dc);
    FStrip = std::move(strip);
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index) const {
    if (index < 0 || index >= Count()) return;
    if (!FStrip) PrepareStrip();
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(canvas.Handle(), x, y, FWidth, FHeight, FStripDC.Get(), index * FWidth, 0, FWidth, FHeight, blend);
}

IconHandle TImageList::GetIcon(int index) const {
    return IconHandle(ImageList_GetIcon(Handle(), index, ILD_NORMAL));
}

namespace {
const TPropInfo kImageListProperties[] = {
    OrdinalProperty<TImageList, &TImageList::Height, nullptr>(L"Height", TypeInteger),
    OrdinalProperty<TImageList, &TImageList::Width, nullptr>(L"Width", TypeInteger),
};
}  // namespace

const TClassInfo* TImageList::ClassInfo() const {
    static const TClassInfo info{L"TImageList", TComponent::ClassInfo(), kImageListProperties};
    return &info;
}

}  // namespace forms
