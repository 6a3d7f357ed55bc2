#include "forms/Forms.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "forms/Menus.h"
#include "forms/PublishedTypes.h"
#include "forms/StdCtrls.h"

namespace forms {

TApplication* Application = nullptr;

std::wstring ErrorBoxText(const std::wstring& message) {
    if (!message.empty() && message.back() > L'.') return message + L".";
    return message;
}

namespace {
constexpr UINT CM_RELEASE = WM_APP + 0x3001;
#ifndef WM_DPICHANGED
constexpr UINT WM_DPICHANGED = 0x02E0;
#endif

// Calls of systems that know each monitor's scale, found at run time (older systems lack them).
struct ScaleFunctions {
    UINT(WINAPI* GetDpiForWindow)(HWND) = nullptr;
    BOOL(WINAPI* AdjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
    int(WINAPI* GetSystemMetricsForDpi)(int, UINT) = nullptr;
};

const ScaleFunctions& Scales() {
    static const ScaleFunctions functions = [] {
        ScaleFunctions found;
        if (HMODULE user = GetModuleHandleW(L"user32.dll")) {
            found.GetDpiForWindow = reinterpret_cast<decltype(found.GetDpiForWindow)>(
                reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")));
            found.GetSystemMetricsForDpi = reinterpret_cast<decltype(found.GetSystemMetricsForDpi)>(
                reinterpret_cast<void*>(GetProcAddress(user, "GetSystemMetricsForDpi")));
            found.AdjustWindowRectExForDpi = reinterpret_cast<decltype(found.AdjustWindowRectExForDpi)>(
                reinterpret_cast<void*>(GetProcAddress(user, "AdjustWindowRectExForDpi")));
        }
        return found;
    }();
    return functions;
}

// Alt+letter goes to every control of the form until one takes it.
bool BroadcastDialogChar(TWinControl* parent, wchar_t letter) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* control = parent->Controls(i);
        if (control->DialogChar(letter)) return true;
        if (auto* container = dynamic_cast<TWinControl*>(control))
            if (BroadcastDialogChar(container, letter)) return true;
    }
    return false;
}

TButton* FindDefaultButton(TWinControl* parent) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* control = parent->Controls(i);
        if (auto* button = dynamic_cast<TButton*>(control); button && button->Default() && button->IsShowingAndEnabled())
            return button;
        if (auto* container = dynamic_cast<TWinControl*>(control))
            if (TButton* found = FindDefaultButton(container)) return found;
    }
    return nullptr;
}
}  // namespace

int WindowPixelsPerInch(HWND window) {
    if (window && Scales().GetDpiForWindow)
        if (UINT dpi = Scales().GetDpiForWindow(window)) return static_cast<int>(dpi);
    return ScreenPixelsPerInch();
}

TCustomForm* GetParentForm(TControl* control) {
    while (control && control->Parent()) control = control->Parent();
    return dynamic_cast<TCustomForm*>(control);
}

// ---- TCustomForm ----

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
    FVisible = false;
    FParentFont = false;
    FWidth = 320;
    FHeight = 240;
    // Sizes given while the layout is read are at 96 pixels per inch; EndLayout scales them.
    BeginLoading();
}

TCustomForm::~TCustomForm() {
    // Only a form deleted without Free gets here with its event not yet raised;
    // a derived form's own members are gone by now.
    BeforeDestruction();
    Destroying();
    DestroyComponents();
    DestroyHandle();
}

void TCustomForm::EndLayout() {
    for (int i = 0; i < ComponentCount(); ++i)
        if (Components(i)->IsLoading()) Components(i)->EndLoading();
    EndLoading();
    HandleNeeded();
    // Before the create event, so that a restored place is in the pixels of this scale.
    ScaleForPPI(WindowPixelsPerInch(FHandle));
    ApplyConstraints();
    DoCreate();
}

