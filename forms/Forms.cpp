#include "forms/Forms.h"

#include <windows.h>
#include <commctrl.h>

namespace forms {

TApplication* Application = nullptr;

std::wstring ErrorBoxText(const std::wstring& message) {
    if (!message.empty() && message.back() > L'.') return message + L".";
    return message;
}

// ---- TApplication ----

namespace {

constexpr wchar_t kApplicationClass[] = L"FormsApplication";

LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        // Closing the hidden window (taskbar or task manager) asks for the end of the loop.
        if (msg == WM_CLOSE) {
            if (Application) Application->Terminate();
            return 0;
        }
        return DefWindowProcW(window, msg, wParam, lParam);
    } catch (...) {
        if (Application) Application->HandleException(nullptr);
        return 0;
    }
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
    if (Application == this) Application = FPrevious;
}

void TApplication::Initialize() {
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
    while (!FTerminated) HandleMessage();
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        // Kept as Terminated: Run ends once control is back there.
        FTerminated = true;
        return true;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
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
        if (!owner) owner = FHandle.Get();
        MessageBoxW(owner, text.c_str(), FTitle.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    } catch (...) {
        // The error box itself failed; there is no other channel.
    }
}

}  // namespace forms
