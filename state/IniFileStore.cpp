#include "state/IniFileStore.h"

#include <windows.h>

#include <string_view>

#include "runtime/SysUtils.h"
#include "runtime/TypInfo.h"
#include "state/SettingsPlace.h"

namespace state {

namespace {

constexpr std::wstring_view kCodedPrefix = L"UTF7-coded:";
constexpr UINT kUtf7CodePage = 65000;
constexpr int kProfileBufferLength = 2048;

std::wstring ModuleFileName() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
    return std::wstring(buffer, length);
}

// The name after the last "\" or ":".
std::wstring ExtractFileName(const std::wstring& path) {
    size_t delimiter = path.find_last_of(L"\\:");
    return delimiter == std::wstring::npos ? path : path.substr(delimiter + 1);
}

// Up to and including the last "\" or ":".
std::wstring ExtractFilePath(const std::wstring& path) {
    size_t delimiter = path.find_last_of(L"\\:");
    return delimiter == std::wstring::npos ? std::wstring() : path.substr(0, delimiter + 1);
}

std::wstring ChangeFileExt(const std::wstring& path, std::wstring_view extension) {
    return path.substr(0, path.size() - forms::ExtractFileExt(path).size()) + std::wstring(extension);
}

[[noreturn]] void NoMapping() {
    throw EEncodingError(L"No mapping for the Unicode character exists in the target multi-byte code page");
}

// The UTF-7 bytes of text, one character per byte.
std::wstring EncodeUtf7(const std::wstring& text) {
    // Code page 65000 takes neither flags nor a used-default pointer.
    int length = WideCharToMultiByte(kUtf7CodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    if (length <= 0) NoMapping();
    std::string bytes(length, '\0');
    WideCharToMultiByte(kUtf7CodePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                        nullptr);
    std::wstring coded;
    coded.reserve(bytes.size());
    for (char byte : bytes) coded += static_cast<wchar_t>(static_cast<unsigned char>(byte));
    return coded;
}

std::wstring DecodeUtf7(std::wstring_view coded) {
    std::string bytes;
    bytes.reserve(coded.size());
    for (wchar_t c : coded) bytes += static_cast<char>(c & 0xFF);
    // The decoder reports no error of its own: a remainder that yields nothing is the only sign.
    int length = MultiByteToWideChar(kUtf7CodePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) NoMapping();
    std::wstring text(length, L'\0');
    MultiByteToWideChar(kUtf7CodePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

}  // namespace

// ---- TIniFile ----

TIniFile::~TIniFile() { UpdateFile(); }

std::wstring TIniFile::ReadString(const std::wstring& section, const std::wstring& ident,
                                  const std::wstring& defaultValue) const {
    wchar_t buffer[kProfileBufferLength] = {};
    DWORD length = GetPrivateProfileStringW(section.c_str(), ident.c_str(), defaultValue.c_str(), buffer,
                                            kProfileBufferLength, FFileName.c_str());
    return std::wstring(buffer, length);
}

void TIniFile::WriteString(const std::wstring& section, const std::wstring& ident, const std::wstring& value) {
    if (!WritePrivateProfileStringW(section.c_str(), ident.c_str(), value.c_str(), FFileName.c_str()))
        throw EIniFileException(forms::Format(L"Unable to write to %s", FFileName.c_str()));
}

void TIniFile::EraseSection(const std::wstring& section) {
    if (!WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, FFileName.c_str()))
        throw EIniFileException(forms::Format(L"Unable to write to %s", FFileName.c_str()));
}

void TIniFile::UpdateFile() {
    // The flush call reports 0 even when it succeeds.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, FFileName.c_str());
}

bool IsAnsiRepresentable(const std::wstring& text) {
    if (text.empty()) return true;
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, &usedDefault);
    return length != 0 && !usedDefault;
}

// ---- TOvcIniFileStore ----

TOvcIniFileStore::TOvcIniFileStore(forms::TComponent* owner) : TOvcAbstractStore(owner) {}

std::wstring TOvcIniFileStore::IniFileName() const {
    std::wstring name = FIniFileName;
    if (name.empty()) name = ExtractFileName(ChangeFileExt(ModuleFileName(), L".INI"));
    if (name.find(L'.') == std::wstring::npos) name += L".INI";
    return name;
}

void TOvcIniFileStore::OpenStorage() {
    std::wstring name = IniFileName();
    if (FUseExeDir) {
        std::wstring directory = ExtractFilePath(ModuleFileName());
        if (!directory.empty() && directory.back() != L'\\') directory += L'\\';
        // Tried once, at the first open, which is the restore at start. Under Program Files a standard
        // user may not write beside the program, and Windows redirects nothing for it: the settings go
        // where that user may write, or every save would fail.
        static const bool directoryWritable = FolderAcceptsFiles(directory);
        name = SettingsFilePlace(directory, ExtractFileName(name), directoryWritable, UserApplicationDataFolder);
    }
    FStore = std::make_unique<TIniFile>(name);
}

void TOvcIniFileStore::CloseStorage() { FStore.reset(); }

TIniFile& TOvcIniFileStore::OpenFile() const {
    forms::Assert(FStore != nullptr, L"The settings store is not open", L"ovcstore", __LINE__);
    return *FStore;
}

std::wstring TOvcIniFileStore::ReadString(const std::wstring& section, const std::wstring& item,
                                          const std::wstring& defaultValue) {
    std::wstring value = OpenFile().ReadString(section, item, defaultValue);
    if (value != defaultValue && value.starts_with(kCodedPrefix))
        return DecodeUtf7(std::wstring_view(value).substr(kCodedPrefix.size()));
    return value;
}

void TOvcIniFileStore::WriteString(const std::wstring& section, const std::wstring& item, const std::wstring& value) {
    TIniFile& file = OpenFile();
    // A plain text that starts like a coded one is coded too, or reading would decode it.
    if (IsAnsiRepresentable(value) && !value.starts_with(kCodedPrefix))
        file.WriteString(section, item, value);
    else
        file.WriteString(section, item, std::wstring(kCodedPrefix) + EncodeUtf7(value));
}

void TOvcIniFileStore::EraseSection(const std::wstring& section) { OpenFile().EraseSection(section); }

namespace {
const forms::TPropInfo kIniFileStoreProperties[] = {
    forms::StringProperty<TOvcIniFileStore, &TOvcIniFileStore::IniFileName, &TOvcIniFileStore::SetIniFileName>(
        L"IniFileName"),
    forms::OrdinalProperty<TOvcIniFileStore, &TOvcIniFileStore::UseExeDir, &TOvcIniFileStore::SetUseExeDir>(
        L"UseExeDir", forms::TypeBoolean),
};
}  // namespace

const forms::TClassInfo* TOvcIniFileStore::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcIniFileStore", controls::TOvcComponent::ClassInfo(),
                                        kIniFileStoreProperties};
    return &info;
}

}  // namespace state
