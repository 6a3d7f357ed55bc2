#include "app/MainWindow.h"

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <memory>
#include <vector>

#include <algorithm>

#include "app/ResultMarks.h"
#include "engine/FileMove.h"
#include "engine/ReleaseChecks.h"
#include "engine/ReleaseRun.h"
#include "engine/TargetNames.h"
#include "forms/Dialogs.h"
#include "forms/Handles.h"
#include "forms/SystemLibraries.h"
#include "runtime/TypInfo.h"
#include "library/AboutDialog.h"
#include "library/DirectoryReader.h"
#include "library/Hyperlink.h"

using namespace forms;
using controls::TOvcAttachedButton;
using controls::TOvcAttachedLabel;
using controls::TOvcHistoryComboBox;

TKamdropForm* KamdropForm = nullptr;

namespace {

constexpr int kMarkMoved = 0;
constexpr int kMarkFailed = 1;
// A row's mark from its left edge, and the gap to its text, at 96 pixels per inch.
constexpr int kMarkLeft = 2;
constexpr int kTextGap = 4;
constexpr int kRowHeight = 13;

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

// During a run the window looks at its messages at most this often: each look
// is a round trip to the window system that costs a tenth of a move, and a
// user's click waits this much longer at most.
constexpr int kMessageIntervalMs = 10;

// Paces what only the screen shows: due at most 20 times a second, which a
// progress display needs no more often, and after a frame whose painting took
// long, only after a pause 24 times as long, so that painting takes no more
// than a twenty-fifth of a run; but at least 4 times a second, so that on a
// slow machine the display still moves. A frame is some hundred round trips to
// the window system (the list's themed scroll bar alone sixty): on a machine
// busy with other work that is several milliseconds, and the frames come fewer.
class FramePacer {
public:
    static constexpr double kFrameMs = 50.0;
    static constexpr double kPauseFactor = 24.0;
    static constexpr double kLongestPauseMs = 250.0;

    FramePacer() : FNext(NowMs() + kFrameMs) {}
    bool Due() const { return NowMs() >= FNext; }
    // A frame that started at started (NowMs) is done.
    void Painted(double started) {
        double now = NowMs();
        FNext = now + std::clamp(kPauseFactor * (now - started), kFrameMs, kLongestPauseMs);
    }

private:
    double FNext;
};

// Due once every kMessageIntervalMs.
class MessagePacer {
public:
    bool Due() {
        const double now = NowMs();
        if (now < FNext) return false;
        FNext = now + kMessageIntervalMs;
        return true;
    }

private:
    double FNext = 0;
};

}  // namespace

TKamdropForm::TKamdropForm(TComponent* owner) : TForm(owner) {
    CreateLayout();
    EndLayout();
}

TKamdropForm::TKamdropForm(TComponent* owner, LayoutOnly) : TForm(owner) { CreateLayout(); }

TKamdropForm::~TKamdropForm() {
    if (KamdropForm == this) KamdropForm = nullptr;
}

const TClassInfo* TKamdropForm::ClassInfo() const {
    static const TClassInfo info{L"TKamdropForm", TForm::ClassInfo(), {}};
    return &info;
}

