#include "KamdropDriver.h"

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace {

struct MainWindowSearch {
    DWORD ProcessId;
    HWND Found = nullptr;
};

// The main window is the visible top-level window titled "Kamdrop"; the
// application's own hidden window carries the same title.
BOOL CALLBACK FindMainWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<MainWindowSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (processId == search->ProcessId && IsWindowVisible(window) && std::wstring(title) == L"Kamdrop") {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

struct ChildSearch {
    std::wstring ClassName;
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectChildren(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ChildSearch*>(param);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (_wcsicmp(name, search->ClassName.c_str()) == 0) search->Found.push_back(window);
    return TRUE;
}

}  // namespace

std::wstring HostPathToWindows(const std::string& path) {
    std::wstring result = L"Z:";
    for (char c : path) result += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return result;
}

KamdropDriver::KamdropDriver(const std::wstring& exePath, const std::wstring& workDirectory) {
    std::wstring copy = workDirectory + L"\\Kamdrop.exe";
    if (!CopyFileW(exePath.c_str(), copy.c_str(), FALSE)) throw std::runtime_error("cannot copy Kamdrop.exe");
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
    DWORD start = GetTickCount();
    do {
        MainWindowSearch search{FProcess.dwProcessId};
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
        if (search.Found) {
            FMainWindow = search.Found;
            return true;
        }
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

// Children of one class, ordered by their position on screen (top, then left).
HWND KamdropDriver::FindChild(const wchar_t* className, int orderByPosition) const {
    ChildSearch search{className, {}};
    EnumChildWindows(FMainWindow, CollectChildren, reinterpret_cast<LPARAM>(&search));
    std::sort(search.Found.begin(), search.Found.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    });
    return orderByPosition < static_cast<int>(search.Found.size()) ? search.Found[orderByPosition] : nullptr;
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

std::wstring KamdropDriver::FieldText(int index) const {
    wchar_t text[1024] = {};
    SendMessageW(Field(index), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

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

namespace {
struct TextSearch {
    const wchar_t* Text;
    HWND Found = nullptr;
};
BOOL CALLBACK FindByText(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TextSearch*>(param);
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    if (wcscmp(text, search->Text) == 0) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND KamdropDriver::StartButton() const {
    TextSearch search{L"&Start"};
    EnumChildWindows(FMainWindow, FindByText, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

void KamdropDriver::ClickStartAndWait() { SendMessageW(StartButton(), BM_CLICK, 0, 0); }

bool KamdropDriver::StartEnabled() const { return IsWindowEnabled(StartButton()) != FALSE; }

std::wstring KamdropDriver::StatusText() const {
    HWND status = FindChild(STATUSCLASSNAMEW, 0);
    wchar_t text[1024] = {};
    SendMessageW(status, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

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
struct TopLevelSearch {
    DWORD ProcessId;
    const wchar_t* ClassName;
    HWND Found = nullptr;
};
BOOL CALLBACK FindTopLevelOfClass(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TopLevelSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (processId == search->ProcessId && IsWindowVisible(window) && wcscmp(name, search->ClassName) == 0) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

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
    TopLevelSearch search{FProcess.dwProcessId, className};
    EnumWindows(FindTopLevelOfClass, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND KamdropDriver::FieldEdit(int field) const { return FindWindowExW(Field(field), nullptr, L"Edit", nullptr); }

void KamdropDriver::PostBrowseClick(int field) { PostMessageW(FindChild(L"Button", field), BM_CLICK, 0, 0); }

HWND KamdropDriver::WaitForFolderBrowser(DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    do {
        HWND browser = FindTopLevel(L"#32770");
        if (browser && CentredOnMonitorOf(browser, FMainWindow)) {
            // The starting folder is selected right after the browser is placed.
            Sleep(200);
            return browser;
        }
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

bool KamdropDriver::PressDialogButton(HWND dialog, int id, DWORD timeoutMs) const {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    const DWORD start = GetTickCount();
    while (IsWindow(dialog)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

bool KamdropDriver::ChooseFromPopupMenu(int field, wchar_t accelerator, DWORD timeoutMs) const {
    HWND edit = FieldEdit(field);
    // (-1, -1): from the keyboard, so the menu opens below the middle of the field.
    PostMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), MAKELPARAM(-1, -1));
    const DWORD start = GetTickCount();
    HWND menu = nullptr;
    while (!(menu = FindTopLevel(L"#32768"))) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    // The menu's own loop reads the keys of the program's queue.
    PostMessageW(menu, WM_CHAR, accelerator, 1);
    while (IsWindowVisible(menu)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

void KamdropDriver::TypeChar(int field, wchar_t c) const { SendMessageW(FieldEdit(field), WM_CHAR, c, 1); }

namespace {
DWORD WINAPI ClickAndWait(LPVOID button) {
    SendMessageW(static_cast<HWND>(button), BM_CLICK, 0, 0);
    return 0;
}

struct MessageBoxSearch {
    DWORD ProcessId;
    HWND Found = nullptr;
};
BOOL CALLBACK FindMessageBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<MessageBoxSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    // A message box has a static text; the folder browser has none.
    if (processId == search->ProcessId && IsWindowVisible(window) && wcscmp(name, L"#32770") == 0 &&
        !KamdropDriver::MessageBoxText(window).empty()) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK TakeStaticText(HWND window, LPARAM param) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    std::wstring text = KamdropDriver::WindowText(window);
    if (_wcsicmp(name, L"Static") == 0 && !text.empty()) {
        *reinterpret_cast<std::wstring*>(param) = text;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

void KamdropDriver::StartRun() {
    if (FRunThread) CloseHandle(FRunThread);
    FRunThread = CreateThread(nullptr, 0, ClickAndWait, StartButton(), 0, nullptr);
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
    const DWORD start = GetTickCount();
    do {
        MessageBoxSearch search{FProcess.dwProcessId};
        EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search));
        if (search.Found) return search.Found;
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

std::wstring KamdropDriver::WindowText(HWND window) {
    wchar_t text[1024] = {};
    SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring KamdropDriver::MessageBoxText(HWND box) {
    std::wstring text;
    EnumChildWindows(box, TakeStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
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
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(FBytes.data());
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(FBytes.data() + dos->e_lfanew);
        DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress;
        IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
            if (rva < section->VirtualAddress || rva >= section->VirtualAddress + section->SizeOfRawData) continue;
            char* at = FBytes.data() + section->PointerToRawData + (rva - section->VirtualAddress);
            auto* root = reinterpret_cast<IMAGE_RESOURCE_DIRECTORY*>(at);
            auto* entries = reinterpret_cast<IMAGE_RESOURCE_DIRECTORY_ENTRY*>(root + 1);
            for (int e = 0; e < root->NumberOfNamedEntries + root->NumberOfIdEntries; ++e)
                if (!entries[e].NameIsString && entries[e].Id == type) return &entries[e];
        }
        return nullptr;
    }

private:
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

namespace {
struct CaptionSearch {
    DWORD ProcessId;
    const wchar_t* Caption;
    const wchar_t* ClassName;
    bool Visible;
    HWND Found = nullptr;
};
BOOL CALLBACK FindTopLevelWithCaption(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<CaptionSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t text[256] = {}, name[64] = {};
    GetWindowTextW(window, text, 256);
    GetClassNameW(window, name, 64);
    if (processId == search->ProcessId && (!search->Visible || IsWindowVisible(window)) &&
        wcscmp(text, search->Caption) == 0 &&
        (!search->ClassName || _wcsicmp(name, search->ClassName) == 0)) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}
BOOL CALLBACK CollectVisibleText(HWND window, LPARAM param) {
    if (!IsWindowVisible(window)) return TRUE;
    int length = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 1, L'\0');
    text.resize(SendMessageW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data())));
    if (!text.empty()) reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(text);
    return TRUE;
}
}  // namespace

HWND KamdropDriver::WaitForWindow(const wchar_t* caption, const wchar_t* className, DWORD timeoutMs,
                                  bool visible) const {
    DWORD start = GetTickCount();
    do {
        CaptionSearch search{FProcess.dwProcessId, caption, className, visible};
        EnumWindows(FindTopLevelWithCaption, reinterpret_cast<LPARAM>(&search));
        if (search.Found) return search.Found;
        Sleep(visible ? 10 : 0);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

std::vector<std::wstring> KamdropDriver::VisibleTexts(HWND window) {
    std::vector<std::wstring> texts;
    EnumChildWindows(window, CollectVisibleText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

HWND KamdropDriver::FindChildByText(HWND window, const wchar_t* text) {
    TextSearch search{text};
    EnumChildWindows(window, FindByText, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

int KamdropDriver::Alpha(HWND window) {
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) return -1;
    return alpha;
}

void CopyWithoutVersionRecord(const std::wstring& exePath, const std::wstring& copyPath) {
    FileBytes bytes(exePath);
    // The record is moved to a resource type that nothing reads: 17 sorts where 16 did.
    IMAGE_RESOURCE_DIRECTORY_ENTRY* entry = bytes.ResourceTypeEntry(16 /* RT_VERSION */);
    if (!entry) throw std::runtime_error("the program has no version record");
    entry->Id = 17;
    bytes.WriteTo(copyPath);
}
