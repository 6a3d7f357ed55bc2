#include "state/PropertyFiler.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "runtime/SysUtils.h"

namespace state {

using forms::TComponent;
using forms::TObject;
using forms::TPersistent;
using forms::TPropInfo;
using forms::TStrings;
using forms::TTypeKind;

bool TryReadInteger(std::wstring_view text, int32_t& value) {
    size_t i = 0, n = text.size();
    while (i < n && text[i] == L' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    int base = 10;
    if (i < n && (text[i] == L'$' || text[i] == L'x' || text[i] == L'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
        base = 16;
        i += 2;
    }
    if (i == n) return false;
    int64_t magnitude = 0;
    for (; i < n; ++i) {
        wchar_t c = text[i];
        int digit;
        if (c >= L'0' && c <= L'9')
            digit = c - L'0';
        else if (base == 16 && c >= L'a' && c <= L'f')
            digit = c - L'a' + 10;
        else if (base == 16 && c >= L'A' && c <= L'F')
            digit = c - L'A' + 10;
        else
            return false;
        magnitude = magnitude * base + digit;
        // Checked per digit so that a long run of digits cannot overflow the accumulator.
        if (magnitude > int64_t{INT32_MAX} + 1) return false;
    }
    int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX) return false;
    value = static_cast<int32_t>(result);
    return true;
}

// ---- TOvcAbstractStore ----

TOvcAbstractStore::TOvcAbstractStore(forms::TComponent* owner) : controls::TOvcComponent(owner) {}

void TOvcAbstractStore::Open() {
    if (++FRefCount != 1) return;
    try {
        OpenStorage();
    } catch (...) {
        // The caller's bracket starts only after Open returns, so no Close will undo this count.
        --FRefCount;
        throw;
    }
}

void TOvcAbstractStore::Close() {
    if (FRefCount > 0) --FRefCount;
    if (FRefCount == 0) CloseStorage();
}

void TOvcAbstractStore::EraseSection(const std::wstring&) {}

bool TOvcAbstractStore::ReadBoolean(const std::wstring& section, const std::wstring& item, bool defaultValue) {
    std::wstring text = ReadString(section, item, defaultValue ? L"1" : L"0");
    return !text.empty() && text[0] == L'1';
}

int32_t TOvcAbstractStore::ReadInteger(const std::wstring& section, const std::wstring& item, int32_t defaultValue) {
    int32_t value;
    return TryReadInteger(ReadString(section, item, std::to_wstring(defaultValue)), value) ? value : defaultValue;
}

void TOvcAbstractStore::WriteBoolean(const std::wstring& section, const std::wstring& item, bool value) {
    WriteString(section, item, value ? L"1" : L"0");
}

void TOvcAbstractStore::WriteInteger(const std::wstring& section, const std::wstring& item, int32_t value) {
    WriteString(section, item, std::to_wstring(value));
}

// ---- Collections ----

const forms::TTypeInfo OvcCollectionType{forms::tkClass, L"TOvcCollection"};

const forms::TClassInfo* TOvcCollectionItem::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcCollectionItem", nullptr, {}};
    return &info;
}

const forms::TClassInfo* TOvcCollection::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcCollection", nullptr, {}};
    return &info;
}

TOvcCollectionItem* TOvcCollection::Add(std::unique_ptr<TOvcCollectionItem> item) {
    FItems.push_back(std::move(item));
    return FItems.back().get();
}

// ---- TOvcPropertyList ----

namespace {

bool IsCollection(const TPropInfo& info) {
    return info.Kind() == forms::tkClass && info.PropType &&
           forms::SameText(std::wstring(info.PropType->Name), std::wstring(OvcCollectionType.Name));
}

TObject* ObjectValue(const TExPropInfo& entry) {
    return entry.PI->GetObjectValue ? entry.PI->GetObjectValue(entry.AObject) : nullptr;
}

}  // namespace

