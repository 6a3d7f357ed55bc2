#pragma once
// Whether each label, button and caption shows its whole text: the text's extent in the font its
// window draws with, within the window's bounds.

#include <windows.h>

#include <string>
#include <vector>

#include "forms/Buttons.h"
#include "forms/StdCtrls.h"

namespace text_fit {

// The font a control's text is drawn with: the one its window was handed where the system draws
// it (a window handed none draws with the system font), the control's own where it draws itself.
inline HFONT DrawnFont(forms::TWinControl* control) {
    auto* label = dynamic_cast<forms::TLabel*>(control);
    if (dynamic_cast<forms::TSpeedButton*>(control) || (label && label->Layout() != forms::tlTop))
        return control->Font().Handle();
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control->Handle(), WM_GETFONT, 0, 0));
    return font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

inline int FontHeight(HFONT font) {
    LOGFONTW described{};
    GetObjectW(font, sizeof(described), &described);
    return described.lfHeight;
}

// The controls under root (root included) whose text does not show whole, labels that size
// themselves but are not as large as their text, each as "name: needs WxH, has WxH", and controls
// whose window draws with another font than theirs.
inline std::vector<std::wstring> CutTexts(forms::TControl* root) {
    std::vector<std::wstring> cut;
    auto measure = [](HFONT font, const std::wstring& text, UINT flags, int width) {
        RECT rect{0, 0, width, 0};
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font);
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
    auto* window = dynamic_cast<forms::TWinControl*>(root);
    const bool showsText = !text.empty() && (dynamic_cast<forms::TLabel*>(root) || dynamic_cast<forms::TButton*>(root) ||
                                             dynamic_cast<forms::TSpeedButton*>(root));
    if (window && showsText) {
        const HFONT font = DrawnFont(window);
        if (FontHeight(font) != root->Font().Height())
            cut.push_back(root->Name() + L": draws with a font " + std::to_wstring(FontHeight(font)) + L" high, its own is " +
                          std::to_wstring(root->Font().Height()));
        RECT bounds;
        GetWindowRect(window->Handle(), &bounds);
        const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
        if (auto* label = dynamic_cast<forms::TLabel*>(root)) {
            const SIZE needs = measure(font, text, label->WordWrap() ? DT_WORDBREAK : 0, width);
            const bool fits = needs.cx <= width && needs.cy <= height;
            // A label that sizes itself is as large as its text (a wrapping one keeps its width).
            const bool sized = !label->AutoSize() || (needs.cy == height && (label->WordWrap() || needs.cx == width));
            if (!fits || !sized) report(label, needs, width, height);
        } else {
            // Inside the button's edge, two pixels on every side.
            const SIZE needs = measure(font, text, DT_SINGLELINE, 0);
            if (needs.cx + 4 > width || needs.cy + 4 > height) report(root, needs, width, height);
        }
    }
    if (window)
        for (int i = 0; i < window->ControlCount(); ++i)
            for (std::wstring& each : CutTexts(window->Controls(i))) cut.push_back(std::move(each));
    return cut;
}

}  // namespace text_fit
