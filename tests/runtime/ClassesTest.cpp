#include <gtest/gtest.h>

#include "runtime/Classes.h"

using namespace forms;

namespace {

int CompareByNumber(TStrings& list, int a, int b) {
    int x = static_cast<int>(list.GetTag(a)), y = static_cast<int>(list.GetTag(b));
    return x < y ? -1 : x > y ? 1 : 0;
}

TEST(StringListTest, CustomSortOrdersByComparatorAndKeepsAttachedObjects) {
    TStringList list;
    const int keys[] = {5, 3, 9, 1, 7, 3, 2};
    for (int key : keys) list.AddObject(std::to_wstring(key), reinterpret_cast<TObject*>(intptr_t(key)));
    list.CustomSort(CompareByNumber);
    EXPECT_EQ(list.ToVector(), (std::vector<std::wstring>{L"1", L"2", L"3", L"3", L"5", L"7", L"9"}));
    for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(std::to_wstring(list.GetTag(i)), list[i]);
}

// Equal keys end in the order that the sort's exchanges leave them, not
// stably; the release run's day counters depend on it, so a "harmless"
// rewrite of the sort must not shift it.
TEST(StringListTest, CustomSortOfEqualKeysFollowsTheFixedExchangeOrder) {
    struct Case {
        std::vector<int> keys;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {{0, 0}, {L"a", L"b"}},
        {{0, 0, 0}, {L"c", L"b", L"a"}},
        {{0, 0, 0, 0}, {L"d", L"c", L"b", L"a"}},
        {{1, 0, 0}, {L"c", L"b", L"a"}},
    };
    for (const Case& c : cases) {
        TStringList list;
        for (size_t i = 0; i < c.keys.size(); ++i)
            list.AddObject(std::wstring(1, wchar_t(L'a' + i)), reinterpret_cast<TObject*>(intptr_t(c.keys[i])));
        list.CustomSort(CompareByNumber);
        EXPECT_EQ(list.ToVector(), c.expected);
    }
}

TEST(ComponentTest, OwnerFreesComponentsNewestFirstAndNamesAreUnique) {
    std::vector<std::wstring> freed;
    struct Probe : TComponent {
        std::vector<std::wstring>* log;
        Probe(TComponent* owner, std::vector<std::wstring>* l, const wchar_t* name) : TComponent(owner), log(l) {
            SetName(name);
        }
        ~Probe() override { log->push_back(Name()); }
    };
    {
        TComponent owner(nullptr);
        new Probe(&owner, &freed, L"First");
        new Probe(&owner, &freed, L"Second");
        EXPECT_EQ(owner.FindComponent(L"second"), owner.Components(1));
        EXPECT_THROW(new Probe(&owner, &freed, L"FIRST"), EComponentError);
        EXPECT_EQ(owner.ComponentCount(), 2);  // the half-built one left its owner again
    }
    EXPECT_EQ(freed, (std::vector<std::wstring>{L"Second", L"First"}));
}

TEST(ComponentTest, WatcherIsToldWhenAWatchedComponentIsDestroyed) {
    struct Watcher : TComponent {
        TComponent* removed = nullptr;
        using TComponent::TComponent;
        void Notification(TComponent* c, TOperation op) override {
            TComponent::Notification(c, op);
            if (op == TOperation::opRemove) removed = c;
        }
    };
    Watcher watcher(nullptr);
    auto* watched = new TComponent(nullptr);
    watcher.FreeNotification(watched);
    delete watched;
    EXPECT_EQ(watcher.removed, watched);
}

TEST(SysUtilsTest, AssertionMessageNamesTextSourceAndLine) {
    try {
        Assert(false, L"Directory not exists", L"VexaDirectoryReader", 196);
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), L"Directory not exists (VexaDirectoryReader, line 196)");
    }
}

TEST(SysUtilsTest, DatesEncodeDecodeAndRejectInvalidValues) {
    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(2023, 1, 11, 12, 0, 0, 0), 44937.5);
    EXPECT_EQ(FormatDateIso(EncodeDateTime(2023, 1, 11, 23, 59, 58, 0)), L"2023-01-11");
    EXPECT_EQ(FormatDateIso(EncodeDateTime(2000, 2, 29, 0, 0, 0, 0)), L"2000-02-29");
    EXPECT_EQ(FormatDateIso(EncodeDateTime(2107, 12, 31, 0, 0, 0, 0)), L"2107-12-31");
    EXPECT_THROW(EncodeDateTime(2100, 2, 29, 0, 0, 0, 0), EConvertError);
    EXPECT_THROW(EncodeDateTime(2107, 15, 31, 31, 63, 62, 0), EConvertError);
}

TEST(SysUtilsTest, ExtensionIsTakenAfterTheLastSeparator) {
    EXPECT_EQ(ExtractFileExt(L"C:\\a\\IMG_0001.JPG"), L".JPG");
    EXPECT_EQ(ExtractFileExt(L"C:\\a.b\\noext"), L"");
    EXPECT_EQ(ExtractFileExt(L"C:\\archive.tar.GZ"), L".GZ");
    EXPECT_EQ(ExtractFileExt(L"C:x.y:z"), L"");
}

}  // namespace
