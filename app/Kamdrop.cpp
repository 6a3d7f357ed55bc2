// Program entry: the application object, its title, the main window, the loop.

#include <windows.h>

#include "app/MainWindow.h"
#include "forms/Forms.h"
#include "forms/SystemLibraries.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything loads a library by name: a DLL beside the program never loads.
    forms::RestrictLibrarySearchToSystemFolder();
    forms::TApplication application(nullptr);
    forms::Guarded([&] {
        application.Initialize();
        application.SetTitle(L"Kamdrop");
        application.CreateForm(KamdropForm);
        application.Run();
    });
    return 0;
}
