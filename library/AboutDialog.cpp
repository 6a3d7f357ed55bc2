#include "library/AboutDialog.h"

#include <memory>

#include "runtime/TypInfo.h"
#include "library/FileVersionInfo.h"
#include "library/HiddenPanels.h"
#include "library/Hyperlink.h"

using namespace forms;

namespace library {

namespace {

constexpr wchar_t kSiteUrl[] = L"https://vexa.example/";
constexpr wchar_t kSiteCaption[] = L"vexa.example";
constexpr wchar_t kMailbox[] = L"feedback";
constexpr wchar_t kMailDomain[] = L"vexa.example";
constexpr wchar_t kCredit[] = L"A freeware tool by Vexa";
constexpr wchar_t kCopyrightHolder[] = L"Vexa";
constexpr wchar_t kDisclaimer[] =
    L"This program is freeware: use it and pass it on free of charge. It comes without any warranty; you "
    L"use it at your own risk.";

constexpr int kModalOk = 1;
constexpr int kModalOther = 2;

// Each fade steps the alpha value by 3 and is cut short once this much time has passed.
constexpr int kFadeStep = 3;
constexpr int64_t kFadeLimitMs = 300;

int64_t LocalClockMilliseconds() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME time;
    SystemTimeToFileTime(&now, &time);
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000;
}

// Raises the alpha value to 255 or lowers it to 0, repainting after every step.
void Fade(TCustomForm& dialog, bool in) {
    const int64_t start = FadeClock();
    int alpha = dialog.AlphaBlendValue();
    while (in ? alpha < 255 : alpha > 0) {
        if (in)
            alpha = alpha >= 255 - kFadeStep ? 255 : alpha + kFadeStep;
        else
            alpha = alpha <= kFadeStep ? 0 : alpha - kFadeStep;
        dialog.SetAlphaBlendValue(static_cast<BYTE>(alpha));
        dialog.Repaint();
        int64_t elapsed = FadeClock() - start;
        if (elapsed < 0) elapsed = -elapsed;
        if (elapsed > kFadeLimitMs) {
            dialog.SetAlphaBlendValue(in ? 255 : 0);
            break;
        }
    }
}

std::wstring ModuleFileName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring Without(std::wstring text, wchar_t character) {
    std::erase(text, character);
    return text;
}

std::wstring LowerCase(const std::wstring& text) {
    if (text.empty()) return text;
    std::wstring lower(text);
    LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_LOWERCASE, text.c_str(), static_cast<int>(text.size()), lower.data(),
                 static_cast<int>(lower.size()));
    return lower;
}

int CurrentYear() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wYear;
}

// Disables the main window for the dialog's life and enables it again however the call ends.
class MainWindowDisabled {
public:
    explicit MainWindowDisabled(TCustomForm* mainWindow) : FMainWindow(mainWindow) {
        if (!FMainWindow) return;
        FMainWindow->Repaint();
        FMainWindow->SetEnabled(false);
    }
    ~MainWindowDisabled() { EnableAgain(); }
    MainWindowDisabled(const MainWindowDisabled&) = delete;
    MainWindowDisabled& operator=(const MainWindowDisabled&) = delete;

    void EnableAgain() {
        if (FMainWindow) FMainWindow->SetEnabled(true);
        FMainWindow = nullptr;
    }

private:
    TCustomForm* FMainWindow;
};

struct FreeComponent {
    void operator()(TComponent* component) const { Free(component); }
};

}  // namespace

int64_t (*FadeClock)() = LocalClockMilliseconds;

std::wstring SiteUrl() { return kSiteUrl; }

std::wstring SoftwarePageUrl() { return SiteUrl() + L"software"; }

void ShowAbout(int FirstYear) {
    TCustomForm* mainForm = Application->MainForm();
    MainWindowDisabled mainWindow(mainForm);
    TFileVersionInfo versionInfo(ModuleFileName());
    std::unique_ptr<TfrmAbout, FreeComponent> dialog(new TfrmAbout(nullptr));
    dialog->FillIn(Application->Title(), versionInfo.FixedInfo(), FirstYear);
    dialog->SetAlphaBlendValue(0);
    dialog->Show();
    Fade(*dialog, true);
    // The dialog is not modal: this loop is its wait, and it never blocks between messages.
    while (dialog->ModalResult() == 0) Application->ProcessMessages();
    Fade(*dialog, false);
    // As a modal dialog ends: the main window is enabled before the dialog goes and, when the
    // dialog was the foreground window, takes its place (the user may be working in another program).
    mainWindow.EnableAgain();
    const bool wasActive = GetForegroundWindow() == dialog->Handle();
    dialog->Hide();
    if (wasActive && mainForm && mainForm->HandleAllocated()) SetForegroundWindow(mainForm->Handle());
}

// ---- TfrmAbout ----

