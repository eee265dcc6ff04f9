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

}  // namespace platform
