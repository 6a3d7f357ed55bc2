#include "forms/Controls.h"

#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>

#include "forms/Forms.h"
#include "forms/Menus.h"
#include "forms/PublishedTypes.h"
#include "runtime/TypInfo.h"

namespace forms {

LRESULT CALLBACK ControlWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
LRESULT CALLBACK BoundWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

namespace {

// Marks a bound window for FindControl while another procedure sits on top of ours
// (then the window procedure alone no longer tells that the user-data slot is ours).
constexpr wchar_t kBindingProperty[] = L"FormsWindowBinding";
ATOM gControlAtom = 0;
UINT gNextControlId = 100;
// The control whose window CreateWindowExW is making: a list box asks its
// parent for its row height (WM_MEASUREITEM) before the call returns.
thread_local TWinControl* gCreatingControl = nullptr;

BOOL CALLBACK TakeFirstIconName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) noexcept {
    *reinterpret_cast<LPCWSTR*>(param) = name;
    return FALSE;
}

HICON ProgramIcon(HINSTANCE instance) {
    LPCWSTR name = nullptr;
    EnumResourceNamesW(instance, RT_GROUP_ICON, TakeFirstIconName, reinterpret_cast<LONG_PTR>(&name));
    HICON icon = name ? LoadIconW(instance, name) : nullptr;
    return icon ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

LPCWSTR ProgramIconName(HINSTANCE instance) {
    LPCWSTR name = nullptr;
    EnumResourceNamesW(instance, RT_GROUP_ICON, TakeFirstIconName, reinterpret_cast<LONG_PTR>(&name));
    return name;
}

UINT NextControlId() {
    UINT id = gNextControlId;
    gNextControlId = gNextControlId >= 0xFFF0 ? 100 : gNextControlId + 1;
    return id;
}

bool IsOwnProcessWindow(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId == GetCurrentProcessId();
}

}  // namespace

IconHandle ProgramIcon(int size) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    LPCWSTR name = ProgramIconName(instance);
    if (!name) return IconHandle();
    return IconHandle(static_cast<HICON>(LoadImageW(instance, name, IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

TShiftState KeyboardShiftState() {
    TShiftState state = 0;
    if (GetKeyState(VK_SHIFT) < 0) state |= ssShift;
    if (GetKeyState(VK_MENU) < 0) state |= ssAlt;
    if (GetKeyState(VK_CONTROL) < 0) state |= ssCtrl;
    if (GetKeyState(VK_LBUTTON) < 0) state |= ssLeft;
    if (GetKeyState(VK_RBUTTON) < 0) state |= ssRight;
    if (GetKeyState(VK_MBUTTON) < 0) state |= ssMiddle;
    return state;
}

void RegisterControlClass() {
    if (gControlAtom) return;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = ControlWindowProc;
    windowClass.cbWndExtra = sizeof(TWinControl*);
    windowClass.hInstance = instance;
    windowClass.hIcon = ProgramIcon(instance);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kControlClassName;
    gControlAtom = RegisterClassExW(&windowClass);
    if (!gControlAtom) throw Exception(Format(L"Cannot register the window class (error %lu)", GetLastError()));
}

TWinControl* FindControl(HWND window) {
    if (!window || !IsWindow(window) || !IsOwnProcessWindow(window)) return nullptr;
    if (gControlAtom && GetClassLongPtrW(window, GCW_ATOM) == gControlAtom)
        return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(window, 0));
    TWindowBinding* binding = TWindowBinding::Of(window);
    return binding && !binding->Child() ? binding->Control() : nullptr;
}

TWinControl* FindOwningControl(HWND window) {
    // GetParent gives the owner of a popup too: a combo box's drop-down list leads to the box.
    for (; window; window = GetParent(window))
        if (TWinControl* control = FindControl(window)) return control;
    return nullptr;
}

std::wstring WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(length + 1, L'\0');
    text.resize(GetWindowTextW(window, text.data(), length + 1));
    return text;
}

LRESULT CALLBACK ControlWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    return Guarded<LRESULT>(0, [&]() -> LRESULT {
        TWinControl* control = nullptr;
        if (msg == WM_NCCREATE) {
            control = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(control));
            if (control) control->FHandle = window;
        } else {
            control = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(window, 0));
        }
        if (!control) return DefWindowProcW(window, msg, wParam, lParam);
        if (msg == WM_NCDESTROY) {
            LRESULT result = control->Dispatch(window, msg, wParam, lParam);
            SetWindowLongPtrW(window, 0, 0);
            if (control->FHandle == window) control->FHandle = nullptr;
            return result;
        }
        return control->Dispatch(window, msg, wParam, lParam);
    });
}