TfrmAbout::TfrmAbout(TComponent* owner) : TForm(owner) {
    CreateLayout();
    EndLayout();
}

const TClassInfo* TfrmAbout::ClassInfo() const {
    static const TClassInfo info{L"TfrmAbout", TForm::ClassInfo(), {}};
    return &info;
}

void TfrmAbout::CreateLayout() {
    SetName(L"frmAbout");
    SetCaption(L"About");
    SetBorderWidth(5);
    SetClientSize(342 + 2 * 5, 202 + 2 * 5);
    SetBorderStyle(bsDialog);
    SetBorderIcons(biSystemMenu);
    SetFormStyle(fsStayOnTop);
    SetPosition(poScreenCenter);
    SetKeyPreview(true);
    SetAlphaBlend(true);
    SetColor(clBtnFace);
    Font().SetName(L"MS Sans Serif");
    Font().SetHeight(-11);
    OnCreate = Bind<&TfrmAbout::FormCreate>(this);
    OnDestroy = Bind<&TfrmAbout::FormDestroy>(this);
    OnClose = Bind<&TfrmAbout::FormClose>(this);
    OnDeactivate = Bind<&TfrmAbout::FormDeactivate>(this);
    OnKeyPress = Bind<&TfrmAbout::FormKeyPress>(this);

    auto makePanel = [this](TPanel*& panel, const wchar_t* name, TWinControl* parent) {
        panel = new TPanel(this);
        panel->SetName(name);
        panel->SetParent(parent);
        panel->SetBevelOuter(bvNone);
    };
    makePanel(Panel2, L"Panel2", this);
    Panel2->SetBounds(0, 170, 342, 32);
    Panel2->SetAlign(alBottom);

    OKButton = new TButton(this);
    OKButton->SetName(L"OKButton");
    OKButton->SetParent(Panel2);
    OKButton->SetBounds(134, 5, 75, 25);
    OKButton->SetCaption(L"&Ok");
    OKButton->SetDefault(true);
    OKButton->SetModalResult(kModalOk);

    makePanel(HostPanel, L"HostPanel", this);
    HostPanel->SetBounds(0, 0, 342, 170);
    HostPanel->SetAlign(alClient);
    HostPanel->SetColor(clWhite);

    makePanel(AboutPanel, L"AboutPanel", HostPanel);
    AboutPanel->SetBounds(0, 0, 342, 170);
    AboutPanel->SetAlign(alClient);
    AboutPanel->SetColor(clWhite);
    AboutPanel->SetBevelInner(bvRaised);
    AboutPanel->SetBevelOuter(bvLowered);

    auto makeLabel = [this](TLabel*& label, const wchar_t* name, TColor color, int height) {
        label = new TLabel(this);
        label->SetName(name);
        label->SetParent(AboutPanel);
        label->Font().SetColor(color);
        label->Font().SetHeight(height);
    };
    makeLabel(ProductName, L"ProductName", clMaroon, -24);
    ProductName->SetAutoSize(false);
    ProductName->SetBounds(12, 12, 177, 29);
    ProductName->Font().SetStyle(fsBold);

    makeLabel(Version, L"Version", clNavy, -11);
    Version->Font().SetStyle(fsBold);

    makeLabel(Copyright, L"Copyright", clNavy, -13);
    Copyright->SetLeft(32);
    Copyright->SetTop(50);
    Copyright->SetCaption(kCredit);

    // Their right edges stay at x = 332 whatever their texts.
    auto makeRightLink = [&](TLabel*& label, const wchar_t* name, int top) {
        makeLabel(label, name, clBlack, -11);
        label->SetAlignment(taRightJustify);
        label->SetBounds(332 - label->Width(), top, label->Width(), 13);
    };
    makeRightLink(lblEmail, L"lblEmail", 80);
    makeRightLink(lblSite, L"lblSite", 97);
    lblSite->SetCaption(kSiteCaption);

    makeLabel(CopyrightLabel, L"CopyrightLabel", clGray, -11);
    CopyrightLabel->SetAutoSize(false);
    CopyrightLabel->SetBounds(2, 123, 338, 45);
    CopyrightLabel->SetAlign(alBottom);
    CopyrightLabel->SetAlignment(taCenter);
    CopyrightLabel->SetLayout(tlCenter);
    CopyrightLabel->SetWordWrap(true);

    Shape1 = new TShape(this);
    Shape1->SetName(L"Shape1");
    Shape1->SetParent(AboutPanel);
    Shape1->SetBounds(1, 120, 338, 3);
    Shape1->SetAnchors(akLeft | akTop | akRight);
    Shape1->Brush().SetColor(clGray);
    Shape1->Pen().SetColor(clSilver);

    makeLabel(lblSoftware, L"lblSoftware", clBlack, -11);
    lblSoftware->SetLeft(10);
    lblSoftware->SetTop(97);
    lblSoftware->SetCaption(L"More freeware and updates");
}

