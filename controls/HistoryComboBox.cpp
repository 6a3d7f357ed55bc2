#include "controls/HistoryComboBox.h"

#include "runtime/TypInfo.h"

namespace controls {

TOvcHistoryComboBox::TOvcHistoryComboBox(forms::TComponent* owner) : TOvcBaseComboBox(owner) {
    // The history is the list itself; no row is ever copied into an MRU section.
    FMRUList->SetMaxItems(0);
}

void TOvcHistoryComboBox::UpdateHistory() {
    const std::wstring text = Text();
    if (text.empty()) return;
    forms::TStrings& items = Items();
    // A row equal ignoring case keeps its place and spelling, and the text keeps its own.
    if (items.IndexOf(text) >= 0) return;
    // Rows added elsewhere (appended folders, a restored list) are cut only here.
    while (items.Count() > 0 && items.Count() >= FMaxHistory) items.Delete(items.Count() - 1);
    items.Insert(0, text);
    SetItemIndex(items.IndexOf(text));
}

void TOvcHistoryComboBox::DoExit() {
    UpdateHistory();
    TOvcBaseComboBox::DoExit();
}

namespace {
using Box = TOvcHistoryComboBox;
const forms::TPropInfo kHistoryComboBoxProperties[] = {
    forms::OrdinalProperty<Box, &Box::MaxHistory, &Box::SetMaxHistory>(L"MaxHistory", forms::TypeInteger),
};
}  // namespace

const forms::TClassInfo* TOvcHistoryComboBox::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcHistoryComboBox", TOvcBaseComboBox::ClassInfo(),
                                        kHistoryComboBoxProperties};
    return &info;
}

}  // namespace controls