LRESULT CALLBACK BoundWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    auto* binding = reinterpret_cast<TWindowBinding*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!binding) return DefWindowProcW(window, msg, wParam, lParam);
    TWinControl* control = binding->FControl;
    return Guarded<LRESULT>(0, [&]() -> LRESULT {
        if (msg == WM_NCDESTROY) {
            if (control) control->BoundWindowDestroyed(window);
            LRESULT result = binding->CallOriginal(window, msg, wParam, lParam);
            binding->Free();
            return result;
        }
        // The control let go while another procedure chained to ours: pass everything on.
        if (!control) return binding->CallOriginal(window, msg, wParam, lParam);
        TMessage message{msg, wParam, lParam};
        if (binding->FChild)
            control->ChildWndProc(window, message);
        else
            control->WndProc(message);
        return message.Result;
    });
}

// ---- TWindowBinding ----

TWindowBinding* TWindowBinding::Bind(HWND window, TWinControl* control, bool child) {
    auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    auto* binding = new TWindowBinding(window, control, child, original);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(binding));
    SetPropW(window, kBindingProperty, binding);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BoundWindowProc));
    return binding;
}

TWindowBinding* TWindowBinding::Of(HWND window) {
    // Reading the window procedure and the user-data slot asks nothing of the
    // window system; the property is read only when another procedure sits on top.
    if (GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(BoundWindowProc))
        return reinterpret_cast<TWindowBinding*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return static_cast<TWindowBinding*>(GetPropW(window, kBindingProperty));
}

void TWindowBinding::Release() {
    RemovePropW(FWindow, kBindingProperty);
    if (GetWindowLongPtrW(FWindow, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(BoundWindowProc)) {
        SetWindowLongPtrW(FWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FOriginal));
        SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
        delete this;
        return;
    }
    // Restoring the original now would cut out the procedure on top of ours.
    FControl = nullptr;
}

void TWindowBinding::Free() {
    SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
    RemovePropW(FWindow, kBindingProperty);
    delete this;
}

// ---- TControl ----

TControl::TControl(TComponent* owner) : TComponent(owner) {
    FFont.OnChange = Bind<&TControl::HandleFontChange>(this);
}

TControl::~TControl() {
    if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == FParent) return;
    if (parent == this) throw EComponentError(L"A control cannot have itself as its parent");
    if (FParent) FParent->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    ApplyBounds(left, top, width, height);
    UpdateAnchorRules();
    if (FParent && FAlign != alNone) FParent->AlignControls();
}

void TControl::ApplyBounds(int left, int top, int width, int height) {
    bool changed = left != FLeft || top != FTop || width != FWidth || height != FHeight;
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    if (changed) BoundsChanged();
}

int TControl::FScalingDepth = 0;

void TControl::ScaleBy(int M, int D) {
    if (M == D || M <= 0 || D <= 0) return;
    ++FScalingDepth;
    try {
        ChangeScale(M, D);
        ScaleFonts(M, D);
    } catch (...) {
        --FScalingDepth;
        throw;
    }
    --FScalingDepth;
    if (auto* windowed = dynamic_cast<TWinControl*>(this)) windowed->RealignScaled();
}

void TControl::ChangeScale(int M, int D) {
    // Each edge and size rounded on its own: every bound is within half a pixel of its scaled value.
    ApplyBounds(MulDiv(FLeft, M, D), MulDiv(FTop, M, D), MulDiv(FWidth, M, D), MulDiv(FHeight, M, D));
    // The window may be resized (to its size limits) before the distances are taken anew: a
    // control anchored to the right or bottom keeps its scaled distance meanwhile.
    FAnchorRight = MulDiv(FAnchorRight, M, D);
    FAnchorBottom = MulDiv(FAnchorBottom, M, D);
}

void TControl::ScaleFonts(int M, int D) {
    // A control that takes its parent's font got the scaled one with it.
    if (FParentFont && FParent) return;
    FFont.SetPixelsPerInch(MulDiv(FFont.PixelsPerInch(), M, D));
    FFont.SetHeight(MulDiv(FFont.Height(), M, D));
}

void TControl::SetAlign(TAlign align) {
    if (align == FAlign) return;
    FAlign = align;
    if (FParent) FParent->AlignControls();
}

void TControl::SetAnchors(TAnchors anchors) {
    FAnchors = anchors;
    UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
    if (!FParent) return;
    int width = 0, height = 0;
    FParent->LayoutClientSize(width, height);
    FAnchorRight = width - (FLeft + FWidth);
    FAnchorBottom = height - (FTop + FHeight);
}

void TControl::SetVisible(bool visible) {
    if (visible == FVisible) return;
    FVisible = visible;
    if (FParent && FAlign != alNone) FParent->AlignControls();
}

