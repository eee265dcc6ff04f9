#pragma once
// Which composes an uninstall may remove: a compose that two or more installed products list as
// Type 1 stays installed while one of them remains.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/local_install.h"
#include "engine/work_paths.h"

namespace engine {

class ComposeUsage {
 public:
  // With fewer than two installed products every compose may be removed; otherwise each
  // installed product's description is loaded and counts its Type 1 composes.
  void Build(ILocalInstall* store, const WorkPaths& paths);
  // True with a single installed product, for a compose no product counts, or a count below 2.
  bool MayRemove(std::u16string_view compose_name) const;

 private:
  bool single_product_ = true;
  std::vector<std::pair<std::u16string, uint32_t>> rows_;  // name (at most 259), use count
};

}  // namespace engine
