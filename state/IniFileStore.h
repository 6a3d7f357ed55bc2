#pragma once
// The settings store over a profile (INI) file.

#include <memory>
#include <string>

#include "state/PropertyFiler.h"

namespace state {

class EIniFileException : public forms::Exception {
public:
    using forms::Exception::Exception;
};

class EEncodingError : public forms::Exception {
public:
    using forms::Exception::Exception;
};

// A profile file, known by its full name only: creating one touches no file,
// destroying one flushes the writes the platform has cached.
class TIniFile {
public:
    explicit TIniFile(std::wstring fileName) : FFileName(std::move(fileName)) {}
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::wstring& FileName() const { return FFileName; }
    // At most 2047 characters of the stored value; the default when there is none.
    std::wstring ReadString(const std::wstring& section, const std::wstring& ident,
                            const std::wstring& defaultValue) const;
    // Both fail with EIniFileException "Unable to write to <file name>".
    void WriteString(const std::wstring& section, const std::wstring& ident, const std::wstring& value);
    void EraseSection(const std::wstring& section);
    void UpdateFile();

private:
    std::wstring FFileName;
};

// Every character exists in the ANSI code page, without a best-fit stand-in.
bool IsAnsiRepresentable(const std::wstring& text);

// Texts that a profile file in the ANSI code page cannot hold as they are go in
// as "UTF7-coded:" followed by their UTF-7 form.
class TOvcIniFileStore : public TOvcAbstractStore {
public:
    explicit TOvcIniFileStore(forms::TComponent* owner);

    const forms::TClassInfo* ClassInfo() const override;

    // The completed name: the executable's name with ".INI" when empty, ".INI"
    // appended when it has no dot.
    std::wstring IniFileName() const;
    void SetIniFileName(const std::wstring& value) { FIniFileName = value; }
    // The file lies in the executable's directory, whatever directory IniFileName names; where that
    // directory cannot be written, in the user's application data folder (SettingsPlace.h).
    bool UseExeDir() const { return FUseExeDir; }
    void SetUseExeDir(bool value) { FUseExeDir = value; }
    // The profile file while the store is open; nullptr while it is closed.
    const TIniFile* IniFile() const { return FStore.get(); }

    // These three require the store to be open.
    std::wstring ReadString(const std::wstring& section, const std::wstring& item,
                            const std::wstring& defaultValue) override;
    void WriteString(const std::wstring& section, const std::wstring& item, const std::wstring& value) override;
    void EraseSection(const std::wstring& section) override;

protected:
    void OpenStorage() override;
    void CloseStorage() override;

private:
    TIniFile& OpenFile() const;

    std::wstring FIniFileName;
    std::unique_ptr<TIniFile> FStore;
    bool FUseExeDir = false;
};

}  // namespace state
