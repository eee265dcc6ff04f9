#include "engine/name_list.h"

#include "base/strings.h"

namespace engine {

std::vector<std::u16string_view> SplitNameList(std::u16string_view list) {
  std::vector<std::u16string_view> items;
  size_t start = 0;
  for (size_t i = 0; i <= list.size(); ++i) {
    if (i == list.size() || list[i] == u',') {
      if (i > start) items.push_back(list.substr(start, i - start));
      start = i + 1;
    }
  }
  return items;
}

bool NameListContains(std::u16string_view list, std::u16string_view name) {
  for (std::u16string_view item : SplitNameList(list)) {
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
  for (std::u16string_view item : SplitNameList(*list)) {
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