void TCustomForm::ApplyConstraints() {
    if (!FHandle) return;
    RECT rect;
    GetWindowRect(FHandle, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (ConstrainedWidth(width) != width || ConstrainedHeight(height) != height)
        SetWindowPos(FHandle, nullptr, 0, 0, ConstrainedWidth(width), ConstrainedHeight(height),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomForm::MeasureFrame(int& width, int& height) {
    if (FHandle) {
        RECT window, client;
        GetWindowRect(FHandle, &window);
        GetClientRect(FHandle, &client);
        width = (window.right - window.left) - client.right;
        height = (window.bottom - window.top) - client.bottom;
        return;
    }
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, FrameStyle(), FMenu != nullptr, FrameExStyle());
    width = (frame.right - frame.left) + 2 * FBorderWidth;
    height = (frame.bottom - frame.top) + 2 * FBorderWidth;
}

void TCustomForm::FrameAt(int ppi, int& width, int& height) {
    RECT frame{0, 0, 0, 0};
    if (!Scales().AdjustWindowRectExForDpi ||
        !Scales().AdjustWindowRectExForDpi(&frame, FrameStyle(), FMenu != nullptr, FrameExStyle(), static_cast<UINT>(ppi)))
        return MeasureFrame(width, height);
    width = (frame.right - frame.left) + 2 * FBorderWidth;
    height = (frame.bottom - frame.top) + 2 * FBorderWidth;
}

void TCustomForm::ChangeScale(int M, int D) {
    // The window's own size follows from its client size; its place stays.
    FBorderWidth = MulDiv(FBorderWidth, M, D);
    if (FHandle)
        SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (TControl* control : std::vector<TControl*>(FControls)) control->ChangeScale(M, D);
}

void TCustomForm::ScaleForPPI(int ppi) {
    const int M = ppi, D = FPixelsPerInch;
    if (M <= 0 || D <= 0 || M == D) return;
    if (!FLayoutLimitsPPI) {
        // The limits as laid out: outer sizes at D, whose frame was the one at D.
        int frameWidth = 0, frameHeight = 0;
        FrameAt(D, frameWidth, frameHeight);
        auto inner = [](int limit, int frame) { return limit > 0 ? std::max(1, limit - frame) : 0; };
        FLayoutLimits = TSizeConstraints{inner(FConstraints.MinWidth, frameWidth), inner(FConstraints.MinHeight, frameHeight),
                                         inner(FConstraints.MaxWidth, frameWidth), inner(FConstraints.MaxHeight, frameHeight)};
        FLayoutLimitsPPI = D;
    }
    int layoutWidth = 0, layoutHeight = 0;
    LayoutClientSize(layoutWidth, layoutHeight);
    // The size limits are the layout's plus the frame, and the frame does not grow with the
    // layout: they are set anew from the layout's once the frame at this scale is known.
    const TSizeConstraints limits = FConstraints;
    FConstraints = TSizeConstraints{};
    ++FScalingDepth;
    try {
        ChangeScale(M, D);
        FWantedClientWidth = MulDiv(layoutWidth, M, D) + 2 * FBorderWidth;
        FWantedClientHeight = MulDiv(layoutHeight, M, D) + 2 * FBorderWidth;
        if (FHandle) ApplyClientSize();
        ScaleFonts(M, D);
        FPixelsPerInch = M;
    } catch (...) {
        --FScalingDepth;
        FConstraints = limits;
        throw;
    }
    --FScalingDepth;
    int frameWidth = 0, frameHeight = 0;
    MeasureFrame(frameWidth, frameHeight);
    auto scaled = [&](int limit, int frame) { return limit > 0 ? MulDiv(limit, M, FLayoutLimitsPPI) + frame : 0; };
    FConstraints.MinWidth = scaled(FLayoutLimits.MinWidth, frameWidth);
    FConstraints.MaxWidth = scaled(FLayoutLimits.MaxWidth, frameWidth);
    FConstraints.MinHeight = scaled(FLayoutLimits.MinHeight, frameHeight);
    FConstraints.MaxHeight = scaled(FLayoutLimits.MaxHeight, frameHeight);
    ApplyConstraints();
    RealignScaled();
    ScaleChanged(M, D);
}

void TCustomForm::UseIconsFor(int ppi) {
    if (!FHandle || !Scales().GetSystemMetricsForDpi) return;
    const auto metric = [&](int index) { return Scales().GetSystemMetricsForDpi(index, static_cast<UINT>(ppi)); };
    // The window lets go of the icons it shows before they are freed.
    IconHandle small = ProgramIcon(metric(SM_CXSMICON)), large = ProgramIcon(metric(SM_CXICON));
    if (small) SendMessageW(FHandle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
    if (large) SendMessageW(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large.Get()));
    FSmallIcon = std::move(small);
    FLargeIcon = std::move(large);
}

void TCustomForm::DoCreate() {
    // An error of the create event is shown; the form is made all the same.
    Guarded([&] {
        if (OnCreate) OnCreate(this);
    });
}

void TCustomForm::BeforeDestruction() {
    if (FDestroyRaised) return;
    FDestroyRaised = true;
    DoDestroy();
}

void TCustomForm::DoDestroy() {
    Guarded([&] {
        if (OnDestroy) OnDestroy(this);
    });
}

DWORD TCustomForm::FrameStyle() const {
    DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    switch (FBorderStyle) {
        case bsNone:
            return style | WS_POPUP;
        case bsDialog:
            style |= WS_OVERLAPPED | WS_CAPTION | DS_MODALFRAME;
            break;
        case bsSizeable:
        case bsSizeToolWin:
            style |= WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME;
            break;
        case bsSingle:
        case bsToolWindow:
            style |= WS_OVERLAPPED | WS_CAPTION;
            break;
    }
    if (FBorderIcons & biSystemMenu) style |= WS_SYSMENU;
    // Dialog and tool-window frames have no room for these buttons.
    if (FBorderStyle == bsSingle || FBorderStyle == bsSizeable) {
        if (FBorderIcons & biMinimize) style |= WS_MINIMIZEBOX;
        if (FBorderIcons & biMaximize) style |= WS_MAXIMIZEBOX;
    }
    return style;
}

DWORD TCustomForm::FrameExStyle() const {
    DWORD exStyle = WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;
    if (FBorderStyle == bsDialog) exStyle |= WS_EX_DLGMODALFRAME;
    if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) exStyle |= WS_EX_TOOLWINDOW;
    if (FAlphaBlend) exStyle |= WS_EX_LAYERED;
    if (FFormStyle == fsStayOnTop) exStyle |= WS_EX_TOPMOST;
    return exStyle;
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value) {
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    if (!FHandle) return;
    const DWORD kept = WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE;
    DWORD style = static_cast<DWORD>(GetWindowLongW(FHandle, GWL_STYLE));
    SetWindowLongW(FHandle, GWL_STYLE, static_cast<LONG>(FrameStyle() | (style & kept)));
    DWORD exStyle = static_cast<DWORD>(GetWindowLongW(FHandle, GWL_EXSTYLE));
    // Topmost is a place in the z-order that SetWindowLong cannot give or take: it stays as it is.
    DWORD keptEx = exStyle & (WS_EX_APPWINDOW | WS_EX_TOPMOST);
    SetWindowLongW(FHandle, GWL_EXSTYLE, static_cast<LONG>((FrameExStyle() & ~WS_EX_TOPMOST) | keptEx));
    SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {
int ShowCommandOf(TWindowState state) {
    switch (state) {
        case wsMinimized: return SW_SHOWMINIMIZED;
        case wsMaximized: return SW_SHOWMAXIMIZED;
        case wsNormal: break;
    }
    return SW_SHOWNORMAL;
}
}  // namespace

TWindowState TCustomForm::WindowState() const {
    if (!FHandle || !IsWindowVisible(FHandle)) return FWindowState;
    if (IsIconic(FHandle)) return wsMinimized;
    if (IsZoomed(FHandle)) return wsMaximized;
    return wsNormal;
}

void TCustomForm::SetWindowState(TWindowState state) {
    FWindowState = state;
    // A hidden form takes the state when it is shown.
    if (FHandle && FVisible) ShowWindow(FHandle, ShowCommandOf(state));
}

void TCustomForm::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.Style = FrameStyle();
    if (!FEnabled) params.Style |= WS_DISABLED;
    params.ExStyle = FrameExStyle();
    // The application's window is never shown, so the main form carries the taskbar button.
    // CreateForm names the main form only after the constructor, which already makes the window.
    if (Application && (Application->MainForm() == this || (!Application->MainForm() && Owner() == Application)))
        params.ExStyle |= WS_EX_APPWINDOW;
    params.WndParent = Application ? Application->Handle() : nullptr;
    if (FWantedClientWidth > 0 || FWantedClientHeight > 0) {
        RECT outer{0, 0, FWantedClientWidth, FWantedClientHeight};
        AdjustWindowRectEx(&outer, params.Style, FMenu != nullptr, params.ExStyle);
        params.Width = outer.right - outer.left;
        params.Height = outer.bottom - outer.top;
    }
}

void TCustomForm::InitializeWnd() {
    // A layered window shows nothing until its alpha value has been given.
    ApplyAlphaBlend();
    if (FMenu) {
        ::SetMenu(FHandle, FMenu->Handle());
        FMenu->SetWindow(FHandle);
    }
    if (FWantedClientWidth > 0 || FWantedClientHeight > 0) ApplyClientSize();
    // The size limits hold from the start, whatever client size was asked for; a layout still
    // being read takes them once it is scaled (they are meant with the frame at its scale).
    if (!IsLoading()) ApplyConstraints();
    RECT rect;
    GetWindowRect(FHandle, &rect);
    FLeft = rect.left;
    FTop = rect.top;
    FWidth = rect.right - rect.left;
    FHeight = rect.bottom - rect.top;
}

void TCustomForm::DestroyWnd() {
    TWinControl::DestroyWnd();
    // The menu belongs to its component, not to the window that goes now.
    if (FMenu) {
        ::SetMenu(FHandle, nullptr);
        FMenu->SetWindow(nullptr);
    }
}

void TCustomForm::SetFormStyle(TFormStyle style) {
    if (style == FFormStyle) return;
    FFormStyle = style;
    if (FHandle)
        SetWindowPos(FHandle, style == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetAlphaBlend(bool value) {
    if (value == FAlphaBlend) return;
    FAlphaBlend = value;
    if (!FHandle) return;
    DWORD exStyle = static_cast<DWORD>(GetWindowLongW(FHandle, GWL_EXSTYLE));
    SetWindowLongW(FHandle, GWL_EXSTYLE, static_cast<LONG>(value ? exStyle | WS_EX_LAYERED : exStyle & ~WS_EX_LAYERED));
    ApplyAlphaBlend();
}

void TCustomForm::SetAlphaBlendValue(BYTE value) {
    if (value == FAlphaBlendValue) return;
    FAlphaBlendValue = value;
    ApplyAlphaBlend();
}

void TCustomForm::ApplyAlphaBlend() {
    if (FHandle && FAlphaBlend) SetLayeredWindowAttributes(FHandle, 0, FAlphaBlendValue, LWA_ALPHA);
}

void TCustomForm::ApplyClientSize() {
    // Twice: a menu bar that wraps at the new width changes the frame.
    for (int pass = 0; pass < 2; ++pass) {
        RECT window, client;
        GetWindowRect(FHandle, &window);
        GetClientRect(FHandle, &client);
        int width = (window.right - window.left) - client.right + FWantedClientWidth - 2 * FBorderWidth;
        int height = (window.bottom - window.top) - client.bottom + FWantedClientHeight - 2 * FBorderWidth;
        if (width == window.right - window.left && height == window.bottom - window.top) break;
        SetWindowPos(FHandle, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TCustomForm::CentreOnScreen() {
    RECT rect;
    GetWindowRect(FHandle, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(FHandle, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomForm::LayoutClientSize(int& width, int& height) {
    if (FHandle) return TWinControl::LayoutClientSize(width, height);
    if (FWantedClientWidth > 0 || FWantedClientHeight > 0) {
        width = std::max(0, FWantedClientWidth - 2 * FBorderWidth);
        height = std::max(0, FWantedClientHeight - 2 * FBorderWidth);
        return;
    }
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, FrameStyle(), FMenu != nullptr, FrameExStyle());
    width = std::max(0, FWidth - static_cast<int>(frame.right - frame.left) - 2 * FBorderWidth);
    height = std::max(0, FHeight - static_cast<int>(frame.bottom - frame.top) - 2 * FBorderWidth);
}

int TCustomForm::ConstrainedWidth(int width) const {
    if (FConstraints.MinWidth > 0) width = std::max(width, FConstraints.MinWidth);
    if (FConstraints.MaxWidth > 0) width = std::min(width, FConstraints.MaxWidth);
    return width;
}

int TCustomForm::ConstrainedHeight(int height) const {
    if (FConstraints.MinHeight > 0) height = std::max(height, FConstraints.MinHeight);
    if (FConstraints.MaxHeight > 0) height = std::min(height, FConstraints.MaxHeight);
    return height;
}

void TCustomForm::ApplyBounds(int left, int top, int width, int height) {
    width = ConstrainedWidth(width);
    height = ConstrainedHeight(height);
    if (!FHandle) {
        // A size given as bounds replaces a client size asked for earlier.
        FWantedClientWidth = FWantedClientHeight = 0;
    }
    TWinControl::ApplyBounds(left, top, width, height);
}

void TCustomForm::SetClientSize(int width, int height) {
    FWantedClientWidth = width;
    FWantedClientHeight = height;
    if (FHandle) ApplyClientSize();
    AlignControls();
}

void TCustomForm::SetMenu(TMainMenu* menu) {
    if (menu == FMenu) return;
    if (FMenu) {
        if (FHandle) ::SetMenu(FHandle, nullptr);
        FMenu->SetWindow(nullptr);
        RemoveFreeNotification(FMenu);
    }
    FMenu = menu;
    if (FMenu) {
        FreeNotification(FMenu);
        if (FHandle) {
            ::SetMenu(FHandle, FMenu->Handle());
            FMenu->SetWindow(FHandle);
        }
    }
    if (FHandle) DrawMenuBar(FHandle);
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == FMenu) {
        if (FHandle) ::SetMenu(FHandle, nullptr);
        FMenu = nullptr;
    }
    if (component == FActiveControl) FActiveControl = nullptr;
    if (component == FFocusedControl) FFocusedControl = nullptr;
}

void TCustomForm::ControlGone(TWinControl* control) {
    if (FActiveControl == control) FActiveControl = nullptr;
    if (FFocusedControl == control) FFocusedControl = nullptr;
}

void TCustomForm::SetActiveControl(TWinControl* control) {
    FActiveControl = control;
    if (control && FHandle && FVisible && GetActiveWindow() == FHandle) control->SetFocus();
}

void TCustomForm::SetFocusedControl(TWinControl* control) {
    FActiveControl = control;
    if (control == FFocusedControl) return;
    TWinControl* previous = FFocusedControl;
    FFocusedControl = control;
    if (previous) previous->DoExit();
    control->DoEnter();
}

void TCustomForm::SetVisible(bool visible) {
    if (!visible) {
        // Shown again later in the state it had.
        FWindowState = WindowState();
        FVisible = false;
        if (FHandle) ShowWindow(FHandle, SW_HIDE);
        return;
    }
    // A form built without a layout read of its own ends it here, before its window shows.
    if (IsLoading()) EndLayout();
    FVisible = true;
    HandleNeeded();
    if (!FShownOnce) {
        FShownOnce = true;
        // The placement rule as it stands now: the settings may have switched it
        // after the window was made (a restored or a damaged position).
        if (FPosition == poScreenCenter) CentreOnScreen();
    }
    if (FWindowState == wsNormal || IsWindowVisible(FHandle))
        ShowWindow(FHandle, SW_SHOW);
    else
        ShowWindow(FHandle, ShowCommandOf(FWindowState));
}

void TCustomForm::Show() {
    SetVisible(true);
    SetForegroundWindow(FHandle);
}

void TCustomForm::Hide() { SetVisible(false); }

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close() {
    if (!CloseQuery()) return;
    bool isMain = Application && Application->MainForm() == this;
    TCloseAction action = isMain ? caFree : caHide;
    if (OnClose) OnClose(this, action);
    if (action == caNone) return;
    // The main form ends the loop; its window stays until the form is freed.
    if (isMain) {
        Application->Terminate();
        return;
    }
    switch (action) {
        case caHide:
            Hide();
            break;
        case caMinimize:
            if (FHandle) ShowWindow(FHandle, SW_MINIMIZE);
            break;
        case caFree:
            Release();
            break;
        case caNone:
            break;
    }
}

void TCustomForm::Release() {
    if (FHandle)
        PostMessageW(FHandle, CM_RELEASE, 0, 0);
    else
        delete this;
}

bool TCustomForm::IsDialogKey(const MSG& msg) {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
        TShiftState shift = KeyboardShiftState();
        if (shift & (ssCtrl | ssAlt)) return false;
        // A control that wants the Tab key itself keeps it.
        LRESULT code = SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
        if (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) return false;
        TWinControl* current = FindOwningControl(GetFocus());
        if (current && GetParentForm(current) != this) current = nullptr;
        if (TWinControl* next = FindNextControl(current, !(shift & ssShift), true)) next->SetFocus();
        return true;
    }
    if (msg.message == WM_SYSCHAR) {
        wchar_t letter = static_cast<wchar_t>(msg.wParam);
        CharUpperBuffW(&letter, 1);
        return BroadcastDialogChar(this, letter);
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
        // A control that takes Enter itself (a multi-line edit) keeps it.
        LRESULT code = SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
        if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
        TButton* button = EnterButton();
        if (!button) return false;
        button->Click();
        return true;
    }
    return false;
}

TButton* TCustomForm::EnterButton() {
    // Only a form with a default button answers Enter, as a dialog does.
    TButton* fallback = FindDefaultButton(this);
    if (!fallback) return nullptr;
    auto* focused = dynamic_cast<TButton*>(FindOwningControl(GetFocus()));
    if (focused && GetParentForm(focused) == this && focused->IsShowingAndEnabled()) return focused;
    return fallback;
}

void TCustomForm::WndProc(TMessage& message) {
    switch (message.Msg) {
        case WM_CLOSE:
            Close();
            message.Result = 0;
            return;
        case WM_COMMAND:
            // A menu command (the high word is 1 for accelerators, and lParam names a control).
            if (message.LParam == 0 && HIWORD(message.WParam) == 0 && FMenu &&
                FMenu->DispatchCommand(LOWORD(message.WParam))) {
                message.Result = 0;
                return;
            }
            break;
        case WM_GETMINMAXINFO: {
            DefaultHandler(message);
            auto* info = reinterpret_cast<MINMAXINFO*>(message.LParam);
            if (FConstraints.MinWidth > 0) info->ptMinTrackSize.x = FConstraints.MinWidth;
            if (FConstraints.MinHeight > 0) info->ptMinTrackSize.y = FConstraints.MinHeight;
            if (FConstraints.MaxWidth > 0) {
                info->ptMaxTrackSize.x = FConstraints.MaxWidth;
                info->ptMaxSize.x = std::min<LONG>(info->ptMaxSize.x, FConstraints.MaxWidth);
            }
            if (FConstraints.MaxHeight > 0) {
                info->ptMaxTrackSize.y = FConstraints.MaxHeight;
                info->ptMaxSize.y = std::min<LONG>(info->ptMaxSize.y, FConstraints.MaxHeight);
            }
            message.Result = 0;
            return;
        }
        case WM_WINDOWPOSCHANGED: {
            DefaultHandler(message);
            if (!IsIconic(FHandle)) {
                RECT rect;
                GetWindowRect(FHandle, &rect);
                int width = rect.right - rect.left, height = rect.bottom - rect.top;
                bool sizeChanged = width != FWidth || height != FHeight;
                FLeft = rect.left;
                FTop = rect.top;
                FWidth = width;
                FHeight = height;
                if (sizeChanged) {
                    AlignControls();
                    BoundsChanged();
                }
            }
            return;
        }
        case WM_ACTIVATE:
            if (LOWORD(message.WParam) == WA_INACTIVE && OnDeactivate && !FDestroyRaised) {
                // lParam is the window that becomes active: only a form of this application counts.
                HWND other = reinterpret_cast<HWND>(message.LParam);
                auto* form = other ? dynamic_cast<TCustomForm*>(FindControl(GetAncestor(other, GA_ROOT))) : nullptr;
                if (form && form != this) OnDeactivate(this);
            }
            if (LOWORD(message.WParam) != WA_INACTIVE && !HIWORD(message.WParam)) {
                // Back to the control that had the focus, or the first one in tab order.
                if (!FActiveControl || !FActiveControl->CanFocus()) FActiveControl = FindNextControl(nullptr, true, true);
                if (FActiveControl) {
                    ::SetFocus(FActiveControl->Handle());
                    message.Result = 0;
                    return;
                }
            }
            break;
        case WM_DPICHANGED: {
            // Moved to a monitor of another scale: the system suggests the window's new rectangle.
            const RECT suggested = *reinterpret_cast<const RECT*>(message.LParam);
            ScaleForPPI(HIWORD(message.WParam));
            SetWindowPos(FHandle, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                         suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
            UseIconsFor(FPixelsPerInch);
            message.Result = 0;
            return;
        }
        case CM_RELEASE:
            delete this;
            return;
        default:
            break;
    }
    TWinControl::WndProc(message);
}

namespace {
const std::wstring_view kPositionNames[] = {L"poDesigned", L"poScreenCenter"};
const TTypeInfo kPositionType{tkEnumeration, L"TPosition", kPositionNames};
const std::wstring_view kBorderIconNames[] = {L"biSystemMenu", L"biMinimize", L"biMaximize"};
const TTypeInfo kBorderIconType{tkEnumeration, L"TBorderIcon", kBorderIconNames};
const TTypeInfo kBorderIconsType{tkSet, L"TBorderIcons", {}, &kBorderIconType};
const TPropInfo kCustomFormProperties[] = {
    OrdinalProperty<TCustomForm, &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons>(L"BorderIcons",
                                                                                         kBorderIconsType),
    OrdinalProperty<TCustomForm, &TCustomForm::BorderWidth, &TCustomForm::SetBorderWidth>(L"BorderWidth",
                                                                                         TypeInteger),
    StringProperty<TCustomForm, &TCustomForm::Caption, &TCustomForm::SetCaption>(L"Caption"),
    OrdinalProperty<TCustomForm, &TCustomForm::Position, &TCustomForm::SetPosition>(L"Position", kPositionType),
};
}  // namespace

const TClassInfo* TCustomForm::ClassInfo() const {
    static const TClassInfo info{L"TCustomForm", TWinControl::ClassInfo(), kCustomFormProperties};
    return &info;
}

const TClassInfo* TForm::ClassInfo() const {
    static const TClassInfo info{L"TForm", TCustomForm::ClassInfo(), {}};
    return &info;
}

// ---- TApplication ----

namespace {

constexpr wchar_t kApplicationClass[] = L"FormsApplication";

LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    return Guarded<LRESULT>(0, [&]() -> LRESULT {
        // Closing the hidden window (taskbar or task manager) asks for the end of the loop.
        if (msg == WM_CLOSE) {
            if (Application) Application->Terminate();
            return 0;
        }
        // This window is never shown: minimizing the program minimizes the main form, which
        // carries the taskbar button.
        if (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MINIMIZE) {
            if (Application && Application->MainForm() && Application->MainForm()->HandleAllocated())
                ShowWindow(Application->MainForm()->Handle(), SW_MINIMIZE);
            return 0;
        }
        return DefWindowProcW(window, msg, wParam, lParam);
    });
}

std::wstring ModuleBaseName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    size_t slash = name.find_last_of(L"\\/:");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}

}  // namespace

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
    FTitle = ModuleBaseName();
    FPrevious = Application;
    Application = this;
}

TApplication::~TApplication() {
    // The forms go first, while Application still answers their calls.
    Destroying();
    DestroyComponents();
    FHandle.Reset();
    // Unlink from the chain of application objects wherever this one sits.
    if (Application == this) {
        Application = FPrevious;
    } else {
        for (TApplication* newer = Application; newer; newer = newer->FPrevious)
            if (newer->FPrevious == this) {
                newer->FPrevious = FPrevious;
                break;
            }
    }
}

void TApplication::Initialize() {
    RegisterControlClass();
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES |
                                                        ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (!GetClassInfoExW(instance, kApplicationClass, &windowClass)) {
        windowClass = WNDCLASSEXW{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = ApplicationWindowProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kApplicationClass;
        RegisterClassExW(&windowClass);
    }
    if (!FHandle) {
        // Never shown: it owns the forms and dialogs and carries the title.
        FHandle.Reset(CreateWindowExW(0, kApplicationClass, FTitle.c_str(),
                                      WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, nullptr,
                                      nullptr, instance, nullptr));
    }
}

void TApplication::SetTitle(const std::wstring& title) {
    FTitle = title;
    if (FHandle) SetWindowTextW(FHandle.Get(), FTitle.c_str());
}

void TApplication::Run() {
    if (FMainForm) FMainForm->Show();
    while (!FTerminated) HandleMessage();
    // The loop may end on Terminated with the quit message still queued; left
    // there it would end the next modal loop at once, and a message box of the
    // shutdown (a failed last save) would close before anyone could read it.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        // Kept as Terminated: Run ends once control is back there.
        FTerminated = true;
        return true;
    }
    // Keys the loop handles itself run handlers outside any window procedure
    // (Alt+letter clicks a button), so the whole step goes through the guard.
    Guarded([&] {
        // Tab, Enter and Alt+letter belong to the form of the focused control before anyone else.
        if ((msg.message == WM_KEYDOWN && (msg.wParam == VK_TAB || msg.wParam == VK_RETURN)) ||
            msg.message == WM_SYSCHAR) {
            auto* form = dynamic_cast<TCustomForm*>(FindControl(GetAncestor(msg.hwnd, GA_ROOT)));
            if (form && form->IsDialogKey(msg)) return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    });
    return true;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (ProcessMessage(msg)) {
    }
}

void TApplication::HandleMessage() {
    MSG msg;
    if (!ProcessMessage(msg) && !FTerminated) WaitMessage();
}

void TApplication::Terminate() {
    FTerminated = true;
    PostQuitMessage(0);
}

void TApplication::ResetTerminated() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    FTerminated = false;
}

void TApplication::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    // A freed main form leaves the place for the next form created.
    if (operation == TOperation::opRemove && component == FMainForm) FMainForm = nullptr;
}

void ShowUncaughtError() noexcept {
    if (Application) Application->HandleException(nullptr);
}

void TApplication::HandleException(TObject*) noexcept {
    try {
        std::exception_ptr current = std::current_exception();
        if (!current) return;
        std::wstring message;
        try {
            std::rethrow_exception(current);
        } catch (const Exception& error) {
            message = error.Message();
        } catch (const std::exception& error) {
            message = Utf8ToWide(error.what());
        } catch (...) {
            message = L"Unknown error";
        }
        ShowException(message);
    } catch (...) {
        // Nothing is left to report with.
    }
}

void TApplication::ShowException(const std::wstring& message) noexcept {
    try {
        std::wstring text = ErrorBoxText(message);
        if (OnShowException) {
            OnShowException(text);
            return;
        }
        HWND owner = GetActiveWindow();
        if (!owner && FMainForm && FMainForm->HandleAllocated() && FMainForm->Visible()) owner = FMainForm->Handle();
        if (!owner) owner = FHandle.Get();
        MessageBoxW(owner, text.c_str(), FTitle.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    } catch (...) {
        // The error box itself failed; there is no other channel.
    }
}

}  // namespace forms
