#pragma once
// Shared by the forms tests: the test form, a log of events and a window's place in its parent.

#include <windows.h>

#include <string>
#include <vector>

#include "DialogWatcher.h"
#include "TestForm.h"
#include "forms/Forms.h"

// Collects texts that handlers report, in order.
struct EventLog {
    std::vector<std::wstring> entries;
    void Add(const std::wstring& entry) { entries.push_back(entry); }
    void Notify(forms::TObject*) { entries.push_back(L"notify"); }
};

// Where a child window sits inside its parent's window, from the screen positions.
inline POINT OffsetInParentWindow(HWND child) {
    RECT childRect, parentRect;
    GetWindowRect(child, &childRect);
    GetWindowRect(GetParent(child), &parentRect);
    return POINT{childRect.left - parentRect.left, childRect.top - parentRect.top};
}