void TControl::SetEnabled(bool enabled) { FEnabled = enabled; }

void TControl::SetText(const std::wstring& text) {
    FText = text;
    TextChanged();
}

void TControl::SetParentFont(bool value) {
    FParentFont = value;
    if (value) ParentFontChanged();
}

void TControl::SetColor(TColor color) {
    FParentColor = false;
    if (color == FColor) return;
    FColor = color;
    ColorChanged();
}

void TControl::SetParentColor(bool value) {
    FParentColor = value;
    if (value) ParentColorChanged();
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
    if (menu == FPopupMenu) return;
    if (FPopupMenu) RemoveFreeNotification(FPopupMenu);
    FPopupMenu = menu;
    if (menu) FreeNotification(menu);
}

void TControl::Repaint() {}
void TControl::Invalidate() {}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

bool TControl::DialogChar(wchar_t) { return false; }

bool TControl::IsShowingAndEnabled() const {
    for (const TControl* control = this; control; control = control->FParent)
        if (!control->FVisible || !control->FEnabled) return false;
    return true;
}

void TControl::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::FontChanged() { Invalidate(); }

void TControl::ParentFontChanged() {
    if (!FParentFont || !FParent) return;
    FAdoptingParentFont = true;
    try {
        FFont.Assign(FParent->FFont);
    } catch (...) {
        FAdoptingParentFont = false;
        throw;
    }
    FAdoptingParentFont = false;
}

void TControl::ParentColorChanged() {
    if (!FParentColor || !FParent || FColor == FParent->FColor) return;
    FColor = FParent->FColor;
    ColorChanged();
}

void TControl::HandleFontChange(TObject*) {
    // A font set on the control itself no longer follows the parent's.
    if (!FAdoptingParentFont) FParentFont = false;
    FontChanged();
}

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    DestroyHandle();
    for (TControl* control : FControls) control->FParent = nullptr;
    FControls.clear();
    FTabList.clear();
    if (FParent) FParent->RemoveControl(this);
    for (TControl* control = FParent; control; control = control->FParent)
        if (auto* form = dynamic_cast<TCustomForm*>(control)) form->ControlGone(this);
}

HWND TWinControl::Handle() {
    if (!FHandle) CreateWnd();
    return FHandle;
}

void TWinControl::RecreateWnd() {
    if (!FHandle) return;
    DestroyHandle();
    HandleNeeded();
}

void TWinControl::BringToFront() {
    if (FParent) {
        auto& siblings = FParent->FControls;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
        siblings.push_back(this);
    }
    if (FHandle) SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::CreateParams(TCreateParams& params) {
    params.Caption = FText;
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (FVisible) params.Style |= WS_VISIBLE;
    if (!FEnabled) params.Style |= WS_DISABLED;
    if (FTabStop) params.Style |= WS_TABSTOP;
    params.X = FLeft;
    params.Y = FTop;
    params.Width = FWidth;
    params.Height = WindowHeight(FHeight);
    params.WndParent = FParent ? FParent->FHandle : nullptr;
}

void TWinControl::CreateWnd() {
    // The parent's window comes first; making it makes this one too.
    if (FParent) FParent->HandleNeeded();
    if (FHandle) return;
    TCreateParams params;
    CreateParams(params);
    CreateWindowHandle(params);
    if (FParent) FParent->LowerChildrenBeneathSiblings();
    SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), FALSE);
    InitializeWnd();
    AlignControls();
    for (TControl* control : std::vector<TControl*>(FControls))
        if (auto* child = dynamic_cast<TWinControl*>(control)) child->HandleNeeded();
}

