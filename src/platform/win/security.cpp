#include "platform/win/security.h"

#include <aclapi.h>

#include "platform/win/unique_handles.h"

namespace platform {
namespace {

bool IsNtFamily() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&info)) return true;
#pragma GCC diagnostic pop
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// Lives for the whole process: the descriptor and its list are referenced by every creation.
struct ProcessSecurity {
  SECURITY_DESCRIPTOR descriptor = {};
  UniqueLocal<ACL> acl;
  SECURITY_ATTRIBUTES attributes = {};
  bool applies = false;

  ProcessSecurity() {
    if (!IsNtFamily()) return;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) return;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    UniqueSid everyone;
    if (AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, everyone.put())) {
      EXPLICIT_ACCESSW access = {};
      access.grfAccessPermissions = GENERIC_ALL;
      access.grfAccessMode = SET_ACCESS;
      access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
      access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
      access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
      access.Trustee.ptstrName = static_cast<LPWSTR>(everyone.get());
      PACL made = nullptr;
      if (SetEntriesInAclW(1, &access, nullptr, &made) == ERROR_SUCCESS) acl.reset(made);
    }
    // With no list built, a null list admits everyone as well.
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl.get(), FALSE);
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;
    applies = true;
  }
};

}  // namespace

SECURITY_ATTRIBUTES* ProcessSecurityAttributes() {
  // Made at the first creation, not before main: the programs load advapi32 only after they have
  // restricted the DLL search.
  static ProcessSecurity security;
  return security.applies ? &security.attributes : nullptr;
}

void RestrictDllSearchToSystemFolder() {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto set_directories = reinterpret_cast<SetDirectories>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set_directories) set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");
}

}  // namespace platform
