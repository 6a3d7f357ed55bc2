#pragma once
// A form whose layout a test builds between construction and FinishLayout, and
// a control's bounds as one value for readable expectations.

#include <ostream>

#include "forms/Controls.h"
#include "forms/Forms.h"

class TestForm : public forms::TForm {
public:
    explicit TestForm(forms::TComponent* owner) : forms::TForm(owner) {}
    void FinishLayout() { EndLayout(); }
};

// A rectangle as Left, Top, Width, Height.
struct Box {
    int Left, Top, Width, Height;
    bool operator==(const Box&) const = default;
};
inline Box BoxOf(const forms::TControl& control) {
    return Box{control.Left(), control.Top(), control.Width(), control.Height()};
}
inline std::ostream& operator<<(std::ostream& out, const Box& box) {
    return out << "{" << box.Left << ", " << box.Top << ", " << box.Width << ", " << box.Height << "}";
}
