#pragma once
// Filling the text placeholders of a format that comes from a file (report addresses in the
// installed information file and the setup settings). Such a format is never handed to a
// printf-style function: only "%s" is replaced, by the values in order, and every other "%"
// sequence is copied as it stands ("%d", "%20", a "%s" beyond the values). "%%" is copied as it
// stands too, and the "s" after it does not start a placeholder.
#include <initializer_list>
#include <string>
#include <string_view>

namespace base {

std::u16string SubstitutePlaceholders(std::u16string_view format,
                                      std::initializer_list<std::u16string_view> values);

}  // namespace base
