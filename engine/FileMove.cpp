#include "engine/FileMove.h"

namespace engine {

DWORD MoveToTarget(const std::wstring& Source, const std::wstring& Target) {
    if (MoveFileExW(Source.c_str(), Target.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
        return ERROR_SUCCESS;
    // A copy to another volume that ran out of room leaves a partly written
    // target behind, which would pass for a filed photo. Only a full volume is
    // taken as that sign: the move refuses an existing target before it writes
    // anything, so a target it ran out of room for is the one it made. Any other
    // failure may have come before the target was looked at, and a file of that
    // name there is someone else's.
    const DWORD error = GetLastError();
    if ((error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) &&
        GetFileAttributesW(Source.c_str()) != INVALID_FILE_ATTRIBUTES)
        DeleteFileW(Target.c_str());
    return error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error;
}

}  // namespace engine
