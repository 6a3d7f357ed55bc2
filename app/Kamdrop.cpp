// Program entry: the application object, its title, the main window, the loop.

#include <windows.h>

#include "app/MainWindow.h"
#include "forms/Dialogs.h"
#include "forms/Forms.h"
#include "forms/SystemLibraries.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything loads a library by name: a DLL beside the program never loads.
    const bool restricted = forms::RestrictLibrarySearchToSystemFolder();
    forms::TApplication application(nullptr);
    forms::Guarded([&] {
        application.Initialize();
        application.SetTitle(L"Kamdrop");
        application.CreateForm(KamdropForm);
        // Said rather than kept quiet: the user can install the update or move the program.
        if (!restricted)
            forms::MessageDlg(L"This Windows lacks the update that lets a program load DLLs from the system folder "
                              L"only (KB2533623), so a DLL put beside Kamdrop could be loaded.\r\nInstall the "
                              L"update, or keep Kamdrop in a folder that only you can write to.",
                              forms::mtWarning, forms::mbOK);
        application.Run();
    });
    return 0;
}
