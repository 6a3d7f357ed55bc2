#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DialogWatcher.h"
#include "controls/ControlBase.h"
#include "controls/TimerPool.h"
#include "forms/Forms.h"
#include "runtime/TypInfo.h"

using namespace controls;
using forms::Bind;
using forms::TObject;

namespace {

// A pool whose clock the test moves by hand.
class SteppedPool : public TOvcTimerPool {
public:
    SteppedPool() : TOvcTimerPool(nullptr) {}
    using TOvcTimerPool::CalcNewInterval;
    using TOvcTimerPool::DoTriggers;

    uint32_t Clock = 1000;

protected:
    uint32_t Now() const override { return Clock; }
};

struct Firing {
    TObject* Sender;
    int32_t Handle;
    uint32_t Interval;
    int32_t ElapsedTime;
    int CountWhenFired;
};

// Records every firing; optionally runs a step of the test inside the handler.
struct Recorder {
    TOvcTimerPool* Pool = nullptr;
    std::vector<Firing> Firings;
    std::function<void()> During;

    void Fire(TObject* Sender, int32_t Handle, uint32_t Interval, int32_t ElapsedTime) {
        Firings.push_back({Sender, Handle, Interval, ElapsedTime, Pool ? Pool->Count() : -1});
        if (During) During();
    }
    void Other(TObject*, int32_t, uint32_t, int32_t) {}
    TTriggerEvent Event() { return Bind<&Recorder::Fire>(this); }
};

class TimerPoolTest : public testing::Test {
protected:
    TimerPoolTest() { FRecorder.Pool = &FPool; }