// The window's layout: every component with its settings, in creation order.
void TKamdropForm::CreateLayout() {
    SetName(L"KamdropForm");
    SetCaption(L"Kamdrop");
    SetBorderWidth(5);
    SetClientSize(474 + 2 * 5, 262 + 2 * 5);
    Constraints() = TSizeConstraints{500, 270, 500, 0};
    SetBorderIcons(biSystemMenu | biMinimize);
    SetPosition(poScreenCenter);
    SetColor(clWindow);
    Font().SetName(L"MS Sans Serif");
    Font().SetHeight(-11);
    Font().SetColor(clWindowText);
    OnCreate = Bind<&TKamdropForm::HandleFormCreate>(this);
    OnDestroy = Bind<&TKamdropForm::HandleFormDestroy>(this);

    StatusBar = new TStatusBar(this);
    StatusBar->SetName(L"StatusBar");
    StatusBar->SetParent(this);
    StatusBar->SetBounds(0, 243, 474, 19);
    StatusBar->SetAlign(alBottom);
    StatusBar->SetParentColor(true);

    ProgressBar = new TProgressBar(this);
    ProgressBar->SetName(L"ProgressBar");
    ProgressBar->SetParent(this);
    ProgressBar->SetBounds(0, 227, 474, 16);
    ProgressBar->SetAlign(alBottom);
    ProgressBar->SetStep(1);
    ProgressBar->SetTabOrder(2);

    TopPanel = new TPanel(this);
    TopPanel->SetName(L"TopPanel");
    TopPanel->SetParent(this);
    TopPanel->SetBounds(0, 0, 474, 96);
    TopPanel->SetAlign(alTop);
    TopPanel->SetBevelOuter(bvNone);
    TopPanel->SetParentColor(true);
    TopPanel->SetTabOrder(0);

    auto makeCaption = [this](TOvcAttachedLabel*& label, const wchar_t* name, int left, int top, int width,
                              const wchar_t* caption) {
        label = new TOvcAttachedLabel(this);
        label->SetName(name);
        label->SetParent(TopPanel);
        label->SetAutoSize(false);
        label->SetBounds(left, top, width, 13);
        label->SetCaption(caption);
        label->SetTransparent(true);
    };
    makeCaption(HistoryComboBoxDirSourceLabel1, L"HistoryComboBoxDirSourceLabel1", 0, 1, 221, L"Input (camera)");
    makeCaption(HistoryComboBoxDirTargetLabel1, L"HistoryComboBoxDirTargetLabel1", 0, 41, 241, L"Output (harddisk)");
    makeCaption(HistoryComboBoxLabelLabel1, L"HistoryComboBoxLabelLabel1", 300, 2, 141, L"Label");

    StartButton = new TSpeedButton(this);
    StartButton->SetName(L"StartButton");
    StartButton->SetParent(TopPanel);
    StartButton->SetBounds(378, 54, 90, 24);
    StartButton->SetAnchors(akTop | akRight);
    StartButton->SetCaption(L"&Start");
    StartButton->SetFlat(true);
    StartButton->SetParentFont(false);
    StartButton->Font().SetName(L"MS Sans Serif");
    StartButton->Font().SetHeight(-11);
    StartButton->Font().SetStyle(fsBold);
    StartButton->Font().SetColor(clNavy);
    StartButton->OnClick = Bind<&TKamdropForm::HandleStartButtonClick>(this);

    auto makeField = [this](TOvcHistoryComboBox*& box, const wchar_t* name, int left, int top, int width,
                            int maxHistory, int labelOffsetY, int tabOrder) {
        box = new TOvcHistoryComboBox(this);
        box->SetName(name);
        box->SetParent(TopPanel);
        box->SetBounds(left, top, width, 19);
        box->SetAutoComplete(true);
        box->SetMaxHistory(maxHistory);
        box->SetItemHeight(13);
        box->LabelInfo()->SetOffsets(0, labelOffsetY);
        box->LabelInfo()->SetVisible(true);
        box->SetTabOrder(tabOrder);
    };
    makeField(OvcHistoryComboBoxDirTarget, L"OvcHistoryComboBoxDirTarget", 0, 55, 265, 10, -1, 2);
    makeField(OvcHistoryComboBoxDirSource, L"OvcHistoryComboBoxDirSource", 0, 15, 265, 10, -1, 0);
    // Its right edge at the panel's, so its whole drop-down button shows.
    makeField(OvcHistoryComboBoxLabel, L"OvcHistoryComboBoxLabel", 300, 15, 174, 20, 0, 4);
    OvcHistoryComboBoxLabel->SetAnchors(akLeft | akTop | akRight);
    OvcHistoryComboBoxLabel->SetDropDownCount(20);
    OvcHistoryComboBoxLabel->SetMaxLength(engine::kMaxLabelLength);
    OvcHistoryComboBoxLabel->OnKeyPress = Bind<&TKamdropForm::HandleValidateInput>(this);

    auto attachCaption = [](TOvcAttachedLabel* label, TOvcHistoryComboBox* box) {
        label->SetFocusControl(box);
        label->SetControl(box);
    };
    attachCaption(HistoryComboBoxDirSourceLabel1, OvcHistoryComboBoxDirSource);
    attachCaption(HistoryComboBoxDirTargetLabel1, OvcHistoryComboBoxDirTarget);
    attachCaption(HistoryComboBoxLabelLabel1, OvcHistoryComboBoxLabel);

    auto makeBrowseButton = [this](TOvcAttachedButton*& button, const wchar_t* name, int top, int tabOrder,
                                   TOvcHistoryComboBox* box) {
        button = new TOvcAttachedButton(this);
        button->SetName(name);
        button->SetParent(TopPanel);
        button->SetBounds(268, top, 20, 19);
        button->SetCaption(L"...");
        button->SetSpacing(6);
        button->SetTabOrder(tabOrder);
        button->SetTabStop(false);
        button->SetAttachedControl(box);
        button->SetSeparation(3);
        button->OnClick = Bind<&TKamdropForm::HandleSelectDirectory>(this);
    };
    makeBrowseButton(OvcAttachedButtonSource, L"OvcAttachedButtonSource", 15, 1, OvcHistoryComboBoxDirSource);
    makeBrowseButton(OvcAttachedButtonTarget, L"OvcAttachedButtonTarget", 55, 3, OvcHistoryComboBoxDirTarget);

    FilesListBox = new TListBox(this);
    FilesListBox->SetName(L"FilesListBox");
    FilesListBox->SetParent(this);
    FilesListBox->SetBounds(0, 96, 474, 131);
    FilesListBox->SetAlign(alClient);
    FilesListBox->SetStyle(lbOwnerDrawFixed);
    FilesListBox->SetItemHeight(13);
    FilesListBox->SetSorted(true);
    FilesListBox->SetTabStop(true);
    FilesListBox->SetTabOrder(1);
    FilesListBox->SetColor(clWindow);
    FilesListBox->OnDrawItem = Bind<&TKamdropForm::HandleFilesListBoxDrawItem>(this);
    FilesListBox->OnClick = Bind<&TKamdropForm::HandleFilesListBoxClick>(this);

    auto makeItem = [this](TMenuItem*& item, const wchar_t* name, const wchar_t* caption) {
        item = new TMenuItem(this);
        item->SetName(name);
        item->SetCaption(caption);
    };
    MainMenu = new TMainMenu(this);
    MainMenu->SetName(L"MainMenu");
    makeItem(ExitMenuItem, L"ExitMenuItem", L"E&xit");
    ExitMenuItem->OnClick = Bind<&TKamdropForm::HandleExitClick>(this);
    makeItem(InfoMenuItem, L"InfoMenuItem", L"&Info");
    makeItem(Software1, L"Software1", L"&Software");
    Software1->OnClick = Bind<&TKamdropForm::Software1Click>(this);
    makeItem(AboutMenuItem, L"AboutMenuItem", L"&About");
    AboutMenuItem->OnClick = Bind<&TKamdropForm::HandleAboutClick>(this);
    MainMenu->Items().Add(ExitMenuItem);
    CreateOptionsMenu();
    MainMenu->Items().Add(InfoMenuItem);
    InfoMenuItem->Add(Software1);
    InfoMenuItem->Add(AboutMenuItem);
    SetMenu(MainMenu);

    // The boxes' histories and texts, and the window's place, kept in Kamdrop.ini beside the program.
    OvcComponentState = new state::TOvcComponentState(this);
    OvcComponentState->SetName(L"OvcComponentState");
    OvcComponentState->SetSection(L"Kamdrop");
    OvcComponentState->SetStoredProperties(
        TStringList{L"OvcHistoryComboBoxDirSource.Items", L"OvcHistoryComboBoxDirSource.Text",
                    L"OvcHistoryComboBoxDirTarget.Items", L"OvcHistoryComboBoxDirTarget.Text",
                    L"OvcHistoryComboBoxLabel.Items", L"OvcHistoryComboBoxLabel.Text"});
    OvcIniFileStore = new state::TOvcIniFileStore(this);
    OvcIniFileStore->SetName(L"OvcIniFileStore");
    OvcIniFileStore->SetIniFileName(L"Kamdrop.ini");
    OvcIniFileStore->SetUseExeDir(true);
    OvcComponentState->SetStorage(OvcIniFileStore);

    PopupMenu = new TPopupMenu(this);
    PopupMenu->SetName(L"PopupMenu");
    makeItem(ClearMenuItem, L"ClearMenuItem", L"&Clear history");
    ClearMenuItem->OnClick = Bind<&TKamdropForm::HandleClearHistory>(this);
    PopupMenu->Items().Add(ClearMenuItem);
    for (TOvcHistoryComboBox* box : {OvcHistoryComboBoxDirSource, OvcHistoryComboBoxDirTarget, OvcHistoryComboBoxLabel})
        box->SetPopupMenu(PopupMenu);

    OvcFormState = new state::TOvcFormState(this);
    OvcFormState->SetName(L"OvcFormState");
    OvcFormState->SetOptions(state::FormStateOptions({state::fsPosition}));
    OvcFormState->SetSection(L"GUI");
    OvcFormState->SetStorage(OvcIniFileStore);

    ImageList = new TImageList(this);
    ImageList->SetName(L"ImageList");
    PrepareMarks();
}

