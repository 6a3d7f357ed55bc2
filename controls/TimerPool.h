#pragma once
// A pool of triggers, each with its own interval, served from one window
// timer on a hidden window of the pool.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Classes.h"
#include "forms/Handles.h"

namespace controls {

using TTriggerEvent =
    forms::TEvent<void(forms::TObject* Sender, int32_t Handle, uint32_t Interval, int32_t ElapsedTime)>;

class EInvalidTriggerHandle : public forms::Exception {
public:
    EInvalidTriggerHandle();
};

class ENoTimersAvailable : public forms::Exception {
public:
    ENoTimersAvailable();
};

// One trigger of the pool; the pool allocates and frees it.
struct TTriggerRecord {
    int32_t Handle = 0;
    uint32_t StartTime = 0;
    int32_t ElapsedTime = 0;
    uint32_t Interval = 0;
    uint32_t LastTime = 0;
    TTriggerEvent OnTrigger;
    bool Enabled = false;
    bool Recurring = false;
};

class TOvcTimerPool : public forms::TComponent {
public:
    explicit TOvcTimerPool(forms::TComponent* owner);
    ~TOvcTimerPool() override;

    const forms::TClassInfo* ClassInfo() const override;

    // A recurring trigger; intervals below 55 ms become 55 ms.
    int32_t Add(TTriggerEvent OnTrigger, uint32_t Interval);
    // Like Add, but the trigger is removed when it fires.
    int32_t AddOneTime(TTriggerEvent OnTrigger, uint32_t Interval);
    // First removes the first trigger whose handler has the same code, then AddOneTime.
    int32_t AddOneShot(TTriggerEvent OnTrigger, uint32_t Interval);
    // An invalid handle is ignored.
    void Remove(int32_t Handle);
    void RemoveAll();
    void ResetElapsedTime(int32_t Handle);

    // The operations below fail with EInvalidTriggerHandle for a handle that names no trigger.
    int32_t GetElapsedTriggerTime(int32_t Handle);
    int32_t GetElapsedTriggerTimeSec(int32_t Handle);
    bool GetTriggerEnabled(int32_t Handle) const;
    void SetTriggerEnabled(int32_t Handle, bool Value);
    uint32_t GetTriggerInterval(int32_t Handle) const;
    void SetTriggerInterval(int32_t Handle, uint32_t Value);
    TTriggerEvent GetOnTrigger(int32_t Handle) const;
    void SetOnTrigger(int32_t Handle, TTriggerEvent Value);

    int Count() const { return static_cast<int>(tpList.size()); }
    std::wstring About() const { return L"v4.08"; }

    TTriggerEvent OnAllTriggers() const { return FOnAllTriggers; }
    void SetOnAllTriggers(TTriggerEvent value) { FOnAllTriggers = value; }

    // The window timer's period in milliseconds; 0 while no timer runs.
    uint32_t TimerInterval() const { return tpInterval; }
    // The hidden window that receives the timer messages.
    HWND WindowHandle() const { return tpHandle.Get(); }

protected:
    // The millisecond tick count; tests replace it to step time by hand.
    virtual uint32_t Now() const;

    void CalcNewInterval();
    void UpdateTimer();
    // Fires every due trigger; runs on each timer message of the hidden window.
    void DoTriggers();

private:
    static LRESULT CALLBACK TimerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    int32_t AddTrigger(TTriggerEvent OnTrigger, uint32_t Interval, bool Recurring);
    TTriggerRecord* FindTrigger(int32_t Handle) const;
    TTriggerRecord& ValidTrigger(int32_t Handle) const;
    void RecountEnabled();
    void SortByInterval();

    TTriggerEvent FOnAllTriggers;
    std::vector<std::unique_ptr<TTriggerRecord>> tpList;
    forms::WindowHandle tpHandle;
    uint32_t tpInterval = 0;
    int32_t tpEnabledCount = 0;
};

}  // namespace controls
