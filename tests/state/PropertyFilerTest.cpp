#include "state/PropertyFiler.h"

#include <gtest/gtest.h>

#include <map>

#include "StateTestSupport.h"
#include "forms/Graphics.h"
#include "state/IniFileStore.h"

using forms::TStringList;
using state::PExPropInfo;
using state::TOvcDataFiler;
using state::TOvcPropertyList;

namespace {

enum TTestMode { tmAlpha, tmBeta, tmGamma };
using TTestModes = uint32_t;  // bit n for TTestMode n

class TTestItem : public state::TOvcCollectionItem {
public:
    explicit TTestItem(std::wstring caption) : FCaption(std::move(caption)) {}
    const forms::TClassInfo* ClassInfo() const override;
    std::wstring Caption() const { return FCaption; }
    void SetCaption(const std::wstring& value) { FCaption = value; }

private:
    std::wstring FCaption;
};

// A component that publishes one property of every kind the filer keeps.
class TTestBox : public forms::TComponent {
public:
    using forms::TComponent::TComponent;
    const forms::TClassInfo* ClassInfo() const override;

    std::wstring Text() const { return FText; }
    void SetText(const std::wstring& value) { FText = value; }
    forms::TStringList* Items() { return &FItems; }
    int Count() const { return FCount; }
    void SetCount(int value) { FCount = value; }
    TTestMode Mode() const { return FMode; }
    void SetMode(TTestMode value) { FMode = value; }
    TTestModes Modes() const { return FModes; }
    void SetModes(TTestModes value) { FModes = value; }
    bool Flag() const { return FFlag; }
    void SetFlag(bool value) { FFlag = value; }
    char Initial() const { return FInitial; }
    void SetInitial(char value) { FInitial = value; }
    wchar_t Letter() const { return FLetter; }
    void SetLetter(wchar_t value) { FLetter = value; }
    double Ratio() const { return FRatio; }
    void SetRatio(double value) { FRatio = value; }
    double Scale() const { return FScale; }
    void SetScale(double value) { FScale = static_cast<float>(value); }
    forms::TVariant Value() const { return FValue; }
    void SetValue(const forms::TVariant& value) { FValue = value; }
    forms::TFont* Font() { return &FFont; }
    state::TOvcCollection* Coll() { return &FColl; }
    forms::TComponent* Buddy() const { return FBuddy; }
    void SetBuddy(forms::TComponent* value) { FBuddy = value; }

private:
    std::wstring FText;
    forms::TStringList FItems;
    int FCount = 0;
    TTestMode FMode = tmAlpha;
    TTestModes FModes = 0;
    bool FFlag = false;
    char FInitial = 'a';
    wchar_t FLetter = L'a';
    double FRatio = 0;
    float FScale = 0;
    forms::TVariant FValue;
    forms::TFont FFont;
    state::TOvcCollection FColl;
    forms::TComponent* FBuddy = nullptr;
};

const std::wstring_view kModeNames[] = {L"tmAlpha", L"tmBeta", L"tmGamma"};
const forms::TTypeInfo kModeType{forms::tkEnumeration, L"TTestMode", kModeNames};
const forms::TTypeInfo kModesType{forms::tkSet, L"TTestModes", {}, &kModeType};
const forms::TTypeInfo kSingleType{forms::tkFloat, L"Single", {}, nullptr, forms::ftSingle};
const forms::TTypeInfo kComponentType{forms::tkClass, L"TComponent"};
const forms::TTypeInfo kStringsType{forms::tkClass, L"TStrings"};
const forms::TTypeInfo kFontType{forms::tkClass, L"TFont"};

const forms::TPropInfo kItemProperties[] = {
    forms::StringProperty<TTestItem, &TTestItem::Caption, &TTestItem::SetCaption>(L"Caption"),
};

const forms::TPropInfo kBoxProperties[] = {
    forms::ObjectProperty<TTestBox, &TTestBox::Buddy>(L"Buddy", kComponentType),
    forms::ObjectProperty<TTestBox, &TTestBox::Coll>(L"Coll", state::OvcCollectionType),
    forms::OrdinalProperty<TTestBox, &TTestBox::Count, &TTestBox::SetCount>(L"Count", forms::TypeInteger),
    forms::OrdinalProperty<TTestBox, &TTestBox::Flag, &TTestBox::SetFlag>(L"Flag", forms::TypeBoolean),
    forms::ObjectProperty<TTestBox, &TTestBox::Font>(L"Font", kFontType),
    forms::OrdinalProperty<TTestBox, &TTestBox::Initial, &TTestBox::SetInitial>(L"Initial", forms::TypeChar),
    forms::ObjectProperty<TTestBox, &TTestBox::Items>(L"Items", kStringsType),
    forms::OrdinalProperty<TTestBox, &TTestBox::Letter, &TTestBox::SetLetter>(L"Letter", forms::TypeWChar),
    forms::OrdinalProperty<TTestBox, &TTestBox::Mode, &TTestBox::SetMode>(L"Mode", kModeType),
    forms::OrdinalProperty<TTestBox, &TTestBox::Modes, &TTestBox::SetModes>(L"Modes", kModesType),
    forms::FloatProperty<TTestBox, &TTestBox::Ratio, &TTestBox::SetRatio>(L"Ratio", forms::TypeDouble),
    forms::FloatProperty<TTestBox, &TTestBox::Scale, &TTestBox::SetScale>(L"Scale", kSingleType),
    forms::StringProperty<TTestBox, &TTestBox::Text, &TTestBox::SetText>(L"Text"),
    forms::VariantProperty<TTestBox, &TTestBox::Value, &TTestBox::SetValue>(L"Value"),
};

const forms::TClassInfo* TTestItem::ClassInfo() const {
    static const forms::TClassInfo info{L"TTestItem", TOvcCollectionItem::ClassInfo(), kItemProperties};
    return &info;
}

const forms::TClassInfo* TTestBox::ClassInfo() const {
    static const forms::TClassInfo info{L"TTestBox", forms::TComponent::ClassInfo(), kBoxProperties};
    return &info;
}

// A form-like owner with one box, a store over a file of a temporary folder and
// a filer for the section "Kamdrop".
class FilerTest : public testing::Test {
protected:
    FilerTest() : FOwner(nullptr), FFile(FFolder / L"Kamdrop.ini") {
        FBox = new TTestBox(&FOwner);
        FBox->SetName(L"Box1");
        FStore = new state::TOvcIniFileStore(&FOwner);
        FStore->SetIniFileName(FFile);
        FFiler.SetSection(L"Kamdrop");
        FFiler.SetStorage(FStore);
    }

