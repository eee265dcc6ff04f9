#pragma once
// The Windows handle types owned by base::UniqueAny. Every close keeps the thread's last error.
#include <windows.h>

#include "base/unique_any.h"
#include "platform/last_error.h"

namespace platform {

// Handles for which null owns nothing.
template <typename H>
struct NullHandleTraits : KeepsLastError {
  using Handle = H;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
};

// Kernel handles, where both INVALID_HANDLE_VALUE and null own nothing.
struct KernelHandleTraits : KeepsLastError {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
};

struct FileHandleTraits : KernelHandleTraits {
  static void Close(Handle h) { CloseHandle(h); }
};
using UniqueHandle = base::UniqueAny<FileHandleTraits>;  // CreateFile, processes, threads, events

struct FindHandleTraits : KernelHandleTraits {
  static void Close(Handle h) { FindClose(h); }
};
using UniqueFind = base::UniqueAny<FindHandleTraits>;

struct RegKeyTraits : NullHandleTraits<HKEY> {
  static void Close(Handle h) { RegCloseKey(h); }
};
using UniqueRegKey = base::UniqueAny<RegKeyTraits>;

struct ModuleTraits : NullHandleTraits<HMODULE> {
  static void Close(Handle h) { FreeLibrary(h); }
};
using UniqueModule = base::UniqueAny<ModuleTraits>;  // LoadLibraryExW

// Service manager and service handles (OpenSCManagerW, OpenServiceW, CreateServiceW).
struct ServiceHandleTraits : NullHandleTraits<SC_HANDLE> {
  static void Close(Handle h) { CloseServiceHandle(h); }
};
using UniqueService = base::UniqueAny<ServiceHandleTraits>;

// Memory the system allocated for the caller with LocalAlloc (FormatMessage, SetEntriesInAcl),
// as a pointer to T.
template <typename T>
struct LocalMemoryTraits : NullHandleTraits<T*> {
  static void Close(T* h) { LocalFree(h); }
};
template <typename T>
using UniqueLocal = base::UniqueAny<LocalMemoryTraits<T>>;

// A SID from AllocateAndInitializeSid.
struct SidTraits : NullHandleTraits<PSID> {
  static void Close(Handle h) { FreeSid(h); }
};
using UniqueSid = base::UniqueAny<SidTraits>;

// A COM interface pointer of type T, released when the owner goes.
template <typename T>
struct ComTraits : NullHandleTraits<T*> {
  static void Close(T* h) { h->Release(); }
};
template <typename T>
using UniqueCom = base::UniqueAny<ComTraits<T>>;

// Memory the shell or COM allocated for the caller with CoTaskMemAlloc (item id lists).
template <typename T>
struct CoTaskMemoryTraits : NullHandleTraits<T*> {
  static void Close(T* h) { CoTaskMemFree(h); }
};
template <typename T>
using UniqueCoTaskMem = base::UniqueAny<CoTaskMemoryTraits<T>>;

// GDI objects from Create*/LoadImage (bitmaps, fonts, brushes, pens, regions), as type T.
template <typename T>
struct GdiObjectTraits : NullHandleTraits<T> {
  static void Close(T h) { DeleteObject(h); }
};
using UniqueBitmap = base::UniqueAny<GdiObjectTraits<HBITMAP>>;
using UniqueFont = base::UniqueAny<GdiObjectTraits<HFONT>>;
using UniqueBrush = base::UniqueAny<GdiObjectTraits<HBRUSH>>;
using UniqueRegion = base::UniqueAny<GdiObjectTraits<HRGN>>;

// A memory device context from CreateCompatibleDC.
struct MemoryDcTraits : NullHandleTraits<HDC> {
  static void Close(Handle h) { DeleteDC(h); }
};
using UniqueMemoryDc = base::UniqueAny<MemoryDcTraits>;

// A window the owner created and destroys (CreateWindowExW); one already destroyed with its
// owner window is left alone.
struct WindowTraits : NullHandleTraits<HWND> {
  static void Close(Handle h) {
    if (IsWindow(h)) DestroyWindow(h);
  }
};
using UniqueWindow = base::UniqueAny<WindowTraits>;

// A menu from CreatePopupMenu that no window owns.
struct MenuTraits : NullHandleTraits<HMENU> {
  static void Close(Handle h) { DestroyMenu(h); }
};
using UniqueMenu = base::UniqueAny<MenuTraits>;

// The common device context of a window (GetDC), released to that window.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) {
      const DWORD error = GetLastError();
      ReleaseDC(window_, dc_);
      SetLastError(error);
    }
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context, put back when the selection goes.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~SelectedObject() {
    if (previous_) SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace platform