void TWinControl::LowerChildrenBeneathSiblings() {
    for (TControl* control : FControls)
        if (auto* child = dynamic_cast<TWinControl*>(control); child && child->FHandle && child->LiesBeneathSiblings())
            SetWindowPos(child->FHandle, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
    bool ownClass = params.WinClassName.empty();
    if (ownClass) RegisterControlClass();
    HMENU id = (params.Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(NextControlId())) : nullptr;
    TWinControl* outer = gCreatingControl;
    gCreatingControl = this;
    HWND window = CreateWindowExW(params.ExStyle, ownClass ? kControlClassName : params.WinClassName.c_str(),
                                  params.Caption.c_str(), params.Style, params.X, params.Y, params.Width,
                                  params.Height, params.WndParent, id, GetModuleHandleW(nullptr),
                                  ownClass ? this : nullptr);
    gCreatingControl = outer;
    if (!window)
        throw Exception(Format(L"Cannot create the window of %s (error %lu)", ClassName().c_str(), GetLastError()));
    if (!ownClass) {
        FHandle = window;
        FBinding = TWindowBinding::Bind(window, this, false);
    }
}

void TWinControl::DestroyWnd() {
    if (FHandle) FText = TWinControl::Text();
}

void TWinControl::DestroyHandle() {
    if (!FHandle) return;
    for (TControl* control : FControls)
        if (auto* child = dynamic_cast<TWinControl*>(control)) child->DestroyHandle();
    DestroyWnd();
    HWND window = FHandle;
    Unbind();
    DestroyWindow(window);
}

void TWinControl::Unbind() {
    if (!FHandle) return;
    if (FBinding)
        FBinding->Release();
    else
        SetWindowLongPtrW(FHandle, 0, 0);
    FBinding = nullptr;
    FHandle = nullptr;
}

TWindowBinding* TWinControl::BindChildWindow(HWND window) { return TWindowBinding::Bind(window, this, true); }

void TWinControl::ChildWndProc(HWND window, TMessage& message) {
    TWindowBinding* binding = TWindowBinding::Of(window);
    message.Result = binding ? binding->CallOriginal(window, message.Msg, message.WParam, message.LParam) : 0;
}

void TWinControl::BoundWindowDestroyed(HWND window) {
    if (FHandle != window) return;
    FHandle = nullptr;
    FBinding = nullptr;
}

LRESULT TWinControl::Dispatch(HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage message{msg, wParam, lParam};
    WndProc(message);
    return message.Result;
}

void TWinControl::DefaultHandler(TMessage& message) {
    if (!FHandle)
        message.Result = 0;
    else if (FBinding)
        message.Result = FBinding->CallOriginal(FHandle, message.Msg, message.WParam, message.LParam);
    else
        message.Result = DefWindowProcW(FHandle, message.Msg, message.WParam, message.LParam);
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (FHandle) return SendMessageW(FHandle, msg, wParam, lParam);
    TMessage message{msg, wParam, lParam};
    WndProc(message);
    return message.Result;
}

bool TWinControl::ReflectToChild(TMessage& message) {
    HWND child = nullptr;
    switch (message.Msg) {
        case WM_COMMAND:
            child = reinterpret_cast<HWND>(message.LParam);
            break;
        case WM_NOTIFY:
            child = reinterpret_cast<NMHDR*>(message.LParam)->hwndFrom;
            break;
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
            if (item->CtlType != ODT_MENU) child = item->hwndItem;
            break;
        }
        case WM_MEASUREITEM: {
            auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam);
            if (item->CtlType != ODT_MENU) child = GetDlgItem(FHandle, item->CtlID);
            break;
        }
        default:  // WM_CTLCOLOR*
            child = reinterpret_cast<HWND>(message.LParam);
            break;
    }
    TWinControl* control = child ? FindOwningControl(child) : nullptr;
    if ((!control || control == this) && message.Msg == WM_MEASUREITEM && gCreatingControl &&
        gCreatingControl->FParent == this)
        control = gCreatingControl;
    if (!control || control == this) return false;
    TMessage reflected{CN_BASE + message.Msg, message.WParam, message.LParam};
    control->WndProc(reflected);
    message.Result = reflected.Result;
    return true;
}

// Keys and the context menu, for the control's own window and for a
// bound child window that types for it (a combo box's edit field). True when
// the message was consumed; otherwise its key may have been replaced.
bool TWinControl::HandleInputMessage(TMessage& message) {
    switch (message.Msg) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            WORD key = static_cast<WORD>(message.WParam);
            if (DoKeyDown(key, KeyboardShiftState())) break;
            message.WParam = key;
            return false;
        }
        case WM_KEYUP:
        case WM_SYSKEYUP: {
            WORD key = static_cast<WORD>(message.WParam);
            if (OnKeyUp) OnKeyUp(this, key, KeyboardShiftState());
            if (key == 0) break;
            message.WParam = key;
            return false;
        }
        case WM_CHAR: {
            // The handler may swallow the character (0) or type another one instead.
            wchar_t key = static_cast<wchar_t>(message.WParam);
            if (DoKeyPress(key)) break;
            message.WParam = key;
            return false;
        }
        case WM_CONTEXTMENU:
            if (ShowPopupMenu(message.LParam)) break;
            return false;
        default:
            return false;
    }
    message.Result = 0;
    return true;
}

