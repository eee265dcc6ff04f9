#pragma once
// The package container: a 1172-byte header followed by a flat run of named records, each a
// 140-byte record header and its data, until the end of the file (no count, no end marker).
// All integers are little-endian; texts are UTF-16LE, zero-terminated inside fixed fields (writers
// fill the rest with zeros; readers ignore it).
//
//   header   0 "CVAS"   4 version (1)   5 0   6 product list, 64 units   134 compose list, 513
//            units (in the skin part: the package download URL)   1160 kind   1164 8 zero bytes
//   record   0 "ICMD"   4 data length   8 absolute data offset (record offset + 140; a record
//            whose field says otherwise is refused)   12 name, 64 units   140 data
//
// Record names say what a record is (ASCII case is ignored when they are looked up; the first of
// two equal names wins):
//   "FIX_<product>_<n>"                     product description (the installer reads n = 1)
//   "CNI-<compose cut at its first '.'>"    compose description
//   "COM-<compose>_<field0>_<field1>_<file>"  a file of a compose (a packed file when field 2 is 1)
//   "PCH-<compose>_<a>_<b>_<file>"          a patch file (never read by the installer)
//   "DIR-<group>|<relative path>"           a file of a named group; the path uses backslashes
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs.h"

namespace package {

constexpr uint8_t kDeedBoxMagic[4] = {'C', 'V', 'A', 'S'};
constexpr uint8_t kDeedBoxRecordMagic[4] = {'I', 'C', 'M', 'D'};
constexpr size_t kDeedBoxHeaderSize = 1172;
constexpr size_t kDeedBoxRecordHeaderSize = 140;
constexpr uint8_t kDeedBoxVersion = 1;
constexpr size_t kDeedBoxProductListUnits = 64;
constexpr size_t kDeedBoxComposeListUnits = 513;
constexpr size_t kDeedBoxNameUnits = 64;
// The longest texts the writers store (Create refuses longer lists, AddFile longer names).
constexpr size_t kDeedBoxMaxProductList = 63;
constexpr size_t kDeedBoxMaxComposeList = 511;
constexpr size_t kDeedBoxMaxName = 63;

// Container kinds.
constexpr uint32_t kDeedBoxKindProduct = 0;
constexpr uint32_t kDeedBoxKindComposePacket = 1;  // composes installed without products
constexpr uint32_t kDeedBoxKindSkin = 3;

struct DeedBoxHeader {
  uint8_t version = kDeedBoxVersion;
  std::u16string product_list;
  std::u16string compose_list;
  uint32_t kind = kDeedBoxKindProduct;
};

struct DeedBoxRecord {
  uint32_t length = 0;
  uint32_t data_offset = 0;
  std::u16string name;
};

// Decodes the 1172-byte header. False when fewer bytes are given, the magic is not "CVAS" or the
// version is not 1.
bool ParseDeedBoxHeader(const uint8_t* bytes, size_t size, DeedBoxHeader* header);
// Decodes a 140-byte record header. False when fewer bytes are given or the magic is not "ICMD";
// the data offset is returned as stored, unchecked.
bool ParseDeedBoxRecord(const uint8_t* bytes, size_t size, DeedBoxRecord* record);
// Encodes a header or a record header; texts longer than their field are cut to fit with the
// terminator (callers check the limits first).
std::vector<uint8_t> SerializeDeedBoxHeader(const DeedBoxHeader& header);
std::vector<uint8_t> SerializeDeedBoxRecord(const DeedBoxRecord& record);

// Record names.
std::u16string FixRecordName(int n, std::u16string_view product);
std::u16string ComposeIniRecordName(std::u16string_view compose);
std::u16string ComposeFileRecordName(std::u16string_view compose, std::u16string_view field0,
                                     std::u16string_view field1, std::u16string_view file_name);
std::u16string PatchRecordName(std::u16string_view compose, std::u16string_view a, std::u16string_view b,
                               std::u16string_view file_name);
std::u16string GroupRecordPrefix(std::u16string_view group);  // "DIR-<group>"
std::u16string GroupRecordName(std::u16string_view group, std::u16string_view relative_path);
// Splits "DIR-<group>|<relative path>" (prefix in any ASCII case) at its first "|". False for a
// name of another kind or without "|".
bool SplitGroupRecordName(std::u16string_view name, std::u16string* group, std::u16string* relative_path);

// A container built in memory by the packaging tool, with the bytes Create and AddFile would
// write. StartDeedBox fails for a product list over 63 or a compose list over 511 characters;
// AddDeedBoxRecord for a name over 63 characters or a record that would end beyond 4 GiB (the
// container is then unchanged).
bool StartDeedBox(std::u16string_view product_list, std::u16string_view compose_list, uint32_t kind,
                  std::vector<uint8_t>* container);
bool AddDeedBoxRecord(std::u16string_view name, const uint8_t* data, size_t size, std::vector<uint8_t>* container);

// What ExtractCompose needs of one file entry of a compose description, in description order.
struct ComposeFileRef {
  std::u16string file_name;
  std::u16string field0;
  std::u16string field1;
  uint32_t field2 = 0;  // 1: the record is a packed file
};
// Loads the file entries of a compose description file; false when it cannot be loaded. The
// description model lives in the engine, which supplies this when it wants ExtractCompose.
using ComposeFileLister = std::function<bool(const std::u16string& description_path, std::vector<ComposeFileRef>* files)>;

// The container interface. Every bool result is true for success. Null arguments fail.
class IDeedBox {
 public:
  // Closes the container and frees the object.
  virtual void Destroy() = 0;
  // Opens an existing container for reading and reads its index. False (and closed) for a file
  // that cannot be opened, a header that is short or not "CVAS" version 1, or a record header that
  // is short, not "ICMD", or whose data offset is not where its data lies (extraction would copy
  // other bytes). A file cut inside its last record's data still opens.
  virtual bool Open(const char16_t* path) = 0;
  // Creates (or truncates) a container and writes its header; it stays open for the Add calls.
  // Fails for a null path or compose list, a compose list of 512 characters or more (logged) and
  // a product list of 64 or more (the empty file stays).
  virtual bool Create(const char16_t* product_list, const char16_t* path, const char16_t* compose_list,
                      uint32_t kind) = 0;
  virtual std::u16string GetProductList() = 0;
  virtual uint32_t GetKind() = 0;
  // The compose list; in the skin part, the package download URL.
  virtual std::u16string GetComposeList() = 0;
  virtual bool AddFix(int n, const char16_t* product, const char16_t* source) = 0;
  virtual bool ExtractFix(int n, const char16_t* product, const char16_t* destination) = 0;
  // Appends a record with the whole content of source. Fails for a name of 64 characters or more
  // or a source that cannot be opened (logged).
  virtual bool AddFile(const char16_t* name, const char16_t* source) = 0;
  // Copies the first record of that name (ASCII case ignored) to destination, creating its
  // missing folders and replacing an existing file. A record whose data ends early fails and
  // leaves no destination.
  virtual bool ExtractRecord(const char16_t* name, const char16_t* destination) = 0;
  virtual bool ExtractComposeFile(const char16_t* compose, const char16_t* field0, const char16_t* field1,
                                  const char16_t* file_name, const char16_t* destination) = 0;
  virtual bool AddComposeFile(const char16_t* compose, const char16_t* field0, const char16_t* field1,
                              const char16_t* file_name, const char16_t* source) = 0;
  virtual bool AddPatch(const char16_t* compose, const char16_t* a, const char16_t* b, const char16_t* file_name,
                        const char16_t* source) = 0;
  virtual bool ExtractPatch(const char16_t* compose, const char16_t* a, const char16_t* b,
                            const char16_t* file_name, const char16_t* destination) = 0;
  virtual bool ExtractComposeIni(const char16_t* compose, const char16_t* destination) = 0;
  virtual bool AddComposeIni(const char16_t* compose, const char16_t* source) = 0;
  // Extracts every file of a compose into destination folder\field 1\file name, unpacking the
  // packed ones. Needs a ComposeFileLister; without one it fails.
  virtual bool ExtractCompose(const char16_t* compose, const char16_t* destination_folder) = 0;
  // Adds every file below folder (recursively, hidden entries skipped, in name order) as
  // "DIR-<group>|<relative path>". The first failure ends the walk with false.
  virtual bool AddGroup(const char16_t* group, const char16_t* folder) = 0;
  // Extracts every record of the group, in file order, to destination folder\relative path. A
  // record whose relative path would leave the folder is refused (nothing written for it) and the
  // others still go on; any refused entry makes the result false. Any other extraction failure
  // ends the walk with false at once (files already extracted stay). An empty index gives true.
  virtual bool ExtractGroup(const char16_t* group, const char16_t* destination_folder) = 0;
  // Closes the file; the index and header stay readable. Always true.
  virtual bool Close() = 0;