    SteppedPool FPool;
    Recorder FRecorder;
};

TEST_F(TimerPoolTest, TimerPeriodDividesEveryIntervalAndKeepsTheFloor) {
    const struct {
        std::vector<uint32_t> intervals;
        uint32_t later;  // milliseconds between the additions and the recalculation
        uint32_t expected;
    } cases[] = {
        {{500}, 0, 500},
        {{500, 300}, 0, 100},
        {{10}, 0, 55},
        // 500 - 120 = 380, then 500 mod 380 lowers it to 260, 500 mod 260 to 20, and the floor gives 55.
        {{500}, 120, 55},
        {{1000}, 500, 500},
    };
    for (const auto& c : cases) {
        SteppedPool pool;
        for (uint32_t interval : c.intervals) pool.Add({}, interval);
        pool.Clock += c.later;
        pool.CalcNewInterval();
        EXPECT_EQ(pool.TimerInterval(), c.expected) << c.intervals.size() << " triggers, " << c.later << " ms later";
    }
}

TEST_F(TimerPoolTest, ShortIntervalIsStoredAsFiftyFiveAndFiresOnTheFirstTick) {
    const int32_t handle = FPool.AddOneTime(FRecorder.Event(), 10);
    EXPECT_EQ(FPool.GetTriggerInterval(handle), 55u);
    EXPECT_EQ(FPool.TimerInterval(), 55u);
    FPool.Clock += 55;
    FPool.DoTriggers();
    ASSERT_EQ(FRecorder.Firings.size(), 1u);
    EXPECT_EQ(FRecorder.Firings[0].Interval, 55u);
    EXPECT_EQ(FRecorder.Firings[0].ElapsedTime, 55);
}

TEST_F(TimerPoolTest, TriggerIsDueWithinTwentySevenMillisecondsOfItsInterval) {
    FPool.Add(FRecorder.Event(), 500);
    FPool.Clock += 472;
    FPool.DoTriggers();
    EXPECT_TRUE(FRecorder.Firings.empty());
    FPool.Clock += 1;
    FPool.DoTriggers();
    ASSERT_EQ(FRecorder.Firings.size(), 1u);
    EXPECT_EQ(FRecorder.Firings[0].ElapsedTime, 473);
    EXPECT_EQ(FRecorder.Firings[0].Sender, &FPool);
    // Recurring: counted again from this firing.
    FPool.Clock += 472;
    FPool.DoTriggers();
    EXPECT_EQ(FRecorder.Firings.size(), 1u);
    FPool.Clock += 28;
    FPool.DoTriggers();
    ASSERT_EQ(FRecorder.Firings.size(), 2u);
    EXPECT_EQ(FRecorder.Firings[1].ElapsedTime, 473 + 500);
}

TEST_F(TimerPoolTest, OneTimeTriggerIsGoneBeforeItsHandlerRuns) {
    const int32_t first = FPool.AddOneTime(FRecorder.Event(), 100);
    const int32_t second = FPool.AddOneTime(FRecorder.Event(), 100);
    FPool.Add(Bind<&Recorder::Other>(&FRecorder), 1000);
    ASSERT_EQ(FPool.Count(), 3);

    FPool.Clock += 100;
    FPool.DoTriggers();

    // Both fire in the one pass: the second moved into the first one's place.
    ASSERT_EQ(FRecorder.Firings.size(), 2u);
    EXPECT_EQ(FRecorder.Firings[0].Handle, first);
    EXPECT_EQ(FRecorder.Firings[0].CountWhenFired, 2);
    EXPECT_EQ(FRecorder.Firings[1].Handle, second);
    EXPECT_EQ(FRecorder.Firings[1].CountWhenFired, 1);
    EXPECT_EQ(FPool.Count(), 1);
    try {
        FPool.GetTriggerInterval(first);
        ADD_FAILURE() << "a fired one-time trigger still has an interval";
    } catch (const EInvalidTriggerHandle& error) {
        EXPECT_EQ(error.Message(), L"Invalid trigger handle");
    }
    FPool.Clock += 100;
    FPool.DoTriggers();
    EXPECT_EQ(FRecorder.Firings.size(), 2u);
}

TEST_F(TimerPoolTest, HandlesGrowFromTheLargestAndStartAgainWhenEmpty) {
    EXPECT_EQ(FPool.Add({}, 100), 0);
    EXPECT_EQ(FPool.Add({}, 100), 1);
    EXPECT_EQ(FPool.Add({}, 100), 2);
    FPool.Remove(1);
    EXPECT_EQ(FPool.Add({}, 100), 3);
    FPool.RemoveAll();
    EXPECT_EQ(FPool.Count(), 0);
    EXPECT_EQ(FPool.TimerInterval(), 0u);
    EXPECT_EQ(FPool.Add({}, 100), 0);
}

TEST_F(TimerPoolTest, InvalidHandleFailsEverywhereButRemove) {
    const int32_t valid = FPool.Add(FRecorder.Event(), 200);
    const int32_t invalid = valid + 7;
    const std::vector<std::function<void()>> operations = {
        [&] { FPool.ResetElapsedTime(invalid); },
        [&] { FPool.GetElapsedTriggerTime(invalid); },
        [&] { FPool.GetElapsedTriggerTimeSec(invalid); },
        [&] { FPool.GetTriggerEnabled(invalid); },
        [&] { FPool.SetTriggerEnabled(invalid, false); },
        [&] { FPool.GetTriggerInterval(invalid); },
        [&] { FPool.SetTriggerInterval(invalid, 300); },
        [&] { FPool.GetOnTrigger(invalid); },
        [&] { FPool.SetOnTrigger(invalid, {}); },
    };
    for (size_t i = 0; i < operations.size(); ++i) {
        try {
            operations[i]();
            ADD_FAILURE() << "operation " << i << " accepted an invalid handle";
        } catch (const EInvalidTriggerHandle& error) {
            EXPECT_EQ(error.Message(), L"Invalid trigger handle") << i;
        }
    }
    FPool.Remove(invalid);
    EXPECT_EQ(FPool.Count(), 1);
    EXPECT_EQ(FPool.TimerInterval(), 200u);
    EXPECT_EQ(FPool.GetTriggerInterval(valid), 200u);
}

TEST_F(TimerPoolTest, AddOneShotReplacesTheTriggerWithTheSameHandlerCode) {
    Recorder other;
    const int32_t unrelated = FPool.AddOneShot(Bind<&Recorder::Other>(&FRecorder), 300);
    FPool.AddOneShot(FRecorder.Event(), 300);
    const int32_t second = FPool.AddOneShot(other.Event(), 300);

    EXPECT_EQ(FPool.Count(), 2);
    EXPECT_EQ(FPool.GetTriggerInterval(unrelated), 300u);
    EXPECT_EQ(FPool.GetOnTrigger(second).Data(), &other);
    FPool.Clock += 300;
    FPool.DoTriggers();
    EXPECT_TRUE(FRecorder.Firings.empty());
    EXPECT_EQ(other.Firings.size(), 1u);
}

TEST_F(TimerPoolTest, DisabledTriggerStopsTheTimerAndCountsAgainFromItsEnabling) {
    const int32_t handle = FPool.Add(FRecorder.Event(), 100);
    FPool.SetTriggerEnabled(handle, false);
    EXPECT_FALSE(FPool.GetTriggerEnabled(handle));
    EXPECT_EQ(FPool.TimerInterval(), 0u);
    FPool.Clock += 500;
    FPool.DoTriggers();
    EXPECT_TRUE(FRecorder.Firings.empty());

    FPool.SetTriggerEnabled(handle, true);
    EXPECT_EQ(FPool.TimerInterval(), 100u);
    FPool.DoTriggers();
    EXPECT_TRUE(FRecorder.Firings.empty());
    FPool.Clock += 100;
    FPool.DoTriggers();
    EXPECT_EQ(FRecorder.Firings.size(), 1u);

    // A new interval is taken as it is, without the floor.
    FPool.SetTriggerInterval(handle, 10);
    EXPECT_EQ(FPool.GetTriggerInterval(handle), 10u);
    EXPECT_EQ(FPool.TimerInterval(), 55u);
}

TEST_F(TimerPoolTest, TriggerAddedJustBeforeTheTickCountWrapsFiresAfterIt) {
    FPool.Clock = 0xFFFFFFF0u;
    FPool.Add(FRecorder.Event(), 100);
    FPool.Clock = 0x20;  // 47 ms on the wrapped count: not due
    FPool.DoTriggers();
    EXPECT_TRUE(FRecorder.Firings.empty());
    FPool.Clock = 0x60;  // 111 ms
    FPool.DoTriggers();
    ASSERT_EQ(FRecorder.Firings.size(), 1u);
    EXPECT_EQ(FRecorder.Firings[0].ElapsedTime, 111);
    // Counted from the new, small tick count from now on.
    FPool.Clock = 0x60 + 99;
    FPool.DoTriggers();
    EXPECT_EQ(FRecorder.Firings.size(), 2u);
}

TEST_F(TimerPoolTest, ElapsedTimeStopsAtItsLimit) {
    const int32_t handle = FPool.Add(FRecorder.Event(), 100);
    FPool.Clock += 2500;
    EXPECT_EQ(FPool.GetElapsedTriggerTime(handle), 2500);
    EXPECT_EQ(FPool.GetElapsedTriggerTimeSec(handle), 2);

    FPool.Clock += 0x7FFFFF00u;
    FPool.DoTriggers();
    FPool.Clock += 0x7FFFFF00u;
    FPool.DoTriggers();
    ASSERT_EQ(FRecorder.Firings.size(), 2u);
    EXPECT_EQ(FRecorder.Firings[1].ElapsedTime, 2147483647);
    FPool.Clock += 1000;
    EXPECT_EQ(FPool.GetElapsedTriggerTime(handle), 2147483647);

    FPool.ResetElapsedTime(handle);
    FPool.Clock += 300;
    EXPECT_EQ(FPool.GetElapsedTriggerTime(handle), 300);
}

TEST_F(TimerPoolTest, HandlerErrorEndsThePassAndReachesTheErrorBox) {
    std::vector<std::wstring> shown;
    struct Sink {
        std::vector<std::wstring>* shown;
        void Show(const std::wstring& text) { shown->push_back(text); }
    } sink{&shown};
    forms::Application->OnShowException = Bind<&Sink::Show>(&sink);

    Recorder later;
    bool fail = true;
    FRecorder.During = [&] {
        if (fail) throw forms::Exception(L"Search failed");
    };
    FPool.Add(FRecorder.Event(), 100);
    FPool.Add(later.Event(), 200);
    FPool.Clock += 200;
    SendMessageW(FPool.WindowHandle(), WM_TIMER, 1, 0);
    EXPECT_EQ(shown, std::vector<std::wstring>{L"Search failed."});
    EXPECT_TRUE(later.Firings.empty());

    fail = false;
    FPool.Clock += 200;
    SendMessageW(FPool.WindowHandle(), WM_TIMER, 1, 0);
    forms::Application->OnShowException = {};
    EXPECT_EQ(FRecorder.Firings.size(), 2u);
    EXPECT_EQ(later.Firings.size(), 1u);
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(TimerPoolTest, PublishesAboutReadOnly) {
    const forms::TPropInfo* about = forms::GetPropInfo(&FPool, L"About");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->Kind(), forms::tkUString);
    EXPECT_EQ(about->GetString(&FPool), L"v4.08");
    EXPECT_EQ(about->SetString, nullptr);
}

// The real window timer, under the message loop.
TEST(TimerPoolWindowTest, WindowTimerFiresWhileTriggersExistAndStopsWhenNoneIsLeft) {
    TOvcTimerPool pool(nullptr);
    Recorder recorder;
    pool.Add(recorder.Event(), 55);
    EXPECT_EQ(pool.TimerInterval(), 55u);
    PumpMessagesFor(250);
    EXPECT_GE(recorder.Firings.size(), 2u);

    pool.RemoveAll();
    const size_t fired = recorder.Firings.size();
    PumpMessagesFor(150);
    EXPECT_EQ(recorder.Firings.size(), fired);
}

TEST(TimerPoolWindowTest, ControllerOwnsThePoolAndFreesItsWindow) {
    auto* controller = new TOvcController(nullptr);
    TOvcTimerPool* pool = controller->TimerPool();
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->Owner(), controller);
    HWND window = pool->WindowHandle();
    EXPECT_TRUE(IsWindow(window));
    pool->Add({}, 100);
    delete controller;
    EXPECT_FALSE(IsWindow(window));
}

