#pragma once
// Move-only owners of Win32 handles, one template with per-handle traits,
// and a scoped selection of a GDI object into a device context.

#include <windows.h>
#include <commctrl.h>

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
template <typename T>
struct GdiObjectTraits {
    using Handle = T;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DeleteObject(h); }
};
struct WindowTraits {
    using Handle = HWND;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DestroyWindow(h); }
};
struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DestroyMenu(h); }
};
struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DestroyIcon(h); }
};
struct ImageListTraits {
    using Handle = HIMAGELIST;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ImageList_Destroy(h); }
};
struct DCTraits {
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DeleteDC(h); }
};

using FileHandle = UniqueHandle<FileHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
template <typename T>
using GdiObject = UniqueHandle<GdiObjectTraits<T>>;
using WindowHandle = UniqueHandle<WindowTraits>;
using MenuHandle = UniqueHandle<MenuTraits>;
using IconHandle = UniqueHandle<IconTraits>;
using ImageListHandle = UniqueHandle<ImageListTraits>;
using MemoryDC = UniqueHandle<DCTraits>;

// Selects a GDI object into a DC for the scope and puts the previous one back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : FDC(dc), FOld(object ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect() {
        if (FOld) SelectObject(FDC, FOld);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC FDC;
    HGDIOBJ FOld;
};

}  // namespace forms
