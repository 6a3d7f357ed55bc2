// The history box: what leaving it puts into its list, and what does not count as leaving.

#include "ComboBoxFixture.h"
#include "controls/HistoryComboBox.h"

using namespace controls;
using forms::Bind;

namespace {

using Texts = std::vector<std::wstring>;

class HistoryBoxTest : public ComboBoxFixture {
protected:
    TOvcHistoryComboBox* AddHistoryBox(std::initializer_list<const wchar_t*> rows) {
        auto* box = AddBox<TOvcHistoryComboBox>(rows);
        box->SetAutoComplete(true);
        return box;
    }
    // The focus moves to another control of the same window.
    void Leave() {
        other->SetFocus();
        Pump(20);
    }
};

TEST_F(HistoryBoxTest, LeavingPutsANewTextOnTopAndLeavesKnownOrEmptyTextsAlone) {
    const struct {
        const wchar_t* name;
        std::initializer_list<const wchar_t*> rows;
        const wchar_t* text;
        Texts expectedRows;
        int expectedIndex;
    } cases[] = {
        {L"new text", {L"D:\\Cam"}, L"E:\\New", {L"E:\\New", L"D:\\Cam"}, 0},
        {L"equal ignoring case", {L"ABC"}, L"abc", {L"ABC"}, -1},
        {L"empty text", {L"D:\\Cam"}, L"", {L"D:\\Cam"}, -1},
        {L"appended row stays at the end", {L"A", L"B", L"D:\\Folder"}, L"d:\\folder", {L"A", L"B", L"D:\\Folder"}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)));
        auto* box = AddHistoryBox(c.rows);
        ShowAndFocus(box);
        box->SetText(c.text);
        Leave();
        EXPECT_EQ(Rows(box), c.expectedRows);
        EXPECT_EQ(box->Text(), c.text);
        EXPECT_EQ(box->ItemIndex(), c.expectedIndex);
        delete box;
    }
}

TEST_F(HistoryBoxTest, MaxHistoryCutsTheListOnlyWhenANewTextIsEntered) {
    const struct {
        int maxHistory;
        int rowsBefore;
        int rowsAfter;
    } cases[] = {{10, 12, 10}, {5, 3, 4}, {1, 3, 1}, {0, 3, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "MaxHistory " << c.maxHistory);
        auto* box = AddHistoryBox({});
        box->SetMaxHistory(c.maxHistory);
        for (int i = 0; i < c.rowsBefore; ++i) box->Items().Add(L"D:\\Folder" + std::to_wstring(i));
        // Appending alone never shortens the list.
        EXPECT_EQ(box->Items().Count(), c.rowsBefore);
        ShowAndFocus(box);
        box->SetText(L"E:\\New");
        Leave();
        ASSERT_EQ(box->Items().Count(), c.rowsAfter);
        EXPECT_EQ(box->Items()[0], L"E:\\New");
        // The oldest rows went from the end.
        for (int i = 1; i < c.rowsAfter; ++i) EXPECT_EQ(box->Items()[i], L"D:\\Folder" + std::to_wstring(i - 1));
        delete box;
    }
}

TEST_F(HistoryBoxTest, DeactivatingTheWindowOrClickingANoFocusButtonIsNoLeaving) {
    auto* box = AddHistoryBox({L"D:\\Cam"});
    auto* start = new forms::TSpeedButton(form);
    start->SetParent(form);
    start->SetBounds(100, 150, 90, 24);
    ComboEventLog log;
    box->OnExit = Bind<&ComboEventLog::Exit>(&log);
    ShowAndFocus(box);
    box->SetText(L"E:\\New");

    SendMessageW(start->Handle(), BM_CLICK, 0, 0);
    Pump(20);
    TestForm elsewhere(nullptr);
    elsewhere.FinishLayout();
    elsewhere.Show();
    Pump(20);
    EXPECT_FALSE(box->Focused());
    form->Show();
    Pump(20);
    EXPECT_EQ(Rows(box), (Texts{L"D:\\Cam"}));
    EXPECT_TRUE(log.Entries.empty());

    Leave();
    EXPECT_EQ(Rows(box), (Texts{L"E:\\New", L"D:\\Cam"}));
    EXPECT_EQ(log.Entries, (std::vector<std::wstring>{L"exit"}));
}

TEST_F(HistoryBoxTest, AfterEnterAndAfterExitArriveFromTheQueueAfterTheFocusHasMoved) {
    auto* box = AddHistoryBox({});
    ComboEventLog log;
    box->OnExit = Bind<&ComboEventLog::Exit>(&log);
    box->AfterEnter = Bind<&ComboEventLog::AfterEnter>(&log);
    box->AfterExit = Bind<&ComboEventLog::AfterExit>(&log);
    ShowAndFocus(other);

    box->SetFocus();
    EXPECT_TRUE(log.Entries.empty());
    Pump(20);
    EXPECT_EQ(log.Entries, (std::vector<std::wstring>{L"after enter"}));

    other->SetFocus();
    EXPECT_EQ(log.Entries, (std::vector<std::wstring>{L"after enter", L"exit"}));
    Pump(20);
    EXPECT_EQ(log.Entries, (std::vector<std::wstring>{L"after enter", L"exit", L"after exit"}));
}

}  // namespace
