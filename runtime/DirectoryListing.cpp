#include "runtime/DirectoryListing.h"

#include "runtime/SystemMessage.h"

namespace forms {

ListingFaultHook ListingFault = nullptr;

namespace {

DWORD InjectedFault() { return ListingFault ? ListingFault() : ERROR_SUCCESS; }

}  // namespace

EListingError::EListingError(const std::wstring& Directory, DWORD Error)
    : Exception(L"The folder " + Directory + L" could not be listed to its end: " + SystemMessage(Error)),
      FDirectory(Directory),
      FError(Error) {}

DirectoryListing::DirectoryListing(const std::wstring& Pattern) {
    if ((FError = InjectedFault()) != ERROR_SUCCESS) return;
    FFind.Reset(FindFirstFileW(Pattern.c_str(), &FEntry));
    if (FFind) return;
    const DWORD error = GetLastError();
    // Nothing matches: a root without "." and ".." that holds nothing.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES)
        FAtEnd = true;
    else
        FError = error == ERROR_SUCCESS ? ERROR_READ_FAULT : error;
}

bool DirectoryListing::Next() {
    if (!Ok() || FAtEnd) return false;
    if ((FError = InjectedFault()) != ERROR_SUCCESS) {
        Close();
        return false;
    }
    if (FindNextFileW(FFind.Get(), &FEntry)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_NO_MORE_FILES)
        FAtEnd = true;
    else
        FError = error == ERROR_SUCCESS ? ERROR_READ_FAULT : error;
    Close();
    return false;
}

void DirectoryListing::Close() {
    FFind.Reset();
    if (Ok()) FAtEnd = true;
}

}  // namespace forms
