#pragma once
// Whether each label, button and caption shows its whole text: the text's extent in the control's
// own font (whatever the system made of it) within the control's bounds.

#include <windows.h>

#include <string>
#include <vector>

#include "forms/Buttons.h"
#include "forms/StdCtrls.h"

namespace text_fit {

// The controls under root (root included) whose text does not show whole, and labels that size
// themselves but are not as large as their text, each as "name: needs WxH, has WxH".
inline std::vector<std::wstring> CutTexts(forms::TControl* root) {
    std::vector<std::wstring> cut;
    auto measure = [](const forms::TControl* control, const std::wstring& text, UINT flags, int width) {
        RECT rect{0, 0, width, 0};
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, control->Font().Handle());
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_CALCRECT | DT_EXPANDTABS | flags);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        return SIZE{rect.right, rect.bottom};
    };
    auto report = [&](const forms::TControl* control, SIZE needs, int width, int height) {
        cut.push_back(control->Name() + L": needs " + std::to_wstring(needs.cx) + L"x" + std::to_wstring(needs.cy) +
                      L", has " + std::to_wstring(width) + L"x" + std::to_wstring(height));
    };
    const std::wstring text = root->Caption();
    if (auto* label = dynamic_cast<forms::TLabel*>(root); label && !text.empty()) {
        const SIZE needs = measure(label, text, label->WordWrap() ? DT_WORDBREAK : 0, label->Width());
        const bool fits = needs.cx <= label->Width() && needs.cy <= label->Height();
        // A label that sizes itself is as large as its text (a wrapping one keeps its width).
        const bool sized = !label->AutoSize() || (needs.cy == label->Height() &&
                                                  (label->WordWrap() || needs.cx == label->Width()));
        if (!fits || !sized) report(label, needs, label->Width(), label->Height());
    } else if ((dynamic_cast<forms::TButton*>(root) || dynamic_cast<forms::TSpeedButton*>(root)) && !text.empty()) {
        // Inside the button's edge, two pixels on every side.
        const SIZE needs = measure(root, text, DT_SINGLELINE, 0);
        if (needs.cx + 4 > root->Width() || needs.cy + 4 > root->Height())
            report(root, needs, root->Width(), root->Height());
    }
    if (auto* container = dynamic_cast<forms::TWinControl*>(root))
        for (int i = 0; i < container->ControlCount(); ++i)
            for (std::wstring& each : CutTexts(container->Controls(i))) cut.push_back(std::move(each));
    return cut;
}

}  // namespace text_fit