void TKamdropForm::ScaleChanged(int M, int D) {
    TForm::ScaleChanged(M, D);
    PrepareMarks();
}

void TKamdropForm::PrepareMarks() {
    const int ppi = PixelsPerInch();
    const int size = MulDiv(result_marks::Size, ppi, kDesignPixelsPerInch);
    if (ImageList->Count() == 0 || ImageList->Width() != size) {
        ImageList->SetSize(size, size);
        ImageList->AddPixels(result_marks::CheckMark(size).data());
        ImageList->AddPixels(result_marks::Cross(size).data());
    }
    FMarkLeft = MulDiv(kMarkLeft, ppi, kDesignPixelsPerInch);
    FTextLeft = FMarkLeft + size + MulDiv(kTextGap, ppi, kDesignPixelsPerInch);
    // Whatever the font came out as on this system, a row holds its line of text.
    if (HDC dc = GetDC(nullptr)) {
        ScopedSelect font(dc, FilesListBox->Font().Handle());
        TEXTMETRICW metrics{};
        if (GetTextMetricsW(dc, &metrics)) FTextHeight = metrics.tmHeight;
        ReleaseDC(nullptr, dc);
    }
    FilesListBox->SetItemHeight(std::max({MulDiv(kRowHeight, ppi, kDesignPixelsPerInch), size, FTextHeight}));
}

