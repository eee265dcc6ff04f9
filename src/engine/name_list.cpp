#include "engine/name_list.h"

#include "base/strings.h"

namespace engine {

bool NameListContains(std::u16string_view list, std::u16string_view name) {
  for (std::u16string_view item : base::SplitList(list)) {
    if (base::EqualsIgnoreAsciiCase(item, name)) return true;
  }
  return false;
}

bool AppendToNameList(std::u16string* list, std::u16string_view name) {
  if (name.empty() || NameListContains(*list, name)) return false;
  if (!list->empty()) list->push_back(u',');
  list->append(name);
  return true;
}

bool RemoveFromNameList(std::u16string* list, std::u16string_view name) {
  std::u16string kept;
  bool removed = false;
  for (std::u16string_view item : base::SplitList(*list)) {
    if (base::EqualsIgnoreAsciiCase(item, name)) {
      removed = true;
      continue;
    }
    if (!kept.empty()) kept.push_back(u',');
    kept.append(item);
  }
  if (removed) *list = std::move(kept);
  return removed;
}

}  // namespace engine
