#pragma once
// Persistent objects, string lists and components with owners, names and
// destruction notices.

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/Events.h"
#include "runtime/SysUtils.h"

namespace forms {

struct TClassInfo;

// An object whose published properties can be read and written by name.
class TPersistent : public TObject {
public:
    // The class's published-property table; nullptr when it publishes nothing.
    virtual const TClassInfo* ClassInfo() const;
    virtual std::wstring ClassName() const;
    virtual void Assign(const TPersistent& source);
};

class TStrings;
using TStringListSortCompare = int (*)(TStrings& list, int index1, int index2);

// An ordered list of texts, each with an attached object or small integer.
class TStrings : public TPersistent {
public:
    virtual int Count() const = 0;
    virtual std::wstring Get(int index) const = 0;
    virtual void Put(int index, const std::wstring& text);
    virtual TObject* Objects(int index) const;
    virtual void PutObject(int index, TObject* object);
    virtual void InsertObject(int index, const std::wstring& text, TObject* object) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual void Exchange(int index1, int index2);
    // First entry equal to text ignoring case (locale-aware), -1 when none.
    virtual int IndexOf(const std::wstring& text) const;
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}

    int Add(const std::wstring& text) { return AddObject(text, nullptr); }
    virtual int AddObject(const std::wstring& text, TObject* object);
    void Insert(int index, const std::wstring& text) { InsertObject(index, text, nullptr); }
    int IndexOfObject(const TObject* object) const;
    void AddStrings(const TStrings& strings);
    void Assign(const TPersistent& source) override;

    // A small integer stored in place of an attached object.
    intptr_t GetTag(int index) const { return reinterpret_cast<intptr_t>(Objects(index)); }
    void PutTag(int index, intptr_t tag) { PutObject(index, reinterpret_cast<TObject*>(tag)); }

    std::wstring operator[](int index) const { return Get(index); }
    std::vector<std::wstring> ToVector() const;

protected:
    [[noreturn]] void IndexError(int index) const;
};

class TStringList : public TStrings {
public:
    TStringList() = default;
    explicit TStringList(std::initializer_list<std::wstring> texts);

    int Count() const override { return static_cast<int>(FItems.size()); }
    std::wstring Get(int index) const override;
    void Put(int index, const std::wstring& text) override;
    TObject* Objects(int index) const override;
    void PutObject(int index, TObject* object) override;
    void InsertObject(int index, const std::wstring& text, TObject* object) override;
    void Delete(int index) override;
    void Clear() override;
    void Exchange(int index1, int index2) override;
    void BeginUpdate() override { ++FUpdateCount; }
    void EndUpdate() override;

    // Sorts with a caller's comparator; the entries keep their attached objects.
    void CustomSort(TStringListSortCompare compare);

    TNotifyEvent OnChange;

private:
    struct Item {
        std::wstring Text;
        TObject* Object = nullptr;
    };
    void CheckIndex(int index) const;
    void Changed();

    std::vector<Item> FItems;
    int FUpdateCount = 0;
};

// The string list's sort over the index range left..right, with the comparison
// (negative, 0, positive) and the exchange of two entries given. The sort is not
// stable: entries that compare equal end up where these exact steps leave them,
// and callers (the release run's day counters) rely on that order.
template <typename Compare, typename Exchange>
void QuickSortRange(int left, int right, Compare&& compare, Exchange&& exchange) {
    while (left < right) {
        if (right - left == 1) {
            if (compare(left, right) > 0) exchange(left, right);
            break;
        }
        int i = left, j = right, pivot = (left + right) / 2;
        do {
            while (i != pivot && compare(i, pivot) < 0) ++i;
            while (j != pivot && compare(j, pivot) > 0) --j;
            if (i <= j) {
                if (i != j) exchange(i, j);
                // The pivot is tracked by its index, so it follows its entry.
                if (pivot == i)
                    pivot = j;
                else if (pivot == j)
                    pivot = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - left > right - i) {
            if (i < right) QuickSortRange(i, right, compare, exchange);
            right = j;
        } else {
            if (left < j) QuickSortRange(left, j, compare, exchange);
            left = i;
        }
    }
}

enum class TOperation { opInsert, opRemove };

enum TComponentStateFlag : uint32_t {
    csLoading = 1u << 0,
    csReading = 1u << 1,
    csDestroying = 1u << 2,
    csDesigning = 1u << 3,
};

// An object with an owner that frees it, a name unique among its owner's
// components and notices when components it watches go away.
class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    const TClassInfo* ClassInfo() const override;

    TComponent* Owner() const { return FOwner; }
    const std::wstring& Name() const { return FName; }
    // Fails when another component of the same owner has the name (ignoring case).
    virtual void SetName(const std::wstring& name);
    int Tag() const { return FTag; }
    void SetTag(int tag) { FTag = tag; }

    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(index); }
    // Owned component with the name, ignoring case; nullptr when none.
    TComponent* FindComponent(const std::wstring& name) const;

    uint32_t ComponentState() const { return FComponentState; }
    bool IsLoading() const { return (FComponentState & csLoading) != 0; }
    bool IsDestroying() const { return (FComponentState & csDestroying) != 0; }

    // Registers this component for the destruction notice of another one.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // Runs while the whole object still exists, just before it is deleted by
    // its owner or by Free: the place for work that needs a derived class's
    // members (a form's destroy event).
    virtual void BeforeDestruction() {}

    // Marks the component as being read from a layout; EndLoading calls Loaded.
    void BeginLoading() { FComponentState |= csLoading | csReading; }
    void EndLoading();

protected:
    // Called once the layout has been read.
    virtual void Loaded();
    virtual void Notification(TComponent* component, TOperation operation);
    // Marks this component and everything it owns as being destroyed.
    void Destroying();
    // Frees every owned component, the newest first.
    void DestroyComponents();

private:
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    void NotifyAll(TComponent* component, TOperation operation);

    TComponent* FOwner = nullptr;
    std::wstring FName;
    int FTag = 0;
    uint32_t FComponentState = 0;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
};

// Deletes a component the way its owner would: BeforeDestruction first.
void Free(TComponent* component);

// Equality of texts ignoring case with the user's locale (CompareStringW, NORM_IGNORECASE).
bool SameText(const std::wstring& a, const std::wstring& b);

}  // namespace forms
