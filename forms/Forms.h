#pragma once
// Forms (top-level windows) and the application object: title, hidden
// owner window, main form, message loop and the error box.

#include <windows.h>

#include <exception>
#include <string>

#include "forms/Controls.h"

namespace forms {

class TMainMenu;
class TCustomForm;
class TButton;

enum TPosition { poDesigned, poScreenCenter };
enum TBorderIcon : uint8_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
using TBorderIcons = uint8_t;
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TDefaultMonitor { dmDesktop, dmPrimary, dmMainForm, dmActiveForm };
enum TFormStyle { fsNormal, fsStayOnTop };

using TCloseEvent = TEvent<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = TEvent<void(TObject* Sender, bool& CanClose)>;

// Outer size limits of a form; 0 means no limit.
struct TSizeConstraints {
    int MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
};

class TCustomForm : public TWinControl {
public:
    // A form starts reading its layout at once: a derived form creates its
    // components in its constructor and then calls EndLayout.
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;
    const TClassInfo* ClassInfo() const override;

    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons icons) { FBorderIcons = icons; }
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition position) { FPosition = position; }
    TSizeConstraints& Constraints() { return FConstraints; }
    // The frame; only bsSingle and bsSizeable show the minimize and maximize buttons.
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle style);
    // Normal, minimized or maximized: the shown window's state, or the one it will show in.
    TWindowState WindowState() const;
    void SetWindowState(TWindowState state);
    // The pixels per inch the form's sizes are in: 96 while its layout is read, then its
    // monitor's, to which the form is scaled when it is made and when it moves to another scale.
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int value) { FPixelsPerInch = value; }
    // Scales the form and every control on it to ppi, as laid out at PixelsPerInch: bounds,
    // anchored and aligned places, fonts, border widths, size limits and the client size.
    void ScaleForPPI(int ppi);
    // Kept for the form's settings; this layer places a form without looking at it.
    TDefaultMonitor DefaultMonitor() const { return FDefaultMonitor; }
    void SetDefaultMonitor(TDefaultMonitor value) { FDefaultMonitor = value; }
    TMainMenu* Menu() const { return FMenu; }
    void SetMenu(TMainMenu* menu);
    // Client size in pixels, the border width included.
    void SetClientSize(int width, int height);

    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* control);

    // The form sees every typed character before the focused control (OnKeyPress).
    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool value) { FKeyPreview = value; }
    // fsStayOnTop keeps the window above the windows of other programs.
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle style);
    // The window's opacity (0 invisible, 255 opaque) as a layered window while AlphaBlend is on.
    bool AlphaBlend() const { return FAlphaBlend; }
    void SetAlphaBlend(bool value);
    BYTE AlphaBlendValue() const { return FAlphaBlendValue; }
    void SetAlphaBlendValue(BYTE value);
    // 0 (mrNone) while the form is up; a button's result or another value ends a wait for it.
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value) { FModalResult = value; }

    void Show();
    void Hide();
    // Showing a form makes its window and activates it; the first time, a form
    // whose Position is poScreenCenter then is centred.
    void SetVisible(bool visible) override;
    // Runs the close-query and close events; for the main form a close
    // ends the application's message loop.
    void Close();
    virtual bool CloseQuery();
    void Release();

    // Raises the destroy event while the whole form still exists.
    void BeforeDestruction() override;

    // Handles Tab, Alt+letter and Enter (the default button) for the controls of this form; true when used.
    virtual bool IsDialogKey(const MSG& msg);

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TCloseQueryEvent OnCloseQuery;
    TCloseEvent OnClose;
    // Another form of the application has become the active window; switching to another program does not count.
    TNotifyEvent OnDeactivate;

protected:
    // Ends the layout read: Loaded for every owned component in creation
    // order, then for the form, then makes the window and raises the create event.
    void EndLayout();
    virtual void DoCreate();
    virtual void DoDestroy();
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;
    void InitializeWnd() override;
    void DestroyWnd() override;
    void Notification(TComponent* component, TOperation operation) override;
    void ApplyBounds(int left, int top, int width, int height) override;
    void LayoutClientSize(int& width, int& height) override;
    void ChangeScale(int M, int D) override;
    // After the form was scaled from D to M pixels per inch: what a form draws at a size of its own.
    virtual void ScaleChanged(int M, int D) {
        (void)M;
        (void)D;
    }

    TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
    TPosition FPosition = poDesigned;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TWindowState FWindowState = wsNormal;
    int FPixelsPerInch = kDesignPixelsPerInch;
    TDefaultMonitor FDefaultMonitor = dmActiveForm;
    TSizeConstraints FConstraints;
    TMainMenu* FMenu = nullptr;
    TWinControl* FActiveControl = nullptr;
    bool FDestroyRaised = false;
    bool FKeyPreview = false;
    TFormStyle FFormStyle = fsNormal;
    bool FAlphaBlend = false;
    BYTE FAlphaBlendValue = 255;
    int FModalResult = 0;