void TWinControl::WndProc(TMessage& message) {
    switch (message.Msg) {
        case WM_COMMAND:
            if (!FBinding && message.LParam && ReflectToChild(message)) return;
            break;
        case WM_NOTIFY:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            if (!FBinding && ReflectToChild(message)) return;
            break;
        case WM_ERASEBKGND:
            if (!FBinding) {
                RECT client;
                GetClientRect(FHandle, &client);
                FillRect(reinterpret_cast<HDC>(message.WParam), &client, BackgroundBrush());
                message.Result = 1;
                return;
            }
            break;
        case WM_NCCALCSIZE:
            // The border width is a band outside the client area, so children
            // are placed relative to the area inside it.
            if (!FBinding && FBorderWidth > 0) {
                DefaultHandler(message);
                RECT* rect = message.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(message.LParam)->rgrc[0]
                                            : reinterpret_cast<RECT*>(message.LParam);
                rect->left += FBorderWidth;
                rect->top += FBorderWidth;
                rect->right = std::max(rect->left, rect->right - FBorderWidth);
                rect->bottom = std::max(rect->top, rect->bottom - FBorderWidth);
                return;
            }
            break;
        case WM_NCPAINT:
            if (!FBinding && FBorderWidth > 0) {
                DefaultHandler(message);
                PaintBorderBand();
                return;
            }
            break;
        case WM_SETFOCUS:
            DefaultHandler(message);
            FocusReceived();
            return;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP:
        case WM_CHAR:
        case WM_CONTEXTMENU:
            if (HandleInputMessage(message)) return;
            break;
        case WM_MOUSEMOVE:
            if (OnMouseMove) {
                TShiftState shift = KeyboardShiftState() & (ssShift | ssAlt | ssCtrl);
                if (message.WParam & MK_LBUTTON) shift |= ssLeft;
                if (message.WParam & MK_RBUTTON) shift |= ssRight;
                if (message.WParam & MK_MBUTTON) shift |= ssMiddle;
                OnMouseMove(this, shift, GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam));
            }
            break;
        case WM_SETCURSOR:
            if (FCursor != crDefault && reinterpret_cast<HWND>(message.WParam) == FHandle &&
                LOWORD(message.LParam) == HTCLIENT) {
                ::SetCursor(LoadCursorW(nullptr, FCursor == crHandPoint ? IDC_HAND : IDC_ARROW));
                message.Result = TRUE;
                return;
            }
            break;
        case CN_BASE + WM_CTLCOLORMSGBOX:
        case CN_BASE + WM_CTLCOLOREDIT:
        case CN_BASE + WM_CTLCOLORLISTBOX:
        case CN_BASE + WM_CTLCOLORBTN:
        case CN_BASE + WM_CTLCOLORDLG:
        case CN_BASE + WM_CTLCOLORSCROLLBAR:
        case CN_BASE + WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(message.WParam);
            SetTextColor(dc, ColorToRGB(FFont.Color()));
            SetBkColor(dc, ColorToRGB(FColor));
            message.Result = reinterpret_cast<LRESULT>(BackgroundBrush());
            return;
        }
        default:
            break;
    }
    // A reflected notification nobody wanted: the standard control's procedure must not see it.
    if (message.Msg >= CN_BASE && message.Msg < CN_BASE + 0x400) {
        message.Result = 0;
        return;
    }
    DefaultHandler(message);
}

void TWinControl::PaintBorderBand() {
    HDC dc = GetWindowDC(FHandle);
    if (!dc) return;
    RECT window, client;
    GetWindowRect(FHandle, &window);
    GetClientRect(FHandle, &client);
    POINT origin{0, 0};
    ClientToScreen(FHandle, &origin);
    OffsetRect(&client, origin.x - window.left, origin.y - window.top);
    RECT band = client;
    InflateRect(&band, FBorderWidth, FBorderWidth);
    ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    FillRect(dc, &band, BackgroundBrush());
    ReleaseDC(FHandle, dc);
}

bool TWinControl::DoKeyDown(WORD& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
    return key == 0;
}

bool TWinControl::DoKeyPress(wchar_t& key) {
    // With key preview the form sees the key first and may change or swallow it.
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && form->OnKeyPress) {
        form->OnKeyPress(form, key);
        if (key == 0) return true;
    }
    if (OnKeyPress) OnKeyPress(this, key);
    return key == 0;
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

void TWinControl::FocusReceived() {
    TCustomForm* form = GetParentForm(this);
    if (form && form != this) form->SetFocusedControl(this);
}

