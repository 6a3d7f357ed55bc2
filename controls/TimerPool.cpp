#include "controls/TimerPool.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "forms/Forms.h"
#include "runtime/TypInfo.h"

namespace controls {

namespace {

constexpr UINT_PTR kTimerId = 1;
// No trigger fires more often than the classic 55 ms timer tick.
constexpr int64_t kMinimumInterval = 55;
// A trigger this close to its interval fires now rather than one tick late.
constexpr int64_t kTolerance = 27;
constexpr int64_t kElapsedLimit = std::numeric_limits<int32_t>::max();
constexpr wchar_t kWindowClass[] = L"TOvcTimerPoolWindow";

// Milliseconds from an earlier tick count to now; once the tick count has
// wrapped past the earlier value, one less, as the pool has always counted.
uint32_t TicksSince(uint32_t earlier, uint32_t now) {
    return earlier > now ? now - earlier - 1 : now - earlier;
}

int32_t Saturated(int64_t value) { return static_cast<int32_t>(std::min(value, kElapsedLimit)); }

}  // namespace

EInvalidTriggerHandle::EInvalidTriggerHandle() : forms::Exception(L"Invalid trigger handle") {}

ENoTimersAvailable::ENoTimersAvailable() : forms::Exception(L"No Window's timers are available") {}

TOvcTimerPool::TOvcTimerPool(forms::TComponent* owner) : forms::TComponent(owner) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    static const bool registered = [instance] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &TOvcTimerPool::TimerWndProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassExW(&windowClass) != 0;
    }();
    // A message-only window: it needs no place on the desktop, only a queue for WM_TIMER.
    HWND window = registered ? CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                               instance, this)
                             : nullptr;
    if (!window) throw forms::Exception(L"Error creating window");
    tpHandle.Reset(window);
}

TOvcTimerPool::~TOvcTimerPool() {
    KillTimer(tpHandle.Get(), kTimerId);
    // A message still arriving while the window goes must not reach a pool that is gone.
    SetWindowLongPtrW(tpHandle.Get(), GWLP_USERDATA, 0);
    tpList.clear();
    tpHandle.Reset();
}