private:
    friend class TWinControl;
    // The focus came to control: exit of the previous control, enter of this one.
    void SetFocusedControl(TWinControl* control);
    void ControlGone(TWinControl* control);
    void ApplyClientSize();
    void ApplyAlphaBlend();
    // The button that Enter presses: the focused push button, else the showing default one.
    TButton* EnterButton();
    void CentreOnScreen();
    int ConstrainedWidth(int width) const;
    int ConstrainedHeight(int height) const;
    DWORD FrameStyle() const;
    DWORD FrameExStyle() const;
    // The window's size less its layout area (frame, menu bar, border band) in each direction.
    void MeasureFrame(int& width, int& height);
    // Brings the window within the size limits.
    void ApplyConstraints();
    // The frame (and border band) a window of this form has at ppi.
    void FrameAt(int ppi, int& width, int& height);
    // The title bar's and task switcher's icons drawn for ppi.
    void UseIconsFor(int ppi);

    // The control that last had the focus (and got its enter event).
    TWinControl* FFocusedControl = nullptr;
    // Client size asked for before the window exists; 0 when none.
    int FWantedClientWidth = 0, FWantedClientHeight = 0;
    bool FShownOnce = false;
    // Icons for a scale other than the system's, once the form has moved to one.
    IconHandle FSmallIcon, FLargeIcon;
    // The size limits less the frame, at FLayoutLimitsPPI: taken once, so that no scale's rounding
    // of the frame carries over to the next.
    TSizeConstraints FLayoutLimits;
    int FLayoutLimitsPPI = 0;
};

// The pixels per inch of the monitor a window is on (the system's where monitors have no scale
// of their own, 96 for a program that is not aware of scales).
int WindowPixelsPerInch(HWND window);

// The form a control lies on (the control itself for a form); nullptr when none.
TCustomForm* GetParentForm(TControl* control);

class TForm : public TCustomForm {
public:
    using TCustomForm::TCustomForm;
    const TClassInfo* ClassInfo() const override;
};

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    // Registers the window classes and makes the hidden owner window.
    void Initialize();
    const std::wstring& Title() const { return FTitle; }
    void SetTitle(const std::wstring& title);
    // The application's own hidden top-level window: owner of the forms and dialogs.
    HWND Handle() const { return FHandle.Get(); }

    TCustomForm* MainForm() const { return FMainForm; }
    // Creates a form owned by the application; the first one becomes the main form.
    template <typename T>
    void CreateForm(T*& reference) {
        reference = new T(this);
        if (!FMainForm) FMainForm = reference;
    }

    // Shows the main form and dispatches messages until Terminate.
    void Run();
    // Dispatches every pending message, then returns. A quit request met here
    // is recorded (Terminated) and ends Run once control is back there.
    void ProcessMessages();
    // Waits for one message and dispatches it (used by modal loops).
    void HandleMessage();
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // Forgets a finished loop (a pending quit message included) so Run can start again; for tests.
    void ResetTerminated();

    // The error box for an error that no handler caught: call from a catch
    // block at a window procedure, timer or callback boundary.
    void HandleException(TObject* sender) noexcept;
    void ShowException(const std::wstring& message) noexcept;

    // Where the error box's text goes instead of a message box (tests); unassigned normally.
    TEvent<void(const std::wstring& text)> OnShowException;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    bool ProcessMessage(MSG& msg);

    std::wstring FTitle;
    WindowHandle FHandle;
    TCustomForm* FMainForm = nullptr;
    bool FTerminated = false;
    // The application object that was current before this one (a test's own).
    TApplication* FPrevious = nullptr;
};

extern TApplication* Application;

// The error box's text: the message with "." appended when the message is
// not empty and its last character is above "." in character code.
std::wstring ErrorBoxText(const std::wstring& message);

// Shows the error that is being handled in the application's error box; for a
// catch block at a boundary with the platform. Does nothing without an application.
void ShowUncaughtError() noexcept;

// The one way from the platform into our code. Window procedures, the message
// loop's own key handling, timers, hooks and shell callbacks run their work
// through it: an error that escapes the work reaches the error box, and control
// goes back to whichever loop called in.
template <typename Body>
void Guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
        ShowUncaughtError();
    }
}

// The same for work that answers the platform: onError is the answer after a failure.
template <typename Result, typename Body>
Result Guarded(Result onError, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        ShowUncaughtError();
        return onError;
    }
}

}  // namespace forms