TOvcPropertyList::TOvcPropertyList(forms::TObject* AObject, forms::TTypeKinds filter, const std::wstring& prefix) {
    auto* persistent = dynamic_cast<TPersistent*>(AObject);
    if (!persistent || !persistent->ClassInfo()) return;
    for (const TPropInfo* info : forms::GetPropList(persistent, filter)) {
        std::wstring name(info->Name);
        if (!prefix.empty()) name = (prefix + L"." + name).substr(0, 255);
        FList.push_back(std::make_unique<TExPropInfo>(TExPropInfo{info, name, AObject}));
    }
    // Backwards, so that the item entries appended at the end are not visited again.
    for (int i = Count() - 1; i >= 0; --i) {
        const TExPropInfo& entry = *FList[i];
        if (!IsCollection(*entry.PI)) continue;
        if (auto* collection = dynamic_cast<TOvcCollection*>(ObjectValue(entry))) {
            for (int item = 0; item < collection->Count(); ++item) {
                TOvcPropertyList itemList(collection->Items(item), forms::tkProperties,
                                          forms::Format(L"%s[%d]", entry.Name.c_str(), item));
                for (auto& itemEntry : itemList.FList) FList.push_back(std::move(itemEntry));
            }
        }
        FList.erase(FList.begin() + i);
    }
}

PExPropInfo TOvcPropertyList::Find(const std::wstring& AName) const {
    for (const auto& entry : FList)
        if (forms::SameText(entry->Name, AName)) return entry.get();
    return nullptr;
}

bool TOvcPropertyList::Contains(const TExPropInfo* P) const {
    if (!P) return false;
    for (const auto& entry : FList)
        if (entry->PI->PropType == P->PI->PropType && forms::SameText(entry->Name, P->Name)) return true;
    return false;
}

void TOvcPropertyList::Delete(int index) {
    if (index < 0 || index >= Count()) throw forms::EStringListError(forms::Format(L"List index out of bounds (%d)", index));
    FList.erase(FList.begin() + index);
}

void TOvcPropertyList::Intersect(const TOvcPropertyList& list) {
    for (int i = Count() - 1; i >= 0; --i)
        if (!list.Contains(Get(i))) Delete(i);
}

// ---- Stored-property lines ----

TPropertyPath SplitPropertyPath(const std::wstring& line) {
    size_t dot = line.find(L'.');
    if (dot == std::wstring::npos) return {forms::Trim(line), {}};
    return {forms::Trim(std::wstring_view(line).substr(0, dot)), forms::Trim(std::wstring_view(line).substr(dot + 1))};
}

std::wstring JoinPropertyPath(const std::wstring& componentName, const std::wstring& propertyName) {
    if (componentName.empty() || propertyName.empty()) return {};
    return componentName + L"." + propertyName;
}

void ResolveStoredProperties(forms::TComponent* owner, forms::TStrings* lines, bool bind) {
    if (!lines || (bind && !owner)) return;
    for (int i = lines->Count() - 1; i >= 0; --i) {
        TPropertyPath path = SplitPropertyPath(lines->Get(i));
        if (!path.Valid()) {
            lines->Delete(i);
        } else if (bind) {
            if (TComponent* component = owner->FindComponent(path.ComponentName))
                lines->PutObject(i, component);
            else
                lines->Delete(i);
        } else {
            if (auto* component = dynamic_cast<TComponent*>(lines->Objects(i)))
                lines->Put(i, JoinPropertyPath(component->Name(), path.PropertyName));
            else
                lines->Delete(i);
        }
    }
}

// ---- Values as texts ----

namespace {

bool IsTextKind(TTypeKind kind) {
    return kind == forms::tkString || kind == forms::tkWChar || kind == forms::tkLString ||
           kind == forms::tkWString || kind == forms::tkUString;
}

int SignificantDigits(forms::TFloatType type) {
    switch (type) {
        case forms::ftSingle: return 7;
        case forms::ftDouble: return 15;
        case forms::ftExtended: return 18;
        case forms::ftComp: return 18;
        case forms::ftCurr: return 19;
    }
    return 15;
}

std::wstring DecimalSeparator() {
    wchar_t separator[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 1) return L".";
    return separator;
}

// General format: the shortest of plain and exponent notation with the given
// significant digits, the user's decimal separator, no exponent padding.
std::wstring FormatFloat(double value, int digits) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%.*G", digits, value);
    std::wstring text = buffer;
    size_t exponent = text.find(L'E');
    if (exponent != std::wstring::npos) {
        std::wstring mantissa = text.substr(0, exponent);
        std::wstring power = text.substr(exponent + 1);
        bool negative = !power.empty() && power[0] == L'-';
        size_t digitsAt = power.find_first_not_of(L"+-0");
        power = digitsAt == std::wstring::npos ? L"0" : power.substr(digitsAt);
        text = mantissa + L"E" + (negative ? L"-" : L"") + power;
    }
    size_t point = text.find(L'.');
    if (point != std::wstring::npos) text.replace(point, 1, DecimalSeparator());
    return text;
}

