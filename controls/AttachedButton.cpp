#include "controls/AttachedButton.h"

#include <utility>

#include "forms/Forms.h"
#include "runtime/TypInfo.h"

namespace controls {

namespace {

// The hook on one control's window: the button it serves, and the procedure that was there
// before it. A button that lets go while another procedure lies over the hook cannot take
// the hook out of that chain; it leaves it serving no button, passing messages on, until
// the window's last message.
struct TControlHook {
    TOvcAttachedButton* Button;
    WNDPROC Previous;
};

constexpr wchar_t kHookProperty[] = L"OvcAttachedButtonHook";

TControlHook* HookOf(HWND window) { return static_cast<TControlHook*>(GetPropW(window, kHookProperty)); }

// Clears a flag when the scope ends, also when an error passes.
class SizingScope {
public:
    explicit SizingScope(bool& flag) : FFlag(flag) { FFlag = true; }
    ~SizingScope() { FFlag = false; }
    SizingScope(const SizingScope&) = delete;
    SizingScope& operator=(const SizingScope&) = delete;

private:
    bool& FFlag;
};

}  // namespace

LRESULT CALLBACK AttachedControlWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    TControlHook* hook = HookOf(window);
    if (!hook) return DefWindowProcW(window, msg, wParam, lParam);
    LRESULT result = CallWindowProcW(hook->Previous, window, msg, wParam, lParam);
    // Handling the message may have unhooked the button or ended the window: look again.
    hook = HookOf(window);
    if (!hook) return result;
    if (msg == WM_NCDESTROY) {
        RemovePropW(window, kHookProperty);
        if (TOvcAttachedButton* button = hook->Button) {
            button->FHookedWindow = nullptr;
            button->abPrevWndProc = nullptr;
        }
        delete hook;
        return result;
    }
    if (TOvcAttachedButton* button = hook->Button) {
        // An error of the button is shown; the control's message has completed all the same.
        forms::Guarded([&] { button->ControlWindowProc(msg, result); });
    }
    return result;
}

TOvcAttachedButton::TOvcAttachedButton(forms::TComponent* owner) : TBitBtn(owner) {
    FWidth = 21;
    FHeight = 21;
}

TOvcAttachedButton::~TOvcAttachedButton() {
    UnhookControl();
    if (FAttachedControl) RemoveFreeNotification(FAttachedControl);
    FAttachedControl = nullptr;
}

void TOvcAttachedButton::SetAttachedControl(forms::TWinControl* value) {
    if (value == FAttachedControl) return;
    // Asked before anything changes: a refused button keeps following its present control.
    if (!IsLoading() && value && value->HandleAllocated()) {
        auto* other = reinterpret_cast<TOvcAttachedButton*>(SendMessageW(value->Handle(), OM_ATTACHEDBUTTON, 0, 0));
        if (other)
            throw EOvcException(forms::Format(L"This control is already attached to %s", other->Name().c_str()));
    }
    UnhookControl();
    if (FAttachedControl) RemoveFreeNotification(FAttachedControl);
    FAttachedControl = value;
    if (value) FreeNotification(value);
    // The new window hooks the control and places the button; without one, its first window does.
    if (HandleAllocated()) RecreateWnd();
}

void TOvcAttachedButton::SetPosition(TOvcButtonPosition value) {
    if (value == FPosition) return;
    FPosition = value;
    if (!IsLoading()) PlaceBesideControl();
}

void TOvcAttachedButton::SetSeparation(int value) {
    if (value == FSeparation) return;
    FSeparation = value;
    if (!IsLoading()) PlaceBesideControl();
}

void TOvcAttachedButton::SetBounds(int left, int top, int width, int height) {
    const bool changed = left != FLeft || top != FTop || width != FWidth || height != FHeight;
    TBitBtn::SetBounds(left, top, width, height);
    if (!changed || abSizing || !FAttachTwoWay) return;
    PlaceControl();
    // The control may not take every bound it was given (a drop-down box keeps its field's
    // height): the button stands beside it as it is.
    PlaceBesideControl();
}

void TOvcAttachedButton::PlaceBesideControl() {
    if (FAttachedControl)
        PlaceButton(FAttachedControl->Left(), FAttachedControl->Top(), FAttachedControl->Width(),
                    FAttachedControl->Height());
}

void TOvcAttachedButton::PlaceButton(int left, int top, int width, int height) {
    if (abSizing) return;
    SizingScope sizing(abSizing);
    const int right = left + width, bottom = top + height;
    switch (FPosition) {
        case bpRight: SetBounds(right + FSeparation, top, FWidth, bottom - top); break;
        case bpLeft: SetBounds(left - FWidth - FSeparation, top, FWidth, bottom - top); break;
        case bpTop: SetBounds(left, top - FHeight - FSeparation, right - left, FHeight); break;
        case bpBottom: SetBounds(left, bottom + FSeparation, right - left, FHeight); break;
    }
}

