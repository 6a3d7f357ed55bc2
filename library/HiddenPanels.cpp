#include "library/HiddenPanels.h"

#include <windows.h>

#include "runtime/TypInfo.h"
#include "library/Hyperlink.h"
#include "library/JpegImage.h"

using namespace forms;

namespace library {

namespace {

// A hidden panel's size on its page: the anchored labels keep their distances
// to its edges from here when the panel later fills the About dialog's host panel.
constexpr int kPanelWidth = 286;
constexpr int kPanelHeight = 170;

constexpr wchar_t kMakerName[] = L"Mira Vexlund";

// Other products of the maker whose pages go by shorter names: the first only
// for its page, the second for its page, screenshot and archive.
struct SpecialName {
    const wchar_t* Name;
    const wchar_t* ShortName;
    bool AllNames;
};
constexpr SpecialName kSpecialNames[] = {
    {L"vexaclock", L"clock", false},
    {L"diskmeterpro", L"diskmeter", true},
};

void LoadPhoto(TImage& image) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, L"MAKERPHOTO", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) throw Exception(L"The program holds no photograph");
    TJpegImage photo = DecodeJpeg(data, SizeofResource(module, resource));
    image.Picture().SetPixels(photo.Width, photo.Height, photo.Pixels);
}

}  // namespace

TEasterEggsForm::TEasterEggsForm(TComponent* owner) : TForm(owner) {
    CreateLayout();
    EndLayout();
}

const TClassInfo* TEasterEggsForm::ClassInfo() const {
    static const TClassInfo info{L"TEasterEggsForm", TForm::ClassInfo(), {}};
    return &info;
}

TPanel* TEasterEggsForm::MakePanel(TTabSheet*& page, const wchar_t* pageName, const wchar_t* caption,
                                   const wchar_t* panelName) {
    page = new TTabSheet(this);
    page->SetName(pageName);
    page->SetPageControl(PageControl1);
    page->SetCaption(caption);
    auto* panel = new TPanel(this);
    panel->SetName(panelName);
    panel->SetParent(page);
    panel->SetBounds(0, 0, kPanelWidth, kPanelHeight);
    panel->SetAlign(alClient);
    panel->SetColor(clWhite);
    panel->SetBevelInner(bvRaised);
    panel->SetBevelOuter(bvLowered);
    return panel;
}

void TEasterEggsForm::CreateLayout() {
    SetName(L"EasterEggsForm");
    SetCaption(L"Easter Eggs");
    SetBounds(0, 0, 302, 226);
    Font().SetName(L"MS Sans Serif");
    Font().SetHeight(-11);

    PageControl1 = new TPageControl(this);
    PageControl1->SetName(L"PageControl1");
    PageControl1->SetParent(this);
    PageControl1->SetAlign(alClient);
    PageControl1->SetStyle(tsFlatButtons);

    ZembroPanel = MakePanel(TabSheet1, L"TabSheet1", L"Photo", L"ZembroPanel");
    Image1 = new TImage(this);
    Image1->SetName(L"Image1");
    Image1->SetParent(ZembroPanel);
    Image1->SetAlign(alClient);
    Image1->SetCenter(true);
    LoadPhoto(*Image1);
    auto makeCredit = [this](TLabel*& label, const wchar_t* name, const wchar_t* caption) {
        label = new TLabel(this);
        label->SetName(name);
        label->SetParent(ZembroPanel);
        label->SetCaption(caption);
        label->SetTransparent(true);
        label->Font().SetColor(clGray);
        label->Font().SetStyle(fsItalic);
    };
    makeCredit(Label2, L"Label2", L"This software is made by");
    Label2->SetBounds(0, 150, Label2->Width(), 13);
    Label2->SetAnchors(akLeft | akBottom);
    makeCredit(Label1, L"Label1", kMakerName);
    Label1->SetAlignment(taRightJustify);
    Label1->SetBounds(277 - Label1->Width(), 150, Label1->Width(), 13);
    Label1->SetAnchors(akRight);

    QxvPanel = MakePanel(TabSheet2, L"TabSheet2", L"Addresses", L"QxvPanel");
    InfoMemo = new TMemo(this);
    InfoMemo->SetName(L"InfoMemo");
    InfoMemo->SetParent(QxvPanel);
    InfoMemo->SetAlign(alClient);
    InfoMemo->SetReadOnly(true);
    InfoMemo->SetBorder(false);
    InfoMemo->SetWordWrap(false);
    InfoMemo->Font().SetName(L"Arial");
    InfoMemo->Font().SetHeight(-11);
    InfoMemo->Font().SetColor(clNavy);

    YarnokPanel = MakePanel(TabSheet3, L"TabSheet3", L"Download", L"YarnokPanel");
    DownloadNowLabel = new TLabel(this);
    DownloadNowLabel->SetName(L"DownloadNowLabel");
    DownloadNowLabel->SetParent(YarnokPanel);
    DownloadNowLabel->SetAutoSize(false);
    DownloadNowLabel->SetWordWrap(true);
    DownloadNowLabel->SetBounds(43, 64, 192, 26);
    DownloadNowLabel->SetAnchors(akLeft | akTop | akRight | akBottom);
    DownloadNowLabel->Font().SetStyle(fsBold | fsUnderline);
    DownloadNowLabel->Font().SetColor(clNavy);
    DownloadNowLabel->SetCursor(crHandPoint);
    DownloadNowLabel->OnClick = Bind<&TEasterEggsForm::DownloadNowLabelClick>(this);
}

void TEasterEggsForm::FillInfo(const std::wstring& UrlSite, const std::wstring& UrlSoftware,
                               const std::wstring& UrlAppName) {
    const std::wstring name = AsciiLowerCase(UrlAppName);
    std::wstring pageName = name, shotName = name, archiveName = name;
    for (const SpecialName& special : kSpecialNames) {
        if (name != special.Name) continue;
        pageName = special.ShortName;
        if (special.AllNames) shotName = archiveName = special.ShortName;
    }
    DownloadUrl = UrlSoftware + L"/download/" + archiveName + L".zip";
    DownloadNowLabel->SetCaption(L"Click here to download the latest version of " + Application->Title() + L".");

    TStrings& lines = InfoMemo->Lines();
    lines.BeginUpdate();
    lines.Clear();
    for (const std::wstring& line : {std::wstring(), std::wstring(L"Information:"), UrlSoftware + L"/" + pageName + L".htm",
                                     std::wstring(), std::wstring(L"Screenshot:"),
                                     UrlSite + L"images/software_" + shotName + L".jpg", std::wstring(),
                                     std::wstring(L"Download:"), DownloadUrl})
        lines.Add(line);
    lines.EndUpdate();
}

void TEasterEggsForm::DownloadNowLabelClick(TObject*) { OpenUrl(DownloadUrl); }

}  // namespace library