    // Binds lines to the owner's components, as the component state keeps them.
    void Bind(TStringList& lines) { state::ResolveStoredProperties(&FOwner, &lines, true); }
    void Store(TStringList& lines) {
        FStore->Open();
        try {
            FFiler.StoreObjectsProps(&FOwner, &lines);
        } catch (...) {
            FStore->Close();
            throw;
        }
        FStore->Close();
    }
    void Load(TStringList& lines) {
        FStore->Open();
        FFiler.LoadObjectsProps(&FOwner, &lines);
        FStore->Close();
    }
    std::wstring Raw(const std::wstring& key) { return RawValue(FFile, L"Kamdrop", key); }

    TempFolder FFolder;
    forms::TComponent FOwner;
    std::wstring FFile;
    TTestBox* FBox;
    state::TOvcIniFileStore* FStore;
    TOvcDataFiler FFiler;
};

TEST_F(FilerTest, HistoryIsStoredInItsOwnSectionAndRemovedWhenCleared) {
    TStringList lines{L"Box1.Items"};
    Bind(lines);
    FBox->Items()->Assign(TStringList{L"C:\\Photos\\", L"D:\\Camera\\", L"Holiday"});
    Store(lines);
    EXPECT_EQ(SectionLines(FFile, L"Kamdrop.Box1.Items"),
              (std::vector<std::wstring>{L"Count=3", L"Item0=C:\\Photos\\", L"Item1=D:\\Camera\\", L"Item2=Holiday"}));
    EXPECT_EQ(Raw(L"Box1.Items"), L"<none>");

    FBox->Items()->Clear();
    Store(lines);
    EXPECT_TRUE(SectionLines(FFile, L"Kamdrop.Box1.Items").empty());

    Load(lines);
    EXPECT_EQ(FBox->Items()->Count(), 0);
    FBox->Items()->Add(L"typed meanwhile");
    Load(lines);
    EXPECT_EQ(FBox->Items()->ToVector(), std::vector<std::wstring>{L"typed meanwhile"});
}

TEST_F(FilerTest, CountDecidesHowManyEntriesAreRead) {
    TStringList lines{L"Box1.Items"};
    Bind(lines);
    WriteRaw(FFile, L"Kamdrop.Box1.Items", L"Count", L"5");
    WriteRaw(FFile, L"Kamdrop.Box1.Items", L"Item0", L"p");
    WriteRaw(FFile, L"Kamdrop.Box1.Items", L"Item1", L"q");
    Load(lines);
    EXPECT_EQ(FBox->Items()->ToVector(), (std::vector<std::wstring>{L"p", L"q", L"", L"", L""}));
}

TEST_F(FilerTest, BadCountLeavesTheListUnchanged) {
    const std::wstring counts[] = {L"<none>", L"0", L"-2", L"two", L"3x", L"2000000000",
                                   std::to_wstring(state::MaxStoredListCount + 1)};
    TStringList lines{L"Box1.Items"};
    Bind(lines);
    for (const std::wstring& count : counts) {
        const std::wstring section = L"Kamdrop.Box1.Items";
        WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, FFile.c_str());
        if (count != L"<none>") WriteRaw(FFile, section, L"Count", count);
        WriteRaw(FFile, section, L"Item0", L"stored");
        FBox->Items()->Assign(TStringList{L"kept"});
        Load(lines);
        EXPECT_EQ(FBox->Items()->ToVector(), std::vector<std::wstring>{L"kept"}) << forms::WideToUtf8(count);
    }
}

