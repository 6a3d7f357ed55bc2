#pragma once
// A directory's entries, one step at a time, telling the end of a listing from
// a listing that broke off: a damaged card or one pulled out during a scan
// must never look like a folder that holds no more files.

#include <windows.h>

#include <string>

#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

namespace forms {

class DirectoryListing {
public:
    // Begins the listing of Pattern (e.g. "D:\\Photos\\*.*"). Ok() false and
    // Error() the reason when it cannot begin; a folder with no entries at all
    // (a card's empty root) is an empty listing, not an error.
    explicit DirectoryListing(const std::wstring& Pattern);

    // The current entry; valid while Ok() and not AtEnd().
    const WIN32_FIND_DATAW& Entry() const { return FEntry; }
    bool AtEnd() const { return FAtEnd; }
    bool Ok() const { return FError == ERROR_SUCCESS; }
    // Why the listing could not begin or broke off; ERROR_SUCCESS otherwise.
    DWORD Error() const { return FError; }

    // Steps to the next entry: true with one, false at the end or on an error.
    bool Next();
    // Ends the listing early; nothing is read any more.
    void Close();

private:
    FindHandle FFind;
    WIN32_FIND_DATAW FEntry{};
    DWORD FError = ERROR_SUCCESS;
    bool FAtEnd = false;
};

// A listing that broke off or could not begin, with the system's reason.
class EListingError : public Exception {
public:
    EListingError(const std::wstring& Directory, DWORD Error);
    const std::wstring& Directory() const { return FDirectory; }
    DWORD Error() const { return FError; }

private:
    std::wstring FDirectory;
    DWORD FError;
};

// For tests: asked before every step of every listing (its first entry
// included); an error code other than ERROR_SUCCESS breaks the listing off
// there with that code, as a damaged medium would.
using ListingFaultHook = DWORD (*)();
extern ListingFaultHook ListingFault;

}  // namespace forms
