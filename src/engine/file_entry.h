#pragma once
// FileEntry: one file of a compose, parsed from a line of a file section of the compose
// description:  file name = field0,field1,...,field15[,...]
// At least 16 comma-separated fields, each at most 255 characters; fields after the 20th are not
// read. Records are held by value and copied whole.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/os_mask.h"
#include "engine/work_paths.h"

namespace engine {

// Set by the comparison of an installed and a new description; kNone before it.
enum class FileState : uint32_t {
  kNone = 0,
  kUnchanged = 1,  // the installed copy equals the new entry
  kNew = 2,        // only in the new description
  kChanged = 3,
  kRemoved = 4,    // only in the installed description
};

// Field 4 flag bits.
constexpr uint32_t kFilePrefixedCopies = 0x001;     // Backup/Output names carry "{field0}_{field1}_"
constexpr uint32_t kFileRegisterFlags = 0x002;      // field 10 changes the register flags
constexpr uint32_t kFileRunMachine = 0x004;         // machine-wide Run key
constexpr uint32_t kFileRunUser = 0x008;            // current user's Run key
constexpr uint32_t kFileRunOnceMachine = 0x010;     // machine-wide RunOnce key
constexpr uint32_t kFileRunOnceUser = 0x020;        // current user's RunOnce key
constexpr uint32_t kFileFullChecksum = 0x100;       // checksum over the whole file
constexpr uint32_t kFileRegisterOnly = 0x200;       // not unregistered in a partial run

// Work flag bits of FileEntry::work_flags.
constexpr uint32_t kWorkRegisterFailed = 0x10000;        // registering the placed file failed
constexpr uint32_t kWorkInstalledCopyInvalid = 0x20000;

// Widths of the text fields, in characters (without a terminator).
constexpr size_t kMaxFileName = 259;
constexpr size_t kMaxFieldText = 255;   // any one field of a file line
constexpr size_t kMaxSectionName = 127;
constexpr size_t kMaxComposeName = 127;
constexpr size_t kMaxComposeFolder = 127;
constexpr size_t kMaxPathText = 259;
constexpr size_t kMaxFullPath = 265;
constexpr size_t kMaxOptionText = 41;
constexpr size_t kMaxOptionPairs = 10;
constexpr size_t kMinFileFields = 16;
constexpr size_t kMaxFileFields = 20;

struct OptionPair {
  std::u16string name;   // at most kMaxOptionText
  std::u16string value;  // at most kMaxOptionText; empty means the pair is free
};

struct FileEntry {
  std::u16string file_name;        // the key, blanks trimmed
  std::u16string source_folder;    // field 0: sub-folder of the Source copy; copy-name prefix
  std::u16string dest_folder;      // field 1: "%..." environment form, "$SYSTEM32"/"$WINDOWS"
                                   // macro form, or a folder relative to the compose folder
  uint32_t packed = 0;             // field 2: 0 plain, 1 packed in the package
  uint32_t kind = 0;               // field 3: 1 in-process COM server, 2 program with switches,
                                   // other: program closed by a handshake
  uint32_t flags = 0;              // field 4: kFile* bits
  uint32_t order = 0;              // field 5: order of placement, registration and launch
  int32_t always_collect = 0;      // field 6: collected for work even in a partial collection
  int32_t rename_if_locked = 0;    // field 7: a file that can be neither deleted nor moved aside
                                   // gets a new name
  int32_t needs_restart = 0;       // field 8: replacing the file needs a restart
  int32_t field9 = 0;              // field 9: carried, not interpreted
  std::u16string register_refs;    // field 10: files to register, separated by "|"
  std::u16string program_refs;     // field 11: programs to stop and start, separated by "|"
  uint32_t checksum = 0;           // field 12: CRC-32 of the content
  std::u16string field13;          // field 13: carried, not interpreted
  uint32_t size = 0;               // field 14: size in bytes
  uint32_t os_mask = 0;            // field 15: OsMask; kOs64BitFileBits mark a 64-bit system file

  std::u16string section_name;     // the file section that listed the entry
  FileState state = FileState::kNone;
  std::u16string compose_name;
  std::u16string compose_folder;   // the compose's "Version"/"Path"
  std::u16string extracted_path;   // temporary file the package copy was extracted to
  std::u16string full_path;        // resolved install path
  std::array<OptionPair, kMaxOptionPairs> options;
  uint32_t deferred = 0;           // replaced at the next restart
  uint32_t work_flags = 0;         // kWork* bits
  uint32_t order_index = 0;        // position in the run's list of the entry that named this one
};

using FileEntryList = std::vector<FileEntry>;

// Parses one file line into *entry (which keeps the fields the line does not set: the caller
// passes a fresh record). False when the key is empty, when a field reaches 256 characters
// before 16 fields were read, when there are fewer than 16 fields (the count message goes to
// standard output, as the packaging tools expect), or when the file name, field 0 or field 1
// would lead out of the folder it is joined to (a drive, a leading separator, "." or "..").
bool ParseFileEntry(std::u16string_view key, std::u16string_view value, FileEntry* entry);

// The "number" rule of file lines: decimal floating-point text truncated toward zero to 64 bits,
// of which the low 32 are kept. Text that is no number, and values outside the 64-bit range,
// read as 0.
uint32_t ParseDescriptionNumber(std::u16string_view text);

// The first entry with this file name (and, in the second form, this field 1), compared without
// regard to ASCII case; null when none.
FileEntry* FindFileEntry(FileEntryList& entries, std::u16string_view file_name);
const FileEntry* FindFileEntry(const FileEntryList& entries, std::u16string_view file_name);
FileEntry* FindFileEntry(FileEntryList& entries, std::u16string_view file_name, std::u16string_view dest_folder);

// Where the entry's copy lives at a location ({f} the file name, {q} "{field0}_{field1}_{f}"
// with kFilePrefixedCopies, else {f}; {p} the prefix of the entry's compose name):
//   Source        {I}Compose\{p}\Source\[{field0}\]{f}
//   Backup        {I}Compose\{p}\Backup\Build_{n}\{q}
//   Output        {I}Compose\{p}\Output\{q}.out
//   OutputChange  {I}OutputChange\{p}\Output\{q}.out
//   Installed     {I}[{Path}\][{field1}\]{f}   (no macro handling; see the target-path rule)
//   Temp          empty
std::u16string FileEntryPath(const WorkPaths& paths, const FileEntry& entry, ComposeLocation location,
                             uint32_t build = 1);

}  // namespace engine
