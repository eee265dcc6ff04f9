#pragma once
// The payload of the setup program: its own file carries, after the executable image, part 1 (the
// skin part: a packed file that unpacks to a container of kind 3 whose compose-list field holds the
// package download address) and optionally part 2 (the package container). A table in the reserved
// words of the 64-byte DOS header says where each part lies:
//
//   0x28  marker 0x575A (bytes 5A 57)
//   0x2A  part 1 offset     0x2E  part 1 length
//   0x32  part 2 offset     0x36  part 2 length
//   0x3A  0
//
// Each 32-bit value is stored as two 16-bit little-endian words, the HIGH word first. Offsets are
// absolute positions in the file. Nothing else of the file is read; part 2 usually follows part 1
// directly, but only the table counts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace package {

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kPayloadTableOffset = 0x28;
constexpr uint16_t kPayloadMarker = 0x575A;

struct PayloadPart {
  uint32_t offset = 0;
  uint32_t length = 0;
};

struct PayloadTable {
  PayloadPart part1;
  PayloadPart part2;
  // Part 2 counts as absent when its offset or its length is 0 (a download-type setup file).
  bool HasPart2() const { return part2.offset != 0 && part2.length != 0; }
};

// Decodes the table from the first bytes of a program file. False when fewer than 64 bytes are
// given or the marker is absent.
bool ReadPayloadTable(const uint8_t* header, size_t size, PayloadTable* table);

// Stores the table into a DOS header of at least 64 bytes: marker, the four values, and a zero
// word at 0x3A. The other bytes are left as they are.
void WritePayloadTable(const PayloadTable& table, uint8_t* header);

// Lays out a setup file for the packaging tool: the program image, its DOS header stamped with the
// table, part 1 right after the image and part 2 (when given) right after part 1. A program that
// already carries a table is re-stamped: what follows its image is replaced. False with a one-line
// reason when the program is not an executable image ("MZ", at least 64 bytes), its reserved words
// at 0x28 to 0x3B hold something other than a table, or the result would not fit 32-bit offsets.
bool StampPayload(const std::vector<uint8_t>& program, const std::vector<uint8_t>& part1,
                  const std::vector<uint8_t>* part2, std::vector<uint8_t>* out, std::string* error);

// Whether the program file carries part 2. A file that cannot be opened or read counts as
// carrying it (the wizard then goes on to install from the file and reports the failure there);
// a readable file without the marker, or with a part 2 offset or length of 0, does not.
bool HasPackagePart(std::u16string_view program_path);

// Copies part 1 or 2 of the program file to a new file at destination (an existing file is
// replaced) through a 4,096-byte buffer, never holding the part whole. False when the program
// file cannot be read, has no table, the part number is not 1 or 2, the part does not lie wholly
// inside the file (checked before the destination is created), the destination cannot be created,
// or a read or write fails (a partly written destination then stays). A part of length 0 gives
// an empty file. The destination gets the platform's default security, not the process-wide one.
bool ExtractPayloadPart(std::u16string_view program_path, std::u16string_view destination, int part);

// Work-file names inside the working folder.
constexpr char16_t kSkinPartFileName[] = u"Part1.dat";
constexpr char16_t kSkinPartPackedSuffix[] = u".zqp";
constexpr char16_t kSkinFolderName[] = u"Style\\";
constexpr char16_t kSkinGroupPart1[] = u"SetupSkinPart1";
constexpr char16_t kSkinGroupPart2[] = u"SetupSkinPart2";
// The skin part's record of a download-type setup file that holds the SHA-256 of the package to
// download, as 64 lower-case hexadecimal digits. Setup files without it install as before.
constexpr char16_t kPackageDigestRecord[] = u"PackageSha256";
constexpr size_t kPackageDigestChars = 64;

// Prepares the wizard's skin from part 1 of the running program's file: copies it to
// "<working folder>Part1.dat.zqp", unpacks it to "Part1.dat", opens that container, stores its
// compose-list field (the package download address) in *download_url when one is given, and
// extracts the group "SetupSkinPart1" into "<working folder>Style\". Returns that folder, ending in
// a backslash, or empty when any step fails (the caller reports a damaged setup file; the address
// is then left unset). The working files stay; each call writes them again. *package_sha256, when
// given, receives the package's digest record, or empty when the part has none (or a malformed one).
std::u16string PrepareSkinPart(std::u16string* download_url, std::string* package_sha256 = nullptr);
// The same for a given program file and working folder (the folder need not exist yet).
std::u16string PrepareSkinPartFrom(std::u16string_view program_path, std::u16string_view work_dir,
                                   std::u16string* download_url = nullptr, std::string* package_sha256 = nullptr);

// True when the file at path has that SHA-256 (64 lower-case hexadecimal digits), or when none is
// given (a setup file without the record). *actual, when given, receives the file's digest (empty
// when it cannot be read).
bool FileMatchesDigest(std::u16string_view path, std::string_view sha256_hex, std::string* actual = nullptr);

// Copies part 2 of the running program's file to "<working folder>Big<tick count in upper-case
// hex>.dat" and returns that path, or empty on failure. A part whose SHA-256 is not the one the
// skin part records (the wizard's package digest) is damaged: it is logged, deleted and refused.
std::u16string ExtractBigFile();
std::u16string ExtractBigFileFrom(std::u16string_view program_path, std::u16string_view work_dir, uint32_t tick_count,
                                  std::string_view package_sha256 = {});

}  // namespace package
