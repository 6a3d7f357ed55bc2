#pragma once
// Visual controls: TControl (position, parent, font, colour, visibility)
// and TWinControl (a control with a window of its own).

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/Classes.h"
#include "forms/Graphics.h"

namespace forms {

class TWinControl;
class TPopupMenu;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind : uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = uint8_t;

enum TShiftStateFlag : uint8_t { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = uint8_t;
TShiftState KeyboardShiftState();

using TKeyEvent = TEvent<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = TEvent<void(TObject* Sender, wchar_t& Key)>;
using TMouseMoveEvent = TEvent<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

// The mouse pointer over a control: its own or the window class's (crDefault).
using TCursor = int;
constexpr TCursor crDefault = 0, crArrow = -2, crHandPoint = -21;

// A window message decoded once near the window procedure; handlers read
// the typed fields and set Result.
struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result = 0;
};

class TWindowBinding;

// Messages the layer sends to a control about its own window: a parent
// reflects notifications (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM,
// WM_CTLCOLOR*) to the child they concern as CN_BASE + message.
constexpr UINT CN_BASE = WM_APP + 0x2000;

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;
    const TClassInfo* ClassInfo() const override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int value) { SetBounds(value, FTop, FWidth, FHeight); }
    void SetTop(int value) { SetBounds(FLeft, value, FWidth, FHeight); }
    void SetWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
    void SetHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }
    virtual void SetBounds(int left, int top, int width, int height);
    RECT BoundsRect() const { return RECT{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign align);
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors anchors);

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool visible);
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool enabled);

    // The caption or text: a window's text for windowed controls.
    virtual std::wstring Text() const { return FText; }
    virtual void SetText(const std::wstring& text);
    std::wstring Caption() const { return Text(); }
    void SetCaption(const std::wstring& caption) { SetText(caption); }

    TFont& Font() { return FFont; }
    const TFont& Font() const { return FFont; }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value);
    TColor Color() const { return FColor; }
    virtual void SetColor(TColor color);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value);

    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* menu);

    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor cursor) { FCursor = cursor; }
    // A text kept with the control; this layer shows no tooltips.
    const std::wstring& Hint() const { return FHint; }
    void SetHint(const std::wstring& hint) { FHint = hint; }

    // Repaints now.
    virtual void Repaint();
    virtual void Invalidate();

    // Scales the control and what it holds from D to M pixels per inch: bounds, sizes, fonts.
    // A form does it for all its controls when it is made or moves to another monitor's scale;
    // this is for a control that is on no form at the moment.
    void ScaleBy(int M, int D);

    // Runs OnClick as a click of the control would.
    virtual void Click();
    // Alt+letter: acts when letter (upper case) is this control's accelerator
    // and the control can act now; true when it did.
    virtual bool DialogChar(wchar_t letter);
    // Visible and enabled, and so is every parent up to the form.
    bool IsShowingAndEnabled() const;

    TNotifyEvent OnClick;
    TMouseMoveEvent OnMouseMove;

protected:
    void Notification(TComponent* component, TOperation operation) override;
    // Places the control without taking new anchor distances (alignment, anchors).
    virtual void ApplyBounds(int left, int top, int width, int height);
    virtual void FontChanged();
    virtual void ColorChanged() {}
    virtual void TextChanged() {}
    virtual void BoundsChanged() {}
    // Parent's font or colour changed; controls that follow it adopt it.
    virtual void ParentFontChanged();
    virtual void ParentColorChanged();
    void HandleFontChange(TObject* sender);

    // The anchor distances are taken when the control is placed.
    void UpdateAnchorRules();
    // Scaling, in two rounds over the whole tree: first every bound and size (nothing aligns
    // meanwhile), then every font (labels that size themselves do so at the new font).
    virtual void ChangeScale(int M, int D);
    virtual void ScaleFonts(int M, int D);
    // While any control is being scaled, nothing is aligned: the scaled bounds are all in place
    // before the controls are aligned and anchored again.
    static bool Scaling() { return FScalingDepth > 0; }
    static int FScalingDepth;
    friend class TWinControl;
    friend class TCustomForm;
    bool FAdoptingParentFont = false;

    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = alNone;
    TAnchors FAnchors = akLeft | akTop;
    bool FVisible = true;
    bool FEnabled = true;
    std::wstring FText;
    TFont FFont;
    bool FParentFont = true;
    TColor FColor = clBtnFace;
    bool FParentColor = false;
    TPopupMenu* FPopupMenu = nullptr;
    TCursor FCursor = crDefault;
    std::wstring FHint;
    // Distances from the parent's right and bottom edges when anchored there.
    int FAnchorRight = 0, FAnchorBottom = 0;
};

