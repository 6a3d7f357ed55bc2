#pragma once
// A form whose layout a test builds between construction and FinishLayout.

#include <windows.h>

#include <string>
#include <vector>

#include "DialogWatcher.h"
#include "forms/Forms.h"

class TestForm : public forms::TForm {
public:
    explicit TestForm(forms::TComponent* owner) : forms::TForm(owner) {}
    void FinishLayout() { EndLayout(); }
};

// Collects texts that handlers report, in order.
struct EventLog {
    std::vector<std::wstring> entries;
    void Add(const std::wstring& entry) { entries.push_back(entry); }
    void Notify(forms::TObject*) { entries.push_back(L"notify"); }
};

// A rectangle as Left, Top, Width, Height for readable expectations.
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

// Where a child window sits inside its parent's window, from the screen positions.
inline POINT OffsetInParentWindow(HWND child) {
    RECT childRect, parentRect;
    GetWindowRect(child, &childRect);
    GetWindowRect(GetParent(child), &parentRect);
    return POINT{childRect.left - parentRect.left, childRect.top - parentRect.top};
}
