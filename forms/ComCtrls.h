#pragma once
#include "forms/Controls.h"

namespace forms {

// A status bar with one text across its width.
class TStatusBar : public TWinControl {
public:
    explicit TStatusBar(TComponent* owner);
    const TClassInfo* ClassInfo() const override;
    const std::wstring& SimpleText() const { return FSimpleText; }
    void SetSimpleText(const std::wstring& text);

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void ColorChanged() override;
    void SendBackgroundColor();
    std::wstring FSimpleText;
};

class TProgressBar : public TWinControl {
public:
    explicit TProgressBar(TComponent* owner);
    const TClassInfo* ClassInfo() const override;
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    void SetRange(int min, int max);
    void SetMin(int min) { SetRange(min, FMax); }
    void SetMax(int max) { SetRange(FMin, max); }
    int Position();
    void SetPosition(int position);
    int Step() const { return FStep; }
    void SetStep(int step);

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void DestroyWnd() override;
    int FMin = 0, FMax = 100, FPosition = 0, FStep = 10;
};

}  // namespace forms
