#include "suite_load.h"

#include "base/strings.h"
#include "cli.h"
#include "platform/fs.h"
#include "suite_steps.h"

namespace norvpack {

std::string Quoted(const std::u16string& text) { return "'" + Narrow(text) + "'"; }

std::string TooLong(const std::string& what, const std::u16string& text, size_t limit) {
  return what + " " + Quoted(text) + " has " + std::to_string(text.size()) + " characters; at most " +
         std::to_string(limit) + " fit";
}

std::vector<std::u16string> SplitList(const std::u16string& list, char16_t separator, bool keep_empty) {
  const std::vector<std::u16string_view> items = base::SplitList(list, separator, keep_empty);
  return std::vector<std::u16string>(items.begin(), items.end());
}

bool ContainsName(const std::vector<std::u16string>& names, const std::u16string& name) {
  for (const auto& n : names) {
    if (base::EqualsIgnoreAsciiCase(n, name)) return true;
  }
  return false;
}

bool IsRegularFile(const std::u16string& path) { return platform::PathExists(path) && !platform::IsDirectory(path); }

const SuiteFile* FindFile(const SuiteCompose& compose, const std::u16string& name, const std::u16string* section) {
  for (const auto& f : compose.files) {
    if (!base::EqualsIgnoreAsciiCase(f.entry.file_name, name)) continue;
    if (section && !base::EqualsIgnoreAsciiCase(f.entry.section_name, *section)) continue;
    return &f;
  }
  return nullptr;
}

bool SuiteLoad::IsCompose(const std::u16string& name) const {
  for (const auto& use : uses) {
    if (base::EqualsIgnoreAsciiCase(use.name, name)) return true;
  }
  return false;
}

SuiteCompose* Suite::FindComposeByName(const std::u16string& name) const {
  for (const auto& c : composes) {
    if (ContainsName(c->names, name)) return c.get();
  }
  return nullptr;
}

bool LoadSuite(const std::u16string& dir, Suite* suite, SuiteError* error) {
  suite->dir = dir;
  SuiteLoad load;
  load.dir = dir;
  load.suite = suite;
  load.error = error;
  return LoadSettings(load) && LoadProducts(load) && LoadComposes(load) && CheckShortcuts(load) && LoadSkin(load);
}

}  // namespace norvpack
