#include "runtime/Classes.h"

#include <windows.h>

#include <algorithm>

#include "runtime/TypInfo.h"

namespace forms {

const TClassInfo* TPersistent::ClassInfo() const { return nullptr; }

std::wstring TPersistent::ClassName() const {
    const TClassInfo* info = ClassInfo();
    return info ? std::wstring(info->ClassName) : std::wstring(L"TPersistent");
}

void TPersistent::Assign(const TPersistent& source) {
    throw EConvertError(Format(L"Cannot assign a %s to a %s", source.ClassName().c_str(), ClassName().c_str()));
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

// ---- TStrings ----

void TStrings::IndexError(int index) const {
    throw EStringListError(Format(L"List index out of bounds (%d)", index));
}

void TStrings::Put(int index, const std::wstring& text) {
    TObject* object = Objects(index);
    Delete(index);
    InsertObject(index, text, object);
}

TObject* TStrings::Objects(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

void TStrings::Exchange(int index1, int index2) {
    std::wstring text1 = Get(index1);
    TObject* object1 = Objects(index1);
    Put(index1, Get(index2));
    PutObject(index1, Objects(index2));
    Put(index2, text1);
    PutObject(index2, object1);
}

int TStrings::IndexOf(const std::wstring& text) const {
    for (int i = 0, n = Count(); i < n; ++i)
        if (SameText(Get(i), text)) return i;
    return -1;
}

int TStrings::IndexOfObject(const TObject* object) const {
    for (int i = 0, n = Count(); i < n; ++i)
        if (Objects(i) == object) return i;
    return -1;
}

int TStrings::AddObject(const std::wstring& text, TObject* object) {
    int index = Count();
    InsertObject(index, text, object);
    return index;
}

void TStrings::AddStrings(const TStrings& strings) {
    BeginUpdate();
    for (int i = 0, n = strings.Count(); i < n; ++i) AddObject(strings.Get(i), strings.Objects(i));
    EndUpdate();
}

void TStrings::Assign(const TPersistent& source) {
    const auto* strings = dynamic_cast<const TStrings*>(&source);
    if (!strings) return TPersistent::Assign(source);
    if (strings == this) return;
    BeginUpdate();
    Clear();
    AddStrings(*strings);
    EndUpdate();
}

std::vector<std::wstring> TStrings::ToVector() const {
    std::vector<std::wstring> result;
    for (int i = 0, n = Count(); i < n; ++i) result.push_back(Get(i));
    return result;
}

// ---- TStringList ----

TStringList::TStringList(std::initializer_list<std::wstring> texts) {
    for (const auto& text : texts) FItems.push_back({text, nullptr});
}

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) IndexError(index);
}

void TStringList::Changed() {
    if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TStringList::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

std::wstring TStringList::Get(int index) const {
    CheckIndex(index);
    return FItems[index].Text;
}

void TStringList::Put(int index, const std::wstring& text) {
    CheckIndex(index);
    FItems[index].Text = text;
    Changed();
}

TObject* TStringList::Objects(int index) const {
    CheckIndex(index);
    return FItems[index].Object;
}

void TStringList::PutObject(int index, TObject* object) {
    CheckIndex(index);
    FItems[index].Object = object;
    Changed();
}

void TStringList::InsertObject(int index, const std::wstring& text, TObject* object) {
    if (index < 0 || index > Count()) IndexError(index);
    FItems.insert(FItems.begin() + index, Item{text, object});
    Changed();
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (FItems.empty()) return;
    FItems.clear();
    Changed();
}

void TStringList::Exchange(int index1, int index2) {
    CheckIndex(index1);
    CheckIndex(index2);
    std::swap(FItems[index1], FItems[index2]);
    Changed();
}

void TStringList::CustomSort(TStringListSortCompare compare) {
    if (Count() < 2) return;
    BeginUpdate();
    try {
        QuickSortRange(
            0, Count() - 1, [&](int index1, int index2) { return compare(*this, index1, index2); },
            [&](int index1, int index2) { Exchange(index1, index2); });
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

// ---- TComponent ----

TComponent::TComponent(TComponent* owner) {
    // Components created while their owner reads its layout are part of that layout.
    if (owner && owner->IsLoading()) FComponentState |= csLoading | csReading;
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    // Tell every watcher, then drop the links both ways.
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        auto& theirs = other->FFreeNotifies;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::Destroying() {
    if (IsDestroying()) return;
    FComponentState |= csDestroying;
    for (TComponent* component : FComponents) component->Destroying();
}

void TComponent::DestroyComponents() {
    // Each child unlinks itself from this owner in its own destructor.
    while (!FComponents.empty()) Free(FComponents.back());
}

void Free(TComponent* component) {
    if (!component) return;
    component->BeforeDestruction();
    delete component;
}

namespace {
bool IsValidIdent(const std::wstring& name) {
    auto isAlpha = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_'; };
    if (name.empty() || !isAlpha(name[0])) return false;
    return std::all_of(name.begin() + 1, name.end(), [&](wchar_t c) { return isAlpha(c) || (c >= L'0' && c <= L'9'); });
}
}  // namespace

void TComponent::SetName(const std::wstring& name) {
    if (name == FName) return;
    if (!name.empty() && !IsValidIdent(name))
        throw EComponentError(Format(L"''%s'' is not a valid component name", name.c_str()));
    if (FOwner && !name.empty()) {
        TComponent* existing = FOwner->FindComponent(name);
        if (existing && existing != this)
            throw EComponentError(Format(L"A component named %s already exists", name.c_str()));
    }
    FName = name;
}

TComponent* TComponent::FindComponent(const std::wstring& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* component : FComponents)
        if (SameText(component->FName, name)) return component;
    return nullptr;
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
        FFreeNotifies.push_back(component);
    auto& theirs = component->FFreeNotifies;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component) return;
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), component), FFreeNotifies.end());
    auto& theirs = component->FFreeNotifies;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

void TComponent::EndLoading() {
    FComponentState &= ~(csLoading | csReading);
    Loaded();
}

void TComponent::Loaded() {}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component) RemoveFreeNotification(component);
    for (TComponent* owned : FComponents) owned->Notification(component, operation);
}

void TComponent::InsertComponent(TComponent* component) {
    component->FOwner = this;
    FComponents.push_back(component);
    Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    Notification(component, TOperation::opRemove);
    FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), component), FComponents.end());
    component->FOwner = nullptr;
}

}  // namespace forms