TEST_F(FilerTest, CountUpToTheLimitIsReadInFull) {
    TStringList lines{L"Box1.Items"};
    Bind(lines);
    WriteRaw(FFile, L"Kamdrop.Box1.Items", L"Count", std::to_wstring(state::MaxStoredListCount));
    WriteRaw(FFile, L"Kamdrop.Box1.Items", L"Item0", L"first");
    Load(lines);
    ASSERT_EQ(FBox->Items()->Count(), state::MaxStoredListCount);
    EXPECT_EQ(FBox->Items()->Get(0), L"first");
}

// Records what the filer hands the store, blanks and all.
class MemoryStore : public state::TOvcAbstractStore {
public:
    using state::TOvcAbstractStore::TOvcAbstractStore;
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> values;

    std::wstring ReadString(const std::wstring& section, const std::wstring& item,
                            const std::wstring& defaultValue) override {
        auto found = values.find({section, item});
        return found == values.end() ? defaultValue : found->second;
    }
    void WriteString(const std::wstring& section, const std::wstring& item, const std::wstring& value) override {
        values[{section, item}] = value;
    }

protected:
    void OpenStorage() override {}
    void CloseStorage() override {}
};

TEST_F(FilerTest, BlanksStayInListEntriesButNotAroundTexts) {
    MemoryStore memory(nullptr);
    FFiler.SetStorage(&memory);
    TStringList lines{L"Box1.Items", L"Box1.Text"};
    Bind(lines);
    FBox->Items()->Assign(TStringList{L" leading", L"trailing  "});
    FBox->SetText(L" abc ");
    FFiler.StoreObjectsProps(&FOwner, &lines);
    EXPECT_EQ((memory.values[{L"Kamdrop.Box1.Items", L"Item0"}]), L" leading");
    EXPECT_EQ((memory.values[{L"Kamdrop.Box1.Items", L"Item1"}]), L"trailing  ");
    EXPECT_EQ((memory.values[{L"Kamdrop", L"Box1.Text"}]), L"abc");

    FBox->Items()->Clear();
    memory.values[{L"Kamdrop", L"Box1.Text"}] = L"\t xyz  ";
    FFiler.LoadObjectsProps(&FOwner, &lines);
    EXPECT_EQ(FBox->Items()->ToVector(), (std::vector<std::wstring>{L" leading", L"trailing  "}));
    EXPECT_EQ(FBox->Text(), L"xyz");
}

