#pragma once
// Where each control of a form stands, as its window shows it, to compare a form at one scale with
// the same form at another.

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "forms/Controls.h"

namespace control_bounds {

// Every named windowed control under root (root excluded), with its window's rectangle in its
// parent's client coordinates.
inline std::map<std::wstring, RECT> Of(forms::TWinControl* root) {
    std::map<std::wstring, RECT> bounds;
    for (int i = 0; i < root->ControlCount(); ++i) {
        auto* control = dynamic_cast<forms::TWinControl*>(root->Controls(i));
        if (!control || control->Name().empty() || !control->HandleAllocated()) continue;
        RECT rect;
        GetWindowRect(control->Handle(), &rect);
        MapWindowPoints(nullptr, root->Handle(), reinterpret_cast<POINT*>(&rect), 2);
        bounds[control->Name()] = rect;
        for (const auto& [name, inner] : Of(control)) bounds[name] = inner;
    }
    return bounds;
}

// What a control's own text or the system decides rather than the layout.
struct Free {
    bool Width = false, Height = false, Left = false, Top = false;
};

// The controls whose left, top, width or height at ppi is not the one at 96 times ppi / 96 within
// a pixel, each with both rectangles; freeOf tells what of a control is not the layout's to decide.
inline std::vector<std::wstring> Unscaled(const std::map<std::wstring, RECT>& at96,
                                          const std::map<std::wstring, RECT>& now, int ppi,
                                          const std::function<Free(const std::wstring&)>& freeOf) {
    std::vector<std::wstring> wrong;
    auto within = [&](LONG value96, LONG value) { return std::abs(MulDiv(value96, ppi, 96) - value) <= 1; };
    for (const auto& [name, r96] : at96) {
        auto found = now.find(name);
        if (found == now.end()) {
            wrong.push_back(name + L": gone");
            continue;
        }
        const RECT& r = found->second;
        const Free free = freeOf(name);
        const bool fits = (free.Left || within(r96.left, r.left)) && (free.Top || within(r96.top, r.top)) &&
                          (free.Width || within(r96.right - r96.left, r.right - r.left)) &&
                          (free.Height || within(r96.bottom - r96.top, r.bottom - r.top));
        if (!fits)
            wrong.push_back(name + L": " + std::to_wstring(r96.left) + L"," + std::to_wstring(r96.top) + L" " +
                            std::to_wstring(r96.right - r96.left) + L"x" + std::to_wstring(r96.bottom - r96.top) +
                            L" at 96, " + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L" " +
                            std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L" now");
    }
    return wrong;
}

}  // namespace control_bounds
