// Arbitrary bytes as a product description, loaded with the compose closure and the file lists
// of Type 1 composes (a valid description of the compose "Main" is in place, so Type 1 loads
// go deep). Every compose that comes out has a description path inside the install folder, a
// name of its own, attributes within their widths, and passed the OS selection.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "base/strings.h"
#include "desc_fuzz_support.h"
#include "engine/compose.h"
#include "engine/product.h"

namespace {

const char16_t kMainCompose[] =
    u"\uFEFF[Version]\r\nCurVersion=2\r\nPath=Main\r\n[HaveSection]\r\nMain=Files\r\n"
    u"[Files]\r\nmain.exe=,bin,0,2,0,1,0,0,0,0,,,0,,10,0\r\n";

void CheckProduct(const engine::Product& product) {
  const engine::WorkPaths& paths = product.paths;
  std::unordered_set<std::u16string> names;
  for (const auto& compose : product.composes) {
    const engine::ComposeAttributes& a = compose->attributes;
    desc_fuzz::Check(!a.name.empty() && a.name.size() <= engine::kMaxAttributeName);
    desc_fuzz::Check(names.insert(base::ToLowerAscii(a.name)).second);
    desc_fuzz::Check(compose->file_path.compare(0, paths.InstallDir().size(), paths.InstallDir()) == 0);
    desc_fuzz::Check(engine::OsMaskAllows(a.support_os, product.system_os_mask));
    desc_fuzz::Check(a.depends.size() <= engine::kMaxDepends && a.resource.size() <= engine::kMaxResource &&
                     a.parent.size() <= engine::kMaxAttributeName);
    for (const engine::ComposeTexts& texts : a.texts) {
      desc_fuzz::Check(texts.title.size() <= engine::kMaxTitle && texts.detail.size() <= engine::kMaxDetail);
    }
    for (const engine::FileEntry& entry : compose->entries) desc_fuzz::CheckEntry(paths, entry);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  desc_fuzz::SilenceStandardOutput();
  const engine::WorkPaths& paths = desc_fuzz::InstallFolder("product_desc_fuzz");
  const std::u16string main = paths.ComposeFilePath(u"Main", engine::ComposeLocation::kInstalled);
  desc_fuzz::WriteFile(main, reinterpret_cast<const uint8_t*>(kMainCompose), sizeof kMainCompose - 2);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const engine::WorkPaths& paths = desc_fuzz::InstallFolder("product_desc_fuzz");
  const std::u16string path = paths.ProductFilePath(u"Fuzz");
  desc_fuzz::WriteFile(path, data, size);

  engine::Product product(paths);
  product.LoadInstalledProduct(u"Fuzz");
  CheckProduct(product);

  // The same file with its own "All" as an explicit list, and with every system selected.
  engine::Product listed(paths);
  listed.system_os_mask = 0xFFFFFFFF;
  const std::u16string all = product.ini.GetString(u"HaveCompose", u"All");
  listed.LoadProduct(path.c_str(), engine::ComposeLocation::kInstalled, all.c_str(), engine::kLoadComposeFiles);
  for (const auto& compose : listed.composes) {
    desc_fuzz::Check(compose->file_path.compare(0, paths.InstallDir().size(), paths.InstallDir()) == 0);
    for (const engine::FileEntry& entry : compose->entries) desc_fuzz::CheckEntry(paths, entry);
  }
  return 0;
}
