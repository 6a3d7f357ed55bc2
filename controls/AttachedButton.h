#pragma once
// A push button that stays on one side of its control at a fixed distance,
// takes the control's height (or width) on that side and follows the
// control's window wherever it moves; with AttachTwoWay the control also
// follows the button.

#include <windows.h>

#include <string>

#include "controls/ControlBase.h"
#include "forms/Buttons.h"

namespace controls {

enum TOvcButtonPosition { bpRight, bpLeft, bpTop, bpBottom };

LRESULT CALLBACK AttachedControlWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

class TOvcAttachedButton : public forms::TBitBtn {
public:
    // 21 by 21 pixels, on the right of its control, 1 pixel away.
    explicit TOvcAttachedButton(forms::TComponent* owner);
    ~TOvcAttachedButton() override;
    const forms::TClassInfo* ClassInfo() const override;

    forms::TWinControl* AttachedControl() const { return FAttachedControl; }
    // Fails with EOvcException "This control is already attached to %s" (the other
    // button's name) when another button is attached to value; nothing changes then.
    void SetAttachedControl(forms::TWinControl* value);
    bool AttachTwoWay() const { return FAttachTwoWay; }
    void SetAttachTwoWay(bool value) { FAttachTwoWay = value; }
    TOvcButtonPosition Position() const { return FPosition; }
    void SetPosition(TOvcButtonPosition value);
    int Separation() const { return FSeparation; }
    void SetSeparation(int value);
    std::wstring About() const { return L"v4.08"; }

    // With AttachTwoWay, a change of the button's place or size moves the control.
    void SetBounds(int left, int top, int width, int height) override;

protected:
    // Every new window of the button hooks the control's window and places the button.
    void CreateWnd() override;
    void WndProc(forms::TMessage& message) override;
    // The separation and the button's own side scale; the rest follows the control.
    void ChangeScale(int M, int D) override;
    void Notification(forms::TComponent* component, forms::TOperation operation) override;

    // The button beside a control with these bounds.
    void PlaceButton(int left, int top, int width, int height);
    // The control beside the button.
    void PlaceControl();
    void HookControl();
    void UnhookControl();

private:
    friend LRESULT CALLBACK AttachedControlWindowProc(HWND, UINT, WPARAM, LPARAM) noexcept;
    // What the hook does after the control's own procedure has handled a message.
    void ControlWindowProc(UINT msg, LRESULT& result);
    void PlaceBesideControl();

    forms::TWinControl* FAttachedControl = nullptr;
    bool FAttachTwoWay = false;
    TOvcButtonPosition FPosition = bpRight;
    int FSeparation = 1;
    // The procedure installed on the control's window; it finds its button through a window property.
    WNDPROC abNewWndProc = AttachedControlWindowProc;
    // The control's procedure that the hook passes every message on to.
    WNDPROC abPrevWndProc = nullptr;
    // Set while the button moves itself or its control, so neither moves the other back.
    bool abSizing = false;
    // The control's window the hook lies on; none while not hooked.
    HWND FHookedWindow = nullptr;
};

}  // namespace controls
