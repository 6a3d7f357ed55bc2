#pragma once
#include "forms/Controls.h"

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

// The accelerator letter of a caption ("&Start" gives 'S'), 0 when none.
wchar_t CaptionAccelerator(const std::wstring& caption);

}  // namespace forms
