#pragma once
// Shared by the library tests: the test form, and a stand-in for the shell
// that records what would have been opened.

#include <windows.h>

#include <string>
#include <vector>

#include "TestForm.h"
#include "library/Hyperlink.h"

// Takes the place of ShellExecuteW for its lifetime; nothing is opened.
class ShellRecorder {
public:
    struct Call {
        HWND Owner;
        std::wstring Verb, File;
        bool Parameters, Directory;
        int Show;
    };

    ShellRecorder() : FSaved(library::ShellExecuteCall) {
        Calls().clear();
        library::ShellExecuteCall = Record;
    }
    ~ShellRecorder() { library::ShellExecuteCall = FSaved; }
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    static std::vector<Call>& Calls() {
        static std::vector<Call> calls;
        return calls;
    }
    std::vector<std::wstring> Files() const {
        std::vector<std::wstring> files;
        for (const Call& call : Calls()) files.push_back(call.File);
        return files;
    }

private:
    static HINSTANCE WINAPI Record(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                   INT show) {
        Calls().push_back(Call{owner, verb ? verb : L"", file ? file : L"", parameters != nullptr,
                               directory != nullptr, show});
        return reinterpret_cast<HINSTANCE>(42);
    }
    library::TShellExecute FSaved;
};

// Presses a label as the mouse would: a static control reports the click when the button goes down.
inline void ClickLabel(HWND label) {
    SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}
