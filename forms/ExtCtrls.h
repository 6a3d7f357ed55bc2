#pragma once
// Panels, pictures and shapes.

#include "forms/Controls.h"

namespace forms {

enum TPanelBevel { bvNone, bvLowered, bvRaised };

// A plain container window with up to two one-pixel bevels, the outer one
// drawn first; aligned children share the area inside them.
class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* owner);
    const TClassInfo* ClassInfo() const override;
    TPanelBevel BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TPanelBevel bevel);
    TPanelBevel BevelInner() const { return FBevelInner; }
    void SetBevelInner(TPanelBevel bevel);

protected:
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;
    void AdjustClientRect(RECT& rect) override;
    TPanelBevel FBevelOuter = bvRaised;
    TPanelBevel FBevelInner = bvNone;
};

// A control drawn on its parent's surface (a picture, a shape): it lies beneath
// its windowed siblings and paints itself over the parent's colour.
class TPaintedControl : public TWinControl {
public:
    using TWinControl::TWinControl;

protected:
    bool LiesBeneathSiblings() const override { return true; }
    void WndProc(TMessage& message) override;
    // Draws the control over the parent's colour, which already fills client.
    virtual void Paint(HDC dc, const RECT& client) = 0;
};

// A picture.
class TImage : public TPaintedControl {
public:
    explicit TImage(TComponent* owner);
    const TClassInfo* ClassInfo() const override;
    TBitmap& Picture() { return FPicture; }
    // Shown at its own size in the middle of the control instead of at the top-left corner.
    bool Center() const { return FCenter; }
    void SetCenter(bool value);
    // The picture as drawn: Picture at the form's scale (itself at 96 pixels per inch).
    const TBitmap& Shown() const { return FPixelsPerInch == kDesignPixelsPerInch ? FPicture : FScaled; }

protected:
    void Paint(HDC dc, const RECT& client) override;
    void ChangeScale(int M, int D) override;
    void HandlePictureChange(TObject* sender);
    // The picture resampled for the scale, made once when the picture or the scale changes.
    void MakeScaledPicture();
    TBitmap FPicture;
    TBitmap FScaled;
    int FPixelsPerInch = kDesignPixelsPerInch;
    bool FCenter = false;
};

// A rectangle outlined with Pen (inside its frame) and filled with Brush.
class TShape : public TPaintedControl {
public:
    explicit TShape(TComponent* owner);
    const TClassInfo* ClassInfo() const override;
    TPen& Pen() { return FPen; }
    TBrush& Brush() { return FBrush; }

protected:
    void Paint(HDC dc, const RECT& client) override;
    TPen FPen;
    TBrush FBrush;
};

}  // namespace forms
