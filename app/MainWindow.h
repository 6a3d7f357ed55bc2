#pragma once
// The main window: three fields with their captions and "..." buttons, Start,
// the results list, its side of the release run (the engine does the rest) and
// the window's commands.

#include <string>
#include <unordered_map>
#include <vector>

#include "controls/AttachedButton.h"
#include "controls/ControlBase.h"
#include "controls/HistoryComboBox.h"
#include "forms/Buttons.h"
#include "forms/ComCtrls.h"
#include "forms/ExtCtrls.h"
#include "forms/Forms.h"
#include "forms/ImgList.h"
#include "forms/Menus.h"
#include "forms/StdCtrls.h"
#include "state/ComponentAndFormState.h"
#include "state/IniFileStore.h"

namespace library {
class TDirReader;
}

class TKamdropForm : public forms::TForm {
public:
    explicit TKamdropForm(forms::TComponent* owner);
    ~TKamdropForm() override;
    const forms::TClassInfo* ClassInfo() const override;

    forms::TStatusBar* StatusBar = nullptr;
    forms::TProgressBar* ProgressBar = nullptr;
    forms::TPanel* TopPanel = nullptr;
    forms::TListBox* FilesListBox = nullptr;
    forms::TMainMenu* MainMenu = nullptr;
    forms::TMenuItem* ExitMenuItem = nullptr;
    state::TOvcComponentState* OvcComponentState = nullptr;
    controls::TOvcHistoryComboBox* OvcHistoryComboBoxDirTarget = nullptr;
    state::TOvcIniFileStore* OvcIniFileStore = nullptr;
    controls::TOvcHistoryComboBox* OvcHistoryComboBoxDirSource = nullptr;
    controls::TOvcHistoryComboBox* OvcHistoryComboBoxLabel = nullptr;
    controls::TOvcAttachedLabel* HistoryComboBoxDirSourceLabel1 = nullptr;
    controls::TOvcAttachedLabel* HistoryComboBoxDirTargetLabel1 = nullptr;
    controls::TOvcAttachedLabel* HistoryComboBoxLabelLabel1 = nullptr;
    controls::TOvcAttachedButton* OvcAttachedButtonSource = nullptr;
    controls::TOvcAttachedButton* OvcAttachedButtonTarget = nullptr;
    forms::TMenuItem* AboutMenuItem = nullptr;
    forms::TSpeedButton* StartButton = nullptr;
    forms::TPopupMenu* PopupMenu = nullptr;
    forms::TMenuItem* ClearMenuItem = nullptr;
    state::TOvcFormState* OvcFormState = nullptr;
    forms::TImageList* ImageList = nullptr;
    forms::TMenuItem* InfoMenuItem = nullptr;
    forms::TMenuItem* Software1 = nullptr;
    forms::TMenuItem* OptionsMenuItem = nullptr;
    forms::TMenuItem* BackupFolderMenuItem = nullptr;
    forms::TMenuItem* NoBackupMenuItem = nullptr;

    void HandleFormCreate(forms::TObject* Sender);
    void HandleFormDestroy(forms::TObject* Sender);
    void HandleStartButtonClick(forms::TObject* Sender);
    void HandleExitClick(forms::TObject* Sender);
    // A "..." button: the folder browser for its field; a chosen folder goes into the field
    // and its history; the three fields are saved at once, also when the browser was cancelled.
    void HandleSelectDirectory(forms::TObject* Sender);
    // The label field's typed characters: a blank, "*", ".", "?" and "\" become "_".
    void HandleValidateInput(forms::TObject* Sender, wchar_t& Key);
    // "&Clear history": the field the popup menu was opened on loses its text and history.
    void HandleClearHistory(forms::TObject* Sender);
    // Info > About: the About dialog, with the copyright from 2003; returns once it has closed.
    void HandleAboutClick(forms::TObject* Sender);
    // Info > Software: the maker's software page, opened through the shell.
    void Software1Click(forms::TObject* Sender);
    void HandleFilesListBoxDrawItem(forms::TWinControl* Control, int Index, const RECT& Rect,
                                    forms::TOwnerDrawState State);
    // A row picked after a run: its file's new name, or why it stayed, in the status bar.
    void HandleFilesListBoxClick(forms::TObject* Sender);
    // Options > Backup folder...: the folder browser; a chosen folder becomes the backup folder
    // (a second, verified copy of every photo before it leaves the card) and heads its history.
    void HandleBackupFolderClick(forms::TObject* Sender);
    // Options > No backup: the moves keep one copy, as without the option.
    void HandleNoBackupClick(forms::TObject* Sender);
    // Options > a folder of the backup history: it becomes the backup folder again.
    void HandleBackupHistoryClick(forms::TObject* Sender);

    // The backup folder; empty when there is none (the default).
    const std::wstring& BackupDirectory() const { return FBackupDirectory; }
    // The backup folder and its history, saved at once in Kamdrop.ini.
    void SetBackupDirectory(std::wstring Directory);

protected:
    // Builds the components without ending the layout read, for a derived form
    // that changes settings first (tests point the settings file elsewhere);
    // the derived constructor then calls EndLayout.
    struct LayoutOnly {};
    TKamdropForm(forms::TComponent* owner, LayoutOnly);

    // The marks drawn anew at the scale, and rows tall enough for them and the text.
    void ScaleChanged(int M, int D) override;

private:
    void CreateLayout();
    // The "&Options" menu between "E&xit" and "&Info", with the backup folder's commands.
    void CreateOptionsMenu();
    // The backup folder's history as items below the Options menu's commands.
    void ShowBackupHistory();
    void ShowBackupChoice();
    void LoadBackupSetting();
    void SaveBackupSetting();
    // The status text between runs: where the backup goes, when there is one.
    std::wstring IdleStatusText() const;
    // The result marks at the form's scale, and the row height that holds them and a line of text.
    void PrepareMarks();
    void HandleFileFound(forms::TObject* Sender, const std::wstring& FileName);
    void HandleReaderReady(forms::TObject* Sender);
    void ReleaseFiles();
    void ShowProgress();
    class ReleaseView;

    library::TDirReader* DirReader = nullptr;
    forms::TStringList* FileQueue = nullptr;
    // What happened to the file of each row of the last run, by the row's text.
    std::unordered_map<std::wstring, std::wstring> FResultDetails;
    // A row's mark and text: where they start, at the form's scale.
    int FMarkLeft = 2;
    int FTextLeft = 19;
    int FTextHeight = 13;
    std::wstring FBackupDirectory;
    std::vector<std::wstring> FBackupHistory;
    std::vector<forms::TMenuItem*> FBackupHistoryItems;
};

extern TKamdropForm* KamdropForm;

// The shell's folder browser with Caption above its tree, centred on the main
// window's monitor and starting at Directory when that names an existing
// directory. True when a folder was chosen with OK: Directory is then its path
// (a drive root with its trailing "\"). False when cancelled or not shown:
// Directory is then the starting directory, empty when there was none.
bool BrowseForDirectory(const std::wstring& Caption, std::wstring& Directory);
