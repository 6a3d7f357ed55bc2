#pragma once
// Move-only owners of Win32 handles: one template with per-handle traits, and
// the owners of file and find handles.

#include <windows.h>

#include <utility>

namespace forms {

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : FHandle(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : FHandle(std::exchange(other.FHandle, Traits::Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.FHandle, Traits::Invalid()));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Handle Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != Traits::Invalid(); }
    Handle Release() { return std::exchange(FHandle, Traits::Invalid()); }
    void Reset(Handle handle = Traits::Invalid()) {
        if (FHandle != Traits::Invalid()) Traits::Close(FHandle);
        FHandle = handle;
    }

private:
    Handle FHandle = Traits::Invalid();
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindClose(h); }
};
using FileHandle = UniqueHandle<FileHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;

}  // namespace forms
