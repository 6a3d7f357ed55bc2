#pragma once
// The visual-style functions, bound from the system's theme library when first
// called instead of imported (a theme library planted beside the program would
// otherwise load with it). Without the library every call fails as the system's
// would with themes off: nothing themed is drawn, callers draw their plain face.

#include <windows.h>
#include <uxtheme.h>

namespace forms::theme {

BOOL IsAppThemed();
BOOL IsThemeActive();
HTHEME OpenThemeData(HWND window, LPCWSTR classes);
HRESULT CloseThemeData(HTHEME theme);
HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect, const RECT* clip);
HRESULT GetThemeTransitionDuration(HTHEME theme, int part, int from, int to, int property, DWORD* duration);
HRESULT BufferedPaintInit();
HRESULT BufferedPaintUnInit();
BOOL BufferedPaintRenderAnimation(HWND window, HDC dc);
HANIMATIONBUFFER BeginBufferedAnimation(HWND window, HDC target, const RECT* rect, BP_BUFFERFORMAT format,
                                        BP_PAINTPARAMS* paint, BP_ANIMATIONPARAMS* animation, HDC* from, HDC* to);
HRESULT EndBufferedAnimation(HANIMATIONBUFFER buffer, BOOL updateTarget);

}  // namespace forms::theme
