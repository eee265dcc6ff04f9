#pragma once
// The registry, behind a small interface (Windows only; there is no host body). Every operation
// returns the platform's own result code, so callers can log it or pass it on unchanged:
//   kRegOk (0)              success
//   kRegNotFound (2)        the key or value does not exist
//   kRegAccessDenied (5)    the key was opened without the access the operation needs
//   kRegInvalidData (13)    a checked string read found a value that is not a string, or whose
//                           data does not end in a zero character
//   kRegMoreData (234)      the value is larger than the caller's maximum size
//   kRegWrongType (1630)    a 32-bit read found a value of another type
//   any other platform code for other failures
// Values read from the registry are untrusted: reads are bounded by the caller's maximum size.
//
// Every key is opened, created and deleted in the 32-bit view (KEY_WOW64_32KEY), the one the
// suite's 32-bit programs and earlier setups see: HKLM "Software\X" lives under
// "Software\Wow6432Node\X" of the native view, and so do the class keys that the system keeps
// apart per view (HKCR "CLSID", "Interface", ...). Keys both views share (HKCU "Software", HKLM
// "System") are the same either way. One rule for every root keeps a key reached through a
// handle (OpenChild, CreateChild) in the view of its parent.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/unique_any.h"
#include "platform/last_error.h"

namespace platform {

constexpr uint32_t kRegOk = 0;
constexpr uint32_t kRegNotFound = 2;
constexpr uint32_t kRegAccessDenied = 5;
constexpr uint32_t kRegInvalidData = 13;
constexpr uint32_t kRegMoreData = 234;
constexpr uint32_t kRegWrongType = 1630;

enum class RegRoot { kLocalMachine, kCurrentUser, kClassesRoot, kUsers, kCurrentConfig };

// kRead is the platform's read access (0x20019), kReadWrite adds setting values and creating
// subkeys (0x2001F), kAll is full access (needed to delete a key's subkeys).
enum class RegAccess { kRead, kReadWrite, kAll };

// Value types, numbered as the platform numbers them.
enum class RegType : uint32_t {
  kNone = 0,
  kString = 1,
  kExpandString = 2,
  kBinary = 3,
  kDword = 4,
  kMultiString = 7,
};

enum class RegStringCheck {
  kAnyData,         // the data is taken as UTF-16 text whatever its type, up to its first zero
  kStringType,      // counts only as a string value (plain or expandable), up to its first zero
  kTerminatedText,  // counts only as a string value (plain or expandable) ending in a zero char
};

enum class RegTerminator { kIncluded, kOmitted };

// A move-only owner of an open key. Closing keeps the thread's last error.
class RegKey {
 public:
  RegKey() = default;

  // Opens an existing key; *key is left closed on failure.
  static uint32_t Open(RegRoot root, std::u16string_view subkey, RegAccess access, RegKey* key);
  // Opens the key, creating it (and missing parents) when absent.
  static uint32_t Create(RegRoot root, std::u16string_view subkey, RegAccess access, RegKey* key);
  // The same, relative to this open key.
  uint32_t OpenChild(std::u16string_view subkey, RegAccess access, RegKey* key) const;
  uint32_t CreateChild(std::u16string_view subkey, RegAccess access, RegKey* key) const;

  bool IsOpen() const { return static_cast<bool>(handle_); }
  void Close() { handle_.reset(); }

  // Raw data and type of a value; kRegMoreData when it holds more than max_bytes bytes.
  uint32_t ReadValue(std::u16string_view name, size_t max_bytes, RegType* type,
                     std::vector<uint8_t>* data) const;
  // A string value of at most max_bytes bytes (terminator included), cut at its first zero.
  // *value is empty on failure.
  uint32_t ReadString(std::u16string_view name, size_t max_bytes, RegStringCheck check,
                      std::u16string* value) const;
  // Writes a plain string value; the size given to the platform is characters x 2, plus 2 with
  // the terminator. (NT itself adds a terminator the size leaves out when one follows the text.)
  uint32_t WriteString(std::u16string_view name, std::u16string_view value,
                       RegTerminator terminator = RegTerminator::kIncluded) const;
  // kRegWrongType when the value exists with another type or size.
  uint32_t ReadDword(std::u16string_view name, uint32_t* value) const;
  uint32_t WriteDword(std::u16string_view name, uint32_t value) const;
  uint32_t DeleteValue(std::u16string_view name) const;

  // Names of the direct subkeys / of the values, in the platform's order.
  uint32_t ListSubkeys(std::vector<std::u16string>* names) const;
  uint32_t ListValueNames(std::vector<std::u16string>* names) const;

  // The platform handle (an HKEY), for Windows code that needs a call not offered here.
  void* native() const { return handle_.get(); }

 private:
  // The HKEY; the Windows body closes it.
  struct HandleTraits : KeepsLastError {
    using Handle = void*;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h);
  };
  base::UniqueAny<HandleTraits> handle_;
};

// Deletes the key with all its subkeys and values. kRegNotFound when it does not exist;
// ERROR_INVALID_PARAMETER (87) for a subkey that is empty or only separators, which would name
// the root.
uint32_t DeleteKeyTree(RegRoot root, std::u16string_view subkey);

}  // namespace platform
