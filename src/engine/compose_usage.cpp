#include "engine/compose_usage.h"

#include "base/strings.h"
#include "engine/file_entry.h"
#include "engine/product.h"

namespace engine {

void ComposeUsage::Build(ILocalInstall* store, const WorkPaths& paths) {
  rows_.clear();
  const std::u16string installed = store ? store->GetInstalledProducts() : std::u16string();
  const std::vector<std::u16string_view> products = base::SplitList(installed);
  single_product_ = products.size() < 2;
  if (single_product_) return;
  for (std::u16string_view product_name : products) {
    Product product(paths);
    const std::u16string name(product_name);
    product.LoadInstalledProduct(name.c_str());
    for (const auto& compose : product.composes) {
      if (compose->attributes.type != kComposeLoadedWithProduct) continue;
      const std::u16string row_name = base::Cut(compose->name, kMaxFileName);
      bool counted = false;
      for (auto& row : rows_) {
        if (base::EqualsIgnoreAsciiCase(row.first, row_name)) {
          ++row.second;
          counted = true;
          break;
        }
      }
      if (!counted) rows_.emplace_back(row_name, 1);
    }
  }
}

bool ComposeUsage::MayRemove(std::u16string_view compose_name) const {
  if (single_product_) return true;
  for (const auto& row : rows_) {
    if (base::EqualsIgnoreAsciiCase(row.first, compose_name)) return row.second < 2;
  }
  return true;
}

}  // namespace engine
