#pragma once
// Labels that act as web links (hand cursor, blue and underlined under the
// mouse, the target opened through the shell on a click), and OpenUrl, the
// one place where the program hands an address to the shell.

#include <windows.h>

#include <string>

#include "forms/Controls.h"
#include "forms/StdCtrls.h"

namespace library {

// The handlers every link label and its container are bound to; they carry no data.
class TLabelToLinkEventHandlers : public forms::TObject {
public:
    // Click of a link label: every link of its container looks normal again, then its target opens.
    void LinkLabelClick(forms::TObject* Sender);
    // The mouse over a link label: the other links of its container look normal, this one highlighted.
    void LinkLabelMouseMove(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
    // The mouse over a container (Sender): its own labels that carry a hint look normal again.
    void ResetLinkLabels(forms::TObject* Sender, forms::TShiftState Shift, int X, int Y);
};

// The single instance, made on first use and freed when the program ends.
TLabelToLinkEventHandlers* LinkEventHandlers();

// Makes Label a link to Target (a URL or a "mailto:" address), kept as its hint.
// A form, panel or tab sheet holding it resets its links when the mouse moves over it.
void LabelToLink(forms::TLabel* Label, const std::wstring& Target);

// Opens Target with the shell's "open" verb; a failure shows nothing.
void OpenUrl(const std::wstring& Target);

// What OpenUrl calls: ShellExecuteW. Tests put a recorder here, so no browser or mail program opens.
using TShellExecute = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
extern TShellExecute ShellExecuteCall;

}  // namespace library