void TfrmAbout::FormCreate(TObject*) {
    // First, so that the dialog works without hidden panels should their form fail.
    CurrentPanel = AboutPanel;
    EasterEggsForm = new TEasterEggsForm(nullptr);
    // Its panels show inside this dialog: at the dialog's scale, whichever monitor the holder is on.
    EasterEggsForm->ScaleForPPI(PixelsPerInch());
}

void TfrmAbout::ScaleChanged(int M, int D) {
    TForm::ScaleChanged(M, D);
    PlaceVersion();
    if (!EasterEggsForm) return;
    // The panels on the holder's pages scale with it; a panel taken off the dialog (AboutPanel
    // while a hidden panel shows, or a hidden panel shown before) is on neither form.
    EasterEggsForm->ScaleForPPI(M);
    if (!AboutPanel->Parent()) AboutPanel->ScaleBy(M, D);
    for (TPanel* panel : {EasterEggsForm->ZembroPanel, EasterEggsForm->QxvPanel, EasterEggsForm->YarnokPanel})
        if (panel && !panel->Parent()) panel->ScaleBy(M, D);
}

void TfrmAbout::PlaceVersion() {
    Version->SetLeft(ProductName->Left() + ProductName->Width() + MulDiv(8, PixelsPerInch(), kDesignPixelsPerInch));
    Version->SetTop(ProductName->Top() + ProductName->Height() - Version->Height());
}

void TfrmAbout::FormDestroy(TObject*) {
    // Freed on the next turn of the message loop, with the panels it still holds.
    if (EasterEggsForm) EasterEggsForm->Release();
    EasterEggsForm = nullptr;
}

void TfrmAbout::FormClose(TObject*, TCloseAction& Action) {
    // The close ends the wait of ShowAbout, which fades the dialog out first.
    Action = caNone;
    SetModalResult(kModalOther);
}

void TfrmAbout::FormDeactivate(TObject*) { SetModalResult(kModalOther); }

void TfrmAbout::FillIn(const std::wstring& Title, const VS_FIXEDFILEINFO& FixedInfo, int FirstYear) {
    // The copyright runs from FirstYear to this year.
    CopyrightLabel->SetCaption(L"Copyright \u00A9 " + std::to_wstring(FirstYear) + L"-" +
                               std::to_wstring(CurrentYear()) + L" " + kCopyrightHolder + L". " + kDisclaimer);

    ProductName->SetCaption(Title);
    ProductName->Font().SetSize(Title.size() <= 10 ? 18 : 14);

    Version->SetCaption(L"Version " + std::to_wstring(HIWORD(FixedInfo.dwFileVersionMS)) + L"." +
                        std::to_wstring(LOWORD(FixedInfo.dwFileVersionMS)) + L"  Build " +
                        std::to_wstring(LOWORD(FixedInfo.dwFileVersionLS)));
    PlaceVersion();

    UrlAppName = LowerCase(Without(Trim(Without(Title, L' ')), L'\''));
    lblEmail->SetCaption(std::wstring(kMailbox) + L"+" + UrlAppName + L"@" + kMailDomain);

    LabelToLink(lblEmail, L"mailto:" + lblEmail->Caption());
    LabelToLink(lblSite, SiteUrl());
    LabelToLink(lblSoftware, SoftwarePageUrl());
    if (EasterEggsForm) EasterEggsForm->FillInfo(SiteUrl(), SoftwarePageUrl(), UrlAppName);
}

void TfrmAbout::FormKeyPress(TObject*, wchar_t& Key) {
    if (Key >= L'a' && Key <= L'z') Key = static_cast<wchar_t>(Key - L'a' + L'A');
    if (Key >= L'A' && Key <= L'Z') {
        EasterEggsKey += Key;
    } else {
        EasterEggsKey.clear();
        ShowPanel(AboutPanel);
    }
    if (EasterEggsKey.size() >= 3) ShowEasterEgg();
}

void TfrmAbout::ShowEasterEgg() {
    if (!EasterEggsForm) return;
    for (int i = 0; i < EasterEggsForm->ComponentCount(); ++i) {
        auto* panel = dynamic_cast<TPanel*>(EasterEggsForm->Components(i));
        if (!panel || AsciiUpperCase(panel->Name()) != EasterEggsKey + L"PANEL") continue;
        ShowPanel(panel);
        EasterEggsKey.clear();
        return;
    }
}

// The shown panel leaves the host first, so no panel is ever shown twice.
void TfrmAbout::ShowPanel(TPanel* panel) {
    if (CurrentPanel) CurrentPanel->SetParent(nullptr);
    CurrentPanel = panel;
    panel->SetParent(HostPanel);
}

}  // namespace library