// The reverse of FormatFloat: only the user's decimal separator is taken as one.
bool TryParseFloat(const std::wstring& text, double& value) {
    const std::wstring separator = DecimalSeparator();
    std::string plain;
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, separator.size(), separator) == 0) {
            plain += '.';
            i += separator.size();
            continue;
        }
        wchar_t c = text[i++];
        // Nothing else: strtod would also take hexadecimal, "inf" and "nan".
        if (!((c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'e' || c == L'E')) return false;
        plain += static_cast<char>(c);
    }
    if (plain.empty()) return false;
    char* end = nullptr;
    double parsed = std::strtod(plain.c_str(), &end);
    if (end != plain.c_str() + plain.size()) return false;
    value = parsed;
    return true;
}

std::wstring AnsiCharText(int64_t code) {
    char byte = static_cast<char>(code & 0xFF);
    wchar_t wide = 0;
    if (MultiByteToWideChar(CP_ACP, 0, &byte, 1, &wide, 1) != 1) wide = static_cast<wchar_t>(code & 0xFF);
    return std::wstring(1, wide);
}

int64_t AnsiCharCode(wchar_t wide) {
    char byte = 0;
    if (wide == 0 || WideCharToMultiByte(CP_ACP, 0, &wide, 1, &byte, 1, nullptr, nullptr) != 1) return 0;
    return static_cast<unsigned char>(byte);
}

std::wstring VariantText(const forms::TVariant& value) {
    struct Visitor {
        std::wstring operator()(std::monostate) const { return {}; }
        std::wstring operator()(bool b) const { return b ? L"True" : L"False"; }
        std::wstring operator()(int64_t i) const { return std::to_wstring(i); }
        std::wstring operator()(double d) const { return FormatFloat(d, 15); }
        std::wstring operator()(const std::wstring& s) const { return s; }
    };
    return std::visit(Visitor{}, value);
}

std::wstring SetText(const forms::TTypeInfo& type, int64_t value) {
    std::wstring text = L"[";
    bool first = true;
    for (int ordinal = 0; ordinal < 32; ++ordinal) {
        if (!(value & (int64_t{1} << ordinal))) continue;
        std::wstring name = type.CompType ? forms::GetEnumName(*type.CompType, ordinal) : std::wstring();
        if (name.empty()) continue;
        if (!first) text += L",";
        text += name;
        first = false;
    }
    return text + L"]";
}

int64_t SetValue(const forms::TTypeInfo& type, const std::wstring& text) {
    int64_t value = 0;
    size_t i = 0;
    auto isSeparator = [](wchar_t c) { return c <= L' ' || c == L',' || c == L'[' || c == L']'; };
    while (i < text.size()) {
        while (i < text.size() && isSeparator(text[i])) ++i;
        size_t start = i;
        while (i < text.size() && !isSeparator(text[i])) ++i;
        if (i == start || !type.CompType) continue;
        int ordinal = forms::GetEnumValue(*type.CompType, std::wstring_view(text).substr(start, i - start));
        if (ordinal >= 0 && ordinal < 32) value |= int64_t{1} << ordinal;
    }
    return value;
}

// The property's value as the filer writes it; empty for kinds it does not keep.
std::wstring PropertyText(const TExPropInfo& entry) {
    const TPropInfo& info = *entry.PI;
    TObject* object = entry.AObject;
    switch (info.Kind()) {
        case forms::tkInteger:
            return info.GetOrdinal ? std::to_wstring(info.GetOrdinal(object)) : std::wstring();
        case forms::tkChar:
            return info.GetOrdinal ? AnsiCharText(info.GetOrdinal(object)) : std::wstring();
        case forms::tkWChar:
            return info.GetOrdinal ? std::wstring(1, static_cast<wchar_t>(info.GetOrdinal(object))) : std::wstring();
        case forms::tkEnumeration:
            return info.GetOrdinal ? forms::GetEnumName(*info.PropType, static_cast<int>(info.GetOrdinal(object)))
                                   : std::wstring();
        case forms::tkFloat:
            return info.GetFloat ? FormatFloat(info.GetFloat(object), SignificantDigits(info.PropType->FloatType))
                                 : std::wstring();
        case forms::tkString:
        case forms::tkLString:
        case forms::tkWString:
        case forms::tkUString:
            return info.GetString ? info.GetString(object) : std::wstring();
        case forms::tkSet:
            return info.GetOrdinal ? SetText(*info.PropType, info.GetOrdinal(object)) : std::wstring();
        case forms::tkVariant:
            return info.GetVariant ? VariantText(info.GetVariant(object)) : std::wstring();
        default:
            return {};
    }
}