 protected:
  virtual ~IDeedBox() = default;
};

// A new, closed container object (released with Destroy), or null when memory is short.
IDeedBox* CreateDeedBox(ComposeFileLister lister = nullptr);

struct DeedBoxDestroyer {
  void operator()(IDeedBox* box) const {
    if (box) box->Destroy();
  }
};
using DeedBoxPtr = std::unique_ptr<IDeedBox, DeedBoxDestroyer>;

class CDeedBox final : public IDeedBox {
 public:
  explicit CDeedBox(ComposeFileLister lister = nullptr);
  // An object owned directly (not from CreateDeedBox) is released by its destructor, not Destroy.
  ~CDeedBox() override;

  void Destroy() override;
  bool Open(const char16_t* path) override;
  bool Create(const char16_t* product_list, const char16_t* path, const char16_t* compose_list,
              uint32_t kind) override;
  std::u16string GetProductList() override;
  uint32_t GetKind() override;
  std::u16string GetComposeList() override;
  bool AddFix(int n, const char16_t* product, const char16_t* source) override;
  bool ExtractFix(int n, const char16_t* product, const char16_t* destination) override;
  bool AddFile(const char16_t* name, const char16_t* source) override;
  bool ExtractRecord(const char16_t* name, const char16_t* destination) override;
  bool ExtractComposeFile(const char16_t* compose, const char16_t* field0, const char16_t* field1,
                          const char16_t* file_name, const char16_t* destination) override;
  bool AddComposeFile(const char16_t* compose, const char16_t* field0, const char16_t* field1,
                      const char16_t* file_name, const char16_t* source) override;
  bool AddPatch(const char16_t* compose, const char16_t* a, const char16_t* b, const char16_t* file_name,
                const char16_t* source) override;
  bool ExtractPatch(const char16_t* compose, const char16_t* a, const char16_t* b, const char16_t* file_name,
                    const char16_t* destination) override;
  bool ExtractComposeIni(const char16_t* compose, const char16_t* destination) override;
  bool AddComposeIni(const char16_t* compose, const char16_t* source) override;
  bool ExtractCompose(const char16_t* compose, const char16_t* destination_folder) override;
  bool AddGroup(const char16_t* group, const char16_t* folder) override;
  bool ExtractGroup(const char16_t* group, const char16_t* destination_folder) override;
  bool Close() override;

