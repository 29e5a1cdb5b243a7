#pragma once
// Move-only owners of Win32 handles: the destructor releases. Header-only and built on the
// system headers alone, so that the payload's standalone programs can use it too.
#include <windows.h>
#include <objbase.h>

template <typename Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() = default;
    explicit ScopedHandle(Handle handle) : handle_(handle) {}
    ~ScopedHandle() { reset(); }
    ScopedHandle(ScopedHandle&& other) : handle_(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other)
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    Handle get() const { return handle_; }
    Handle operator->() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }

    // Gives the handle up without releasing it.
    Handle release()
    {
        const Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }
    void reset(Handle handle = Traits::Invalid())
    {
        close();
        handle_ = handle;
    }
    // Releases now; false when the system refused (a file's close can fail on the last write).
    bool close()
    {
        const bool done = handle_ == Traits::Invalid() || Traits::Close(handle_);
        handle_ = Traits::Invalid();
        return done;
    }
    // For a call that fills in the handle: releases the current one first.
    Handle* put()
    {
        reset();
        return &handle_;
    }
    // For calls that fill a void** (CoCreateInstance, QueryInterface).
    void** putVoid() { return reinterpret_cast<void**>(put()); }

private:
    Handle handle_ = Traits::Invalid();
};

struct RegKeyTraits {
    using Handle = HKEY;
    static HKEY Invalid() { return nullptr; }
    static bool Close(HKEY key) { return RegCloseKey(key) == ERROR_SUCCESS; }
};

// Kernel handles come with two conventions for "none": null (processes, threads, events)
// and INVALID_HANDLE_VALUE (files).
struct KernelHandleTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static bool Close(HANDLE handle) { return CloseHandle(handle) != 0; }
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(HANDLE handle) { return CloseHandle(handle) != 0; }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(HANDLE handle) { return FindClose(handle) != 0; }
};

struct ModuleTraits {
    using Handle = HMODULE;
    static HMODULE Invalid() { return nullptr; }
    static bool Close(HMODULE module) { return FreeLibrary(module) != 0; }
};

template <typename T>
struct GdiObjectTraits {
    using Handle = T;
    static T Invalid() { return nullptr; }
    static bool Close(T object) { return DeleteObject(object) != 0; }
};

struct MemoryDCTraits {
    using Handle = HDC;
    static HDC Invalid() { return nullptr; }
    static bool Close(HDC dc) { return DeleteDC(dc) != 0; }
};

template <typename T>
struct ComTraits {
    using Handle = T*;
    static T* Invalid() { return nullptr; }
    static bool Close(T* object)
    {
        object->Release();
        return true;
    }
};

template <typename T>
struct CoTaskMemTraits {
    using Handle = T*;
    static T* Invalid() { return nullptr; }
    static bool Close(T* block)
    {
        CoTaskMemFree(block);
        return true;
    }
};

template <typename T>
struct HeapBlockTraits {
    using Handle = T*;
    static T* Invalid() { return nullptr; }
    static bool Close(T* block) { return HeapFree(GetProcessHeap(), 0, block) != 0; }
};

// A block of LocalAlloc, as FormatMessage and the security descriptor conversions hand out.
template <typename T>
struct LocalMemoryTraits {
    using Handle = T;
    static T Invalid() { return nullptr; }
    static bool Close(T block) { return LocalFree(block) == nullptr; }
};

using ScopedRegKey = ScopedHandle<RegKeyTraits>;
using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedFile = ScopedHandle<FileHandleTraits>;
using ScopedFind = ScopedHandle<FindHandleTraits>;
using ScopedModule = ScopedHandle<ModuleTraits>;
// A context of CreateCompatibleDC.
using ScopedMemoryDC = ScopedHandle<MemoryDCTraits>;
template <typename T>
using ScopedGdiObject = ScopedHandle<GdiObjectTraits<T>>;
template <typename T>
using ScopedComPtr = ScopedHandle<ComTraits<T>>;
template <typename T>
using ScopedCoTaskMem = ScopedHandle<CoTaskMemTraits<T>>;
template <typename T>
using ScopedHeapBlock = ScopedHandle<HeapBlockTraits<T>>;
// T is the pointer type the allocating call hands out (LPWSTR, PSECURITY_DESCRIPTOR).
template <typename T>
using ScopedLocalMemory = ScopedHandle<LocalMemoryTraits<T>>;

// An owner whose release needs what the handle belongs to as well: a window's DC goes back to
// the window, a DC's saved state or displaced object goes back into the DC.
template <typename Traits>
class ScopedBoundHandle {
public:
    using Owner = typename Traits::Owner;
    using Handle = typename Traits::Handle;

    ScopedBoundHandle() = default;
    ScopedBoundHandle(Owner owner, Handle handle) : owner_(owner), handle_(handle) {}
    ~ScopedBoundHandle() { reset(); }
    ScopedBoundHandle(ScopedBoundHandle&& other) : owner_(other.owner_), handle_(other.release()) {}
    ScopedBoundHandle& operator=(ScopedBoundHandle&& other)
    {
        if (this != &other) {
            reset();
            owner_ = other.owner_;
            handle_ = other.release();
        }
        return *this;
    }
    ScopedBoundHandle(const ScopedBoundHandle&) = delete;
    ScopedBoundHandle& operator=(const ScopedBoundHandle&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }

    Handle release()
    {
        const Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }
    void reset()
    {
        if (handle_ != Traits::Invalid())
            Traits::Close(owner_, handle_);
        handle_ = Traits::Invalid();
    }

private:
    Owner owner_ = Owner();
    Handle handle_ = Traits::Invalid();
};

struct WindowDCTraits {
    using Owner = HWND;
    using Handle = HDC;
    static HDC Invalid() { return nullptr; }
    static void Close(HWND window, HDC dc) { ReleaseDC(window, dc); }
};

struct SavedDCTraits {
    using Owner = HDC;
    using Handle = int;
    static int Invalid() { return 0; }
    static void Close(HDC dc, int state) { RestoreDC(dc, state); }
};

struct SelectionTraits {
    using Owner = HDC;
    using Handle = HGDIOBJ;
    static HGDIOBJ Invalid() { return nullptr; }
    static void Close(HDC dc, HGDIOBJ previous) { SelectObject(dc, previous); }
};

// ScopedWindowDC dc(window, GetDC(window)): released to the window (null: the screen).
using ScopedWindowDC = ScopedBoundHandle<WindowDCTraits>;
// ScopedSavedDC saved(dc, SaveDC(dc)): the DC is restored to that state.
using ScopedSavedDC = ScopedBoundHandle<SavedDCTraits>;
// ScopedSelection selected(dc, SelectObject(dc, object)): the displaced object goes back in.
using ScopedSelection = ScopedBoundHandle<SelectionTraits>;

// BeginPaint to EndPaint of one WM_PAINT; nothing to end when BeginPaint failed.
class ScopedPaint {
public:
    explicit ScopedPaint(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~ScopedPaint()
    {
        if (dc_ != nullptr)
            EndPaint(window_, &paint_);
    }
    ScopedPaint(ScopedPaint&& other) : window_(other.window_), paint_(other.paint_), dc_(other.dc_)
    {
        other.dc_ = nullptr;
    }
    ScopedPaint& operator=(ScopedPaint&&) = delete;
    ScopedPaint(const ScopedPaint&) = delete;
    ScopedPaint& operator=(const ScopedPaint&) = delete;

    HDC get() const { return dc_; }
    const RECT& area() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_;
    HDC dc_;
};
