#pragma once
// Comma-separated name lists, as install.ini, update.ini and the descriptions store them
// ("a,b,c", no spaces). Items compare without regard to ASCII case; empty items are ignored and
// are dropped when a list is rewritten after a removal.
#include <string>
#include <string_view>

namespace engine {

bool NameListContains(std::u16string_view list, std::u16string_view name);

// Appends name (after a "," when the list is not empty) unless it is empty or already listed.
// True when it was appended.
bool AppendToNameList(std::u16string* list, std::u16string_view name);

// Removes every item equal to name and rewrites the list from its remaining non-empty items.
// True when an item was removed; the list is left as it was otherwise.
bool RemoveFromNameList(std::u16string* list, std::u16string_view name);

}  // namespace engine
