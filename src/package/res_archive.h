#pragma once
// Resource archives ("DrawData.dat", "html.dat", "uninstall.dat" in the install folder's
// "ProgData"): one file holds one or more archives one after another, each starting where the
// previous one ends. All integers are little-endian 32-bit; B is where an archive starts and every
// position below is relative to B.
//
//   0    "kApX"   4 T (trailer position)   8 entry count   12 0        (header; only 0 and 4 read)
//   16   entry blocks, at the offsets the directory gives
//   D    directory: N entries of 16 + 2L bytes:
//          0 data offset   4 block length   8 0   12 L (16-bit)   14 name, L UTF-16 units   then 0 (16-bit)
//   T    trailer: "kApX"   D   N   0
//
// The archive's size is T + 16. Instead of the 16-byte header an archive may begin with a program
// stub ("MZ"): then P = (the 32-bit value at 0x3C) - 8, cut to 16 bits, and the 16 bytes at P hold
// T in their first word and the stub's "PE\0\0" signature in their third.
//
// Entry block: 0 CRC-32 of the bytes from 24 on   4 member length (block length - 24)   8 "KaPx"
//              12 CRC-32 of the unpacked data (not read)   16 unpacked length
//              20 modification time, seconds since 1970-01-01 UTC   24 reduced gzip member
//
// Entry names are relative paths with backslashes; a name that would leave the destination folder
// (empty, "." or ".." components, drive letters, colons, leading separators, UNC paths) or ends in
// a separator (no file name) is refused (base::IsContainedFilePath).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs.h"

namespace package {

struct ResArchiveEntry {
  std::u16string name;
  uint32_t data_offset = 0;  // relative to the archive's start
  uint32_t block_length = 0;
};

struct ResArchive {
  uint64_t start = 0;  // absolute position of the archive in its file
  uint64_t size = 0;   // T + 16
  bool has_program_stub = false;
  std::vector<ResArchiveEntry> entries;  // in directory order
};

// Opens the archive that starts at start in an open file of file_size bytes. False on any unmet
// condition of the layout above; a directory is never read beyond the file or the archive.
bool OpenResArchive(platform::File& file, uint64_t file_size, uint64_t start, ResArchive* archive);

// Every archive of the file, one after another, until one fails to open or fewer than 11 bytes
// remain. Empty when the file cannot be read, holds 10 bytes or fewer, or its first archive fails.
std::vector<ResArchive> ListResArchives(std::u16string_view path);

// Result of reading one entry.
enum class ResEntryStatus {
  kOk,
  kUnsafeName,    // the name would leave the destination folder, or names no file
  kBadBlock,      // block outside the archive or file, shorter than 24 bytes, unreadable, wrong magic
                  // or member length
  kCrcMismatch,   // the block's CRC does not match its member
  kDecodeFailed,  // the member does not decode to the block's data (DecodeGzipMember failed)
  kWriteFailed,   // the file cannot be written
};
const char* ResEntryStatusText(ResEntryStatus status);

struct ResEntryData {
  std::vector<uint8_t> bytes;  // the unpacked file
  uint32_t modified = 0;       // seconds since 1970-01-01 UTC
};

// Reads, checks and decodes one entry's block. The output buffer is sized from the block's
// unpacked length, but never below the member's length (so that stored or empty files decode) and
// never above what a DEFLATE stream of that member can produce.
ResEntryStatus ReadResEntry(platform::File& file, const ResArchive& archive, const ResArchiveEntry& entry,
                            ResEntryData* data);

// Extracts one entry below folder (which ends in a separator): checks the name, decodes, writes
// the file (creating missing folders when the first write fails) and sets its modification time
// from the block and its access time to 1970-01-01 00:00 UTC.
ResEntryStatus ExtractResEntry(platform::File& file, const ResArchive& archive, const ResArchiveEntry& entry,
                               std::u16string_view folder);

// Extracts the archives of file into folder: into "<folder>\" when the file holds one archive or
// index names one, else archive i into "<folder>\<i>\". index -1 extracts all. Returns the number
// of archives in the file (0 when it holds none, after writing "Open archive fail. <file>" to
// standard output); a failed entry is passed over and the others still go. Writes
// "Extract to <destination>" to standard output for each archive it extracts.
int ExtractArchiveFile(const char16_t* file, const char16_t* folder, int index);

// Builds resource archive files for the packaging tool. Output is deterministic: the bytes depend
// only on the entries given, in the order given.
class ResArchiveWriter {
 public:
  struct Entry {
    std::u16string name;  // relative path with backslashes; must pass base::IsContainedFilePath
    std::vector<uint8_t> data;
    uint32_t modified = 0;
  };

  // stub: empty for a plain "kApX" header, else a program image ("MZ", with its "PE\0\0"
  // signature at the 32-bit value at 0x3C, which must lie between 0x48 and 0xFFFF) that
  // becomes the start of the archive.
  // False with a one-line reason when an entry name is unsafe or too long (65,535 units), the stub
  // does not qualify, or the archive would exceed 4 GiB.
  static bool Build(const std::vector<Entry>& entries, const std::vector<uint8_t>& stub, std::vector<uint8_t>* out,
                    std::string* error);
};

}  // namespace package
