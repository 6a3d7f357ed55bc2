#include "runtime/TypInfo.h"

#include <windows.h>

#include <algorithm>

#include "runtime/Classes.h"

namespace forms {

namespace {
const std::wstring_view kBooleanNames[] = {L"False", L"True"};

int CompareIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) -
           CSTR_EQUAL;
}
}  // namespace

const TTypeInfo TypeInteger{tkInteger, L"Integer"};
const TTypeInfo TypeBoolean{tkEnumeration, L"Boolean", kBooleanNames};
const TTypeInfo TypeChar{tkChar, L"AnsiChar"};
const TTypeInfo TypeWChar{tkWChar, L"WideChar"};
const TTypeInfo TypeUString{tkUString, L"string"};
const TTypeInfo TypeDouble{tkFloat, L"Double", {}, nullptr, ftDouble};
const TTypeInfo TypeInt64{tkInt64, L"Int64"};
const TTypeInfo TypeVariant{tkVariant, L"Variant"};

std::vector<const TPropInfo*> GetPropList(const TPersistent* instance, TTypeKinds filter) {
    std::vector<const TPropInfo*> result;
    if (!instance) return result;
    for (const TClassInfo* info = instance->ClassInfo(); info; info = info->Parent) {
        for (const TPropInfo& prop : info->Properties) {
            if (!(filter & (1u << prop.Kind()))) continue;
            bool redeclared = std::any_of(result.begin(), result.end(), [&](const TPropInfo* seen) {
                return CompareIgnoringCase(seen->Name, prop.Name) == 0;
            });
            if (!redeclared) result.push_back(&prop);
        }
    }
    std::stable_sort(result.begin(), result.end(), [](const TPropInfo* a, const TPropInfo* b) {
        return CompareIgnoringCase(a->Name, b->Name) < 0;
    });
    return result;
}

const TPropInfo* GetPropInfo(const TPersistent* instance, std::wstring_view name) {
    if (!instance) return nullptr;
    for (const TClassInfo* info = instance->ClassInfo(); info; info = info->Parent)
        for (const TPropInfo& prop : info->Properties)
            if (CompareIgnoringCase(prop.Name, name) == 0) return &prop;
    return nullptr;
}

std::wstring GetEnumName(const TTypeInfo& type, int ordinal) {
    if (ordinal < 0 || ordinal >= static_cast<int>(type.EnumNames.size())) return {};
    return std::wstring(type.EnumNames[ordinal]);
}

int GetEnumValue(const TTypeInfo& type, std::wstring_view name) {
    for (size_t i = 0; i < type.EnumNames.size(); ++i)
        if (CompareIgnoringCase(type.EnumNames[i], name) == 0) return static_cast<int>(i);
    return -1;
}

// ---- TComponent's published properties ----

namespace {
const TTypeInfo kComponentType{tkClass, L"TComponent"};
const TPropInfo kComponentProperties[] = {
    StringProperty<TComponent, &TComponent::Name, &TComponent::SetName>(L"Name"),
    OrdinalProperty<TComponent, &TComponent::Tag, &TComponent::SetTag>(L"Tag", TypeInteger),
};
const TClassInfo kComponentClass{L"TComponent", nullptr, kComponentProperties};
}  // namespace

const TClassInfo* TComponent::ClassInfo() const { return &kComponentClass; }

}  // namespace forms
