#pragma once
// Type records and a table builder shared by the property tables of the form layer.

#include "runtime/TypInfo.h"

namespace forms::published {

// An object property read through an accessor that returns a reference (Items(), Font()).
template <typename C, auto Getter>
TPropInfo ReferenceProperty(std::wstring_view name, const TTypeInfo& type) {
    TPropInfo info{name, &type};
    info.GetObjectValue = [](TObject* o) -> TObject* { return &(static_cast<C*>(o)->*Getter)(); };
    return info;
}

extern const TTypeInfo ColorType;    // TColor, an integer
extern const TTypeInfo FontType;     // TFont, an object
extern const TTypeInfo StringsType;  // TStrings, an object

}  // namespace forms::published
