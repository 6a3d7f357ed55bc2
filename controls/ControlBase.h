#pragma once
// The common base of the TOvc… components, the controller that owns the
// shared timer pool, the settings of a control's attached caption and the
// caption itself.

#include <windows.h>

#include "controls/TimerPool.h"
#include "runtime/Classes.h"
#include "forms/StdCtrls.h"

namespace controls {

// Errors of the TOvc… components.
class EOvcException : public forms::Exception {
public:
    using forms::Exception::Exception;
};

// Private messages between a control and its caption or its button.
// Posted by a button to itself: re-create its window, which hooks the control's new one.
constexpr UINT OM_RECREATEBUTTON = 0x7F05;
// Posted by a box to itself after its bounds were set: the caption follows.
constexpr UINT OM_POSITIONLABEL = 0x7F0B;
// Posted by a caption to its control: take the caption's offsets from where it stands.
constexpr UINT OM_RECORDLABELPOSITION = 0x7F0C;
// Sent by a caption to its control, the caption in lParam: this caption is yours.
constexpr UINT OM_ASSIGNLABEL = 0x7F0D;
// Sent by a button to a control: the button attached to it, or 0.
constexpr UINT OM_ATTACHEDBUTTON = 0x7F11;

class TOvcComponent : public forms::TComponent {
public:
    using forms::TComponent::TComponent;
};

class TOvcController : public TOvcComponent {
public:
    explicit TOvcController(forms::TComponent* owner);
    ~TOvcController() override;

    TOvcTimerPool* TimerPool() const { return FTimerPool; }

    // Raised for every trigger of the pool that fires.
    TTriggerEvent OnTimerTrigger() const { return FOnTimerTrigger; }
    void SetOnTimerTrigger(TTriggerEvent value) { FOnTimerTrigger = value; }

private:
    void DoOnTimerTrigger(forms::TObject* Sender, int32_t Handle, uint32_t Interval, int32_t ElapsedTime);

    TOvcTimerPool* FTimerPool = nullptr;
    TTriggerEvent FOnTimerTrigger;
};

// The program's one controller, created with no owner on first use and freed at program end.
TOvcController* SharedController();

class TOvcAttachedLabel;

using TOvcAttachEvent = forms::TEvent<void(forms::TObject* Sender, bool Value)>;

// The settings of a control's attached caption; created and freed by the control.
class TOvcLabelInfo : public forms::TPersistent {
public:
    const forms::TClassInfo* ClassInfo() const override;

    int OffsetX() const { return FOffsetX; }
    void SetOffsetX(int value);
    int OffsetY() const { return FOffsetY; }
    void SetOffsetY(int value);
    // Stores both offsets and raises OnChange once when either differs.
    void SetOffsets(int x, int y);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);

    forms::TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(forms::TNotifyEvent value) { FOnChange = value; }
    TOvcAttachEvent OnAttach() const { return FOnAttach; }
    void SetOnAttach(TOvcAttachEvent value) { FOnAttach = value; }

    // The caption attached now; not owned (the form owns it).
    TOvcAttachedLabel* ALabel = nullptr;

protected:
    void DoOnChange();
    void DoOnAttach();

private:
    // The control and its caption set FVisible directly where no OnAttach may follow.
    friend class TOvcAttachedLabel;
    friend class TOvcBaseComboBox;
    int FOffsetX = 0;
    int FOffsetY = 0;
    forms::TNotifyEvent FOnChange;
    TOvcAttachEvent FOnAttach;
    bool FVisible = false;
};

// A caption that stays at a fixed offset above (or below) its control. It
// tells the control where it stands after loading and after every move, so
// that moving the caption changes the offsets the control keeps.
class TOvcAttachedLabel : public forms::TLabel {
public:
    // Sizes itself to its text, takes its parent's font, not transparent.
    explicit TOvcAttachedLabel(forms::TComponent* owner);
    // The caption of control, which also gets the focus by the caption's accelerator.
    TOvcAttachedLabel(forms::TComponent* owner, forms::TWinControl* control);
    const forms::TClassInfo* ClassInfo() const override;

    forms::TWinControl* Control() const { return FControl; }
    void SetControl(forms::TWinControl* value);

    void SetBounds(int left, int top, int width, int height) override;

protected:
    void Loaded() override;
    void Notification(forms::TComponent* component, forms::TOperation operation) override;
    // Tells Control, when it is a component of the caption's form, that this caption is its own.
    void NotifyControl();

private:
    forms::TWinControl* FControl = nullptr;
};

}  // namespace controls