TEST(TimerPoolWindowTest, SharedControllerSeesEveryFiring) {
    TOvcController* controller = SharedController();
    ASSERT_EQ(SharedController(), controller);
    TOvcTimerPool* pool = controller->TimerPool();
    ASSERT_NE(pool, nullptr);

    Recorder own;
    Recorder all;
    controller->SetOnTimerTrigger(all.Event());
    const int32_t handle = pool->AddOneTime(own.Event(), 60);
    PumpMessagesFor(250);
    controller->SetOnTimerTrigger({});

    ASSERT_EQ(own.Firings.size(), 1u);
    ASSERT_EQ(all.Firings.size(), 1u);
    EXPECT_EQ(own.Firings[0].Sender, pool);
    EXPECT_EQ(all.Firings[0].Sender, controller);
    EXPECT_EQ(all.Firings[0].Handle, handle);
    EXPECT_EQ(all.Firings[0].Interval, 60u);
    EXPECT_EQ(all.Firings[0].ElapsedTime, own.Firings[0].ElapsedTime);
    EXPECT_EQ(pool->Count(), 0);
}

TEST(LabelInfoTest, RaisesOnChangeForOffsetsAndOnAttachForVisible) {
    struct Listener {
        std::vector<std::wstring> Calls;
        void Change(TObject*) { Calls.push_back(L"change"); }
        void Attach(TObject*, bool value) { Calls.push_back(value ? L"attach true" : L"attach false"); }
    } listener;
    TOvcLabelInfo info;
    info.SetOnChange(Bind<&Listener::Change>(&listener));
    info.SetOnAttach(Bind<&Listener::Attach>(&listener));

    info.SetOffsetX(0);
    info.SetOffsetY(-16);
    info.SetOffsets(4, -16);
    info.SetOffsets(4, -16);
    info.SetVisible(false);
    info.SetVisible(true);
    info.SetVisible(true);
    EXPECT_EQ(listener.Calls, (std::vector<std::wstring>{L"change", L"change", L"attach true"}));
    EXPECT_EQ(info.OffsetX(), 4);

    const forms::TPropInfo* offsetY = forms::GetPropInfo(&info, L"OffsetY");
    ASSERT_NE(offsetY, nullptr);
    EXPECT_EQ(offsetY->GetOrdinal(&info), -16);
    forms::GetPropInfo(&info, L"Visible")->SetOrdinal(&info, 0);
    EXPECT_FALSE(info.Visible());
    EXPECT_EQ(forms::GetPropList(&info, forms::tkProperties).size(), 3u);
}

}  // namespace
