#pragma once
// A temporary directory tree for file fixtures, removed again at the end.

#include <windows.h>

#include <string>

class TempTree {
public:
    // In the system's temporary folder, or in parent (ending with "\\") when given.
    explicit TempTree(const std::wstring& parent = L"");
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // Full path of a name inside the tree (no trailing "\").
    std::wstring Path(const std::wstring& relative = L"") const;
    std::wstring MakeDirectory(const std::wstring& relative) const;
    // A file holding its own relative name, last written at the given local time.
    std::wstring MakeFile(const std::wstring& relative, int year, int month, int day, int hour = 12,
                          int minute = 0, int second = 0, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const;
    bool Exists(const std::wstring& relative) const;
    // The bytes of a file; empty when it cannot be read.
    std::string Content(const std::wstring& relative) const;

private:
    std::wstring FRoot;
};

// UTC file time of a local wall-clock time, with the offset in force now
// (as the program converts back).
FILETIME LocalToFileTime(int year, int month, int day, int hour, int minute, int second);
void SetLastWriteTime(const std::wstring& path, const FILETIME& time);