void TKamdropForm::HandleFormCreate(TObject*) {
    FileQueue = new TStringList();
    DirReader = new library::TDirReader();
    DirReader->SetMessageInterval(kMessageIntervalMs);
    LoadBackupSetting();
}

void TKamdropForm::HandleFormDestroy(TObject*) {
    delete DirReader;
    DirReader = nullptr;
    delete FileQueue;
    FileQueue = nullptr;
}

void TKamdropForm::HandleExitClick(TObject*) { Close(); }

// ---- Commands ----

void TKamdropForm::HandleSelectDirectory(TObject* Sender) {
    TOvcHistoryComboBox* box = nullptr;
    const wchar_t* caption = nullptr;
    if (Sender == OvcAttachedButtonSource) {
        box = OvcHistoryComboBoxDirSource;
        caption = L"Select input directory on camera";
    } else if (Sender == OvcAttachedButtonTarget) {
        box = OvcHistoryComboBoxDirTarget;
        caption = L"Select output directory on harddisk";
    } else {
        return;
    }
    std::wstring value = box->Text();
    // A cancelled browser leaves the field as the user typed it, even when it names no directory.
    if (BrowseForDirectory(caption, value)) {
        if (SendMessageW(box->Handle(), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(value.c_str())) == CB_ERR)
            box->Items().Add(value);
        box->SetText(value);
    }
    OvcComponentState->UpdateStoredProperties();
    OvcComponentState->SaveState();
}

void TKamdropForm::HandleValidateInput(TObject* Sender, wchar_t& Key) {
    const wchar_t filtered = engine::FilterLabelCharacter(Key);
    if (filtered != Key) Key = Sender == OvcHistoryComboBoxLabel ? filtered : 0;
}

void TKamdropForm::HandleClearHistory(TObject*) {
    // The popup menu belongs to the three fields only.
    if (auto* box = dynamic_cast<TOvcHistoryComboBox*>(PopupMenu->PopupComponent())) box->Clear();
}

// ---- Options ----

namespace {

// Where the backup setting is kept in Kamdrop.ini: the folder beside the fields' texts, its
// history in a list section of its own as the fields' histories are kept.
const wchar_t kBackupSection[] = L"Kamdrop";
const wchar_t kBackupItem[] = L"BackupDirectory";
const wchar_t kBackupHistorySection[] = L"Kamdrop.BackupDirectory.Items";
constexpr int kMaxBackupHistory = 10;

}  // namespace

void TKamdropForm::CreateOptionsMenu() {
    OptionsMenuItem = new TMenuItem(this);
    OptionsMenuItem->SetName(L"OptionsMenuItem");
    OptionsMenuItem->SetCaption(L"&Options");
    BackupFolderMenuItem = new TMenuItem(this);
    BackupFolderMenuItem->SetName(L"BackupFolderMenuItem");
    BackupFolderMenuItem->SetCaption(L"&Backup folder...");
    BackupFolderMenuItem->OnClick = Bind<&TKamdropForm::HandleBackupFolderClick>(this);
    NoBackupMenuItem = new TMenuItem(this);
    NoBackupMenuItem->SetName(L"NoBackupMenuItem");
    NoBackupMenuItem->SetCaption(L"No &backup");
    NoBackupMenuItem->OnClick = Bind<&TKamdropForm::HandleNoBackupClick>(this);
    MainMenu->Items().Add(OptionsMenuItem);
    OptionsMenuItem->Add(BackupFolderMenuItem);
    OptionsMenuItem->Add(NoBackupMenuItem);
    ShowBackupChoice();
}

void TKamdropForm::ShowBackupHistory() {
    // The history only grows (to its limit): its items are added as needed and relabelled, never
    // removed, as one of them may be the item being clicked. The Options item frees them.
    auto add = [this](const std::wstring& caption) {
        auto* item = new TMenuItem(nullptr);
        item->SetCaption(caption);
        OptionsMenuItem->Add(item);
        FBackupHistoryItems.push_back(item);
        return item;
    };
    if (FBackupHistoryItems.empty() && !FBackupHistory.empty()) add(L"-");
    for (size_t i = 0; i < FBackupHistory.size(); ++i) {
        // "&" in a folder's name is shown as itself, not as an accelerator.
        std::wstring folder = FBackupHistory[i];
        for (size_t at = 0; (at = folder.find(L'&', at)) != std::wstring::npos; at += 2) folder.insert(at, 1, L'&');
        const std::wstring caption = (i < 9 ? L"&" + std::to_wstring(i + 1) + L" " : std::wstring(L"   ")) + folder;
        if (i + 1 < FBackupHistoryItems.size()) {
            FBackupHistoryItems[i + 1]->SetCaption(caption);
        } else {
            add(caption)->OnClick = Bind<&TKamdropForm::HandleBackupHistoryClick>(this);
        }
    }
}