// A control with a window of its own. The window is made on demand
// (Handle()), after its parent's; it can be destroyed and made again
// (RecreateWnd), and the control keeps its state across that.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;
    const TClassInfo* ClassInfo() const override;

    HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded() { Handle(); }
    void RecreateWnd();
    // In front of its siblings: last among the parent's controls, on top of their windows.
    void BringToFront();

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int index) const { return FControls.at(index); }

    int TabOrder() const;
    void SetTabOrder(int order);
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value) { FTabStop = value; }
    bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();

    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int width);
    // The client area less the border width, in client coordinates.
    virtual RECT ClientRect();
    int ClientWidth();
    int ClientHeight();

    void SetBounds(int left, int top, int width, int height) override;
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    std::wstring Text() const override;
    void SetText(const std::wstring& text) override;
    void Repaint() override;
    void Invalidate() override;
    // Brush for painting the background of this control and of the children
    // that show it through (transparent labels, pictures, shapes); made once per colour.
    HBRUSH BackgroundBrush();

    // Sends a message to this control's window procedure directly.
    LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);

    // The next control in tab order after current (wrapping), or nullptr;
    // nested containers take part as a dialog's would.
    TWinControl* FindNextControl(TWinControl* current, bool forward, bool checkTabStop);
    // Every windowed control inside this one in tab order, containers followed by their contents.
    void GetTabOrderList(std::vector<TWinControl*>& list);

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

protected:
    struct TCreateParams {
        std::wstring Caption;
        DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD ExStyle = 0;
        int X = 0, Y = 0, Width = 0, Height = 0;
        HWND WndParent = nullptr;
        // Empty: our own window class; otherwise a standard control, bound by replacing its window procedure.
        std::wstring WinClassName;
        // Not used: every window of our own uses the one class and paints its own background.
        UINT ClassStyle = CS_DBLCLKS;
        HBRUSH Background = nullptr;
    };
    virtual void CreateParams(TCreateParams& params);
    // Makes the window with its children: CreateParams, CreateWindowHandle,
    // the font, InitializeWnd, alignment, then the children's windows.
    virtual void CreateWnd();
    // Makes the window itself from params and binds it to this control.
    virtual void CreateWindowHandle(const TCreateParams& params);
    // Called after the window exists: push state (items, text...) into it.
    virtual void InitializeWnd() {}
    // Called before the window goes: pull state out of it so RecreateWnd keeps it.
    virtual void DestroyWnd();
    // Destroys the window of this control and its children (each pulling its state first).
    // Derived classes whose DestroyWnd keeps state call it from their own destructor.
    void DestroyHandle();
    // Size of the area the children are placed in (the client area less the border width).
    virtual void LayoutClientSize(int& width, int& height);
    void Loaded() override;
    void ApplyBounds(int left, int top, int width, int height) override;
    // Height of the window for a control height (a combo box adds its list).
    virtual int WindowHeight(int height) { return height; }

    // The control's message handling; ends in DefaultHandler.
    virtual void WndProc(TMessage& message);
    // Messages of a child window that types for this control (a combo box's edit
    // field), bound with BindChildWindow; the default passes them on unchanged.
    virtual void ChildWndProc(HWND window, TMessage& message);
    // A window bound to this control is being destroyed (its last message).
    virtual void BoundWindowDestroyed(HWND window);
    TWindowBinding* BindChildWindow(HWND window);
    // The window class's own handling (DefWindowProc or the standard control's procedure).
    void DefaultHandler(TMessage& message);

    // Key hooks: return true when the key was handled and must go no further.
    virtual bool DoKeyDown(WORD& key, TShiftState shift);
    virtual bool DoKeyPress(wchar_t& key);
    virtual void DoEnter();
    virtual void DoExit();
    // Position and show/hide the children after a size change.
    virtual void AlignControls();
    void ChangeScale(int M, int D) override;
    void ScaleFonts(int M, int D) override;
    // After scaling: every anchor distance taken anew, then every container aligned, outside in.
    void RealignScaled();
    // Narrows the area that aligned children share (a panel's bevels).
    virtual void AdjustClientRect(RECT& rect) { (void)rect; }
    // Pictures and shapes are drawn on their parent's surface: their windows stay beneath every sibling.
    virtual bool LiesBeneathSiblings() const { return false; }
    void LowerChildrenBeneathSiblings();

    void FontChanged() override;
    void ColorChanged() override;
    void ParentFontChanged() override;
    // The focus has come to this control's window: the form learns its active control.
    void FocusReceived();
    // Shows the popup menu for a WM_CONTEXTMENU at a screen point; true when there was one.
    bool ShowPopupMenu(LPARAM screenPoint);
    bool HandleInputMessage(TMessage& message);

    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    friend class TControl;
    friend class TCustomForm;

    HWND FHandle = nullptr;
    bool FTabStop = false;
    int FBorderWidth = 0;
    std::vector<TControl*> FControls;
    std::vector<TWinControl*> FTabList;

