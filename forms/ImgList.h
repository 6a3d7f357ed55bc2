#pragma once
#include "forms/Classes.h"
#include "forms/Handles.h"

namespace forms {

class TImageList : public TComponent {
public:
    explicit TImageList(TComponent* owner);
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
    HIMAGELIST Handle() const { return FHandle.Get(); }

private:
    int FWidth = 16, FHeight = 16;
    ImageListHandle FHandle;
};

}  // namespace forms