bool IsFiledScalar(TTypeKind kind) {
    switch (kind) {
        case forms::tkInteger:
        case forms::tkChar:
        case forms::tkWChar:
        case forms::tkEnumeration:
        case forms::tkFloat:
        case forms::tkString:
        case forms::tkLString:
        case forms::tkWString:
        case forms::tkUString:
        case forms::tkSet:
        case forms::tkVariant:
            return true;
        default:
            return false;
    }
}

void AssignPropertyText(const TExPropInfo& entry, const std::wstring& text) {
    const TPropInfo& info = *entry.PI;
    TObject* object = entry.AObject;
    switch (info.Kind()) {
        case forms::tkInteger: {
            int32_t value;
            if (info.SetOrdinal) info.SetOrdinal(object, TryReadInteger(text, value) ? value : 0);
            break;
        }
        case forms::tkChar:
            if (info.SetOrdinal) info.SetOrdinal(object, text.empty() ? 0 : AnsiCharCode(text[0]));
            break;
        case forms::tkWChar:
            if (info.SetOrdinal) info.SetOrdinal(object, text.empty() ? 0 : text[0]);
            break;
        case forms::tkEnumeration: {
            int ordinal = forms::GetEnumValue(*info.PropType, text);
            if (ordinal >= 0 && info.SetOrdinal) info.SetOrdinal(object, ordinal);
            break;
        }
        case forms::tkFloat: {
            double value;
            if (TryParseFloat(text, value) && info.SetFloat) info.SetFloat(object, value);
            break;
        }
        case forms::tkString:
        case forms::tkLString:
        case forms::tkWString:
        case forms::tkUString:
            if (info.SetString) info.SetString(object, text);
            break;
        case forms::tkSet:
            if (info.SetOrdinal) info.SetOrdinal(object, SetValue(*info.PropType, text));
            break;
        case forms::tkVariant:
            if (info.SetVariant) info.SetVariant(object, forms::TVariant(text));
            break;
        default:
            break;
    }
}

}  // namespace

// ---- TOvcDataFiler ----

std::unique_ptr<TOvcDataFiler> TOvcDataFiler::CreateSubFiler() { return std::make_unique<TOvcDataFiler>(); }

void TOvcDataFiler::DoEraseSection(const std::wstring& section) {
    if (FStorage) FStorage->EraseSection(section);
}

std::wstring TOvcDataFiler::QualifiedName(const std::wstring& name) const { return FPrefix + name; }

std::wstring TOvcDataFiler::DoReadString(const std::wstring& section, const std::wstring& item,
                                         const std::wstring& defaultValue) {
    return FStorage ? FStorage->ReadString(section, item, defaultValue) : std::wstring();
}

void TOvcDataFiler::DoWriteString(const std::wstring& section, const std::wstring& item, const std::wstring& value) {
    if (FStorage) FStorage->WriteString(section, item, value);
}

void TOvcDataFiler::StoreObjectsProps(forms::TComponent* AForm, forms::TStrings* storedList) {
    FileObjectsProps(AForm, storedList, Direction::Store);
}

void TOvcDataFiler::LoadObjectsProps(forms::TComponent* AForm, forms::TStrings* storedList) {
    FileObjectsProps(AForm, storedList, Direction::Load);
}

void TOvcDataFiler::FileObjectsProps(forms::TComponent* AForm, forms::TStrings* storedList, Direction direction) {
    ResolveStoredProperties(AForm, storedList, false);
    if (!storedList) return;

    // One property list per component, however many lines name it.
    struct ComponentProperties {
        std::wstring Name;
        std::unique_ptr<TOvcPropertyList> List;
    };
    std::vector<ComponentProperties> lists;
    auto findList = [&lists](const std::wstring& name) -> ComponentProperties* {
        for (auto& entry : lists)
            if (forms::SameText(entry.Name, name)) return &entry;
        return nullptr;
    };
    try {
        for (int i = 0; i < storedList->Count(); ++i) {
            auto* component = dynamic_cast<TComponent*>(storedList->Objects(i));
            if (component && !findList(component->Name()))
                lists.push_back({component->Name(),
                                 std::make_unique<TOvcPropertyList>(component, forms::tkProperties, L"")});
        }
    } catch (const std::exception&) {
        // A list that cannot be built leaves every property as it is, stored or loaded.
        return;
    }

    for (int i = 0; i < storedList->Count(); ++i) {
        TPropertyPath path = SplitPropertyPath(storedList->Get(i));
        auto* component = dynamic_cast<TComponent*>(storedList->Objects(i));
        if (!path.Valid() || !component) continue;
        FPrefix = component->Name();
        ComponentProperties* properties = findList(FPrefix);
        if (!properties) continue;
        FPrefix += L".";
        if (!properties->List) continue;
        PExPropInfo entry = properties->List->Find(path.PropertyName);
        if (direction == Direction::Store)
            StoreProperty(entry);
        else
            LoadProperty(entry);
    }
}

