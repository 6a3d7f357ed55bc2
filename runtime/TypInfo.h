#pragma once
// Published-property information: for each class a table of its published
// properties with their kinds and accessors. The settings filer reads
// property values only through this table.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace forms {

class TObject;
class TPersistent;

enum TTypeKind {
    tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod, tkWChar,
    tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64, tkDynArray, tkUString,
    tkClassRef, tkPointer, tkProcedure, tkMRecord
};

// A set of kinds, bit n for TTypeKind n.
using TTypeKinds = uint32_t;
constexpr TTypeKinds TypeKinds(std::initializer_list<TTypeKind> kinds) {
    TTypeKinds result = 0;
    for (TTypeKind kind : kinds) result |= 1u << kind;
    return result;
}
constexpr TTypeKinds tkAny = (1u << (tkMRecord + 1)) - 1;
// The filter every property list is built with: all kinds except unknown and method.
constexpr TTypeKinds tkProperties = tkAny & ~TypeKinds({tkUnknown, tkMethod});

enum TFloatType { ftSingle, ftDouble, ftExtended, ftComp, ftCurr };

// A variant property's value: unassigned, or a value of one of the simple kinds.
using TVariant = std::variant<std::monostate, bool, int64_t, double, std::wstring>;

// What a property's type is: its kind and, by kind, the details the filer needs.
struct TTypeInfo {
    TTypeKind Kind = tkUnknown;
    std::wstring_view Name;
    // tkEnumeration: element names, ordinals 0 .. size-1.
    std::span<const std::wstring_view> EnumNames{};
    // tkSet: the element type (an enumeration).
    const TTypeInfo* CompType = nullptr;
    // tkFloat
    TFloatType FloatType = ftDouble;
};

// One published property. Ordinal kinds (integer, char, enumeration, set)
// go through the Ordinal accessors, texts through the String ones, and so on.
struct TPropInfo {
    std::wstring_view Name;
    const TTypeInfo* PropType = nullptr;
    int64_t (*GetOrdinal)(TObject* instance) = nullptr;
    void (*SetOrdinal)(TObject* instance, int64_t value) = nullptr;
    std::wstring (*GetString)(TObject* instance) = nullptr;
    void (*SetString)(TObject* instance, const std::wstring& value) = nullptr;
    double (*GetFloat)(TObject* instance) = nullptr;
    void (*SetFloat)(TObject* instance, double value) = nullptr;
    TObject* (*GetObjectValue)(TObject* instance) = nullptr;
    TVariant (*GetVariant)(TObject* instance) = nullptr;
    void (*SetVariant)(TObject* instance, const TVariant& value) = nullptr;

    TTypeKind Kind() const { return PropType ? PropType->Kind : tkUnknown; }
};

struct TClassInfo {
    std::wstring_view ClassName;
    const TClassInfo* Parent = nullptr;
    std::span<const TPropInfo> Properties{};
};

// Published properties of an object's class and its ancestors, of the kinds
// in filter, sorted by name (ignoring case); a class deriving from another
// may redeclare a property, and only the most derived one is listed.
std::vector<const TPropInfo*> GetPropList(const TPersistent* instance, TTypeKinds filter);
const TPropInfo* GetPropInfo(const TPersistent* instance, std::wstring_view name);

// Enumeration element name by ordinal; empty when out of range.
std::wstring GetEnumName(const TTypeInfo& type, int ordinal);
// Ordinal of the element named name (ignoring case), -1 when none.
int GetEnumValue(const TTypeInfo& type, std::wstring_view name);

// Shared type records of the simple kinds.
extern const TTypeInfo TypeInteger;
extern const TTypeInfo TypeBoolean;
extern const TTypeInfo TypeChar;  // a one-byte character, its code as the ordinal
extern const TTypeInfo TypeWChar;
extern const TTypeInfo TypeUString;
extern const TTypeInfo TypeDouble;
extern const TTypeInfo TypeInt64;
extern const TTypeInfo TypeVariant;

// Builders for property-table entries over a class's getters and setters.
template <typename C, auto Getter, auto Setter>
TPropInfo OrdinalProperty(std::wstring_view name, const TTypeInfo& type) {
    TPropInfo info{name, &type};
    info.GetOrdinal = [](TObject* o) -> int64_t { return static_cast<int64_t>((static_cast<C*>(o)->*Getter)()); };
    if constexpr (Setter != nullptr)
        info.SetOrdinal = [](TObject* o, int64_t v) {
            using Arg = decltype((static_cast<C*>(o)->*Getter)());
            (static_cast<C*>(o)->*Setter)(static_cast<std::remove_cvref_t<Arg>>(v));
        };
    return info;
}

template <typename C, auto Getter, auto Setter>
TPropInfo StringProperty(std::wstring_view name) {
    TPropInfo info{name, &TypeUString};
    info.GetString = [](TObject* o) -> std::wstring { return (static_cast<C*>(o)->*Getter)(); };
    if constexpr (Setter != nullptr)
        info.SetString = [](TObject* o, const std::wstring& v) { (static_cast<C*>(o)->*Setter)(v); };
    return info;
}

template <typename C, auto Getter, auto Setter>
TPropInfo FloatProperty(std::wstring_view name, const TTypeInfo& type) {
    TPropInfo info{name, &type};
    info.GetFloat = [](TObject* o) -> double { return (static_cast<C*>(o)->*Getter)(); };
    if constexpr (Setter != nullptr)
        info.SetFloat = [](TObject* o, double v) { (static_cast<C*>(o)->*Setter)(v); };
    return info;
}

template <typename C, auto Getter, auto Setter>
TPropInfo VariantProperty(std::wstring_view name) {
    TPropInfo info{name, &TypeVariant};
    info.GetVariant = [](TObject* o) -> TVariant { return (static_cast<C*>(o)->*Getter)(); };
    if constexpr (Setter != nullptr)
        info.SetVariant = [](TObject* o, const TVariant& v) { (static_cast<C*>(o)->*Setter)(v); };
    return info;
}

// An object-valued property (a string list, a font, a sub-object); read-only access to the object.
template <typename C, auto Getter>
TPropInfo ObjectProperty(std::wstring_view name, const TTypeInfo& type) {
    TPropInfo info{name, &type};
    info.GetObjectValue = [](TObject* o) -> TObject* { return (static_cast<C*>(o)->*Getter)(); };
    return info;
}

}  // namespace forms