private:
    friend LRESULT CALLBACK ControlWindowProc(HWND, UINT, WPARAM, LPARAM) noexcept;
    friend LRESULT CALLBACK BoundWindowProc(HWND, UINT, WPARAM, LPARAM) noexcept;
    LRESULT Dispatch(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    bool ReflectToChild(TMessage& message);
    void FixupTabList();
    void Unbind();
    void PaintBorderBand();

    // Set for a standard control's window; nullptr for a window of our own class.
    TWindowBinding* FBinding = nullptr;
    bool FAligning = false;
    int FTabOrderWanted = -1;
    GdiObject<HBRUSH> FBackgroundBrush;
    TColor FBackgroundBrushColor = clNone;
};

// A standard control's window held by the layer: the layer's window procedure
// replaces the window's own, finds this binding in the window's user-data slot
// and hands each message to the control; the original procedure does the rest.
// Another procedure may later be put on top of ours and chain to it: releasing
// the window then leaves that chain intact.
class TWindowBinding {
public:
    // Binds window to control: its messages go to WndProc, or to ChildWndProc
    // for a child window that types for the control.
    static TWindowBinding* Bind(HWND window, TWinControl* control, bool child);
    // The binding of a window bound by this layer; nullptr for any other window.
    static TWindowBinding* Of(HWND window);
    // The control lets go of the window. With our procedure still the window's,
    // the original goes back and the binding is freed; under another procedure
    // ours passes every message on until the window is destroyed.
    void Release();
    // The window's original handling of a message.
    LRESULT CallOriginal(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) const {
        return CallWindowProcW(FOriginal, window, msg, wParam, lParam);
    }
    TWinControl* Control() const { return FControl; }
    bool Child() const { return FChild; }

private:
    friend LRESULT CALLBACK BoundWindowProc(HWND, UINT, WPARAM, LPARAM) noexcept;
    TWindowBinding(HWND window, TWinControl* control, bool child, WNDPROC original)
        : FWindow(window), FControl(control), FChild(child), FOriginal(original) {}
    void Free();

    HWND FWindow;
    TWinControl* FControl;
    bool FChild;
    WNDPROC FOriginal;
};

// The window class of this layer's own windows (forms, panels, speed buttons).
constexpr wchar_t kControlClassName[] = L"FormsControl";
// Registers that class; TApplication::Initialize does it, and so does the first window made.
void RegisterControlClass();

// The program's icon (its first icon resource) at size x size pixels; none when it has no icon.
IconHandle ProgramIcon(int size);

// Finds the control object behind a window made by this layer; nullptr when none.
TWinControl* FindControl(HWND window);
// The control whose window is window or holds it (a combo box for its edit field); nullptr when none.
TWinControl* FindOwningControl(HWND window);
// The text of a window of this program, at its full length.
std::wstring WindowText(HWND window);

}  // namespace forms
