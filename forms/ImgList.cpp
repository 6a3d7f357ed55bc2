#include "forms/ImgList.h"

#include <vector>

#include "forms/TypInfo.h"

namespace forms {

TImageList::TImageList(TComponent* owner) : TComponent(owner) { SetSize(16, 16); }

void TImageList::SetSize(int width, int height) {
    FWidth = width;
    FHeight = height;
    FHandle.Reset(ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 4, 4));
    if (!FHandle) throw Exception(L"Cannot create the image list");
}

int TImageList::Count() const { return FHandle ? ImageList_GetImageCount(FHandle.Get()) : 0; }

int TImageList::AddPixels(const uint32_t* argb) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = FWidth;
    info.bmiHeader.biHeight = -FHeight;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    GdiObject<HBITMAP> color(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ReleaseDC(nullptr, screen);
    if (!color || !bits) throw Exception(L"Cannot create an image bitmap");
    // The mask (1 = transparent) serves image lists that ignore alpha; its rows are word-aligned.
    const int maskStride = ((FWidth + 15) / 16) * 2;
    std::vector<BYTE> mask(static_cast<size_t>(maskStride) * FHeight, 0);
    auto* pixels = static_cast<uint32_t*>(bits);
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
    int index = ImageList_Add(FHandle.Get(), color.Get(), maskBitmap.Get());
    if (index < 0) throw Exception(L"Cannot add an image to the image list");
    return index;
}

IconHandle TImageList::GetIcon(int index) const {
    return IconHandle(ImageList_GetIcon(FHandle.Get(), index, ILD_NORMAL));
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