void TKamdropForm::LoadBackupSetting() {
    state::TOvcAbstractStore* store = OvcComponentState->Storage();
    if (!store) return;
    store->Open();
    try {
        FBackupDirectory = store->ReadString(kBackupSection, kBackupItem, L"");
        const int count = store->ReadInteger(kBackupHistorySection, L"Count", 0);
        FBackupHistory.clear();
        for (int i = 0; i < count && i < kMaxBackupHistory; ++i) {
            const std::wstring folder = store->ReadString(kBackupHistorySection, Format(L"Item%d", i), L"");
            if (!folder.empty()) FBackupHistory.push_back(folder);
        }
    } catch (...) {
        store->Close();
        throw;
    }
    store->Close();
    ShowBackupHistory();
    ShowBackupChoice();
    StatusBar->SetSimpleText(IdleStatusText());
}

void TKamdropForm::SaveBackupSetting() {
    state::TOvcAbstractStore* store = OvcComponentState->Storage();
    if (!store) return;
    store->Open();
    try {
        store->WriteString(kBackupSection, kBackupItem, FBackupDirectory);
        store->EraseSection(kBackupHistorySection);
        store->WriteInteger(kBackupHistorySection, L"Count", static_cast<int>(FBackupHistory.size()));
        for (size_t i = 0; i < FBackupHistory.size(); ++i)
            store->WriteString(kBackupHistorySection, Format(L"Item%d", static_cast<int>(i)), FBackupHistory[i]);
    } catch (...) {
        store->Close();
        throw;
    }
    store->Close();
}

void TKamdropForm::SetBackupDirectory(std::wstring Directory) {
    FBackupDirectory = Directory;
    if (!Directory.empty()) {
        std::erase_if(FBackupHistory, [&](const std::wstring& folder) { return engine::SamePath(folder, Directory); });
        FBackupHistory.insert(FBackupHistory.begin(), Directory);
        if (FBackupHistory.size() > static_cast<size_t>(kMaxBackupHistory)) FBackupHistory.resize(kMaxBackupHistory);
        ShowBackupHistory();
    }
    ShowBackupChoice();
    // Between runs the status bar shows it at once; during a run it shows the file in hand.
    if (StartButton->Enabled()) StatusBar->SetSimpleText(IdleStatusText());
    SaveBackupSetting();
}

// The menu's check mark is on the choice in force.
void TKamdropForm::ShowBackupChoice() {
    BackupFolderMenuItem->SetChecked(!FBackupDirectory.empty());
    NoBackupMenuItem->SetChecked(FBackupDirectory.empty());
}

std::wstring TKamdropForm::IdleStatusText() const {
    return FBackupDirectory.empty() ? std::wstring() : L"Backup: " + FBackupDirectory;
}

void TKamdropForm::HandleBackupFolderClick(TObject*) {
    std::wstring folder = FBackupDirectory.empty() && !FBackupHistory.empty() ? FBackupHistory.front() : FBackupDirectory;
    if (BrowseForDirectory(L"Select backup directory (a second copy of every photo)", folder))
        SetBackupDirectory(folder);
}

void TKamdropForm::HandleNoBackupClick(TObject*) { SetBackupDirectory(L""); }

void TKamdropForm::HandleBackupHistoryClick(TObject* Sender) {
    for (size_t i = 0; i < FBackupHistoryItems.size(); ++i)
        if (FBackupHistoryItems[i] == Sender && i >= 1) {
            SetBackupDirectory(FBackupHistory.at(i - 1));
            return;
        }
}

// ---- The folder browser ----

