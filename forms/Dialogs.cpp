#include "forms/Dialogs.h"

#include <windows.h>

namespace forms {

int MessageDlg(const std::wstring& message, TMsgDlgType type, TMsgDlgButtons buttons) {
    const wchar_t* caption = L"";
    UINT flags = MB_TASKMODAL | MB_SETFOREGROUND | MB_DEFBUTTON1;
    switch (type) {
        case mtWarning:
            caption = L"Warning";
            flags |= MB_ICONWARNING;
            break;
        case mtError:
            caption = L"Error";
            flags |= MB_ICONERROR;
            break;
        case mtInformation:
            caption = L"Information";
            flags |= MB_ICONINFORMATION;
            break;
        case mtConfirmation:
            caption = L"Confirm";
            flags |= MB_ICONQUESTION;
            break;
        case mtCustom:
            break;
    }
    if ((buttons & (mbYes | mbNo)) == (mbYes | mbNo))
        flags |= (buttons & mbCancel) ? MB_YESNOCANCEL : MB_YESNO;
    else if ((buttons & (mbOK | mbCancel)) == (mbOK | mbCancel))
        flags |= MB_OKCANCEL;
    else
        flags |= MB_OK;
    // No owner: the box then centres itself on the screen, and being task-modal
    // it disables every window of this thread while it shows.
    switch (MessageBoxW(nullptr, message.c_str(), caption, flags)) {
        case IDYES:
            return mrYes;
        case IDNO:
            return mrNo;
        case IDCANCEL:
            return mrCancel;
        case IDOK:
            return mrOk;
        default:
            return mrNone;
    }
}

}  // namespace forms