bool TWinControl::ShowPopupMenu(LPARAM screenPoint) {
    if (!FPopupMenu) return false;
    POINT point{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    if (point.x == -1 && point.y == -1) {
        // From the keyboard: below the middle of the control.
        RECT rect;
        GetWindowRect(FHandle, &rect);
        point = POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    FPopupMenu->SetPopupComponent(this);
    FPopupMenu->Popup(point.x, point.y);
    return true;
}

HBRUSH TWinControl::BackgroundBrush() {
    if (!FBackgroundBrush || FBackgroundBrushColor != FColor) {
        FBackgroundBrush.Reset(CreateSolidBrush(ColorToRGB(FColor)));
        FBackgroundBrushColor = FColor;
    }
    return FBackgroundBrush.Get();
}

void TWinControl::InsertControl(TControl* control) {
    control->FParent = this;
    FControls.push_back(control);
    auto* windowed = dynamic_cast<TWinControl*>(control);
    if (windowed) {
        FTabList.push_back(windowed);
        if (windowed->FTabOrderWanted >= 0 && !windowed->IsLoading()) {
            int order = windowed->FTabOrderWanted;
            windowed->FTabOrderWanted = -1;
            windowed->SetTabOrder(order);
        }
    }
    control->ParentFontChanged();
    control->ParentColorChanged();
    if (control->FAlign != alNone)
        AlignControls();
    else
        control->UpdateAnchorRules();
    if (windowed && FHandle) windowed->HandleNeeded();
}

void TWinControl::RemoveControl(TControl* control) {
    if (auto* windowed = dynamic_cast<TWinControl*>(control)) {
        // Its window cannot stay inside ours; a new parent makes a new one.
        windowed->DestroyHandle();
        FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), windowed), FTabList.end());
    }
    FControls.erase(std::remove(FControls.begin(), FControls.end(), control), FControls.end());
    control->FParent = nullptr;
    if (control->FAlign != alNone && !IsDestroying()) AlignControls();
}

int TWinControl::TabOrder() const {
    if (!FParent || (IsLoading() && FTabOrderWanted >= 0)) return FTabOrderWanted;
    const auto& list = FParent->FTabList;
    auto found = std::find(list.begin(), list.end(), this);
    return found == list.end() ? -1 : static_cast<int>(found - list.begin());
}

void TWinControl::SetTabOrder(int order) {
    // While a layout is read the orders come in any sequence; they are sorted out once it is read.
    if (!FParent || IsLoading()) {
        FTabOrderWanted = order;
        return;
    }
    FTabOrderWanted = -1;
    auto& list = FParent->FTabList;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    int index = std::clamp(order, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + index, this);
}

void TWinControl::FixupTabList() {
    // Controls with a wanted order take that place (or the next free one);
    // the others fill the remaining places in their present order.
    const int count = static_cast<int>(FTabList.size());
    std::vector<TWinControl*> placed(count, nullptr);
    std::vector<TWinControl*> wanting;
    for (TWinControl* control : FTabList)
        if (control->FTabOrderWanted >= 0) wanting.push_back(control);
    std::stable_sort(wanting.begin(), wanting.end(),
                     [](TWinControl* a, TWinControl* b) { return a->FTabOrderWanted < b->FTabOrderWanted; });
    for (TWinControl* control : wanting) {
        int index = std::min(control->FTabOrderWanted, count - 1);
        while (placed[index]) index = (index + 1) % count;
        placed[index] = control;
        control->FTabOrderWanted = -1;
    }
    int next = 0;
    for (TWinControl* control : FTabList) {
        if (std::find(placed.begin(), placed.end(), control) != placed.end()) continue;
        while (placed[next]) ++next;
        placed[next] = control;
    }
    FTabList = placed;
}

void TWinControl::Loaded() {
    TControl::Loaded();
    FixupTabList();
    if (FParent) FParent->FixupTabList();
    AlignControls();
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) {
    for (TWinControl* control : FTabList) {
        list.push_back(control);
        control->GetTabOrderList(list);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward, bool checkTabStop) {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    const int count = static_cast<int>(list.size());
    if (count == 0) return nullptr;
    auto found = std::find(list.begin(), list.end(), current);
    int index = found == list.end() ? (forward ? count - 1 : 0) : static_cast<int>(found - list.begin());
    for (int step = 0; step < count; ++step) {
        index = forward ? (index + 1) % count : (index + count - 1) % count;
        TWinControl* candidate = list[index];
        if (candidate == current) break;
        if ((!checkTabStop || candidate->FTabStop) && candidate->CanFocus()) return candidate;
    }
    return nullptr;
}

bool TWinControl::CanFocus() const { return IsShowingAndEnabled(); }

bool TWinControl::Focused() const {
    HWND focus = GetFocus();
    return focus && FHandle && FindOwningControl(focus) == this;
}

void TWinControl::SetFocus() {
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && !form->Visible()) {
        // The form shows later and gives the focus to its active control then.
        form->SetActiveControl(this);
        return;
    }
    if (!CanFocus()) return;
    ::SetFocus(Handle());
}

void TWinControl::SetBorderWidth(int width) {
    if (width == FBorderWidth) return;
    FBorderWidth = width;
    if (FHandle)
        SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    AlignControls();
}