namespace {

// The starting directory, handed to the browser's callback.
class TSelectDirCallback {
public:
    explicit TSelectDirCallback(std::wstring directory) : FDirectory(std::move(directory)) {}
    const std::wstring& Directory() const { return FDirectory; }

private:
    std::wstring FDirectory;
};

void CentreOnMainFormMonitor(HWND window) {
    TCustomForm* mainForm = Application ? Application->MainForm() : nullptr;
    HWND mainWindow = mainForm && mainForm->HandleAllocated() ? mainForm->Handle() : window;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(mainWindow, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    RECT rect;
    GetWindowRect(window, &rect);
    const RECT& area = monitor.rcMonitor;
    const int x = area.left + ((area.right - area.left) - (rect.right - rect.left)) / 2;
    const int y = area.top + ((area.bottom - area.top) - (rect.bottom - rect.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

int CALLBACK SelectDirCallback(HWND window, UINT message, LPARAM, LPARAM data) noexcept {
    if (message != BFFM_INITIALIZED) return 0;
    Guarded([&] {
        CentreOnMainFormMonitor(window);
        const std::wstring& directory = reinterpret_cast<TSelectDirCallback*>(data)->Directory();
        if (directory.empty()) return;
        // The shell occasionally loses the first selection (seen under Wine); a second one holds.
        for (int i = 0; i < 2; ++i)
            SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(directory.c_str()));
    });
    return 0;
}

// The visible, enabled top-level windows of the program are disabled while the scope lasts.
// The window that was active gets the activation back at the end: while the browser closes
// every window of the program is still disabled, so the system cannot give it back itself.
class DisabledTaskWindows {
public:
    DisabledTaskWindows() : FActive(GetActiveWindow()) {
        EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&FWindows));
        for (HWND window : FWindows) EnableWindow(window, FALSE);
    }
    ~DisabledTaskWindows() {
        for (HWND window : FWindows)
            if (IsWindow(window)) EnableWindow(window, TRUE);
        if (FActive && IsWindow(FActive) && IsWindowVisible(FActive)) SetActiveWindow(FActive);
    }
    DisabledTaskWindows(const DisabledTaskWindows&) = delete;
    DisabledTaskWindows& operator=(const DisabledTaskWindows&) = delete;

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM data) noexcept {
        // The list growing past memory is reported and ends the walk; the browser opens all the same.
        return Guarded<BOOL>(FALSE, [&] {
            if (IsWindowVisible(window) && IsWindowEnabled(window))
                reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
            return TRUE;
        });
    }
    HWND FActive;
    std::vector<HWND> FWindows;
};

// No critical-error box from the system (a drive without its medium) while the scope lasts.
class FailCriticalErrors {
public:
    FailCriticalErrors() : FPrevious(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~FailCriticalErrors() { SetErrorMode(FPrevious); }
    FailCriticalErrors(const FailCriticalErrors&) = delete;
    FailCriticalErrors& operator=(const FailCriticalErrors&) = delete;

private:
    UINT FPrevious;
};

// The shell and OLE, loaded when the folder browser first opens: linked in,
// they and the libraries they need would load at every start of the program.
struct ShellFunctions {
    HRESULT(WINAPI* OleInitialize)(LPVOID) = nullptr;
    void(WINAPI* OleUninitialize)() = nullptr;
    HRESULT(WINAPI* SHGetMalloc)(IMalloc**) = nullptr;
    PIDLIST_ABSOLUTE(WINAPI* SHBrowseForFolderW)(LPBROWSEINFOW) = nullptr;
    BOOL(WINAPI* SHGetPathFromIDListW)(PCIDLIST_ABSOLUTE, LPWSTR) = nullptr;
    bool Loaded() const {
        return OleInitialize && OleUninitialize && SHGetMalloc && SHBrowseForFolderW && SHGetPathFromIDListW;
    }
};

template <typename Function>
void LoadFunction(HMODULE module, const char* name, Function& function) {
    function = module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

const ShellFunctions& LoadedShell() {
    static const ShellFunctions functions = [] {
        ShellFunctions loaded;
        HMODULE ole = SystemLibrary(L"ole32.dll"), shell = SystemLibrary(L"shell32.dll");
        LoadFunction(ole, "OleInitialize", loaded.OleInitialize);
        LoadFunction(ole, "OleUninitialize", loaded.OleUninitialize);
        LoadFunction(shell, "SHGetMalloc", loaded.SHGetMalloc);
        LoadFunction(shell, "SHBrowseForFolderW", loaded.SHBrowseForFolderW);
        LoadFunction(shell, "SHGetPathFromIDListW", loaded.SHGetPathFromIDListW);
        return loaded;
    }();
    return functions;
}

// The new-style browser needs OLE on this thread.
class OleScope {
public:
    OleScope() : FInitialized(SUCCEEDED(LoadedShell().OleInitialize(nullptr))) {}
    ~OleScope() {
        if (FInitialized) LoadedShell().OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

private:
    bool FInitialized;
};

struct ShellMemory {
    IMalloc* Allocator;
    void* Block;
    ~ShellMemory() {
        if (Block) Allocator->Free(Block);
    }
};

}  // namespace

bool BrowseForDirectory(const std::wstring& Caption, std::wstring& Directory) {
    if (!DirectoryExists(Directory)) Directory.clear();
    if (!LoadedShell().Loaded()) return false;
    OleScope ole;
    IMalloc* allocator = nullptr;
    if (FAILED(LoadedShell().SHGetMalloc(&allocator)) || !allocator) return false;
    std::unique_ptr<IMalloc, void (*)(IMalloc*)> allocatorHolder(allocator, [](IMalloc* a) { a->Release(); });
    ShellMemory buffer{allocator, allocator->Alloc(MAX_PATH * sizeof(wchar_t))};
    if (!buffer.Block) return false;
    auto* path = static_cast<wchar_t*>(buffer.Block);
    path[0] = 0;

    auto callback = std::make_unique<TSelectDirCallback>(Directory);
    BROWSEINFOW info{};
    info.hwndOwner = Application->Handle();
    info.pidlRoot = nullptr;
    info.pszDisplayName = path;
    info.lpszTitle = Caption.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    info.lpfn = SelectDirCallback;
    info.lParam = reinterpret_cast<LPARAM>(callback.get());
    PIDLIST_ABSOLUTE chosen = nullptr;
    {
        DisabledTaskWindows disabled;
        FailCriticalErrors errorMode;
        chosen = LoadedShell().SHBrowseForFolderW(&info);
    }
    callback.reset();
    if (!chosen) return false;
    ShellMemory list{allocator, chosen};
    // Only file-system folders can be chosen; one without a path counts as nothing chosen.
    if (!LoadedShell().SHGetPathFromIDListW(chosen, path)) return false;
    Directory = path;
    return true;
}

void TKamdropForm::HandleAboutClick(TObject*) { library::ShowAbout(2003); }

void TKamdropForm::Software1Click(TObject*) { library::OpenUrl(library::SoftwarePageUrl()); }

// ---- The release run ----

void TKamdropForm::HandleStartButtonClick(TObject*) {
    const std::wstring source = OvcHistoryComboBoxDirSource->Text();
    const std::wstring target = OvcHistoryComboBoxDirTarget->Text();
    if (const std::wstring refusal = engine::StartRefusal(source, target, OvcHistoryComboBoxLabel->Text());
        !refusal.empty()) {
        MessageDlg(refusal, mtInformation, mbOK);
        return;
    }
    // The window's own question: only the same text is the same folder here.
    if (source == target && MessageDlg(std::wstring(engine::kSameDirectories) + L"\r\nAre you sure to continue?",
                                       mtConfirmation, mbYes | mbNo) != mrYes)
        return;
    if (!FBackupDirectory.empty()) {
        if (const std::wstring refusal = engine::BackupRefusal(FBackupDirectory, source, target); !refusal.empty()) {
            MessageDlg(refusal, mtInformation, mbOK);
            return;
        }
    }

    DirReader->SetDirectory(IncludeTrailingPathDelimiter(source));
    DirReader->SetFilemask(L"*.*");
    DirReader->SetOnFileFound(Bind<&TKamdropForm::HandleFileFound>(this));
    DirReader->SetOnReady(Bind<&TKamdropForm::HandleReaderReady>(this));
    StartButton->SetEnabled(false);
    FilesListBox->Items().Clear();
    FResultDetails.clear();
    FileQueue->Clear();
    StatusBar->SetSimpleText(L"Prepare...");
    DirReader->Start();
}

// A copy an earlier run left unfinished is never a photo.
void TKamdropForm::HandleFileFound(TObject*, const std::wstring& FileName) {
    if (!engine::IsTemporaryCopyName(FileName.substr(FileName.find_last_of(L'\\') + 1))) FileQueue->Add(FileName);
}

void TKamdropForm::HandleReaderReady(TObject*) {
    // Back to idle however the release ends; its error then goes on to the error box.
    auto backToIdle = [this] {
        StatusBar->SetSimpleText(IdleStatusText());
        ProgressBar->SetPosition(0);
        StartButton->SetEnabled(true);
        Repaint();
    };
    StatusBar->SetSimpleText(L"");
    // A walk that ended on an error (a listing that broke off) found part of the card at most:
    // nothing moves, and the error goes on to the error box.
    if (DirReader->Failed()) {
        backToIdle();
        return;
    }
    try {
        if (FileQueue->Count() == 0)
            MessageDlg(L"No files found.", mtInformation, mbOK);
        else
            ReleaseFiles();
    } catch (...) {
        backToIdle();
        throw;
    }
    backToIdle();
}

// The window's side of a release: the fields read for every file, every file's
// status text, progress step and row, painted once per frame, and the pending
// messages every few milliseconds.
class TKamdropForm::ReleaseView : public engine::ReleaseObserver {
public:
    explicit ReleaseView(TKamdropForm& Form) : FForm(Form) {}

    std::wstring OutputDirectory() override { return FForm.OvcHistoryComboBoxDirTarget->Text(); }
    std::wstring Label() override { return FForm.OvcHistoryComboBoxLabel->Text(); }
    std::wstring BackupDirectory() override { return FForm.FBackupDirectory; }
    // Thousands of files take seconds to open: the window keeps answering meanwhile.
    bool DateRead(int, int) override {
        if (FMessages.Due()) Application->ProcessMessages();
        return true;
    }
    // Every file gets its status text, progress step and row, quietly: the
    // controls would each repaint at once. What the files changed is shown
    // once per frame of the display and after the last file (ShowProgress).
    bool Sorted(const std::vector<std::wstring>& Files, const std::vector<std::wstring>&) override {
        // With a backup, both volumes must have room for the whole run before the first move.
        if (!FForm.FBackupDirectory.empty()) {
            const std::wstring refusal = engine::BackupSpaceRefusal(Files, FForm.OvcHistoryComboBoxDirTarget->Text(),
                                                                    FForm.FBackupDirectory);
            if (!refusal.empty()) {
                MessageDlg(refusal, mtInformation, mbOK);
                return false;
            }
        }
        FCount = static_cast<int>(Files.size());
        FForm.ProgressBar->SetRange(0, FCount);
        FForm.StatusBar->BeginUpdate();
        FForm.ProgressBar->BeginUpdate();
        FForm.FilesListBox->Items().BeginUpdate();
        FUpdating = true;
        FFrames = FramePacer();
        return true;
    }
    void EndUpdate() {
        if (!FUpdating) return;
        FUpdating = false;
        FForm.FilesListBox->Items().EndUpdate();
        FForm.ProgressBar->EndUpdate();
        FForm.StatusBar->EndUpdate();
    }
    void FileStarting(int Index, const std::wstring& Source) override {
        FForm.StatusBar->SetSimpleText(Source);
        FForm.ProgressBar->SetPosition(Index + 1);
        FSource = Source;
        FFileStarted = NowMs();
    }
    bool FileDone(int Index, const engine::FileResult& Result) override {
        FForm.FilesListBox->Items().AddObject(
            Result.Source, reinterpret_cast<TObject*>(static_cast<intptr_t>(Result.Moved() ? kMarkMoved : kMarkFailed)));
        std::wstring detail = Result.Moved() ? L"Moved to " + Result.Target : engine::FailureReason(Result);
        if (!Result.Backup.empty())
            detail += Result.Moved() ? L", backup " + Result.Backup : L" (backup " + Result.Backup + L")";
        FForm.FResultDetails[Result.Source] = detail;
        // A copy the failed move could not remove again gets a row and a cross of its own: the
        // file is in both places, and the user sees both names.
        if (!Result.Leftover.empty()) {
            FForm.FilesListBox->Items().AddObject(Result.Leftover,
                                                  reinterpret_cast<TObject*>(static_cast<intptr_t>(kMarkFailed)));
            FForm.FResultDetails[Result.Leftover] =
                L"A copy of " + Result.Source + L" that could not be removed again; the file is still on the card.";
        }
        if (Index + 1 == FCount || FFrames.Due()) {
            const double started = NowMs();
            FForm.ShowProgress();
            FFrames.Painted(started);
        }
        if (FMessages.Due()) Application->ProcessMessages();
        return true;
    }
    // A large copy (a video from a slow card takes a minute) keeps the window answering, as
    // between files; after a second its status text tells how far the copy has come.
    bool CopyAbandoned(const engine::CopyProgress& Progress) override {
        if (NowMs() - FFileStarted >= 1000.0 && FFrames.Due()) {
            const double started = NowMs();
            FForm.StatusBar->SetSimpleText(FSource + L" (" + engine::AmountCopied(Progress) + L")");
            FForm.ShowProgress();
            FFrames.Painted(started);
        }
        if (FMessages.Due()) Application->ProcessMessages();
        return false;
    }

private:
    TKamdropForm& FForm;
    FramePacer FFrames;
    MessagePacer FMessages;
    int FCount = 0;
    bool FUpdating = false;
    std::wstring FSource;
    double FFileStarted = 0;
};

void TKamdropForm::ReleaseFiles() {
    std::vector<std::wstring> files = FileQueue->ToVector();
    ReleaseView view(*this);
    try {
        engine::ReleaseFiles(files, view);
    } catch (...) {
        view.EndUpdate();
        throw;
    }
    view.EndUpdate();
    // The queue keeps the order the files were moved in.
    FileQueue->Clear();
    for (const std::wstring& file : files) FileQueue->Add(file);
}

// One frame of the run: the file being moved, its number, and the list
// scrolled to its end with no row selected, painted at once.
void TKamdropForm::ShowProgress() {
    StatusBar->EndUpdate();
    StatusBar->BeginUpdate();
    ProgressBar->EndUpdate();
    ProgressBar->BeginUpdate();
    TStrings& rows = FilesListBox->Items();
    FilesListBox->SetItemIndex(rows.Count() - 1);
    FilesListBox->SetItemIndex(-1);
    // The whole list: rows shift wherever a row went in, and the list's own
    // invalidation misses some once it has scrolled.
    FilesListBox->Repaint();
}

// ---- The results list ----

// A row picked by a click or the arrow keys: the status bar tells what happened to its file.
void TKamdropForm::HandleFilesListBoxClick(TObject*) {
    const int index = FilesListBox->ItemIndex();
    if (index < 0 || !StartButton->Enabled()) return;
    const auto detail = FResultDetails.find(FilesListBox->Items().Get(index));
    StatusBar->SetSimpleText(detail == FResultDetails.end() ? std::wstring() : detail->second);
}

void TKamdropForm::HandleFilesListBoxDrawItem(TWinControl* Control, int Index, const RECT& Rect, TOwnerDrawState) {
    auto* list = static_cast<TListBox*>(Control);
    TCanvas& canvas = list->Canvas();
    canvas.FillRect(Rect);
    // Mark and text in the middle of a row taller than they are.
    const int rowHeight = Rect.bottom - Rect.top;
    // From the image list's prepared bitmap: an icon made per row cost more than the rest of the row.
    ImageList->Draw(canvas, Rect.left + FMarkLeft, Rect.top + (rowHeight - ImageList->Height()) / 2,
                    static_cast<int>(list->Items().GetTag(Index)));
    canvas.TextOut(Rect.left + FTextLeft, Rect.top + (rowHeight - FTextHeight) / 2, list->Items().Get(Index));
}