TEST_F(FilerTest, SetsAndEnumerationsGoByElementName) {
    TStringList lines{L"Box1.Font", L"Box1.Mode", L"Box1.Modes", L"Box1.Flag"};
    Bind(lines);
    FBox->Font()->SetStyle(forms::fsBold | forms::fsUnderline);
    FBox->SetMode(tmGamma);
    FBox->SetModes(0);
    FBox->SetFlag(true);
    Store(lines);
    EXPECT_EQ(Raw(L"Box1.FontStyle"), L"[fsBold,fsUnderline]");
    EXPECT_EQ(Raw(L"Box1.FontName"), L"MS Sans Serif");
    EXPECT_EQ(Raw(L"Box1.Font"), L"<none>");
    EXPECT_EQ(Raw(L"Box1.Mode"), L"tmGamma");
    EXPECT_EQ(Raw(L"Box1.Modes"), L"[]");
    EXPECT_EQ(Raw(L"Box1.Flag"), L"True");

    FBox->Font()->SetStyle(forms::fsItalic);
    FBox->SetMode(tmAlpha);
    FBox->SetModes(1u << tmAlpha);
    FBox->SetFlag(false);
    Load(lines);
    EXPECT_EQ(FBox->Font()->Style(), forms::fsBold | forms::fsUnderline);
    EXPECT_EQ(FBox->Mode(), tmGamma);
    EXPECT_EQ(FBox->Modes(), 0u);
    EXPECT_TRUE(FBox->Flag());

    struct Case {
        std::wstring modes, mode;
        TTestModes expectedModes;
        TTestMode expectedMode;
    };
    const Case cases[] = {
        {L"[tmBeta,bogus]", L"TMALPHA", 1u << tmBeta, tmAlpha},
        {L"[ TMGAMMA , tmalpha ]", L"tmbeta", (1u << tmGamma) | (1u << tmAlpha), tmBeta},
        // A word that names nothing: the set becomes empty, the enumeration keeps its value.
        {L"nothing", L"tmDelta", 0, tmGamma},
    };
    for (const Case& c : cases) {
        WriteRaw(FFile, L"Kamdrop", L"Box1.Modes", c.modes);
        WriteRaw(FFile, L"Kamdrop", L"Box1.Mode", c.mode);
        FBox->SetModes(1u << tmGamma);
        FBox->SetMode(tmGamma);
        Load(lines);
        EXPECT_EQ(FBox->Modes(), c.expectedModes) << forms::WideToUtf8(c.modes);
        EXPECT_EQ(FBox->Mode(), c.expectedMode) << forms::WideToUtf8(c.mode);
    }
}