void TWinControl::LayoutClientSize(int& width, int& height) {
    if (FHandle) {
        RECT client;
        GetClientRect(FHandle, &client);
        width = client.right;
        height = client.bottom;
        return;
    }
    width = std::max(0, FWidth - 2 * FBorderWidth);
    height = std::max(0, FHeight - 2 * FBorderWidth);
}

RECT TWinControl::ClientRect() {
    int width = 0, height = 0;
    LayoutClientSize(width, height);
    return RECT{0, 0, width, height};
}

int TWinControl::ClientWidth() { return ClientRect().right; }
int TWinControl::ClientHeight() { return ClientRect().bottom; }

void TWinControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
}

void TWinControl::ApplyBounds(int left, int top, int width, int height) {
    bool sizeChanged = width != FWidth || height != FHeight;
    bool changed = sizeChanged || left != FLeft || top != FTop;
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    if (FHandle && changed)
        SetWindowPos(FHandle, nullptr, left, top, width, WindowHeight(height), SWP_NOZORDER | SWP_NOACTIVATE);
    if (sizeChanged) AlignControls();
    if (changed) BoundsChanged();
}

void TWinControl::ChangeScale(int M, int D) {
    if (FBorderWidth > 0) {
        FBorderWidth = MulDiv(FBorderWidth, M, D);
        if (FHandle)
            SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                         SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    TControl::ChangeScale(M, D);
    for (TControl* control : std::vector<TControl*>(FControls)) control->ChangeScale(M, D);
}

void TWinControl::ScaleFonts(int M, int D) {
    TControl::ScaleFonts(M, D);
    for (TControl* control : std::vector<TControl*>(FControls)) control->ScaleFonts(M, D);
}

void TWinControl::RealignScaled() {
    for (TControl* control : FControls) control->UpdateAnchorRules();
    AlignControls();
    for (TControl* control : std::vector<TControl*>(FControls))
        if (auto* child = dynamic_cast<TWinControl*>(control)) child->RealignScaled();
}

void TWinControl::AlignControls() {
    // While a layout is read the controls keep the places it gives; they are
    // aligned once it is read, so the order along an edge follows those places.
    if (FAligning || IsLoading() || Scaling()) return;
    FAligning = true;
    try {
        int width = 0, height = 0;
        LayoutClientSize(width, height);
        RECT rest{0, 0, width, height};
        AdjustClientRect(rest);
        std::vector<TControl*> tops, bottoms, lefts, rights, clients;
        for (TControl* control : FControls) {
            if (control->FAlign == alNone) {
                // Anchored to the right or bottom: keep that distance; anchored to both sides: stretch.
                int left = control->FLeft, top = control->FTop, w = control->FWidth, h = control->FHeight;
                if (control->FAnchors & akRight) {
                    if (control->FAnchors & akLeft)
                        w = std::max(0, width - control->FAnchorRight - left);
                    else
                        left = width - control->FAnchorRight - w;
                }
                if (control->FAnchors & akBottom) {
                    if (control->FAnchors & akTop)
                        h = std::max(0, height - control->FAnchorBottom - top);
                    else
                        top = height - control->FAnchorBottom - h;
                }
                control->ApplyBounds(left, top, w, h);
                continue;
            }
            if (!control->FVisible) continue;
            switch (control->FAlign) {
                case alTop: tops.push_back(control); break;
                case alBottom: bottoms.push_back(control); break;
                case alLeft: lefts.push_back(control); break;
                case alRight: rights.push_back(control); break;
                case alClient: clients.push_back(control); break;
                case alNone: break;
            }
        }
        // The control lowest down goes to the bottom edge first; likewise the rightmost to the right edge.
        std::stable_sort(bottoms.begin(), bottoms.end(), [](TControl* a, TControl* b) {
            return a->FTop + a->FHeight > b->FTop + b->FHeight;
        });
        std::stable_sort(rights.begin(), rights.end(), [](TControl* a, TControl* b) {
            return a->FLeft + a->FWidth > b->FLeft + b->FWidth;
        });
        for (TControl* control : tops) {
            control->ApplyBounds(rest.left, rest.top, std::max(0L, rest.right - rest.left), control->FHeight);
            rest.top += control->FHeight;
        }
        for (TControl* control : bottoms) {
            control->ApplyBounds(rest.left, rest.bottom - control->FHeight, std::max(0L, rest.right - rest.left),
                                 control->FHeight);
            rest.bottom -= control->FHeight;
        }
        for (TControl* control : lefts) {
            control->ApplyBounds(rest.left, rest.top, control->FWidth, std::max(0L, rest.bottom - rest.top));
            rest.left += control->FWidth;
        }
        for (TControl* control : rights) {
            control->ApplyBounds(rest.right - control->FWidth, rest.top, control->FWidth,
                                 std::max(0L, rest.bottom - rest.top));
            rest.right -= control->FWidth;
        }
        for (TControl* control : clients)
            control->ApplyBounds(rest.left, rest.top, std::max(0L, rest.right - rest.left),
                                 std::max(0L, rest.bottom - rest.top));
    } catch (...) {
        FAligning = false;
        throw;
    }
    FAligning = false;
}

void TWinControl::SetVisible(bool visible) {
    if (visible == FVisible) return;
    FVisible = visible;
    if (FHandle) ShowWindow(FHandle, visible ? SW_SHOWNA : SW_HIDE);
    if (FParent && FAlign != alNone) FParent->AlignControls();
}

void TWinControl::SetEnabled(bool enabled) {
    if (enabled == FEnabled) return;
    FEnabled = enabled;
    if (FHandle) EnableWindow(FHandle, enabled);
    Invalidate();
}

std::wstring TWinControl::Text() const { return FHandle ? WindowText(FHandle) : FText; }

void TWinControl::SetText(const std::wstring& text) {
    FText = text;
    if (FHandle) SetWindowTextW(FHandle, text.c_str());
    TextChanged();
}

void TWinControl::Repaint() {
    if (!FHandle) return;
    InvalidateRect(FHandle, nullptr, TRUE);
    UpdateWindow(FHandle);
}

void TWinControl::Invalidate() {
    if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::FontChanged() {
    if (FHandle) SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Handle()), TRUE);
    for (TControl* control : FControls) control->ParentFontChanged();
}