  // For the packaging tool: opens an existing, complete container for appending records. False
  // when it does not open or its last record's data is cut short.
  bool OpenForAppend(const char16_t* path);
  // AddFile with the record's data from a buffer.
  bool AddBytes(const char16_t* name, const uint8_t* data, size_t size);
  const DeedBoxHeader& Header() const { return header_; }
  const std::vector<DeedBoxRecord>& Records() const { return records_; }
  const std::u16string& Path() const { return path_; }

 private:
  bool ReadIndex(uint64_t* end_of_index);
  // Writes the header of a record of length bytes at the end; false when it does not fit.
  bool WriteRecordHeader(std::u16string_view name, uint64_t length, DeedBoxRecord* record);
  const DeedBoxRecord* FindRecord(std::u16string_view name) const;

  ComposeFileLister lister_;
  platform::File file_;
  DeedBoxHeader header_;
  std::u16string path_;
  std::vector<DeedBoxRecord> records_;
  uint64_t write_position_ = 0;  // the file size while writing
  bool writable_ = false;        // opened by Create or OpenForAppend
};

// A container described for listing tools: header, index and whether each record's data lies
// wholly inside the file.
struct DeedBoxSummary {
  DeedBoxHeader header;
  std::vector<DeedBoxRecord> records;
  std::vector<bool> record_complete;
  uint64_t size = 0;
  std::string problem;  // when the container does not open: why, in one line
};
// From a file (the same checks as Open) or from bytes in memory (a container inside another file).
// False, with summary->problem set, where Open would fail.
bool DescribeDeedBox(std::u16string_view path, DeedBoxSummary* summary);
bool DescribeDeedBoxBytes(const uint8_t* data, size_t size, DeedBoxSummary* summary);

}  // namespace package
