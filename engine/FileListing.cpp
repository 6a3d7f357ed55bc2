#include "engine/FileListing.h"

#include <windows.h>

#include "engine/FileMove.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

namespace engine {

std::vector<std::wstring> ListFiles(const std::wstring& Directory) {
    const std::wstring directory = forms::IncludeTrailingPathDelimiter(Directory);
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry;
    forms::FindHandle find(FindFirstFileW((directory + L"*.*").c_str(), &entry));
    if (!find) return files;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsTemporaryCopyName(entry.cFileName))
            files.push_back(directory + entry.cFileName);
    } while (FindNextFileW(find.Get(), &entry));
    return files;
}

}  // namespace engine