LRESULT CALLBACK TOvcTimerPool::TimerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_TIMER) {
        auto* pool = reinterpret_cast<TOvcTimerPool*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (pool) forms::Guarded([&] { pool->DoTriggers(); });
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

uint32_t TOvcTimerPool::Now() const { return GetTickCount(); }

TTriggerRecord* TOvcTimerPool::FindTrigger(int32_t Handle) const {
    for (const auto& record : tpList)
        if (record->Handle == Handle) return record.get();
    return nullptr;
}

TTriggerRecord& TOvcTimerPool::ValidTrigger(int32_t Handle) const {
    TTriggerRecord* record = FindTrigger(Handle);
    if (!record) throw EInvalidTriggerHandle();
    return *record;
}

void TOvcTimerPool::RecountEnabled() {
    tpEnabledCount = static_cast<int32_t>(
        std::count_if(tpList.begin(), tpList.end(), [](const auto& record) { return record->Enabled; }));
}

void TOvcTimerPool::SortByInterval() {
    // Stable, so equal intervals keep their order of addition as adjacent exchanges would.
    std::stable_sort(tpList.begin(), tpList.end(),
                     [](const auto& a, const auto& b) { return a->Interval < b->Interval; });
}

int32_t TOvcTimerPool::Add(TTriggerEvent OnTrigger, uint32_t Interval) { return AddTrigger(OnTrigger, Interval, true); }

int32_t TOvcTimerPool::AddOneTime(TTriggerEvent OnTrigger, uint32_t Interval) {
    return AddTrigger(OnTrigger, Interval, false);
}

// One-time triggers are marked before the timer restarts, so a refused timer
// cannot leave one behind that would fire again and again.
int32_t TOvcTimerPool::AddTrigger(TTriggerEvent OnTrigger, uint32_t Interval, bool Recurring) {
    auto record = std::make_unique<TTriggerRecord>();
    int32_t handle = 0;
    for (const auto& existing : tpList) handle = std::max(handle, existing->Handle + 1);
    const uint32_t now = Now();
    record->Handle = handle;
    record->StartTime = now;
    record->LastTime = now;
    record->ElapsedTime = 0;
    record->Interval = std::max<uint32_t>(Interval, kMinimumInterval);
    record->OnTrigger = OnTrigger;
    record->Enabled = true;
    record->Recurring = Recurring;
    tpList.push_back(std::move(record));
    RecountEnabled();
    CalcNewInterval();
    SortByInterval();
    UpdateTimer();
    return handle;
}

int32_t TOvcTimerPool::AddOneShot(TTriggerEvent OnTrigger, uint32_t Interval) {
    if (OnTrigger) {
        // Only the code is compared: a second shot of the same handler replaces the first,
        // whichever object it was bound to.
        auto same = std::find_if(tpList.begin(), tpList.end(),
                                 [&](const auto& record) { return record->OnTrigger.SameCode(OnTrigger); });
        if (same != tpList.end()) Remove((*same)->Handle);
    }
    return AddOneTime(OnTrigger, Interval);
}

void TOvcTimerPool::Remove(int32_t Handle) {
    auto found = std::find_if(tpList.begin(), tpList.end(),
                              [Handle](const auto& record) { return record->Handle == Handle; });
    if (found == tpList.end()) return;
    tpList.erase(found);
    RecountEnabled();
    CalcNewInterval();
    UpdateTimer();
}

void TOvcTimerPool::RemoveAll() {
    while (!tpList.empty()) tpList.pop_back();
    tpEnabledCount = 0;
    tpInterval = 0;
    UpdateTimer();
}

void TOvcTimerPool::ResetElapsedTime(int32_t Handle) {
    TTriggerRecord& record = ValidTrigger(Handle);
    record.StartTime = Now();
    // A count that had reached its limit starts over too; otherwise a reset would not be one.
    record.ElapsedTime = 0;
}

int32_t TOvcTimerPool::GetElapsedTriggerTime(int32_t Handle) {
    TTriggerRecord& record = ValidTrigger(Handle);
    if (record.ElapsedTime == kElapsedLimit) return record.ElapsedTime;
    const uint32_t now = Now();
    int64_t elapsed = TicksSince(record.StartTime, now);
    // Past a wrap of the tick count a value below the one already counted means the count was lost.
    if (record.StartTime > now && elapsed < record.ElapsedTime) elapsed = kElapsedLimit;
    record.ElapsedTime = Saturated(elapsed);
    return record.ElapsedTime;
}

int32_t TOvcTimerPool::GetElapsedTriggerTimeSec(int32_t Handle) { return GetElapsedTriggerTime(Handle) / 1000; }

bool TOvcTimerPool::GetTriggerEnabled(int32_t Handle) const { return ValidTrigger(Handle).Enabled; }

void TOvcTimerPool::SetTriggerEnabled(int32_t Handle, bool Value) {
    TTriggerRecord& record = ValidTrigger(Handle);
    if (record.Enabled == Value) return;
    record.Enabled = Value;
    // An enabled trigger counts its interval from now, not from before it was disabled.
    if (Value) record.LastTime = Now();
    RecountEnabled();
    CalcNewInterval();
    UpdateTimer();
}

uint32_t TOvcTimerPool::GetTriggerInterval(int32_t Handle) const { return ValidTrigger(Handle).Interval; }

void TOvcTimerPool::SetTriggerInterval(int32_t Handle, uint32_t Value) {
    TTriggerRecord& record = ValidTrigger(Handle);
    if (record.Interval == Value) return;
    record.Interval = Value;
    CalcNewInterval();
    UpdateTimer();
}

TTriggerEvent TOvcTimerPool::GetOnTrigger(int32_t Handle) const { return ValidTrigger(Handle).OnTrigger; }

void TOvcTimerPool::SetOnTrigger(int32_t Handle, TTriggerEvent Value) { ValidTrigger(Handle).OnTrigger = Value; }

void TOvcTimerPool::CalcNewInterval() {
    if (std::none_of(tpList.begin(), tpList.end(), [](const auto& record) { return record->Enabled; })) {
        tpInterval = 0;
        return;
    }
    // The soonest any enabled trigger is due, overdue ones giving 0 or less.
    const uint32_t now = Now();
    int64_t period = std::numeric_limits<int64_t>::max();
    for (const auto& record : tpList) {
        if (!record->Enabled) continue;
        const int64_t interval = record->Interval;
        const int64_t since = record->LastTime > now ? kElapsedLimit : int64_t{now - record->LastTime};
        period = std::min({period, interval, interval - since});
    }
    period = std::max(period, kMinimumInterval);
    // Lower the period until every interval is a whole number of ticks, or the floor is reached.
    bool reduced = true;
    while (reduced && period > kMinimumInterval) {
        reduced = false;
        for (const auto& record : tpList) {
            const int64_t remainder = record->Interval % period;
            if (remainder != 0) {
                period -= remainder;
                reduced = true;
                break;
            }
        }
    }
    tpInterval = static_cast<uint32_t>(std::max(period, kMinimumInterval));
}

void TOvcTimerPool::UpdateTimer() {
    KillTimer(tpHandle.Get(), kTimerId);
    if (tpInterval != 0 && tpEnabledCount > 0) {
        if (SetTimer(tpHandle.Get(), kTimerId, tpInterval, nullptr) == 0) throw ENoTimersAvailable();
    }
}

void TOvcTimerPool::DoTriggers() {
    const uint32_t now = Now();
    // By index: a one-time trigger leaves the list before its handler runs, and
    // handlers may add or remove triggers themselves.
    size_t index = 0;
    while (index < tpList.size()) {
        TTriggerRecord& record = *tpList[index];
        if (!record.Enabled) {
            ++index;
            continue;
        }
        const uint32_t since = TicksSince(record.LastTime, now);
        if (int64_t{since} < int64_t{record.Interval} - kTolerance) {
            ++index;
            continue;
        }
        record.LastTime = now;
        record.ElapsedTime = Saturated(int64_t{record.ElapsedTime} + since);

        const int32_t handle = record.Handle;
        const uint32_t interval = record.Interval;
        const int32_t elapsed = record.ElapsedTime;
        const TTriggerEvent handler = record.OnTrigger;
        if (record.Recurring)
            ++index;
        else
            Remove(handle);  // the next trigger moves into this place

        if (handler) handler(this, handle, interval, elapsed);
        if (FOnAllTriggers) FOnAllTriggers(this, handle, interval, elapsed);
    }
}

namespace {
const forms::TPropInfo kTimerPoolProperties[] = {
    forms::StringProperty<TOvcTimerPool, &TOvcTimerPool::About, nullptr>(L"About"),
};
}  // namespace

const forms::TClassInfo* TOvcTimerPool::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcTimerPool", forms::TComponent::ClassInfo(), kTimerPoolProperties};
    return &info;
}

}  // namespace controls
