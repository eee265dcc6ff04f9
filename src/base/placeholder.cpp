#include "base/placeholder.h"

namespace base {

std::u16string SubstitutePlaceholders(std::u16string_view format,
                                      std::initializer_list<std::u16string_view> values) {
  std::u16string out;
  out.reserve(format.size());
  const std::u16string_view* next = values.begin();
  size_t i = 0;
  while (i < format.size()) {
    const char16_t c = format[i];
    if (c != u'%' || i + 1 >= format.size()) {
      out.push_back(c);
      ++i;
      continue;
    }
    const char16_t after = format[i + 1];
    if (after == u's' && next != values.end()) {
      out.append(next->data(), next->size());
      ++next;
    } else {
      out.push_back(c);
      out.push_back(after);
    }
    i += 2;
  }
  return out;
}

}  // namespace base
