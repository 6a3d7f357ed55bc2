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
    // Between these the text changes without the bar repainting (the control
    // paints at once on every change); EndUpdate shows the last text.
    void BeginUpdate() { ++FUpdating; }
    void EndUpdate();

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void WndProc(TMessage& message) override;
    void ColorChanged() override;
    void SendBackgroundColor();
    std::wstring FSimpleText;
    int FUpdating = 0;
    bool FTextPending = false;
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
    // Between these the position changes without the bar repainting (the
    // control paints at once on every change); EndUpdate shows the last one.
    void BeginUpdate() { ++FUpdating; }
    void EndUpdate();

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void DestroyWnd() override;
    void WndProc(TMessage& message) override;
    int FMin = 0, FMax = 100, FPosition = 0, FStep = 10;
    int FUpdating = 0;
    bool FPositionPending = false;
};

class TTabSheet;
enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };

// Pages behind tabs: the tab of the active page is selected and only that page shows.
class TPageControl : public TWinControl {
public:
    explicit TPageControl(TComponent* owner);
    ~TPageControl() override;
    const TClassInfo* ClassInfo() const override;
    int PageCount() const { return static_cast<int>(FPages.size()); }
    TTabSheet* Pages(int index) const { return FPages.at(index); }
    TTabSheet* ActivePage() const { return FActivePage; }
    void SetActivePage(TTabSheet* page);
    TTabStyle Style() const { return FStyle; }
    void SetStyle(TTabStyle style);

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void WndProc(TMessage& message) override;
    // The pages fill the display area beside the tabs.
    void AdjustClientRect(RECT& rect) override;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void UpdateTab(TTabSheet* page);

    std::vector<TTabSheet*> FPages;
    TTabSheet* FActivePage = nullptr;
    TTabStyle FStyle = tsTabs;
};

// One page of a page control; its caption is the text of its tab.
class TTabSheet : public TWinControl {
public:
    explicit TTabSheet(TComponent* owner);
    ~TTabSheet() override;
    const TClassInfo* ClassInfo() const override;
    TPageControl* PageControl() const { return FPageControl; }
    void SetPageControl(TPageControl* pageControl);

protected:
    void TextChanged() override;

private:
    friend class TPageControl;
    TPageControl* FPageControl = nullptr;
};

}  // namespace forms