void TWinControl::ColorChanged() {
    Invalidate();
    for (TControl* control : FControls) control->ParentColorChanged();
}

void TWinControl::ParentFontChanged() { TControl::ParentFontChanged(); }

// ---- Published properties ----

namespace {

const std::wstring_view kAlignNames[] = {L"alNone", L"alTop", L"alBottom", L"alLeft", L"alRight", L"alClient"};
const TTypeInfo kAlignType{tkEnumeration, L"TAlign", kAlignNames};
const std::wstring_view kAnchorNames[] = {L"akLeft", L"akTop", L"akRight", L"akBottom"};
const TTypeInfo kAnchorKindType{tkEnumeration, L"TAnchorKind", kAnchorNames};
const TTypeInfo kAnchorsType{tkSet, L"TAnchors", {}, &kAnchorKindType};
const TPropInfo kControlProperties[] = {
    OrdinalProperty<TControl, &TControl::Align, &TControl::SetAlign>(L"Align", kAlignType),
    OrdinalProperty<TControl, &TControl::Anchors, &TControl::SetAnchors>(L"Anchors", kAnchorsType),
    OrdinalProperty<TControl, &TControl::Color, &TControl::SetColor>(L"Color", published::ColorType),
    OrdinalProperty<TControl, &TControl::Enabled, &TControl::SetEnabled>(L"Enabled", TypeBoolean),
    published::ReferenceProperty<TControl, static_cast<TFont& (TControl::*)()>(&TControl::Font)>(
        L"Font", published::FontType),
    OrdinalProperty<TControl, &TControl::Height, &TControl::SetHeight>(L"Height", TypeInteger),
    OrdinalProperty<TControl, &TControl::Left, &TControl::SetLeft>(L"Left", TypeInteger),
    OrdinalProperty<TControl, &TControl::ParentColor, &TControl::SetParentColor>(L"ParentColor", TypeBoolean),
    OrdinalProperty<TControl, &TControl::ParentFont, &TControl::SetParentFont>(L"ParentFont", TypeBoolean),
    OrdinalProperty<TControl, &TControl::Top, &TControl::SetTop>(L"Top", TypeInteger),
    OrdinalProperty<TControl, &TControl::Visible, &TControl::SetVisible>(L"Visible", TypeBoolean),
    OrdinalProperty<TControl, &TControl::Width, &TControl::SetWidth>(L"Width", TypeInteger),
};

const TPropInfo kWinControlProperties[] = {
    OrdinalProperty<TWinControl, &TWinControl::TabOrder, &TWinControl::SetTabOrder>(L"TabOrder", TypeInteger),
    OrdinalProperty<TWinControl, &TWinControl::TabStop, &TWinControl::SetTabStop>(L"TabStop", TypeBoolean),
};

}  // namespace

const TClassInfo* TControl::ClassInfo() const {
    static const TClassInfo info{L"TControl", TComponent::ClassInfo(), kControlProperties};
    return &info;
}

const TClassInfo* TWinControl::ClassInfo() const {
    static const TClassInfo info{L"TWinControl", TControl::ClassInfo(), kWinControlProperties};
    return &info;
}

}  // namespace forms
