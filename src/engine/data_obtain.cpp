#include "engine/data_obtain.h"

#include "base/crc32.h"
#include "base/format.h"
#include "base/path.h"
#include "base/strings.h"
#include "package/file_utils.h"
#include "engine/engine_codes.h"
#include "engine/integrity_check.h"
#include "platform/fs.h"

namespace engine {

std::u16string TempBucket(std::u16string_view temp_name) {
  const std::u16string lower = base::ToLowerAscii(temp_name);
  const uint32_t crc = base::Crc32(lower.data(), lower.size() * sizeof(char16_t));
  return base::Format(8, u"%02x", crc & 0x3f);
}

CInstallDataObtain::CInstallDataObtain(WorkPaths paths) : paths_(std::move(paths)) {}

CInstallDataObtain::~CInstallDataObtain() = default;

void CInstallDataObtain::Destroy() { delete this; }

uint32_t CInstallDataObtain::LoadBigFile(const char16_t* path) {
  if (!path) return kDataNullArgument;
  box_.reset();
  box_.reset(package::CreateDeedBox());
  if (!box_) return kDataNoContainerObject;
  if (!platform::PathExists(path)) return kDataPackageMissing;
  if (!box_->Open(path)) return kDataNotAContainer;
  product_list_ = box_->GetProductList();
  compose_list_ = box_->GetComposeList();
  return kDataOk;
}

uint32_t CInstallDataObtain::IsComposePacket() const { return box_ ? box_->GetKind() : 0; }

uint32_t CInstallDataObtain::ObtainProductIni(const char16_t* product, const char16_t* target_path) {
  if (!product || !target_path) return kDataNullArgument;
  if (!box_) return kDataNoPackage;
  if (!box_->ExtractFix(1, product, target_path)) return kDataProductIniMissing;
  return CheckProductIni(target_path);
}

uint32_t CInstallDataObtain::ObtainComposeIni(const char16_t* compose, const char16_t* target_path) {
  if (!compose || !target_path) return kDataNullArgument;
  if (!box_) return kDataNoPackage;
  if (!box_->ExtractComposeIni(compose, target_path)) return kDataComposeIniMissing;
  return CheckCompose(target_path);
}

uint32_t CInstallDataObtain::ObtainFile(const FileEntry* entry, std::u16string* target_path) {
  if (!entry || !target_path) return kDataNullArgument;
  if (!box_) return kDataNoPackage;
  std::u16string output_name = entry->file_name + u".out";
  if (entry->flags & kFilePrefixedCopies) {
    output_name = entry->source_folder + u"_" + entry->dest_folder + u"_" + output_name;
  }
  // The names come from a description; "%" and "$" destinations may hold anything.
  const std::u16string temp_name = entry->compose_name + u"_" + output_name;
  if (!base::IsContainedRelativePath(temp_name)) return kDataUnsafeName;
  // Spread over sub-folders: creating a file costs time in proportion to the files beside it
  // on some file systems, and a run may extract thousands.
  const std::u16string bucket = TempBucket(temp_name);
  if (made_buckets_.insert(bucket).second) package::CreatePath(paths_.TempFilePath(bucket + u"\\").c_str());
  *target_path = paths_.TempFilePath(bucket + u"\\" + temp_name);
  box_->ExtractComposeFile(entry->compose_name.c_str(), entry->source_folder.c_str(), entry->dest_folder.c_str(),
                           entry->file_name.c_str(), target_path->c_str());
  return kDataOk;
}

}  // namespace engine
