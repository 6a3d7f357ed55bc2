#pragma once
// The About dialog: the application title, the version from the program's
// own version record, the copyright and disclaimer text, links to the maker's
// pages, and the hidden panels that typing their words brings up. ShowAbout
// builds it for one call, fades it in, waits until it is dismissed and fades
// it out again, with the main window disabled meanwhile.

#include <windows.h>

#include <cstdint>
#include <string>

#include "forms/ExtCtrls.h"
#include "forms/Forms.h"
#include "forms/StdCtrls.h"

namespace library {

class TEasterEggsForm;

// The maker's site, ending in "/", and its software page (the site followed by "software").
std::wstring SiteUrl();
std::wstring SoftwarePageUrl();

// Shows the About dialog and returns once it has been dismissed, faded out
// and freed. FirstYear starts the copyright range. Fails (with the main
// window enabled again and nothing shown) when the program has no version record.
void ShowAbout(int FirstYear);

// The local clock in milliseconds, which times the fades; tests replace it.
extern int64_t (*FadeClock)();

class TfrmAbout : public forms::TForm {
public:
    explicit TfrmAbout(forms::TComponent* owner);
    const forms::TClassInfo* ClassInfo() const override;

    forms::TPanel* Panel2 = nullptr;
    forms::TButton* OKButton = nullptr;
    forms::TPanel* HostPanel = nullptr;
    forms::TPanel* AboutPanel = nullptr;
    forms::TLabel* ProductName = nullptr;
    forms::TLabel* Version = nullptr;
    forms::TLabel* Copyright = nullptr;
    forms::TLabel* lblEmail = nullptr;
    forms::TLabel* lblSite = nullptr;
    forms::TLabel* CopyrightLabel = nullptr;
    forms::TShape* Shape1 = nullptr;
    forms::TLabel* lblSoftware = nullptr;

    void FormCreate(forms::TObject* Sender);
    void FormDestroy(forms::TObject* Sender);
    void FormClose(forms::TObject* Sender, forms::TCloseAction& Action);
    void FormDeactivate(forms::TObject* Sender);
    void FormKeyPress(forms::TObject* Sender, wchar_t& Key);

    // Fills the dialog for a program titled Title with the version record's fixed part:
    // the title, version, copyright range from FirstYear, e-mail and links, and the hidden panels' texts.
    void FillIn(const std::wstring& Title, const VS_FIXEDFILEINFO& FixedInfo, int FirstYear);

    // The title without blanks and apostrophes, in lower case: the name in the maker's addresses.
    std::wstring UrlAppName;
    TEasterEggsForm* EasterEggsForm = nullptr;
    // The letters typed since the last reset or switch, in upper case.
    std::wstring EasterEggsKey;
    // The panel that HostPanel shows: AboutPanel or a hidden panel.
    forms::TPanel* CurrentPanel = nullptr;

protected:
    // The version stays beside the title; the hidden panels, wherever they are, take the scale too.
    void ScaleChanged(int M, int D) override;

private:
    void CreateLayout();
    // Version: beside the title, their bottoms on one line.
    void PlaceVersion();
    void ShowEasterEgg();
    void ShowPanel(forms::TPanel* panel);
};

}  // namespace library
