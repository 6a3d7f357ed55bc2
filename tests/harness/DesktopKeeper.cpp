// Holds the Wine desktop open for a whole test run.
//
// Wine ends its desktop process one second after the last program on the desktop exits, and the
// next test program starts a new one that inherits that program's output pipe: CTest then waits a
// second for the pipe to close after every test. The test script starts this program once, with
// its output going nowhere, before the tests run; the desktop process it starts inherits nothing
// of CTest's and lives until the script stops the Wine server.
//
// Usage: desktop_keeper READY_FILE [SECONDS]
// READY_FILE is created once the desktop exists; the program ends by itself after SECONDS
// (default three hours) so that a script killed without cleaning up leaves nothing for ever.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    GetDesktopWindow();  // starts the desktop process and waits until its window exists

    HANDLE ready = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(ready);

    unsigned long seconds = argc > 2 ? std::wcstoul(argv[2], nullptr, 10) : 0;
    if (seconds == 0) seconds = 3 * 60 * 60;
    Sleep(static_cast<DWORD>(seconds * 1000));
    return 0;
}
