#include "KamdropDriver.h"

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// Every window inside parent, at any depth.
std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The title the system keeps for a window (no message to the program).
std::wstring TitleOf(HWND window) {
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    return title;
}

bool SameText(const std::wstring& a, const wchar_t* b) { return _wcsicmp(a.c_str(), b) == 0; }

template <typename Match>
HWND FirstOf(const std::vector<HWND>& windows, Match match) {
    auto found = std::find_if(windows.begin(), windows.end(), match);
    return found == windows.end() ? nullptr : *found;
}

// Polls find until it gives a window or the time is up.
template <typename Find>
HWND WaitFor(Find find, DWORD timeoutMs, DWORD pollMs = 20) {
    HWND window = nullptr;
    WaitUntil([&] { return (window = find()) != nullptr; }, timeoutMs, pollMs);
    return window;
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId) {
    std::vector<HWND> all, own;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    for (HWND window : all) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) own.push_back(window);
    }
    return own;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(pollMs);
    }
    return true;
}

std::wstring HostPathToWindows(const std::string& path) {
    std::wstring result = L"Z:";
    for (char c : path) result += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return result;
}

KamdropDriver::KamdropDriver(const std::wstring& exePath, const std::wstring& workDirectory) {
    // The program is aware of the screen's scale: a driver that is not would see its windows'
    // places and sizes mapped to 96 pixels per inch.
    SetProcessDPIAware();
    std::wstring copy = workDirectory + L"\\Kamdrop.exe";
    // A program already in place (in a folder the test cannot write to) starts where it lies.
    if (exePath != copy && !CopyFileW(exePath.c_str(), copy.c_str(), FALSE))
        throw std::runtime_error("cannot copy Kamdrop.exe");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + copy + L"\"";
    if (!CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workDirectory.c_str(), &startup, &FProcess))
        throw std::runtime_error("cannot start Kamdrop.exe");
}

KamdropDriver::~KamdropDriver() {
    if (FRunThread) {
        // A run still going ends with the program.
        if (FProcess.hProcess) TerminateProcess(FProcess.hProcess, 1);
        WaitForSingleObject(FRunThread, 5000);
        CloseHandle(FRunThread);
    }
    if (FProcess.hProcess) {
        if (WaitForSingleObject(FProcess.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(FProcess.hProcess, 1);
            WaitForSingleObject(FProcess.hProcess, 5000);
        }
        CloseHandle(FProcess.hThread);
        CloseHandle(FProcess.hProcess);
    }
}

bool KamdropDriver::WaitForMainWindow(DWORD timeoutMs) {
    WaitForInputIdle(FProcess.hProcess, timeoutMs);
    // The visible window titled "Kamdrop": the application's own hidden window carries the same title.
    // A program that ended (a crash at start) is not waited for.
    WaitUntil(
        [&] {
            FMainWindow = FirstOf(TopLevelWindows(FProcess.dwProcessId),
                                  [](HWND w) { return IsWindowVisible(w) && TitleOf(w) == L"Kamdrop"; });
            return FMainWindow || !Running();
        },
        timeoutMs, 50);
    DWORD code = 0;
    if (!FMainWindow && GetExitCodeProcess(FProcess.hProcess, &code) && code != STILL_ACTIVE)
        std::fprintf(stderr, "Kamdrop.exe ended with status 0x%08lx before it showed its window\n",
                     static_cast<unsigned long>(code));
    return FMainWindow != nullptr;
}

// Children of one class, ordered by their position on screen (top, then left).
HWND KamdropDriver::FindChild(const wchar_t* className, int orderByPosition) const {
    std::vector<HWND> found;
    for (HWND child : ChildWindows(FMainWindow))
        if (SameText(ClassOf(child), className)) found.push_back(child);
    std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    });
    return orderByPosition < static_cast<int>(found.size()) ? found[orderByPosition] : nullptr;
}

// Fields by position: the input box at the top left, the label box at the
// top right, the output box below the input box.
HWND KamdropDriver::Field(int index) const {
    static const int positionOrder[] = {0, 2, 1};
    return FindChild(L"ComboBox", positionOrder[index]);
}

