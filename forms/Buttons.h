#pragma once
#include "forms/Controls.h"
#include "forms/StdCtrls.h"

namespace forms {

// A flat button that never takes the focus. Its caption's "&" letter with
// Alt clicks it while it is enabled; BM_CLICK clicks it too.
class TSpeedButton : public TWinControl {
public:
    explicit TSpeedButton(TComponent* owner);
    const TClassInfo* ClassInfo() const override;
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value) { FSpacing = value; }
    bool DialogChar(wchar_t letter) override;
    // Never takes the focus.
    void SetFocus() override {}

protected:
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;
    void Paint(HDC dc);

    bool FFlat = false;
    int FSpacing = 4;
    bool FPressed = false;
    bool FMouseInside = false;
};

// A push button that may show a glyph beside its caption; this layer draws
// no glyph, so it shows its caption as a push button does. Spacing (the gap
// between glyph and caption) is kept for the layout.
class TBitBtn : public TButton {
public:
    using TButton::TButton;
    const TClassInfo* ClassInfo() const override;
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value) { FSpacing = value; }

private:
    int FSpacing = 4;
};

// The accelerator letter of a caption ("&Start" gives 'S'), 0 when none.
wchar_t CaptionAccelerator(const std::wstring& caption);

}  // namespace forms
