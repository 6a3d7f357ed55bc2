#pragma once
#include <string>

namespace forms {

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
using TMsgDlgButtons = unsigned;
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// The standard message dialog: modal, centred on the screen, caption by type
// ("Information", "Confirm", "Warning", "Error"), the first button the default.
// Returns the button pressed.
int MessageDlg(const std::wstring& message, TMsgDlgType type, TMsgDlgButtons buttons);

}  // namespace forms