void KamdropDriver::SetField(int index, const std::wstring& text) {
    SendMessageW(Field(index), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring KamdropDriver::FieldText(int index) const { return WindowText(Field(index)); }

std::vector<std::wstring> KamdropDriver::FieldRows(int index) const {
    HWND box = Field(index);
    std::vector<std::wstring> rows;
    LRESULT count = SendMessageW(box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t row[1024] = {};
        if (SendMessageW(box, CB_GETLBTEXTLEN, i, 0) < 1024)
            SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(row));
        rows.push_back(row);
    }
    return rows;
}

void KamdropDriver::PressTab() {
    PostMessageW(FMainWindow, WM_KEYDOWN, VK_TAB, 1);
    PostMessageW(FMainWindow, WM_KEYUP, VK_TAB, 1 | (3u << 30));
}

HWND KamdropDriver::StartButton() const { return FindChildByText(FMainWindow, L"&Start"); }

void KamdropDriver::ClickStartAndWait() { SendMessageW(StartButton(), BM_CLICK, 0, 0); }

bool KamdropDriver::StartEnabled() const { return IsWindowEnabled(StartButton()) != FALSE; }

std::wstring KamdropDriver::StatusText() const { return WindowText(FindChild(STATUSCLASSNAMEW, 0)); }

int KamdropDriver::RowCount() const {
    return static_cast<int>(SendMessageW(FindChild(L"ListBox", 0), LB_GETCOUNT, 0, 0));
}

SIZE_T KamdropDriver::PeakWorkingSet() const {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    return GetProcessMemoryInfo(FProcess.hProcess, &counters, sizeof(counters)) ? counters.PeakWorkingSetSize : 0;
}

bool KamdropDriver::WaitForExit(DWORD timeoutMs) {
    return WaitForSingleObject(FProcess.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

bool KamdropDriver::Exit(DWORD timeoutMs) {
    // Alt+X chooses "E&xit" on the menu bar; menu handles do not cross processes.
    PostMessageW(FMainWindow, WM_SYSKEYDOWN, VK_MENU, 1 | (1 << 29));
    PostMessageW(FMainWindow, WM_SYSKEYDOWN, 'X', 1 | (1 << 29));
    PostMessageW(FMainWindow, WM_SYSCHAR, 'x', 1 | (1 << 29));
    PostMessageW(FMainWindow, WM_SYSKEYUP, 'X', 1 | (1 << 29) | (3u << 30));
    PostMessageW(FMainWindow, WM_KEYUP, VK_MENU, 1 | (3u << 30));
    return WaitForExit(timeoutMs);
}

bool KamdropDriver::Close(DWORD timeoutMs) {
    PostMessageW(FMainWindow, WM_CLOSE, 0, 0);
    return WaitForExit(timeoutMs);
}

void KamdropDriver::PostStartClick() { PostMessageW(StartButton(), BM_CLICK, 0, 0); }

namespace {
bool CentredOnMonitorOf(HWND window, HWND reference) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(reference, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT rect;
    GetWindowRect(window, &rect);
    const RECT& area = monitor.rcMonitor;
    return rect.left == area.left + (area.right - area.left - (rect.right - rect.left)) / 2 &&
           rect.top == area.top + (area.bottom - area.top - (rect.bottom - rect.top)) / 2;
}
}  // namespace

HWND KamdropDriver::FindTopLevel(const wchar_t* className) const {
    return FirstOf(TopLevelWindows(FProcess.dwProcessId),
                   [&](HWND w) { return IsWindowVisible(w) && ClassOf(w) == className; });
}

HWND KamdropDriver::FieldEdit(int field) const { return FindWindowExW(Field(field), nullptr, L"Edit", nullptr); }

void KamdropDriver::PostBrowseClick(int field) { PostMessageW(FindChild(L"Button", field), BM_CLICK, 0, 0); }

HWND KamdropDriver::WaitForFolderBrowser(DWORD timeoutMs) const {
    HWND browser = WaitFor(
        [&]() -> HWND {
            HWND found = FindTopLevel(L"#32770");
            return found && CentredOnMonitorOf(found, FMainWindow) ? found : nullptr;
        },
        timeoutMs);
    // The starting folder is selected right after the browser is placed.
    if (browser) Sleep(200);
    return browser;
}

bool KamdropDriver::PressDialogButton(HWND dialog, int id, DWORD timeoutMs) const {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    return WaitUntil([&] { return !IsWindow(dialog); }, timeoutMs, 20);
}

bool KamdropDriver::ChooseFromPopupMenu(int field, wchar_t accelerator, DWORD timeoutMs) const {
    HWND edit = FieldEdit(field);
    // (-1, -1): from the keyboard, so the menu opens below the middle of the field.
    PostMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), MAKELPARAM(-1, -1));
    HWND menu = WaitFor([&] { return FindTopLevel(L"#32768"); }, timeoutMs);
    if (!menu) return false;
    // The menu's own loop reads the keys of the program's queue.
    PostMessageW(menu, WM_CHAR, accelerator, 1);
    return WaitUntil([&] { return !IsWindowVisible(menu); }, timeoutMs, 20);
}

void KamdropDriver::TypeChar(int field, wchar_t c) const { SendMessageW(FieldEdit(field), WM_CHAR, c, 1); }

namespace {
DWORD WINAPI ClickAndWait(LPVOID button) {
    SendMessageW(static_cast<HWND>(button), BM_CLICK, 0, 0);
    return 0;
}

}  // namespace

void KamdropDriver::StartRun() {
    if (FRunThread) CloseHandle(FRunThread);
    FRunThread = CreateThread(nullptr, 0, ClickAndWait, StartButton(), 0, nullptr);
}

void KamdropDriver::Kill() {
    TerminateProcess(FProcess.hProcess, 1);
    WaitForSingleObject(FProcess.hProcess, 10000);
}

bool KamdropDriver::WaitForRun(DWORD timeoutMs) {
    if (!FRunThread || WaitForSingleObject(FRunThread, timeoutMs) != WAIT_OBJECT_0) return false;
    CloseHandle(FRunThread);
    FRunThread = nullptr;
    return true;
}

void KamdropDriver::PressAlt(wchar_t letter) {
    const LPARAM alt = 1 | (1 << 29);
    PostMessageW(FMainWindow, WM_SYSKEYDOWN, VK_MENU, alt);
    PostMessageW(FMainWindow, WM_SYSCHAR, letter, alt);
    PostMessageW(FMainWindow, WM_KEYUP, VK_MENU, 1 | (3u << 30));
}

int KamdropDriver::ProgressPosition() const {
    return static_cast<int>(SendMessageW(FindChild(PROGRESS_CLASSW, 0), PBM_GETPOS, 0, 0));
}

void KamdropDriver::Suspend() { SuspendThread(FProcess.hThread); }
void KamdropDriver::Resume() { ResumeThread(FProcess.hThread); }

bool KamdropDriver::Responds(DWORD timeoutMs) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(FMainWindow, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

bool KamdropDriver::Running() const { return WaitForSingleObject(FProcess.hProcess, 0) == WAIT_TIMEOUT; }

std::vector<KamdropDriver::Row> KamdropDriver::Rows() const {
    HWND list = FindChild(L"ListBox", 0);
    std::vector<Row> rows;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        text.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
        rows.push_back(Row{text, SendMessageW(list, LB_GETITEMDATA, i, 0)});
    }
    return rows;
}

HWND KamdropDriver::WaitForMessageBox(DWORD timeoutMs) const {
    // A message box has a static text; the folder browser has none.
    return WaitFor(
        [&] {
            return FirstOf(TopLevelWindows(FProcess.dwProcessId), [](HWND w) {
                return IsWindowVisible(w) && ClassOf(w) == L"#32770" && !MessageBoxText(w).empty();
            });
        },
        timeoutMs);
}

std::wstring KamdropDriver::WindowText(HWND window) {
    // One question where the text is short: a program busy with a run answers only now and then,
    // and a text read as its length and then its letters could change between the two answers.
    std::wstring text(1024, L'\0');
    LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    if (static_cast<size_t>(copied) + 1 >= text.size()) {
        text.assign(static_cast<size_t>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
        copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    }
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::wstring KamdropDriver::MessageBoxText(HWND box) {
    for (HWND child : ChildWindows(box))
        if (SameText(ClassOf(child), L"Static"))
            if (std::wstring text = WindowText(child); !text.empty()) return text;
    return {};
}

namespace {

// An executable's bytes, with a look into its resource directory.
class FileBytes {
public:
    explicit FileBytes(const std::wstring& path) {
        std::ifstream file(std::filesystem::path(path), std::ios::binary);
        FBytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    void WriteTo(const std::wstring& path) const {
        std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
        file.write(FBytes.data(), static_cast<std::streamsize>(FBytes.size()));
        if (!file) throw std::runtime_error("cannot write the copy");
    }
    // The root directory's entry for a resource type, or nullptr.
    IMAGE_RESOURCE_DIRECTORY_ENTRY* ResourceTypeEntry(WORD type) {
        const DWORD rva = Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE).VirtualAddress;
        auto* root = reinterpret_cast<IMAGE_RESOURCE_DIRECTORY*>(AtRva(rva));
        if (!root) return nullptr;
        auto* entries = reinterpret_cast<IMAGE_RESOURCE_DIRECTORY_ENTRY*>(root + 1);
        for (int e = 0; e < root->NumberOfNamedEntries + root->NumberOfIdEntries; ++e)
            if (!entries[e].NameIsString && entries[e].Id == type) return &entries[e];
        return nullptr;
    }

private:
    IMAGE_NT_HEADERS32* Headers() {
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(FBytes.data());
        return reinterpret_cast<IMAGE_NT_HEADERS32*>(FBytes.data() + dos->e_lfanew);
    }
    // The headers of both word sizes agree up to the optional header, whose data directories sit apart.
    const IMAGE_DATA_DIRECTORY& Directory(int index) {
        IMAGE_NT_HEADERS32* nt = Headers();
        return nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
                   ? reinterpret_cast<IMAGE_NT_HEADERS64*>(nt)->OptionalHeader.DataDirectory[index]
                   : nt->OptionalHeader.DataDirectory[index];
    }
    // The file's bytes at a relative virtual address; nullptr when no section holds it.
    char* AtRva(DWORD rva) {
        IMAGE_NT_HEADERS32* nt = Headers();
        IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (int i = 0; rva && i < nt->FileHeader.NumberOfSections; ++i, ++section)
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData)
                return FBytes.data() + section->PointerToRawData + (rva - section->VirtualAddress);
        return nullptr;
    }

    std::vector<char> FBytes;
};

}  // namespace

bool KamdropDriver::OpenAbout() {
    // Alt+I opens "&Info"; once its menu shows, the typed "a" chooses "&About".
    PostMessageW(FMainWindow, WM_SYSCHAR, 'i', 1 | (1 << 29));
    if (!WaitForWindow(L"", L"#32768")) return false;
    PostMessageW(FMainWindow, WM_CHAR, 'a', 1);
    return true;
}

HWND KamdropDriver::WaitForWindow(const wchar_t* caption, const wchar_t* className, DWORD timeoutMs,
                                  bool visible) const {
    return WaitFor(
        [&] {
            return FirstOf(TopLevelWindows(FProcess.dwProcessId), [&](HWND w) {
                return (!visible || IsWindowVisible(w)) && TitleOf(w) == caption &&
                       (!className || SameText(ClassOf(w), className));
            });
        },
        timeoutMs, visible ? 10 : 0);
}

std::vector<std::wstring> KamdropDriver::VisibleTexts(HWND window) {
    std::vector<std::wstring> texts;
    for (HWND child : ChildWindows(window))
        if (IsWindowVisible(child))
            if (std::wstring text = WindowText(child); !text.empty()) texts.push_back(text);
    return texts;
}

HWND KamdropDriver::FindChildByText(HWND window, const wchar_t* text) {
    return FirstOf(ChildWindows(window), [&](HWND w) { return TitleOf(w) == text; });
}

int KamdropDriver::Alpha(HWND window) {
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) return -1;
    return alpha;
}


std::vector<std::wstring> KamdropDriver::LoadedModules() const {
    std::vector<HMODULE> modules(256);
    DWORD needed = 0;
    while (EnumProcessModules(FProcess.hProcess, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)),
                              &needed) &&
           needed > modules.size() * sizeof(HMODULE))
        modules.resize(needed / sizeof(HMODULE));
    modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
    std::vector<std::wstring> paths;
    for (HMODULE module : modules) {
        wchar_t path[MAX_PATH] = {};
        if (GetModuleFileNameExW(FProcess.hProcess, module, path, MAX_PATH)) paths.emplace_back(path);
    }
    return paths;
}

void CopyWithoutVersionRecord(const std::wstring& exePath, const std::wstring& copyPath) {
    FileBytes bytes(exePath);
    // The record is moved to a resource type that nothing reads: 17 sorts where 16 did.
    IMAGE_RESOURCE_DIRECTORY_ENTRY* entry = bytes.ResourceTypeEntry(16 /* RT_VERSION */);
    if (!entry) throw std::runtime_error("the program has no version record");
    entry->Id = 17;
    bytes.WriteTo(copyPath);
}