TEST_F(FilerTest, ScalarsRoundTripAndEmptyValuesFollowTheirKind) {
    TStringList lines{L"Box1.Text", L"Box1.Count", L"Box1.Initial", L"Box1.Letter", L"Box1.Value"};
    Bind(lines);
    FBox->SetText(L"");
    FBox->SetCount(-12);
    FBox->SetInitial('\xE9');  // é in the ANSI code page
    FBox->SetLetter(L'\u03A9');
    Store(lines);
    // An empty text is written as an empty value, an empty variant not at all.
    EXPECT_EQ(Raw(L"Box1.Text"), L"");
    EXPECT_EQ(Raw(L"Box1.Count"), L"-12");
    EXPECT_EQ(Raw(L"Box1.Initial"), L"\u00E9");
    EXPECT_EQ(Raw(L"Box1.Letter"), L"UTF7-coded:+A6k-");
    EXPECT_EQ(Raw(L"Box1.Value"), L"<none>");

    FBox->SetValue(int64_t{7});
    FBox->SetText(L"label");
    Store(lines);
    EXPECT_EQ(Raw(L"Box1.Value"), L"7");
    FBox->SetValue(std::monostate{});
    FBox->SetText(L"other");
    FBox->SetCount(0);
    FBox->SetInitial('z');
    FBox->SetLetter(L'z');
    Load(lines);
    // An unassigned variant has no text, so nothing was read for it.
    EXPECT_EQ(FBox->Value(), forms::TVariant(std::wstring()));
    EXPECT_EQ(FBox->Text(), L"label");
    EXPECT_EQ(FBox->Count(), -12);
    EXPECT_EQ(FBox->Initial(), '\xE9');
    EXPECT_EQ(FBox->Letter(), L'\u03A9');

    FBox->SetValue(std::wstring(L"x"));
    WriteRaw(FFile, L"Kamdrop", L"Box1.Count", L"many");
    Load(lines);
    EXPECT_EQ(FBox->Value(), forms::TVariant(std::wstring(L"7")));
    EXPECT_EQ(FBox->Count(), 0);
}

TEST_F(FilerTest, LinesThatNameNothingAreDroppedByTheBinding) {
    TStringList lines{L"Box1", L".Text", L"Box1.", L"Nobody.Text", L" box1 . Text ", L"Box1.Txt",
                               L"Box1.Buddy"};
    Bind(lines);
    ASSERT_EQ(lines.ToVector(), (std::vector<std::wstring>{L" box1 . Text ", L"Box1.Txt", L"Box1.Buddy"}));
    for (int i = 0; i < lines.Count(); ++i) EXPECT_EQ(lines.Objects(i), FBox);

    FBox->SetText(L"abc");
    FBox->SetBuddy(FStore);
    Store(lines);
    // The binding wrote the line afresh; an unknown property and a component-valued one store nothing.
    EXPECT_EQ(lines.ToVector(), (std::vector<std::wstring>{L"Box1.Text", L"Box1.Txt", L"Box1.Buddy"}));
    EXPECT_EQ(SectionLines(FFile, L"Kamdrop"), std::vector<std::wstring>{L"Box1.Text=abc"});

    FBox->SetText(L"changed");
    Load(lines);
    EXPECT_EQ(FBox->Text(), L"abc");
    EXPECT_EQ(FBox->Buddy(), FStore);
}

TEST_F(FilerTest, RenamedComponentIsStoredUnderItsNewName) {
    TStringList lines{L"Box1.Text"};
    Bind(lines);
    FBox->SetName(L"Box2");
    FBox->SetText(L"abc");
    Store(lines);
    EXPECT_EQ(lines.ToVector(), std::vector<std::wstring>{L"Box2.Text"});
    EXPECT_EQ(Raw(L"Box2.Text"), L"abc");
    EXPECT_EQ(Raw(L"Box1.Text"), L"<none>");

    // A line whose component is gone cannot be rewritten and goes.
    lines.PutObject(0, nullptr);
    state::ResolveStoredProperties(&FOwner, &lines, false);
    EXPECT_EQ(lines.Count(), 0);
}

// Sets the user's decimal separator for one test.
class DecimalSeparatorScope {
public:
    explicit DecimalSeparatorScope(const wchar_t* separator) {
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, FSaved, 8);
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator);
    }
    ~DecimalSeparatorScope() { SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, FSaved); }

private:
    wchar_t FSaved[8] = {};
};

