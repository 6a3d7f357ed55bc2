#pragma once
// Drives a running Kamdrop.exe from another process through window messages,
// the way a user would, for the end-to-end test and the benchmark.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class KamdropDriver {
public:
    // Copies the exe into workDirectory (its settings file lies beside it) and starts it; an exe
    // given as workDirectory\Kamdrop.exe starts where it lies.
    KamdropDriver(const std::wstring& exePath, const std::wstring& workDirectory);
    ~KamdropDriver();
    KamdropDriver(const KamdropDriver&) = delete;
    KamdropDriver& operator=(const KamdropDriver&) = delete;

    // Waits for the main window; false after the timeout.
    bool WaitForMainWindow(DWORD timeoutMs = 20000);
    HWND MainWindow() const { return FMainWindow; }

    void SetInput(const std::wstring& text) { SetField(0, text); }
    void SetOutput(const std::wstring& text) { SetField(1, text); }
    void SetLabel(const std::wstring& text) { SetField(2, text); }
    // A field's text and its history rows, read from outside: 0 input, 1 output, 2 label.
    std::wstring FieldText(int index) const;
    std::vector<std::wstring> FieldRows(int index) const;
    // Tab as typed: the focus moves to the next field.
    void PressTab();
    // Clicks Start and returns when the whole release is over (the click
    // handler runs the release to its end).
    void ClickStartAndWait();
    bool StartEnabled() const;
    std::wstring StatusText() const;
    int RowCount() const;

    // Posts a click of a field's "..." button (0 input, 1 output); the folder browser it opens
    // is modal, so the click returns at once.
    void PostBrowseClick(int field);
    // The program's folder browser once its callback has placed it (centred on the main
    // window's monitor) and chosen the starting folder; nullptr after the timeout.
    HWND WaitForFolderBrowser(DWORD timeoutMs = 10000) const;
    // Presses a button of a dialog (IDOK, IDCANCEL) and waits until the dialog is gone.
    bool PressDialogButton(HWND dialog, int id, DWORD timeoutMs = 10000) const;
    // Opens a field's popup menu as the keyboard's menu key does and chooses the item with
    // the accelerator letter; false when no menu showed.
    bool ChooseFromPopupMenu(int field, wchar_t accelerator, DWORD timeoutMs = 10000) const;
    // A character typed into a field's edit part.
    void TypeChar(int field, wchar_t c) const;

    // Clicks Start from a thread of the test and returns at once; the click
    // returns when the whole release is over (WaitForRun), so the test can act meanwhile.
    void StartRun();
    // Waits for the release started by StartRun; false after the timeout.
    bool WaitForRun(DWORD timeoutMs = 60000);
    // Alt+letter as the keyboard gives it to the program (the loop handles it, no window procedure).
    void PressAlt(wchar_t letter);
    // The progress bar's position: the number of the file being moved.
    int ProgressPosition() const;
    // Holds the program's user-interface thread still while the test changes the disk under it.
    void Suspend();
    void Resume();
    // The window answers a message within timeoutMs.
    bool Responds(DWORD timeoutMs = 5000) const;
    bool Running() const;
    struct Row {
        std::wstring Text;
        // 0 moved (check mark), 1 not moved (cross).
        LRESULT Mark;
    };
    std::vector<Row> Rows() const;
    // A message box of the program (caption, text) once one is shown; nullptr after the timeout.
    HWND WaitForMessageBox(DWORD timeoutMs = 20000) const;
    static std::wstring WindowText(HWND window);
    // The message of a message box: the text of its static control that carries text.
    static std::wstring MessageBoxText(HWND box);

    // The full paths of the DLLs (and the exe) loaded in the program now.
    std::vector<std::wstring> LoadedModules() const;
    // Ends the program from outside at once, as a crash, a power cut or the task manager would.
    void Kill();
    // Peak memory of the program so far, in bytes (peak working set).
    SIZE_T PeakWorkingSet() const;
    // Chooses "E&xit" on the menu bar and waits for the process to end; false after the timeout.
    bool Exit(DWORD timeoutMs = 20000);
    // Asks the window to close (title-bar close) and waits for the process to end.
    bool Close(DWORD timeoutMs = 20000);
    // Queues a click of Start without waiting for the release.
    void PostStartClick();
    bool WaitForExit(DWORD timeoutMs);

    // Chooses Info > About with the keyboard (Alt+I, then A): menus do not cross processes.
    // False when the menu did not open.
    bool OpenAbout();
    // A visible (or any, when visible is false) top-level window of the program with this caption
    // and class, when given; nullptr after the timeout.
    HWND WaitForWindow(const wchar_t* caption, const wchar_t* className = nullptr, DWORD timeoutMs = 10000,
                       bool visible = true) const;
    // The texts of the visible windows inside window (labels, buttons, the text of an edit field).
    static std::vector<std::wstring> VisibleTexts(HWND window);
    static HWND FindChildByText(HWND window, const wchar_t* text);
    // The alpha value of a layered window; -1 when it has none.
    static int Alpha(HWND window);

private:
    // A visible top-level window of the program with the class name, nullptr when none.
    HWND FindTopLevel(const wchar_t* className) const;
    HWND FieldEdit(int field) const;
    HWND FindChild(const wchar_t* className, int orderByPosition) const;
    HWND StartButton() const;
    HWND Field(int index) const;
    void SetField(int index, const std::wstring& text);

    PROCESS_INFORMATION FProcess{};
    HANDLE FRunThread = nullptr;
    HWND FMainWindow = nullptr;
};

// The top-level windows of one process, front to back.
std::vector<HWND> TopLevelWindows(DWORD processId);

// Polls condition every pollMs until it holds (true) or timeoutMs have passed (false); it is asked at least once.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000, DWORD pollMs = 10);

// A copy of an executable without its version record, for a program that has none.
void CopyWithoutVersionRecord(const std::wstring& exePath, const std::wstring& copyPath);

// A Linux path given at build time as the Windows path Wine maps it to (Z:).
std::wstring HostPathToWindows(const std::string& path);
