#include "engine/FileListing.h"

#include <windows.h>

#include "engine/FileMove.h"
#include "runtime/DirectoryListing.h"
#include "runtime/SysUtils.h"

namespace engine {

std::vector<std::wstring> ListFiles(const std::wstring& Directory) {
    const std::wstring directory = forms::IncludeTrailingPathDelimiter(Directory);
    std::vector<std::wstring> files;
    forms::DirectoryListing listing(directory + L"*.*");
    for (bool more = listing.Ok() && !listing.AtEnd(); more; more = listing.Next()) {
        const WIN32_FIND_DATAW& entry = listing.Entry();
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsTemporaryCopyName(entry.cFileName))
            files.push_back(directory + entry.cFileName);
    }
    if (!listing.Ok()) throw forms::EListingError(directory, listing.Error());
    return files;
}

}  // namespace engine
