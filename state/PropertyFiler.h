#pragma once
// The store interface every persisted value passes through, and the filer that
// copies published property values of live objects into a store and back,
// addressed by lines of the form component-name.property-name.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/ControlBase.h"
#include "runtime/Classes.h"
#include "runtime/TypInfo.h"

namespace state {

// Reads an integer as the settings file holds it: optional leading spaces, an
// optional sign, then decimal digits, or hexadecimal digits after $, x, X, 0x or
// 0X. False for anything else and for a value beyond the signed 32-bit range.
bool TryReadInteger(std::wstring_view text, int32_t& value);

// Sections of items with text values; a client brackets each batch of reads and
// writes in Open ... Close.
class TOvcAbstractStore : public controls::TOvcComponent {
public:
    explicit TOvcAbstractStore(forms::TComponent* owner);

    // Nested: only the first Open opens the storage and only the Close that
    // balances it closes it. A Close without an Open still closes.
    void Open();
    void Close();
    int32_t RefCount() const { return FRefCount; }

    virtual std::wstring ReadString(const std::wstring& section, const std::wstring& item,
                                    const std::wstring& defaultValue) = 0;
    virtual void WriteString(const std::wstring& section, const std::wstring& item, const std::wstring& value) = 0;
    virtual void EraseSection(const std::wstring& section);

    // True exactly when the stored text begins with "1".
    bool ReadBoolean(const std::wstring& section, const std::wstring& item, bool defaultValue);
    // The default when the stored text is not an integer (TryReadInteger).
    int32_t ReadInteger(const std::wstring& section, const std::wstring& item, int32_t defaultValue);
    void WriteBoolean(const std::wstring& section, const std::wstring& item, bool value);
    void WriteInteger(const std::wstring& section, const std::wstring& item, int32_t value);

protected:
    virtual void OpenStorage() = 0;
    virtual void CloseStorage() = 0;

private:
    int32_t FRefCount = 0;
};

// A collection of items whose properties the filer addresses as Coll[0].Caption.
class TOvcCollectionItem : public forms::TPersistent {
public:
    const forms::TClassInfo* ClassInfo() const override;
};

class TOvcCollection : public forms::TPersistent {
public:
    const forms::TClassInfo* ClassInfo() const override;

    int Count() const { return static_cast<int>(FItems.size()); }
    TOvcCollectionItem* Items(int index) const { return FItems.at(index).get(); }
    // Appends an item and takes it over.
    TOvcCollectionItem* Add(std::unique_ptr<TOvcCollectionItem> item);
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TOvcCollectionItem>> FItems;
};

// The declared type of a collection-valued property; only this type is expanded.
extern const forms::TTypeInfo OvcCollectionType;

// One entry of a property list: a property of one object. Name is the
// property's name, with the prefix of the collection item it belongs to.
struct TExPropInfo {
    const forms::TPropInfo* PI = nullptr;
    std::wstring Name;
    forms::TObject* AObject = nullptr;
};
using PExPropInfo = TExPropInfo*;

// The published properties of an object, sorted by name, with collections
// expanded into the properties of their items.
class TOvcPropertyList {
public:
    TOvcPropertyList(forms::TObject* AObject, forms::TTypeKinds filter, const std::wstring& prefix);
    TOvcPropertyList(const TOvcPropertyList&) = delete;
    TOvcPropertyList& operator=(const TOvcPropertyList&) = delete;

    PExPropInfo Get(int index) const { return FList.at(index).get(); }
    PExPropInfo Items(int index) const { return Get(index); }
    int Count() const { return static_cast<int>(FList.size()); }
    // First entry named AName, ignoring case; nullptr when none.
    PExPropInfo Find(const std::wstring& AName) const;
    // An entry with P's property type and P's name, ignoring case.
    bool Contains(const TExPropInfo* P) const;
    void Delete(int index);
    // Keeps only the entries that list contains too.
    void Intersect(const TOvcPropertyList& list);

private:
    std::vector<std::unique_ptr<TExPropInfo>> FList;
};

// A stored-property line split at its first ".", both parts trimmed.
struct TPropertyPath {
    std::wstring ComponentName;
    std::wstring PropertyName;
    bool Valid() const { return !ComponentName.empty() && !PropertyName.empty(); }
};
TPropertyPath SplitPropertyPath(const std::wstring& line);
// "component.property"; empty when either part is empty.
std::wstring JoinPropertyPath(const std::wstring& componentName, const std::wstring& propertyName);

// Bind: attaches to every line the component of owner it names. Otherwise
// rewrites every line after the current name of its attached component. Lines
// that are not valid or name no component are deleted.
void ResolveStoredProperties(forms::TComponent* owner, forms::TStrings* lines, bool bind);

// The most entries a string list is read back with. A stored count above it
// is taken as damaged, like one that is not a number: the list stays as it is.
constexpr int32_t MaxStoredListCount = 1000;

// Copies property values between objects and a store: scalars as items of
// Section under Prefix + name, string lists in sections of their own.
class TOvcDataFiler : public forms::TObject {
public:
    TOvcDataFiler() = default;

    const std::wstring& Prefix() const { return FPrefix; }
    void SetPrefix(const std::wstring& value) { FPrefix = value; }
    const std::wstring& Section() const { return FSection; }
    void SetSection(const std::wstring& value) { FSection = value; }
    TOvcAbstractStore* Storage() const { return FStorage; }
    void SetStorage(TOvcAbstractStore* value) { FStorage = value; }

    // Each line's component property; the objects attached to the lines decide
    // what is read and written, AForm is passed through only.
    void StoreObjectsProps(forms::TComponent* AForm, forms::TStrings* storedList);
    void LoadObjectsProps(forms::TComponent* AForm, forms::TStrings* storedList);
    void StoreProperty(const TExPropInfo* propInfo);
    // Never fails: an error leaves the property as it is.
    void LoadProperty(const TExPropInfo* propInfo);
    void StoreAllProperties(forms::TObject* AObject);
    void LoadAllProperties(forms::TObject* AObject);

protected:
    virtual std::unique_ptr<TOvcDataFiler> CreateSubFiler();
    virtual void DoEraseSection(const std::wstring& section);
    virtual std::wstring QualifiedName(const std::wstring& name) const;
    virtual std::wstring DoReadString(const std::wstring& section, const std::wstring& item,
                                      const std::wstring& defaultValue);
    virtual void DoWriteString(const std::wstring& section, const std::wstring& item, const std::wstring& value);

private:
    enum class Direction { Store, Load };
    void FileObjectsProps(forms::TComponent* AForm, forms::TStrings* storedList, Direction direction);
    void StoreObjectProperty(const TExPropInfo& propInfo);
    void LoadObjectProperty(const TExPropInfo& propInfo);
    std::unique_ptr<TOvcDataFiler> SubFilerFor(const TExPropInfo& propInfo);

    std::wstring FPrefix;
    std::wstring FSection;
    TOvcAbstractStore* FStorage = nullptr;
};

}  // namespace state
