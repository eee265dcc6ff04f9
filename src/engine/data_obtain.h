#pragma once
// The install engine's data sources: everything the engine needs from a package (product
// descriptions, compose descriptions, the files of a run) is delivered as a file at a path of
// the engine's choosing. Result codes are in engine_codes.h (kData*); after a description is
// extracted, the code of its integrity check (integrity_check.h) is returned as is.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "engine/engine_codes.h"
#include "engine/file_entry.h"
#include "engine/work_paths.h"
#include "package/deed_box.h"

namespace engine {

// The sub-folder of {I}Temp that an extracted file of that name goes to: two hexadecimal digits
// (64 folders) from the name without regard to case.
std::u16string TempBucket(std::u16string_view temp_name);

class IDataObtain {
 public:
  // Releases everything the source holds (the open package) and frees a heap object.
  virtual void Destroy() = 0;
  virtual uint32_t Reserved1(uint32_t value) = 0;
  // Writes the description of a product to target_path.
  virtual uint32_t ObtainProductIni(const char16_t* product, const char16_t* target_path) = 0;
  // Writes the description of a compose to target_path.
  virtual uint32_t ObtainComposeIni(const char16_t* compose, const char16_t* target_path) = 0;
  // Writes one file of a run to a path of the source's choosing and stores that path in
  // *target_path (normally &entry->extracted_path).
  virtual uint32_t ObtainFile(const FileEntry* entry, std::u16string* target_path) = 0;
  // Called when a run is reset; a non-zero code stops the run.
  virtual uint32_t Prepare() = 0;
  // Closes the package; later requests give kDataNoPackage.
  virtual void ClosePackage() = 0;
  // Called at the end of a run; its code becomes the run's.
  virtual uint32_t Finish(uint32_t value) = 0;
  // Store a value and give it back; nothing in the installer reads them.
  virtual uint32_t SetParam1(uint32_t value) = 0;
  virtual uint32_t SetParam2(uint32_t value) = 0;
  virtual uint32_t Reserved2(uint32_t value) = 0;

 protected:
  virtual ~IDataObtain() = default;
};

class CDataObtain : public IDataObtain {
 public:
  uint32_t SetParam1(uint32_t value) override { return param1_ = value; }
  uint32_t SetParam2(uint32_t value) override { return param2_ = value; }
  uint32_t Reserved2(uint32_t value) override { return kDataOk; }
  uint32_t Param1() const { return param1_; }
  uint32_t Param2() const { return param2_; }

 private:
  uint32_t param1_ = 0;
  uint32_t param2_ = 0;
};

// The source of an install run: one package container. Temporary files of ObtainFile go to the
// "Temp" folder of the install folder that paths describes.
class CInstallDataObtain final : public CDataObtain {
 public:
  explicit CInstallDataObtain(WorkPaths paths);
  // An object owned directly is released by its destructor; Destroy is for heap objects only.
  ~CInstallDataObtain() override;

  // Opens the package at path, replacing one loaded before, and takes its product list.
  // Codes: 0; 2 null path; 15 no container object; 41 no such file (an unopened container object
  // then stays in place, so requests fail with 26 or 27); 16 not a container.
  uint32_t LoadBigFile(const char16_t* path);
  // The package's kind (package::kDeedBoxKind*): 1 means a compose packet. 0 when no package is
  // loaded.
  uint32_t IsComposePacket() const;
  // The package's comma-separated product names, from its header.
  const std::u16string& ProductList() const { return product_list_; }
  // The comma-separated composes a compose packet carries, from its header.
  const std::u16string& PacketComposeList() const { return compose_list_; }

  void Destroy() override;
  uint32_t Reserved1(uint32_t value) override { return kDataOk; }
  // Record "FIX_<product>_1". Codes: 2 a null argument; 25 no package; 26 the record is missing
  // or cannot be written; else the code of CheckProductIni on the written file.
  uint32_t ObtainProductIni(const char16_t* product, const char16_t* target_path) override;
  // Record "CNI-<compose cut at its first '.'>". Codes: 2 a null argument; 25 no package; 27 the
  // record is missing or cannot be written; else the code of CheckCompose on the written file.
  uint32_t ObtainComposeIni(const char16_t* compose, const char16_t* target_path) override;
  // Record "COM-<compose>_<field0>_<field1>_<file>", written as stored (packed or not) to
  // {I}Temp\<bucket>\<compose>_<file>.out, or {I}Temp\<bucket>\<compose>_<field0>_<field1>_<file>.out
  // when the entry's flags have kFilePrefixedCopies (<bucket>: TempBucket of the name). Codes: 2 a null argument; 28 a name that would lead
  // out of the Temp folder (nothing is written); 25 no package; otherwise 0, also when the record cannot be extracted
  // (placing the file then fails and reports it).
  uint32_t ObtainFile(const FileEntry* entry, std::u16string* target_path) override;
  uint32_t Prepare() override { return kDataOk; }
  void ClosePackage() override { box_.reset(); }
  uint32_t Finish(uint32_t value) override { return kDataOk; }

 private:
  WorkPaths paths_;
  std::u16string product_list_;
  std::u16string compose_list_;
  package::DeedBoxPtr box_;
  std::unordered_set<std::u16string> made_buckets_;  // sub-folders of Temp created by this source
};

}  // namespace engine
