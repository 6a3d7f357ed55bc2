#pragma once
// TDirReader walks a directory on the calling thread, optionally with its
// subdirectories, and reports the directories it enters and the files that
// pass its extension mask and age filters. A directory that cannot be listed,
// or whose listing breaks off, ends the walk with forms::EListingError. Pending window messages are
// processed after every entry (or, with MessageInterval, after the entries
// that end such an interval), so handlers may stop the walk from anywhere.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/Classes.h"
#include "runtime/Events.h"
#include "runtime/SysUtils.h"

namespace library {

using TFileFoundEvent = forms::TEvent<void(forms::TObject* Sender, const std::wstring& FileName)>;
using TDirectoryFoundEvent = forms::TEvent<void(forms::TObject* Sender, const std::wstring& Directory)>;
using TReadyEvent = forms::TEvent<void(forms::TObject* Sender)>;

class TDirReader : public forms::TObject {
public:
    TDirReader();
    ~TDirReader() override;

    // Writing true runs the whole walk and returns after OnReady.
    bool Active() const { return FActive; }
    void SetActive(bool value);
    bool Recursive() const { return FRecursive; }
    void SetRecursive(bool value) { FRecursive = value; }
    // Always ends with "\"; only existing directories are accepted.
    const std::wstring& Directory() const { return FDirectory; }
    void SetDirectory(const std::wstring& value);
    // Only the mask's extension counts; "*.*" accepts every file.
    const std::wstring& Filemask() const { return FFileMask; }
    void SetFilemask(const std::wstring& value) { FFileMask = value; }
    // Minimum distance in seconds of a file's times from now; 0 = no test.
    int32_t DelayTimeStamp() const { return FDelayTimeStamp; }
    void SetDelayTimeStamp(int32_t value);
    int32_t DelayLastAccess() const { return FDelayLastAccess; }
    void SetDelayLastAccess(int32_t value);
    forms::TStrings& ExcludeDirs() const { return *FExcludeDirs; }
    // Milliseconds between passes through the pending messages during the walk;
    // 0 (the default) processes them after every entry. Each pass costs a round
    // trip to the window system, which in a directory of thousands of files
    // costs more than reading the entries; a handler then runs up to this much
    // later. The walk's end always processes them.
    int MessageInterval() const { return FMessageInterval; }
    void SetMessageInterval(int value) { FMessageInterval = value < 0 ? 0 : value; }

    TFileFoundEvent OnFileFound() const { return FFileFound; }
    void SetOnFileFound(TFileFoundEvent value) { FFileFound = value; }
    TDirectoryFoundEvent OnDirectoryFound() const { return FDirectoryFound; }
    void SetOnDirectoryFound(TDirectoryFoundEvent value) { FDirectoryFound = value; }
    TReadyEvent OnReady() const { return FReady; }
    void SetOnReady(TReadyEvent value) { FReady = value; }

    // Whether the last walk ended on an error (a handler's, or a listing that
    // could not begin or broke off) rather than at its end or by Stop: the
    // files reported are then not all there are. Read it in OnReady.
    bool Failed() const { return FFailed; }

    void Start() { SetActive(true); }
    void Stop() { SetActive(false); }

private:
    void ReadDirectory(const std::wstring& Dir);
    bool IsExcluded(const std::wstring& Dir) const;
    void DoFileFound(const std::wstring& FileName);
    void DoDirectoryFound(const std::wstring& Dir);
    void DoReady();
    void ProcessMessagesWhenDue();

    std::wstring FDirectory;
    std::wstring FFileMask;
    bool FActive = false;
    bool FRecursive = false;
    bool FFailed = false;
    int32_t FDelayTimeStamp = 0;
    int32_t FDelayLastAccess = 0;
    int FMessageInterval = 0;
    LONGLONG FNextMessages = 0;
    std::unique_ptr<forms::TStringList> FExcludeDirs;
    TFileFoundEvent FFileFound;
    TDirectoryFoundEvent FDirectoryFound;
    TReadyEvent FReady;
};

// A file time (100-nanosecond ticks since 1 January 1601) as a date-time
// value, without any time-zone conversion.
forms::TDateTime FileTimeToDateTime(int64_t fileTime);
forms::TDateTime FileTimeToDateTime(const FILETIME& fileTime);

}  // namespace library
