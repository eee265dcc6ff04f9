// [Shortcut] and [ShortcutParent] of the products and composes: a shortcut that targets no file of
// the suite, or goes into a folder that no product defines, would be passed over by the installer.
#include "base/strings.h"
#include "suite_steps.h"

namespace norvpack {
namespace {

bool CheckShortcutParents(SuiteLoad& load, const LocatedIni& d, const std::u16string& id,
                          const std::vector<std::u16string>& folders) {
  for (const auto& folder : SplitList(d.ini().GetString(u"ShortcutParent", id), u',', false)) {
    if (!ContainsName(folders, folder)) {
      return load.Fail(d.Error(d.KeyLine(u"ShortcutParent", id), "shortcut " + Quoted(id) + " goes into folder " +
                                                                     Quoted(folder) +
                                                                     ", which no product's [ShortcutFolder] defines"));
    }
  }
  return true;
}

// Product shortcuts name "<compose>-<file>"; compose shortcuts "<section>-<file>" of their own
// compose. Both are split as the installer splits them.
const SuiteFile* ShortcutTarget(const Suite& suite, const SuiteCompose* own, const std::u16string& target) {
  if (!own) {
    const auto parts = SplitList(target, u'-', false);
    const SuiteCompose* compose = parts.size() >= 2 ? suite.FindComposeByName(parts[0]) : nullptr;
    return compose ? FindFile(*compose, parts[1]) : nullptr;
  }
  const size_t dash = target.find(u'-');
  if (dash == std::u16string::npos) return nullptr;
  const std::u16string section = target.substr(0, dash);
  return FindFile(*own, target.substr(dash + 1), &section);
}

bool CheckShortcutsOf(SuiteLoad& load, const LocatedIni& d, const SuiteCompose* own,
                      const std::vector<std::u16string>& folders) {
  const app::IniSection* shortcuts = d.ini().FindSection(u"Shortcut");
  for (size_t j = 0; shortcuts && j < shortcuts->EntryCount(); ++j) {
    const app::IniEntry* e = shortcuts->EntryAt(j);
    if (!ShortcutTarget(*load.suite, own, e->Value())) {
      return load.Fail(d.Error(e->Line(), "shortcut " + Quoted(e->Key()) + " targets " + Quoted(e->Value()) +
                                              ", which is not a file of the suite (write " +
                                              (own ? "section-file)" : "compose-file)")));
    }
    if (!CheckShortcutParents(load, d, e->Key(), folders)) return false;
  }
  return true;
}

}  // namespace

bool CheckShortcuts(SuiteLoad& load) {
  std::vector<std::u16string> folders;
  for (const auto& product : load.suite->products) {
    if (const app::IniSection* s = product->description.ini().FindSection(u"ShortcutFolder")) {
      for (size_t j = 0; j < s->EntryCount(); ++j) folders.push_back(s->EntryAt(j)->Key());
    }
  }
  for (const auto& product : load.suite->products) {
    if (!CheckShortcutsOf(load, product->description, nullptr, folders)) return false;
  }
  for (const auto& compose : load.suite->composes) {
    if (!CheckShortcutsOf(load, compose->description, compose.get(), folders)) return false;
  }
  return true;
}

}  // namespace norvpack
