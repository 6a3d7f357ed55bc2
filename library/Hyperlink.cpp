#include "library/Hyperlink.h"

#include <shellapi.h>

#include "forms/ComCtrls.h"
#include "forms/ExtCtrls.h"
#include "forms/Forms.h"
#include "forms/SystemLibraries.h"

using namespace forms;

namespace library {

namespace {

// The shell is loaded when the first address is opened: imported, it and the
// libraries it needs would load at every start of the program.
HINSTANCE WINAPI ShellExecuteOnDemand(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                      INT show) {
    static const auto shellExecute = SystemFunction<TShellExecute>(L"shell32.dll", "ShellExecuteW");
    if (!shellExecute) return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
    return shellExecute(owner, verb, file, parameters, directory, show);
}

}  // namespace

TShellExecute ShellExecuteCall = ShellExecuteOnDemand;

namespace {

// The handlers are bound only to labels and their containers; anything else is a wiring fault.
template <typename T>
T& As(TObject* sender) {
    auto* object = dynamic_cast<T*>(sender);
    if (!object) throw Exception(L"Invalid class typecast");
    return *object;
}

constexpr TColor kLinkColor = clBlue;
constexpr TColor kNormalColor = clBlack;

}  // namespace

TLabelToLinkEventHandlers* LinkEventHandlers() {
    static TLabelToLinkEventHandlers handlers;
    return &handlers;
}

void LabelToLink(TLabel* Label, const std::wstring& Target) {
    Label->SetCursor(crHandPoint);
    Label->SetHint(Target);
    Label->OnClick = Bind<&TLabelToLinkEventHandlers::LinkLabelClick>(LinkEventHandlers());
    Label->OnMouseMove = Bind<&TLabelToLinkEventHandlers::LinkLabelMouseMove>(LinkEventHandlers());
    TWinControl* parent = Label->Parent();
    if (dynamic_cast<TForm*>(parent) || dynamic_cast<TPanel*>(parent) || dynamic_cast<TTabSheet*>(parent))
        parent->OnMouseMove = Bind<&TLabelToLinkEventHandlers::ResetLinkLabels>(LinkEventHandlers());
}

void OpenUrl(const std::wstring& Target) {
    HWND owner = Application ? Application->Handle() : nullptr;
    ShellExecuteCall(owner, L"open", Target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TLabelToLinkEventHandlers::LinkLabelClick(TObject* Sender) {
    auto& label = As<TLabel>(Sender);
    ResetLinkLabels(label.Parent(), 0, 0, 0);
    OpenUrl(label.Hint());
}

void TLabelToLinkEventHandlers::LinkLabelMouseMove(TObject* Sender, TShiftState, int, int) {
    auto& label = As<TLabel>(Sender);
    ResetLinkLabels(label.Parent(), 0, 0, 0);
    label.Font().SetStyle(label.Font().Style() | fsUnderline);
    label.Font().SetColor(kLinkColor);
}

void TLabelToLinkEventHandlers::ResetLinkLabels(TObject* Sender, TShiftState, int, int) {
    // A label taken off its container has none to reset.
    if (!Sender) return;
    auto& container = As<TWinControl>(Sender);
    for (int i = 0; i < container.ControlCount(); ++i) {
        auto* label = dynamic_cast<TLabel*>(container.Controls(i));
        if (!label || label->Hint().empty()) continue;
        label->Font().SetStyle(label->Font().Style() & ~fsUnderline);
        label->Font().SetColor(kNormalColor);
    }
}

}  // namespace library
