#pragma once
// The common base of the TOvc… components, the controller that owns the
// shared timer pool, and the settings of a control's attached caption.

#include "controls/TimerPool.h"
#include "forms/Classes.h"

namespace controls {

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

    // The caption attached now; not owned.
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

}  // namespace controls
