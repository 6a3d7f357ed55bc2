#include "forms/ThemeFunctions.h"

#include "forms/SystemLibraries.h"

namespace forms::theme {

namespace {

// The system's function of that name, looked up once.
template <typename Function>
Function Bound(const char* name) {
    return SystemFunction<Function>(L"uxtheme.dll", name);
}

}  // namespace

BOOL IsAppThemed() {
    static const auto call = Bound<decltype(&::IsAppThemed)>("IsAppThemed");
    return call ? call() : FALSE;
}

BOOL IsThemeActive() {
    static const auto call = Bound<decltype(&::IsThemeActive)>("IsThemeActive");
    return call ? call() : FALSE;
}

HTHEME OpenThemeData(HWND window, LPCWSTR classes) {
    static const auto call = Bound<decltype(&::OpenThemeData)>("OpenThemeData");
    return call ? call(window, classes) : nullptr;
}

HRESULT CloseThemeData(HTHEME theme) {
    static const auto call = Bound<decltype(&::CloseThemeData)>("CloseThemeData");
    return call ? call(theme) : E_NOTIMPL;
}

HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect, const RECT* clip) {
    static const auto call = Bound<decltype(&::DrawThemeBackground)>("DrawThemeBackground");
    return call ? call(theme, dc, part, state, rect, clip) : E_NOTIMPL;
}

HRESULT GetThemeTransitionDuration(HTHEME theme, int part, int from, int to, int property, DWORD* duration) {
    static const auto call = Bound<decltype(&::GetThemeTransitionDuration)>("GetThemeTransitionDuration");
    return call ? call(theme, part, from, to, property, duration) : E_NOTIMPL;
}

HRESULT BufferedPaintInit() {
    static const auto call = Bound<decltype(&::BufferedPaintInit)>("BufferedPaintInit");
    return call ? call() : E_NOTIMPL;
}

HRESULT BufferedPaintUnInit() {
    static const auto call = Bound<decltype(&::BufferedPaintUnInit)>("BufferedPaintUnInit");
    return call ? call() : E_NOTIMPL;
}

BOOL BufferedPaintRenderAnimation(HWND window, HDC dc) {
    static const auto call = Bound<decltype(&::BufferedPaintRenderAnimation)>("BufferedPaintRenderAnimation");
    return call ? call(window, dc) : FALSE;
}

HANIMATIONBUFFER BeginBufferedAnimation(HWND window, HDC target, const RECT* rect, BP_BUFFERFORMAT format,
                                        BP_PAINTPARAMS* paint, BP_ANIMATIONPARAMS* animation, HDC* from, HDC* to) {
    static const auto call = Bound<decltype(&::BeginBufferedAnimation)>("BeginBufferedAnimation");
    return call ? call(window, target, rect, format, paint, animation, from, to) : nullptr;
}

HRESULT EndBufferedAnimation(HANIMATIONBUFFER buffer, BOOL updateTarget) {
    static const auto call = Bound<decltype(&::EndBufferedAnimation)>("EndBufferedAnimation");
    return call ? call(buffer, updateTarget) : E_NOTIMPL;
}

}  // namespace forms::theme