void TOvcAttachedButton::PlaceControl() {
    if (abSizing || !FAttachedControl || !FAttachTwoWay) return;
    SizingScope sizing(abSizing);
    forms::TWinControl* control = FAttachedControl;
    const int width = control->Width(), height = control->Height();
    switch (FPosition) {
        case bpRight: control->SetBounds(FLeft - width - FSeparation, FTop, width, FHeight); break;
        case bpLeft: control->SetBounds(FLeft + FWidth + FSeparation, FTop, width, FHeight); break;
        case bpTop: control->SetBounds(FLeft, FTop + FHeight + FSeparation, FWidth, height); break;
        case bpBottom: control->SetBounds(FLeft, FTop - height - FSeparation, FWidth, height); break;
    }
}

void TOvcAttachedButton::ChangeScale(int M, int D) {
    FSeparation = MulDiv(FSeparation, M, D);
    TBitBtn::ChangeScale(M, D);
    PlaceBesideControl();
}

void TOvcAttachedButton::CreateWnd() {
    TBitBtn::CreateWnd();
    HookControl();
}

void TOvcAttachedButton::HookControl() {
    if (!FAttachedControl) return;
    HWND window = FAttachedControl->Handle();
    TControlHook* hook = HookOf(window);
    if (!hook) {
        // Installed over whatever procedure the window has now, which gets every message first.
        hook = new TControlHook{this, reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC))};
        if (!SetPropW(window, kHookProperty, hook)) {
            delete hook;
            return;
        }
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(abNewWndProc));
    } else if (!hook->Button) {
        // A hook left in the window's chain earlier serves this button now.
        hook->Button = this;
    }
    if (hook->Button == this) {
        FHookedWindow = window;
        abPrevWndProc = hook->Previous;
    }
    PlaceBesideControl();
}

void TOvcAttachedButton::UnhookControl() {
    HWND window = std::exchange(FHookedWindow, nullptr);
    abPrevWndProc = nullptr;
    TControlHook* hook = window ? HookOf(window) : nullptr;
    if (!hook || hook->Button != this) return;
    // The procedure that was there comes back only while the hook is the window's procedure;
    // one installed over it still calls the hook, which from now on only passes messages on.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == abNewWndProc) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook->Previous));
        RemovePropW(window, kHookProperty);
        delete hook;
    } else {
        hook->Button = nullptr;
    }
}

void TOvcAttachedButton::ControlWindowProc(UINT msg, LRESULT& result) {
    switch (msg) {
        case WM_MOVE:
        case WM_SIZE:
            PlaceBesideControl();
            break;
        case WM_DESTROY:
            // The control may make a new window (a history box does when its row height
            // changes); the button's own new window hooks that one.
            UnhookControl();
            if (!IsDestroying() && HandleAllocated()) PostMessageW(Handle(), OM_RECREATEBUTTON, 0, 0);
            break;
        case OM_ATTACHEDBUTTON:
            result = reinterpret_cast<LRESULT>(this);
            break;
        default:
            break;
    }
}

void TOvcAttachedButton::WndProc(forms::TMessage& message) {
    if (message.Msg == OM_RECREATEBUTTON) {
        RecreateWnd();
        message.Result = 0;
        return;
    }
    TBitBtn::WndProc(message);
}

void TOvcAttachedButton::Notification(forms::TComponent* component, forms::TOperation operation) {
    TBitBtn::Notification(component, operation);
    if (operation == forms::TOperation::opRemove && component && component == FAttachedControl) {
        UnhookControl();
        FAttachedControl = nullptr;
    }
}

namespace {
const std::wstring_view kButtonPositionNames[] = {L"bpRight", L"bpLeft", L"bpTop", L"bpBottom"};
const forms::TTypeInfo kButtonPositionType{forms::tkEnumeration, L"TOvcButtonPosition", kButtonPositionNames};

using Button = TOvcAttachedButton;
const forms::TPropInfo kAttachedButtonProperties[] = {
    forms::StringProperty<Button, &Button::About, nullptr>(L"About"),
    forms::OrdinalProperty<Button, &Button::AttachTwoWay, &Button::SetAttachTwoWay>(L"AttachTwoWay",
                                                                                   forms::TypeBoolean),
    forms::OrdinalProperty<Button, &Button::Position, &Button::SetPosition>(L"Position", kButtonPositionType),
    forms::OrdinalProperty<Button, &Button::Separation, &Button::SetSeparation>(L"Separation", forms::TypeInteger),
};
}  // namespace

const forms::TClassInfo* TOvcAttachedButton::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcAttachedButton", TBitBtn::ClassInfo(), kAttachedButtonProperties};
    return &info;
}

}  // namespace controls
