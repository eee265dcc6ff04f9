// A whole setup file through every portable parser the installer runs on it, in the installer's
// order: the payload table; the skin part (copied out, unpacked, its container opened, its group
// and the package's digest extracted); the package part (copied out, its container and index
// opened); the style group and its Setup.ini entries; the product and compose descriptions
// (extracted, checked, loaded); the files of the run (packed ones unpacked); the resource
// archives. Unlike the installer it goes on past a digest that does not match, so that damaged
// bytes reach the deeper parsers. Whatever the bytes, nothing is written outside the work folder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/ini_reader.h"
#include "base/strings.h"
#include "desc_fuzz_support.h"
#include "engine/compose.h"
#include "engine/data_obtain.h"
#include "engine/product.h"
#include "engine/registry_entries.h"
#include "engine/res_archive_install.h"
#include "package/deed_box.h"
#include "package/packed_file.h"
#include "package/payload.h"
#include "platform/fs.h"

namespace {

using fuzz_support::Check;

// Runs bounded by what a setup file of the example's size holds.
constexpr size_t kMaxComposes = 64;
constexpr size_t kMaxFiles = 512;

bool IsResArchive(const engine::FileEntry& entry) {
  for (const char16_t* name : engine::kResArchiveNames) {
    if (base::EqualsIgnoreAsciiCase(entry.file_name, std::u16string(name) + u".dat")) return true;
  }
  return false;
}

// The run's files of one compose: extracted as stored, unpacked when packed; resource archives
// go where the engine places them, for UnzipResFiles.
void ObtainFiles(engine::CInstallDataObtain& source, const engine::WorkPaths& paths, engine::Compose& compose,
                 engine::FileEntryList* files) {
  for (engine::FileEntry& entry : compose.entries) {
    if (files->size() >= kMaxFiles) return;
    entry.compose_name = compose.name;
    if (source.ObtainFile(&entry, &entry.extracted_path) != engine::kDataOk) continue;
    std::u16string placed = entry.extracted_path;
    if (entry.packed == 1) {
      placed += u".unpacked";
      if (package::ZQP_UnPackFile(entry.extracted_path.c_str(), placed.c_str()) != package::kUnpackOk) continue;
    }
    if (IsResArchive(entry)) {
      const std::u16string target = paths.InstallDir(u"ProgData\\" + entry.file_name);
      package::CreatePath(target.c_str());
      platform::CopyFileOverwriting(placed, target);
    }
    files->push_back(entry);
  }
}

void InstallFromPackage(const std::u16string& package_path, const std::u16string& install) {
  const engine::WorkPaths paths(install);
  package::CreatePath(paths.TempFilePath().c_str());
  const std::u16string style = install + u"Style/";
  if (package::DeedBoxPtr box{package::CreateDeedBox()}; box && box->Open(package_path.c_str())) {
    box->ExtractGroup(package::kSkinGroupPart2, style.c_str());
  }
  app::CIniReader settings;
  if (settings.LoadTzFile(style + u"Setup.ini")) engine::ReadInstallEntries(settings, install);

  engine::CInstallDataObtain source(paths);
  if (source.LoadBigFile(package_path.c_str()) != engine::kDataOk) return;
  std::vector<std::u16string> composes;
  if (source.IsComposePacket() == package::kDeedBoxKindComposePacket) {
    for (std::u16string_view name : base::SplitList(source.PacketComposeList())) composes.emplace_back(name);
  }
  for (std::u16string_view name : base::SplitList(source.ProductList())) {
    const std::u16string description = paths.TempFilePath(std::u16string(name) + u".ini");
    if (source.ObtainProductIni(std::u16string(name).c_str(), description.c_str()) != engine::kOk) continue;
    engine::Product product(paths);
    product.LoadProduct(description.c_str(), engine::ComposeLocation::kSource, nullptr, 0);
    for (const auto& compose : product.composes) composes.push_back(compose->attributes.name);
  }
  engine::FileEntryList files;
  for (size_t i = 0; i < composes.size() && i < kMaxComposes; ++i) {
    const std::u16string description = paths.TempFilePath(composes[i] + u".out");
    if (source.ObtainComposeIni(composes[i].c_str(), description.c_str()) != engine::kOk) continue;
    engine::Compose compose(paths);
    compose.name = composes[i];
    if (compose.LoadComposeFiles(description.c_str()) != engine::kOk) continue;
    ObtainFiles(source, paths, compose, &files);
  }
  source.ClosePackage();
  engine::UnzipResFiles(files, install);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  desc_fuzz::SilenceStandardOutput();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string& folder = fuzz_support::WorkFolder("setup_file_fuzz");
  const std::u16string program = folder + u"Setup.exe";
  const std::u16string box = folder + u"box/";
  if (!package::WriteWholeFile(program.c_str(), data, static_cast<uint32_t>(size), false)) return 0;
  package::PayloadTable table;
  Check(package::HasPackagePart(program) == (package::ReadPayloadTable(data, size, &table) && table.HasPart2()));

  std::u16string url;
  std::string digest;
  package::CreatePath((box + u"work/").c_str());
  package::PrepareSkinPartFrom(program, box + u"work/", &url, &digest);
  Check(digest.empty() || digest.size() == package::kPackageDigestChars);
  const std::u16string package_path = package::ExtractBigFileFrom(program, box + u"work/", 1);
  if (!package_path.empty()) {
    package::FileMatchesDigest(package_path, digest);
    InstallFromPackage(package_path, box + u"install/");
  }

  // Only the program and the box may be in the folder.
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(folder, &entries);
  for (const auto& e : entries) Check(e.name == u"Setup.exe" || e.name == u"box");
  package::DeleteTree(box.c_str(), true);
  return 0;
}
