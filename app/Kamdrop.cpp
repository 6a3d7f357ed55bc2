// Program entry: the application object, its title, the main window, the loop.

#include <windows.h>

#include "app/MainWindow.h"
#include "forms/Forms.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    forms::TApplication application(nullptr);
    forms::Guarded([&] {
        application.Initialize();
        application.SetTitle(L"Kamdrop");
        application.CreateForm(KamdropForm);
        application.Run();
    });
    return 0;
}