void TOvcDataFiler::StoreProperty(const TExPropInfo* propInfo) {
    if (!propInfo) return;
    TTypeKind kind = propInfo->PI->Kind();
    if (kind == forms::tkClass) return StoreObjectProperty(*propInfo);
    if (!IsFiledScalar(kind)) return;
    std::wstring text = PropertyText(*propInfo);
    if (text.empty() && !IsTextKind(kind)) return;
    DoWriteString(FSection, QualifiedName(propInfo->Name), forms::Trim(text));
}

void TOvcDataFiler::LoadProperty(const TExPropInfo* propInfo) {
    if (!propInfo) return;
    try {
        TTypeKind kind = propInfo->PI->Kind();
        if (kind == forms::tkClass) return LoadObjectProperty(*propInfo);
        if (!IsFiledScalar(kind)) return;
        std::wstring text = PropertyText(*propInfo);
        // A value that has no text form cannot have been stored either.
        if (!text.empty() || IsTextKind(kind))
            text = forms::Trim(DoReadString(FSection, QualifiedName(propInfo->Name), text));
        AssignPropertyText(*propInfo, text);
    } catch (...) {
        // A value that cannot be read back leaves the property as it is; the others go on loading.
    }
}

void TOvcDataFiler::StoreAllProperties(forms::TObject* AObject) {
    TOvcPropertyList list(AObject, forms::tkProperties, L"");
    for (int i = 0; i < list.Count(); ++i) StoreProperty(list.Items(i));
}

void TOvcDataFiler::LoadAllProperties(forms::TObject* AObject) {
    TOvcPropertyList list(AObject, forms::tkProperties, L"");
    for (int i = 0; i < list.Count(); ++i) LoadProperty(list.Items(i));
}

std::unique_ptr<TOvcDataFiler> TOvcDataFiler::SubFilerFor(const TExPropInfo& propInfo) {
    std::unique_ptr<TOvcDataFiler> filer = CreateSubFiler();
    filer->FPrefix = QualifiedName(propInfo.Name);
    filer->FSection = FSection;
    filer->FStorage = FStorage;
    return filer;
}

// A string list keeps its entries in a section of its own: Count, then Item0, Item1, ...
void TOvcDataFiler::StoreObjectProperty(const TExPropInfo& propInfo) {
    TObject* object = ObjectValue(propInfo);
    if (!object || dynamic_cast<TComponent*>(object)) return;
    if (auto* strings = dynamic_cast<TStrings*>(object)) {
        std::wstring section = forms::Format(L"%s.%s", FSection.c_str(), QualifiedName(propInfo.Name).c_str());
        DoEraseSection(section);
        int count = strings->Count();
        if (count > 0) {
            DoWriteString(section, L"Count", std::to_wstring(count));
            for (int i = 0; i < count; ++i) DoWriteString(section, forms::Format(L"Item%d", i), strings->Get(i));
        }
    }
    SubFilerFor(propInfo)->StoreAllProperties(object);
}

void TOvcDataFiler::LoadObjectProperty(const TExPropInfo& propInfo) {
    TObject* object = ObjectValue(propInfo);
    if (!object || dynamic_cast<TComponent*>(object)) return;
    if (auto* strings = dynamic_cast<TStrings*>(object)) {
        std::wstring section = forms::Format(L"%s.%s", FSection.c_str(), QualifiedName(propInfo.Name).c_str());
        int32_t count;
        if (!TryReadInteger(forms::Trim(DoReadString(section, L"Count", L"0")), count)) count = 0;
        // A hand-edited count such as 2000000000 would otherwise read on for hours at start-up.
        if (count > 0 && count <= MaxStoredListCount) {
            forms::TStringList entries;
            for (int i = 0; i < count; ++i) entries.Add(DoReadString(section, forms::Format(L"Item%d", i), L""));
            strings->Assign(entries);
        }
    }
    SubFilerFor(propInfo)->LoadAllProperties(object);
}

}  // namespace state
