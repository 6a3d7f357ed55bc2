// The base combo box: completion, keys and the searches, the MRU section,
// re-creation of the window, events, the published properties and the
// state behind the flat and themed faces.

#include <map>

#include "ComboBoxFixture.h"
#include "controls/HistoryComboBox.h"
#include "runtime/TypInfo.h"

using namespace controls;
using forms::Bind;

namespace {

using Texts = std::vector<std::wstring>;
using Log = std::vector<std::wstring>;

// The delayed search waits 500 ms after the last key.
constexpr DWORD kPastKeyDelay = 700;

class CompletionTest : public ComboBoxFixture {
protected:
    TOvcHistoryComboBox* AddTypingBox(std::initializer_list<const wchar_t*> rows) {
        auto* box = AddBox<TOvcHistoryComboBox>(rows);
        box->SetAutoComplete(true);
        box->OnClick = Bind<&ComboEventLog::Click>(&log);
        box->OnChange = Bind<&ComboEventLog::Change>(&log);
        ShowAndFocus(box);
        return box;
    }
    ComboEventLog log;
};

TEST_F(CompletionTest, TypedLetterCompletesFromTheFirstRowThatBeginsWithItAndTheDelayedSearchTakesTheRowsSpelling) {
    auto* box = AddTypingBox({L"D:\\Cam", L"C:\\Photos"});
    Type(box, 'C', L'c');
    EXPECT_EQ(box->Text(), L"c:\\Photos");
    EXPECT_EQ(box->SelStart(), 1);
    EXPECT_EQ(box->SelLength(), 8);
    EXPECT_EQ(box->ItemIndex(), 1);
    EXPECT_EQ(log.Entries, (Log{L"click", L"change"}));

    Pump(kPastKeyDelay);
    EXPECT_EQ(box->Text(), L"C:\\Photos");
    EXPECT_EQ(box->SelStart(), 1);
    EXPECT_EQ(box->SelLength(), 8);
    EXPECT_EQ(box->ItemIndex(), 1);
}

TEST_F(CompletionTest, BackspaceRemovesTheCompletedPartForGoodButDeleteOnlyUntilTheDelayedSearch) {
    const struct {
        const char* name;
        bool backspace;
        const wchar_t* textAfterDelay;
    } cases[] = {{"Backspace", true, L"c"}, {"Delete", false, L"C:\\Photos"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto* box = AddTypingBox({L"D:\\Cam", L"C:\\Photos"});
        Type(box, 'C', L'c');
        if (c.backspace) {
            Type(box, VK_BACK, L'\b');
        } else {
            KeyDown(box, VK_DELETE);
        }
        EXPECT_EQ(box->Text(), L"c");
        EXPECT_EQ(box->SelStart(), 1);
        if (c.backspace) {
            EXPECT_EQ(box->ItemIndex(), -1);
        }
        Pump(kPastKeyDelay);
        EXPECT_EQ(box->Text(), c.textAfterDelay);
        delete box;
    }
}

TEST_F(CompletionTest, EachKeyReplacesThePendingSearchAndDestroyingTheBoxCancelsIt) {
    TOvcTimerPool* pool = SharedController()->TimerPool();
    const int before = pool->Count();
    auto* box = AddTypingBox({L"D:\\Cam"});
    Type(box, 'X', L'x');
    Type(box, 'Y', L'y');
    EXPECT_EQ(pool->Count(), before + 1);
    delete box;
    EXPECT_EQ(pool->Count(), before);
    Pump(kPastKeyDelay);
}

TEST_F(CompletionTest, BackspaceDeletesASurrogatePairAsOneCharacter) {
    auto* box = AddTypingBox({});
    box->SetText(L"x\U0001D11E");
    box->SetSelStart(3);
    log.Entries.clear();
    Type(box, VK_BACK, L'\b');
    EXPECT_EQ(box->Text(), L"x");
    EXPECT_EQ(box->SelStart(), 1);
    EXPECT_EQ(log.Entries, (Log{L"change"}));
}

TEST_F(CompletionTest, SurrogatePairWaitingInTheQueueIsCompletedAsOneCharacter) {
    auto* box = AddTypingBox({L"\U0001D11E Music", L"\U0001D11F Other"});
    const std::wstring clef = L"\U0001D11E";
    PostMessageW(box->EditHandle(), WM_CHAR, clef[0], 1);
    PostMessageW(box->EditHandle(), WM_CHAR, clef[1], 1);
    Pump(20);
    EXPECT_EQ(box->Text(), L"\U0001D11E Music");
    EXPECT_EQ(box->SelStart(), 2);
    EXPECT_EQ(box->SelLength(), 6);
    EXPECT_EQ(box->ItemIndex(), 0);
}

TEST_F(CompletionTest, EnterFillsInTheFirstRowThatBeginsWithTheTextOrBeeps) {
    const struct {
        const char* name;
        std::initializer_list<const wchar_t*> rows;
        const wchar_t* text;
        const wchar_t* expected;
        int beeps;
    } cases[] = {
        {"match", {L"D:\\Cam", L"C:\\Photos"}, L"c:", L"C:\\Photos", 0},
        {"no match", {L"D:\\Cam", L"C:\\Photos"}, L"x", L"x", 1},
        {"empty text", {L"D:\\Cam", L"C:\\Photos"}, L"", L"D:\\Cam", 0},
        {"empty text and list", {}, L"", L"", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Beeps = 0;
        auto* box = AddTypingBox(c.rows);
        box->SetText(c.text);
        log.Entries.clear();
        KeyDown(box, VK_RETURN);
        EXPECT_EQ(box->Text(), c.expected);
        EXPECT_EQ(Beeps, c.beeps);
        EXPECT_EQ(log.Entries, c.beeps ? Log{} : Log{L"click"});
        delete box;
    }
}

TEST_F(CompletionTest, EscapeBringsTheNewestRowAndRaisesOnChange) {
    auto* box = AddTypingBox({L"D:\\Newest", L"D:\\Older"});
    box->SetText(L"typed");
    KeyDown(box, VK_ESCAPE);
    EXPECT_EQ(box->Text(), L"D:\\Newest");
    EXPECT_EQ(box->ItemIndex(), 0);
    EXPECT_EQ(log.Entries, (Log{L"change"}));
}

TEST_F(CompletionTest, HomeAndEndChooseTheFirstAndLastRowOnlyWithoutStandardHomeEnd) {
    auto* box = AddTypingBox({L"first", L"middle", L"last"});
    box->SetText(L"typed");
    KeyDown(box, VK_END);
    EXPECT_EQ(box->Text(), L"typed");
    box->SetStandardHomeEnd(false);
    KeyDown(box, VK_END);
    EXPECT_EQ(box->Text(), L"last");
    KeyDown(box, VK_HOME);
    EXPECT_EQ(box->Text(), L"first");
    EXPECT_EQ(log.Entries, (Log{L"change", L"change"}));
}

TEST_F(CompletionTest, DelayedSearchReachesOnKeyDownAsKey9999AndSelectsEverythingAfterTheCaret) {
    auto* box = AddTypingBox({L"D:\\Cam"});
    box->OnKeyDown = Bind<&ComboEventLog::KeyDown>(&log);
    box->SetText(L"abc");
    box->SetSelStart(1);
    Type(box, 'Z', L'z');
    EXPECT_EQ(box->Text(), L"azbc");
    EXPECT_EQ(box->SelStart(), 2);
    EXPECT_EQ(log.Entries, (Log{L"90", L"change"}));
    Pump(kPastKeyDelay);
    EXPECT_EQ(log.Entries, (Log{L"90", L"change", L"9999"}));
    EXPECT_EQ(box->Text(), L"azbc");
    EXPECT_EQ(box->SelStart(), 2);
    EXPECT_EQ(box->SelLength(), 2);
}

TEST_F(CompletionTest, KeyPressHandlerRunsFirstAndCompletionSearchesWithItsCharacter) {
    struct Filter {
        void KeyPress(forms::TObject*, wchar_t& key) {
            if (key == L' ') key = L'_';
        }
    } filter;
    auto* box = AddTypingBox({L"My Trip", L"My_Holiday"});
    box->OnKeyPress = Bind<&Filter::KeyPress>(&filter);
    for (wchar_t c : std::wstring(L"My ")) Char(box, c);
    EXPECT_EQ(box->Text(), L"My_Holiday");
    EXPECT_EQ(box->ItemIndex(), 1);
}

// ---- Events and the window ----

class BaseBoxTest : public ComboBoxFixture {};

TEST_F(BaseBoxTest, WindowIsAnOwnerDrawnVariableComboBoxWithFontHighRowsAndATypingLimit) {
    auto* box = AddBox<TOvcHistoryComboBox>({L"D:\\Cam", L"C:\\Photos"});
    box->SetMaxLength(5);
    HWND window = box->Handle();
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    EXPECT_EQ(_wcsicmp(className, L"ComboBox"), 0);
    const DWORD style = GetWindowLongW(window, GWL_STYLE);
    for (DWORD bit : {DWORD(CBS_DROPDOWN), DWORD(CBS_OWNERDRAWVARIABLE), DWORD(CBS_HASSTRINGS),
                      DWORD(CBS_AUTOHSCROLL)})
        EXPECT_EQ(style & bit, bit) << std::hex << bit;
    EXPECT_EQ(style & 3, DWORD(CBS_DROPDOWN));

    EXPECT_EQ(box->ItemHeight(), 13);
    EXPECT_EQ(SendMessageW(window, CB_GETITEMHEIGHT, 1, 0), 13);

    ShowAndFocus(box);
    for (wchar_t c : std::wstring(L"abcdefgh")) Char(box, c);
    EXPECT_EQ(box->Text(), L"abcde");

    auto* list = AddBox<TOvcBaseComboBox>({});
    list->SetStyle(ocsDropDownList);
    EXPECT_EQ(GetWindowLongW(list->Handle(), GWL_STYLE) & 3, DWORD(CBS_DROPDOWNLIST));
}

TEST_F(BaseBoxTest, RecreatingTheWindowKeepsRowsTextSelectionAndDroppedWidth) {
    auto* box = AddBox<TOvcHistoryComboBox>({L"D:\\Cam", L"C:\\Photos", L"E:\\Out"});
    box->SetItemIndex(1);
    box->SetDroppedWidth(300);
    HWND before = box->Handle();
    box->SetItemHeight(20);
    EXPECT_NE(box->Handle(), before);
    EXPECT_EQ(Rows(box), (Texts{L"D:\\Cam", L"C:\\Photos", L"E:\\Out"}));
    EXPECT_EQ(box->ItemIndex(), 1);
    EXPECT_EQ(box->Text(), L"C:\\Photos");
    EXPECT_EQ(SendMessageW(box->Handle(), CB_GETDROPPEDWIDTH, 0, 0), 300);
    EXPECT_EQ(SendMessageW(box->Handle(), CB_GETITEMHEIGHT, 0, 0), 20);

    box->SetItemIndex(-1);
    box->SetText(L"typed");
    box->SetCtl3D(false);
    EXPECT_EQ(box->Text(), L"typed");
    EXPECT_EQ(box->ItemIndex(), -1);
}

TEST_F(BaseBoxTest, MouseWheelAndSelectionChangeReachTheirEvents) {
    struct Wheel {
        std::vector<int> seen;
        void Turn(forms::TObject*, forms::TShiftState shift, uint16_t delta, uint16_t x, uint16_t y) {
            seen = {shift, delta, x, y};
        }
    } wheel;
    ComboEventLog log;
    auto* box = AddBox<TOvcHistoryComboBox>({L"D:\\Cam"});
    box->OnMouseWheel = Bind<&Wheel::Turn>(&wheel);
    box->OnSelectionChange = Bind<&ComboEventLog::SelectionChange>(&log);
    SendMessageW(box->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, static_cast<WORD>(-120)), MAKELPARAM(100, 200));
    EXPECT_EQ(wheel.seen, (std::vector<int>{forms::ssShift, 65416, 100, 200}));

    ShowAndFocus(box);
    box->SetText(L"d");
    KeyDown(box, VK_RETURN);
    EXPECT_EQ(log.Entries, (Log{L"selection change"}));
}

// ---- The MRU section ----

class MRUTest : public ComboBoxFixture {
protected:
    void SetUp() override {
        ComboBoxFixture::SetUp();
        box = AddBox<TOvcBaseComboBox>({L"A", L"B", L"C", L"D"});
        form->Show();
    }
    // Choosing a list-section row from the dropped list.
    void Choose(int listIndex) {
        box->SetDroppedDown(true);
        SendMessageW(box->Handle(), CB_SETCURSEL, box->MRUList().Count() + listIndex, 0);
        box->SetDroppedDown(false);
    }
    Texts MRU() { return box->MRUList().Items().ToVector(); }
    TOvcBaseComboBox* box = nullptr;
};

TEST_F(MRUTest, ChoicesGoOnTopInTheOrderOfLastUseAndTheFourthDropsTheOldest) {
    Choose(1);
    Choose(2);
    Choose(0);
    EXPECT_EQ(Rows(box), (Texts{L"A", L"C", L"B", L"A", L"B", L"C", L"D"}));
    Choose(3);
    EXPECT_EQ(MRU(), (Texts{L"D", L"A", L"C"}));
    EXPECT_EQ(Rows(box), (Texts{L"D", L"A", L"C", L"A", L"B", L"C", L"D"}));
    // The last MRU row is taller, for the separator under it.
    EXPECT_EQ(SendMessageW(box->Handle(), CB_GETITEMHEIGHT, 2, 0), box->ItemHeight() + 3);
    EXPECT_EQ(SendMessageW(box->Handle(), CB_GETITEMHEIGHT, 3, 0), box->ItemHeight());

    // A row the MRU section holds moves up without a new row.
    Choose(2);
    EXPECT_EQ(MRU(), (Texts{L"C", L"D", L"A"}));
    EXPECT_EQ(Rows(box), (Texts{L"C", L"D", L"A", L"A", L"B", L"C", L"D"}));
    EXPECT_EQ(box->Text(), L"C");
    EXPECT_EQ(box->ListIndex(), 2);
    EXPECT_EQ(box->List().ToVector(), (Texts{L"A", L"B", L"C", L"D"}));

    box->SetListIndex(0);
    EXPECT_EQ(box->ItemIndex(), 3);
    EXPECT_EQ(box->Text(), L"A");
    box->SetListIndex(4);
    EXPECT_EQ(box->ItemIndex(), -1);
    EXPECT_EQ(box->ListIndex(), -1);
}

TEST_F(MRUTest, LeavingTheBoxPutsItsRowIntoTheMRUSection) {
    box->SetItemIndex(2);
    box->SetFocus();
    other->SetFocus();
    EXPECT_EQ(MRU(), (Texts{L"C"}));
    EXPECT_EQ(Rows(box), (Texts{L"C", L"A", L"B", L"C", L"D"}));
    EXPECT_EQ(box->ListIndex(), 2);
}

TEST_F(MRUTest, ListOperationsWorkBelowTheMRUSection) {
    Choose(1);
    EXPECT_EQ(box->AddItem(L"E", nullptr), 4);
    EXPECT_EQ(box->AddItem(L"e", nullptr), -1);
    box->InsertItem(0, L"Z", nullptr);
    box->InsertItem(6, L"out of range", nullptr);
    EXPECT_EQ(Rows(box), (Texts{L"B", L"Z", L"A", L"B", L"C", L"D", L"E"}));

    box->RemoveItem(L"b");
    EXPECT_EQ(MRU(), Texts{});
    EXPECT_EQ(Rows(box), (Texts{L"Z", L"A", L"C", L"D", L"E"}));
    EXPECT_EQ(box->Text(), L"");

    Choose(1);
    forms::TStringList source{L"X", L"Y"};
    box->AssignItems(source);
    EXPECT_EQ(Rows(box), (Texts{L"A", L"X", L"Y"}));
    box->Clear();
    EXPECT_EQ(Rows(box), (Texts{L"A"}));
    box->ClearItems();
    EXPECT_EQ(Rows(box), Texts{});
    EXPECT_EQ(MRU(), Texts{});
}

TEST_F(MRUTest, ForceItemsToMRUListTakesLeadingCopiesOfLaterRowsIntoTheMRUList) {
    forms::TStringList stored{L"B", L"A", L"A", L"B", L"C"};
    box->AssignItems(stored);
    box->ForceItemsToMRUList(2);
    EXPECT_EQ(MRU(), (Texts{L"A", L"B"}));
    EXPECT_EQ(Rows(box), (Texts{L"A", L"B", L"A", L"B", L"C"}));
    EXPECT_EQ(box->List().ToVector(), (Texts{L"A", L"B", L"C"}));
}

TEST(HistoryMRUTest, HistoryBoxNeverHoldsAnMRURow) {
    TOvcHistoryComboBox box(nullptr);
    EXPECT_EQ(box.MRUList().MaxItems(), 0);
    box.Items().Add(L"A");
    box.AddToMRUList(0);
    EXPECT_EQ(box.Items().ToVector(), (Texts{L"A"}));
}

// ---- Properties ----

TEST(OvcComboBoxPropertiesTest, HistoryBoxPublishesItsSettingsWithTheirKinds) {
    TOvcHistoryComboBox box(nullptr);
    std::map<std::wstring, forms::TTypeKind> kinds;
    for (const forms::TPropInfo* prop : forms::GetPropList(&box, forms::tkProperties))
        kinds[std::wstring(prop->Name)] = prop->Kind();
    for (const wchar_t* name : {L"Items", L"LabelInfo", L"HotTrackColors", L"Borders", L"Font"})
        EXPECT_EQ(kinds[name], forms::tkClass) << name;
    for (const wchar_t* name : {L"MaxHistory", L"KeyDelay", L"ItemHeight", L"MaxLength", L"DropDownCount", L"Color"})
        EXPECT_EQ(kinds[name], forms::tkInteger) << name;
    for (const wchar_t* name : {L"AutoComplete", L"AutoSearch", L"HotTrack", L"HotTrackBorder"})
        EXPECT_EQ(kinds[name], forms::tkEnumeration) << name;
    EXPECT_EQ(kinds[L"Text"], forms::tkUString);
    EXPECT_EQ(kinds.count(L"Style"), 0u);

    const forms::TPropInfo* about = forms::GetPropInfo(&box, L"About");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->GetString(&box), L"v4.08");
    EXPECT_EQ(about->SetString, nullptr);
    EXPECT_EQ(forms::GetPropInfo(&box, L"MaxHistory")->GetOrdinal(&box), 5);
    EXPECT_EQ(forms::GetPropInfo(&box, L"LabelInfo")->GetObjectValue(&box), box.LabelInfo());
    forms::GetPropInfo(&box, L"KeyDelay")->SetOrdinal(&box, -1);
    EXPECT_EQ(box.KeyDelay(), 500);

    try {
        box.AttachedLabel();
        ADD_FAILURE() << "no error";
    } catch (const forms::Exception& error) {
        EXPECT_EQ(error.Message(), L"Label not attached");
    }
}

// ---- Flat and themed faces ----

TEST_F(BaseBoxTest, ThemedFaceStateFollowsTheMouseTheListAndEnabled) {
    auto* box = AddBox<TOvcBaseComboBox>({L"A", L"B"});
    box->SetStyle(ocsDropDownList);
    EXPECT_EQ(box->CurrentThemeState(), tsNone);
    EXPECT_EQ(box->NewThemeState(), tsNone);
    form->Show();
    Pump(20);

    SendMessageW(box->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(box->NewThemeState(), tsHot);
    UpdateWindow(box->Handle());
    EXPECT_EQ(box->CurrentThemeState(), tsHot);

    box->SetDroppedDown(true);
    EXPECT_EQ(box->NewThemeState(), tsPressed);
    box->SetDroppedDown(false);
    EXPECT_EQ(box->NewThemeState(), tsNormal);

    box->SetEnabled(false);
    EXPECT_EQ(box->NewThemeState(), tsDisabled);
    box->SetEnabled(true);
    SetCursorPos(1279, 1023);
    SendMessageW(box->Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(box->IsHot());
    EXPECT_EQ(box->NewThemeState(), tsNormal);
    UpdateWindow(box->Handle());
    EXPECT_EQ(box->CurrentThemeState(), tsNormal);
}

TEST_F(BaseBoxTest, HotTrackStaysOffUnderVisualStylesAndBorderLinesSwitchTheFlatLook) {
    auto* box = AddBox<TOvcBaseComboBox>({L"A"});
    box->SetHotTrack(true);
    EXPECT_EQ(box->HotTrack(), !ThemesActive());
    box->SetHotTrack(false);

    HWND before = box->Handle();
    box->Borders()->LeftBorder()->SetEnabled(true);
    EXPECT_NE(box->Handle(), before);
    EXPECT_TRUE(box->HotTrack());
    EXPECT_FALSE(box->HotTrackBorder());
    EXPECT_FALSE(box->Ctl3D());

    // Painting the flat frame and the line runs on every paint.
    form->Show();
    SendMessageW(box->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(box->IsHot());
    UpdateWindow(box->Handle());

    box->SetHotTrackBorder(true);
    EXPECT_FALSE(box->Borders()->LeftBorder()->Enabled());
    EXPECT_TRUE(box->HotTrackBorder());
    EXPECT_FALSE(box->HotTrack());
    EXPECT_TRUE(box->Ctl3D());
}

}  // namespace