TEST_F(FilerTest, FloatsUseTheUsersDecimalSeparatorAndTheirTypesDigits) {
    DecimalSeparatorScope comma(L",");
    TStringList lines{L"Box1.Ratio", L"Box1.Scale"};
    Bind(lines);
    FBox->SetRatio(1.0 / 3.0);
    FBox->SetScale(0.1);
    Store(lines);
    EXPECT_EQ(Raw(L"Box1.Ratio"), L"0,333333333333333");
    EXPECT_EQ(Raw(L"Box1.Scale"), L"0,1");
    FBox->SetRatio(-2.5e-7);
    FBox->SetScale(1.5e20);
    Store(lines);
    EXPECT_EQ(Raw(L"Box1.Ratio"), L"-2,5E-7");
    EXPECT_EQ(Raw(L"Box1.Scale"), L"1,5E20");

    struct Case {
        std::wstring stored;
        double expected;
    };
    const Case cases[] = {
        {L"2,25", 2.25},
        {L"-2,5E-7", -2.5e-7},
        {L"-1,5E3", -1500},
        {L"7", 7},
        // Not a number under these settings: the value stays.
        {L"2.25", 99},
        {L"1e", 99},
        {L"inf", 99},
        {L"0x10", 99},
        {L"", 99},
    };
    for (const Case& c : cases) {
        WriteRaw(FFile, L"Kamdrop", L"Box1.Ratio", c.stored);
        FBox->SetRatio(99);
        Load(lines);
        EXPECT_DOUBLE_EQ(FBox->Ratio(), c.expected) << forms::WideToUtf8(c.stored);
    }
}

TEST_F(FilerTest, CollectionItemsAreAddressedByIndex) {
    FBox->Coll()->Add(std::make_unique<TTestItem>(L"first"));
    FBox->Coll()->Add(std::make_unique<TTestItem>(L"second"));
    TOvcPropertyList list(FBox, forms::tkProperties, L"");
    EXPECT_EQ(list.Find(L"Coll"), nullptr);
    ASSERT_NE(list.Find(L"coll[1].caption"), nullptr);
    EXPECT_EQ(list.Find(L"Coll[1].Caption")->AObject, FBox->Coll()->Items(1));
    EXPECT_EQ(list.Get(list.Count() - 1)->Name, L"Coll[1].Caption");

    TStringList lines{L"Box1.Coll[1].Caption"};
    Bind(lines);
    Store(lines);
    EXPECT_EQ(SectionLines(FFile, L"Kamdrop"), std::vector<std::wstring>{L"Box1.Coll[1].Caption=second"});
    WriteRaw(FFile, L"Kamdrop", L"Box1.Coll[1].Caption", L"zweite");
    Load(lines);
    EXPECT_EQ(static_cast<TTestItem*>(FBox->Coll()->Items(1))->Caption(), L"zweite");
    EXPECT_EQ(static_cast<TTestItem*>(FBox->Coll()->Items(0))->Caption(), L"first");
}

TEST_F(FilerTest, PropertyListsIntersectByTypeAndName) {
    forms::TFont font;
    TOvcPropertyList boxList(FBox, forms::tkProperties, L"");
    TOvcPropertyList fontList(&font, forms::tkProperties, L"");
    // Of the font's properties only Name is the box's too (the component's Name), with the same type.
    boxList.Intersect(fontList);
    ASSERT_EQ(boxList.Count(), 1);
    EXPECT_EQ(boxList.Get(0)->Name, L"Name");

    TOvcPropertyList prefixed(&font, forms::TypeKinds({forms::tkSet}), L"Font");
    ASSERT_EQ(prefixed.Count(), 1);
    EXPECT_EQ(prefixed.Get(0)->Name, L"Font.Style");
}

TEST_F(FilerTest, LoadingGoesOnPastAValueThatCannotBeRead) {
    TStringList lines{L"Box1.Text", L"Box1.Count"};
    Bind(lines);
    WriteRaw(FFile, L"Kamdrop", L"Box1.Text", L"UTF7-coded:");
    WriteRaw(FFile, L"Kamdrop", L"Box1.Count", L"8");
    FBox->SetText(L"kept");
    Load(lines);
    EXPECT_EQ(FBox->Text(), L"kept");
    EXPECT_EQ(FBox->Count(), 8);
}

TEST_F(FilerTest, RefusedWriteEndsTheStoreAndPassesTheError) {
    FStore->SetIniFileName(FFolder / L"missing\\Kamdrop.ini");
    TStringList lines{L"Box1.Text", L"Box1.Items"};
    Bind(lines);
    EXPECT_THROW(Store(lines), state::EIniFileException);
    EXPECT_EQ(FStore->RefCount(), 0);
}

}  // namespace
