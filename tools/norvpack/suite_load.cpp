#include "suite_load.h"

#include <algorithm>

#include "base/path.h"
#include "base/strings.h"
#include "cli.h"
#include "engine/compose.h"
#include "engine/registry_entries.h"
#include "engine/work_paths.h"
#include "package/deed_box.h"
#include "package/payload.h"
#include "platform/fs.h"

namespace norvpack {
namespace {

constexpr size_t kMaxRecordName = package::kDeedBoxNameUnits - 1;
constexpr size_t kMaxProductList = package::kDeedBoxProductListUnits - 1;
constexpr size_t kMaxComposeList = 511;
constexpr int kMaxNumberedSections = 99;

// Skin files that the installer reads as key-value files; authors may write them in UTF-8.
const char16_t* const kSkinTextFiles[] = {u"Setup.ini", u"Draw.dat", u"norvframe.ini"};

std::string Quoted(const std::u16string& text) { return "'" + Narrow(text) + "'"; }

std::vector<std::u16string> SplitList(const std::u16string& list, char16_t separator, bool keep_empty) {
  std::vector<std::u16string> items;
  size_t start = 0;
  for (;;) {
    const size_t end = list.find(separator, start);
    std::u16string item = list.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
    if (keep_empty || !item.empty()) items.push_back(item);
    if (end == std::u16string::npos) break;
    start = end + 1;
  }
  return items;
}

bool ContainsName(const std::vector<std::u16string>& names, const std::u16string& name) {
  for (const auto& n : names) {
    if (base::EqualsIgnoreAsciiCase(n, name)) return true;
  }
  return false;
}

bool IsNoParent(const std::u16string& parent) { return parent.empty() || parent == u"\"\""; }

// A plain file name: one component that stays in its folder.
bool IsPlainName(const std::u16string& name) {
  if (!base::IsContainedRelativePath(name)) return false;
  for (char16_t c : name) {
    if (base::IsSeparator(c)) return false;
  }
  return true;
}

std::u16string Join(const std::u16string& a, const std::u16string& b) { return base::JoinPath(a, b); }

bool IsRegularFile(const std::u16string& path) { return platform::PathExists(path) && !platform::IsDirectory(path); }

std::string TooLong(const std::string& what, const std::u16string& text, size_t limit) {
  return what + " " + Quoted(text) + " has " + std::to_string(text.size()) + " characters; at most " +
         std::to_string(limit) + " fit";
}

class SuiteLoader {
 public:
  SuiteLoader(const std::u16string& dir, Suite* suite, SuiteError* error) : dir_(dir), suite_(suite), error_(error) {
    suite_->dir = dir;
  }

  bool Run() {
    return LoadSettings() && LoadProducts() && LoadComposes() && CheckUnusedDescriptions() && CheckShortcuts() &&
           LoadSkin();
  }

 private:
  bool Fail(const SuiteError& error) {
    *error_ = error;
    return false;
  }
  bool Fail(const std::string& file, int line, const std::string& message) {
    return Fail(SuiteError{file, line, message});
  }

  // ---- suite.ini ----

  bool LoadSettings() {
    if (!platform::IsDirectory(dir_)) return Fail("", 0, Narrow(dir_) + " is not a folder");
    if (!settings_.Load(dir_, kSuiteSettingsFile, error_)) {
      if (!IsRegularFile(Join(dir_, Widen(kSuiteSettingsFile)))) {
        return Fail(kSuiteSettingsFile, 0, "missing: a suite folder starts with its settings file");
      }
      return false;
    }
    app::CIniReader& ini = settings_.ini();
    SuiteSettings& s = suite_->settings;
    const std::u16string products = std::u16string(base::TrimBlanks(ini.GetString(u"Suite", u"Products")));
    const int products_line = settings_.KeyLine(u"Suite", u"Products");
    if (products.empty()) return Fail(settings_.Error(products_line, "[Suite] Products names no product"));
    if (products.size() > kMaxProductList) {
      return Fail(settings_.Error(products_line, TooLong("the product list", products, kMaxProductList)));
    }
    for (const auto& item : SplitList(products, u',', false)) {
      const std::u16string name(base::TrimBlanks(item));
      if (!IsPlainName(name)) return Fail(settings_.Error(products_line, "product name " + Quoted(name) + " is not a plain file name"));
      if (ContainsName(s.products, name)) return Fail(settings_.Error(products_line, "product " + Quoted(name) + " is listed twice"));
      s.products.push_back(name);
    }
    suite_->product_list.clear();
    for (const auto& p : s.products) suite_->product_list += (suite_->product_list.empty() ? u"" : u",") + p;

    s.download_url = std::u16string(base::TrimBlanks(ini.GetString(u"Suite", u"DownloadUrl")));
    if (s.download_url.size() > kMaxComposeList) {
      return Fail(settings_.Error(settings_.KeyLine(u"Suite", u"DownloadUrl"),
                                  TooLong("the download address", s.download_url, kMaxComposeList)));
    }
    const std::u16string check = std::u16string(base::TrimBlanks(ini.GetString(u"Suite", u"CheckString")));
    if (!check.empty() && check != u"0" && check != u"1") {
      return Fail(settings_.Error(settings_.KeyLine(u"Suite", u"CheckString"), "CheckString must be 0 or 1"));
    }
    s.check_string = check == u"1";
    const std::u16string time = std::u16string(base::TrimBlanks(ini.GetString(u"Suite", u"ArchiveTime")));
    uint64_t seconds = 0;
    for (char16_t c : time) {
      if (c < u'0' || c > u'9' || seconds > UINT32_MAX) {
        seconds = UINT64_MAX;
        break;
      }
      seconds = seconds * 10 + static_cast<uint64_t>(c - u'0');
    }
    if (seconds > UINT32_MAX) {
      return Fail(settings_.Error(settings_.KeyLine(u"Suite", u"ArchiveTime"),
                                  "ArchiveTime must be a number of seconds since 1970 from 0 to 4294967295"));
    }
    s.archive_time = static_cast<uint32_t>(seconds);
    return true;
  }

  // ---- products ----

  struct ComposeUse {
    std::u16string name;
    uint32_t type = 0;
    std::string file;  // where it was named, for errors
    int line = 0;
  };

  bool LoadProducts() {
    for (const auto& name : suite_->settings.products) {
      auto product = std::make_unique<SuiteProduct>();
      product->name = name;
      const std::string relative = "products/" + Narrow(name) + ".out";
      if (!IsRegularFile(Join(dir_, Widen(relative)))) {
        return Fail(settings_.Error(settings_.KeyLine(u"Suite", u"Products"),
                                    "product " + Quoted(name) + " has no description: " + relative + " is missing"));
      }
      if (package::FixRecordName(1, name).size() > kMaxRecordName) {
        return Fail(settings_.Error(settings_.KeyLine(u"Suite", u"Products"),
                                    TooLong("the package record name", package::FixRecordName(1, name), kMaxRecordName)));
      }
      if (!product->description.Load(dir_, relative, error_)) return false;
      if (!LoadClosure(product.get())) return false;
      suite_->products.push_back(std::move(product));
    }
    return true;
  }

  // The closure of the installer's product loader: each name of "All", its parent chain, then
  // each of its resources with their parent chains; every name once.
  bool LoadClosure(SuiteProduct* product) {
    LocatedIni& d = product->description;
    app::CIniReader& ini = d.ini();
    const std::u16string all = ini.GetString(u"HaveCompose", u"All");
    const int all_line = d.KeyLine(u"HaveCompose", u"All");
    if (SplitList(all, u',', false).empty()) return Fail(d.Error(all_line, "[HaveCompose] All names no compose"));

    std::vector<std::u16string>& names = product->composes;
    auto add = [&](const std::u16string& name, const std::string& role, int line) {
      if (ContainsName(names, name)) return true;
      if (!ini.FindSection(name)) {
        return Fail(d.Error(line, role + " compose " + Quoted(name) + " does not exist: no [" + Narrow(name) +
                                      "] section in this product"));
      }
      names.push_back(name);
      return CheckComposeSection(product, name);
    };
    auto add_chain = [&](const std::u16string& start) {
      std::u16string current = start;
      std::vector<std::u16string> chain{start};
      for (;;) {
        const std::u16string parent = ini.GetString(current, u"Parent");
        if (IsNoParent(parent) || ContainsName(chain, parent)) return true;
        if (!add(parent, "parent", d.KeyLine(current, u"Parent"))) return false;
        chain.push_back(parent);
        current = parent;
      }
    };
    for (const auto& item : SplitList(all, u',', false)) {
      if (!add(item, "listed", all_line) || !add_chain(item)) return false;
      for (const auto& resource : SplitList(ini.GetString(item, u"Resource"), u',', false)) {
        if (!add(resource, "resource", d.KeyLine(item, u"Resource")) || !add_chain(resource)) return false;
      }
    }
    for (const auto& name : names) {
      if (!ContainsName(compose_names_, name)) {
        std::u16string list = suite_->compose_list;
        list += (list.empty() ? u"" : u",") + name;
        if (list.size() > kMaxComposeList) {
          return Fail(d.Error(all_line, TooLong("the package's compose list", list, kMaxComposeList)));
        }
        suite_->compose_list = list;
        compose_names_.push_back(name);
        uses_.push_back(ComposeUse{name, static_cast<uint32_t>(ini.GetInt(name, u"Type", 0)), d.relative(),
                                   d.SectionLine(ini.FindSection(name))});
      }
    }
    return true;
  }

  bool CheckComposeSection(SuiteProduct* product, const std::u16string& name) {
    LocatedIni& d = product->description;
    const app::CIniReader& ini = d.ini();
    const int line = d.SectionLine(ini.FindSection(name));
    if (name.size() > engine::kMaxAttributeName) return Fail(d.Error(line, TooLong("compose name", name, engine::kMaxAttributeName)));
    struct Limit {
      std::u16string key;
      size_t max;
    };
    std::vector<Limit> limits = {{u"Parent", engine::kMaxAttributeName},
                                 {u"Depends", engine::kMaxDepends},
                                 {u"Resource", engine::kMaxResource}};
    for (const char16_t* suffix : engine::kLanguageSuffixes) {
      limits.push_back({std::u16string(u"Title") + suffix, engine::kMaxTitle});
      limits.push_back({std::u16string(u"Detail") + suffix, engine::kMaxDetail});
    }
    for (const auto& limit : limits) {
      const std::u16string& value = ini.GetString(name, limit.key);
      if (value.size() > limit.max) {
        return Fail(d.Error(d.KeyLine(name, limit.key), TooLong(Narrow(limit.key) + " of compose " + Quoted(name), value, limit.max)));
      }
    }
    return true;
  }

  // ---- compose descriptions ----

  bool LoadComposes() {
    for (const auto& use : uses_) {
      if (use.type == engine::kComposeGroupOnly) continue;
      const std::u16string prefix(engine::ComposePrefix(use.name));
      if (SuiteCompose* shared = FindByPrefix(prefix)) {
        shared->names.push_back(use.name);
        continue;
      }
      const std::string relative = "composes/" + Narrow(prefix) + ".out";
      if (!IsPlainName(prefix) || !IsRegularFile(Join(dir_, Widen(relative)))) {
        return Fail(use.file, use.line, "compose " + Quoted(use.name) + " has no description: " + relative + " is missing");
      }
      if (package::ComposeIniRecordName(prefix).size() > kMaxRecordName) {
        return Fail(use.file, use.line,
                    TooLong("the package record name", package::ComposeIniRecordName(prefix), kMaxRecordName));
      }
      auto compose = std::make_unique<SuiteCompose>();
      compose->prefix = prefix;
      compose->names.push_back(use.name);
      if (!compose->description.Load(dir_, relative, error_)) return false;
      suite_->composes.push_back(std::move(compose));
    }
    for (auto& compose : suite_->composes) {
      if (!LoadComposeFiles(compose.get())) return false;
    }
    for (auto& compose : suite_->composes) {
      if (!CheckComposeExtras(compose.get())) return false;
    }
    return true;
  }

  SuiteCompose* FindByPrefix(const std::u16string& prefix) const {
    for (const auto& c : suite_->composes) {
      if (base::EqualsIgnoreAsciiCase(c->prefix, prefix)) return c.get();
    }
    return nullptr;
  }

  bool LoadComposeFiles(SuiteCompose* compose) {
    LocatedIni& d = compose->description;
    app::CIniReader& ini = d.ini();
    const std::u16string& path = ini.GetString(u"Version", u"Path");
    if (path.size() > engine::kMaxComposePath) {
      return Fail(d.Error(d.KeyLine(u"Version", u"Path"), TooLong("Path", path, engine::kMaxComposePath)));
    }
    if (!path.empty() && !base::IsContainedRelativePath(path)) {
      return Fail(d.Error(d.KeyLine(u"Version", u"Path"), "Path " + Quoted(path) + " leads out of the install folder"));
    }
    const app::IniSection* have = ini.FindSection(u"HaveSection");
    if (!have) return Fail(d.Error(0, "no [HaveSection]: the installer needs the list of file sections"));
    if (have->EntryCount() == 0) return Fail(d.Error(d.SectionLine(have), "[HaveSection] lists no file section"));
    std::vector<std::u16string> loaded;
    for (size_t h = 0; h < have->EntryCount(); ++h) {
      const int have_line = d.EntryLine(have, h);
      for (const auto& name : SplitList(have->EntryAt(h)->Value(), u',', false)) {
        if (ContainsName(loaded, name)) continue;
        if (name.size() > engine::kMaxSectionName) return Fail(d.Error(have_line, TooLong("file section name", name, engine::kMaxSectionName)));
        const app::IniSection* section = ini.FindSection(name);
        if (!section) {
          return Fail(d.Error(have_line, "file section " + Quoted(name) + " listed in [HaveSection] does not exist"));
        }
        loaded.push_back(name);
        size_t section_index = 0;
        while (ini.SectionAt(section_index) != section) ++section_index;
        for (size_t j = 0; j < section->EntryCount(); ++j) {
          if (!LoadFileLine(compose, section, section_index, j)) return false;
        }
      }
    }
    return true;
  }

  bool LoadFileLine(SuiteCompose* compose, const app::IniSection* section, size_t section_index, size_t j) {
    LocatedIni& d = compose->description;
    const app::IniEntry* e = section->EntryAt(j);
    const int line = d.EntryLine(section, j);
    const std::u16string key(base::TrimBlanks(e->Key()));
    if (key.empty()) return Fail(d.Error(line, "malformed file line: no file name before \"=\""));
    if (key.size() > engine::kMaxFileName) return Fail(d.Error(line, TooLong("file name", key, engine::kMaxFileName)));
    const std::vector<std::u16string> fields = SplitList(e->Value(), u',', true);
    if (fields.size() < engine::kMinFileFields) {
      return Fail(d.Error(line, "malformed file line: " + std::to_string(fields.size()) + " fields, at least " +
                                    std::to_string(engine::kMinFileFields) + " are needed"));
    }
    for (size_t k = 0; k < fields.size() && k < engine::kMaxFileFields; ++k) {
      if (fields[k].size() > engine::kMaxFieldText) {
        return Fail(d.Error(line, "malformed file line: " + TooLong("field " + std::to_string(k), fields[k], engine::kMaxFieldText)));
      }
    }
    SuiteFile file;
    file.section_index = section_index;
    file.entry_index = j;
    file.line = line;
    if (!engine::ParseFileEntry(key, e->Value(), &file.entry)) {
      return Fail(d.Error(line, "malformed file line: the file name, field 0 or field 1 leads out of its folder"));
    }
    const std::u16string packed(base::TrimBlanks(fields[2]));
    if (!packed.empty() && packed != u"0" && packed != u"1") {
      return Fail(d.Error(line, "malformed file line: field 2 is " + Quoted(packed) + "; it must be 0 (plain) or 1 (packed)"));
    }
    file.entry.compose_name = compose->prefix;
    file.entry.section_name = section->Name();
    for (const auto& other : compose->files) {
      if (base::EqualsIgnoreAsciiCase(other.entry.file_name, file.entry.file_name)) {
        return Fail(d.Error(line, "file " + Quoted(key) + " is listed twice in this compose (first at line " +
                                      std::to_string(other.line) + ")"));
      }
    }
    const std::u16string record = package::ComposeFileRecordName(compose->prefix, file.entry.source_folder,
                                                                 file.entry.dest_folder, file.entry.file_name);
    if (record.size() > kMaxRecordName) return Fail(d.Error(line, TooLong("the package record name", record, kMaxRecordName)));

    std::u16string folder = Join(Join(dir_, u"files"), compose->prefix);
    std::string shown = "files/" + Narrow(compose->prefix) + "/";
    if (!file.entry.source_folder.empty()) {
      folder = Join(folder, file.entry.source_folder);
      std::u16string f0 = file.entry.source_folder;
      std::replace(f0.begin(), f0.end(), u'\\', u'/');
      shown += Narrow(f0) + "/";
    }
    file.source = Join(folder, file.entry.file_name);
    shown += Narrow(file.entry.file_name);
    if (!IsRegularFile(file.source)) {
      const std::u16string& name = file.entry.file_name;
      const bool dat = base::EndsWithIgnoreAsciiCase(name, u".dat");
      const std::u16string stem = dat ? name.substr(0, name.size() - 4) : u"";
      const std::u16string archive = Join(Join(dir_, u"archives"), stem);
      if (dat && IsPlainName(stem) && platform::IsDirectory(archive)) {
        file.source = archive;
        file.is_archive = true;
      } else {
        return Fail(d.Error(line, "file " + Quoted(name) + " is missing: " + shown + " does not exist" +
                                      (dat ? " and there is no folder archives/" + Narrow(stem) + "/" : "")));
      }
    }
    compose->files.push_back(std::move(file));
    return true;
  }

  // OptionPlugin, OldFile_Map and Info.
  bool CheckComposeExtras(SuiteCompose* compose) {
    LocatedIni& d = compose->description;
    const app::CIniReader& ini = d.ini();
    if (const app::IniSection* options = ini.FindSection(u"OptionPlugin")) {
      std::vector<std::pair<std::u16string, size_t>> counts;
      for (size_t j = 0; j < options->EntryCount(); ++j) {
        const app::IniEntry* e = options->EntryAt(j);
        const int line = d.EntryLine(options, j);
        const std::u16string file(base::TrimBlanks(e->Key()));
        if (!FindFile(*compose, file)) {
          return Fail(d.Error(line, "OptionPlugin names " + Quoted(file) + ", which is not a file of this compose"));
        }
        const auto items = SplitList(e->Value(), u',', true);
        if (items.size() != 2) {
          return Fail(d.Error(line, "an OptionPlugin value is an option name and a value separated by one comma"));
        }
        for (const auto& item : items) {
          if (item.size() > engine::kMaxOptionText) return Fail(d.Error(line, TooLong("option text", item, engine::kMaxOptionText)));
        }
        size_t* count = nullptr;
        for (auto& c : counts) {
          if (base::EqualsIgnoreAsciiCase(c.first, file)) count = &c.second;
        }
        if (!count) {
          counts.emplace_back(file, 0);
          count = &counts.back().second;
        }
        if (++*count > engine::kMaxOptionPairs) {
          return Fail(d.Error(line, "file " + Quoted(file) + " has more than " + std::to_string(engine::kMaxOptionPairs) +
                                        " OptionPlugin pairs"));
        }
      }
    }
    if (const app::IniSection* map = ini.FindSection(u"OldFile_Map")) {
      for (size_t j = 0; j < map->EntryCount(); ++j) {
        const std::u16string target(base::TrimBlanks(map->EntryAt(j)->Value()));
        if (!ContainsName(compose_names_, target)) {
          return Fail(d.Error(d.EntryLine(map, j), "OldFile_Map moves " + Quoted(map->EntryAt(j)->Key()) +
                                                       " to compose " + Quoted(target) + ", which does not exist"));
        }
      }
    }
    for (const char16_t* suffix : engine::kLanguageSuffixes) {
      const std::u16string title = std::u16string(u"Title") + suffix, detail = std::u16string(u"Detail") + suffix;
      if (ini.GetString(u"Info", title).size() > engine::kMaxTitle) {
        return Fail(d.Error(d.KeyLine(u"Info", title), TooLong(Narrow(title), ini.GetString(u"Info", title), engine::kMaxTitle)));
      }
      if (ini.GetString(u"Info", detail).size() > engine::kMaxDetail) {
        return Fail(d.Error(d.KeyLine(u"Info", detail), TooLong(Narrow(detail), ini.GetString(u"Info", detail), engine::kMaxDetail)));
      }
    }
    return true;
  }

  static const SuiteFile* FindFile(const SuiteCompose& compose, const std::u16string& name,
                                   const std::u16string* section = nullptr) {
    for (const auto& f : compose.files) {
      if (!base::EqualsIgnoreAsciiCase(f.entry.file_name, name)) continue;
      if (section && !base::EqualsIgnoreAsciiCase(f.entry.section_name, *section)) continue;
      return &f;
    }
    return nullptr;
  }

  bool CheckUnusedDescriptions() {
    const std::u16string folder = Join(dir_, u"composes");
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDirectory(folder, &entries)) return true;
    std::sort(entries.begin(), entries.end(), [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
    for (const auto& entry : entries) {
      if (entry.is_directory || entry.is_hidden || !base::EndsWithIgnoreAsciiCase(entry.name, u".out")) continue;
      if (!FindByPrefix(entry.name.substr(0, entry.name.size() - 4))) {
        return Fail("composes/" + Narrow(entry.name), 0, "no compose of the products uses this description");
      }
    }
    return true;
  }

  // ---- shortcuts ----

  bool CheckShortcuts() {
    for (const auto& product : suite_->products) {
      for (const auto& f : SectionKeys(product->description.ini(), u"ShortcutFolder")) folders_.push_back(f);
    }
    for (const auto& product : suite_->products) {
      LocatedIni& d = product->description;
      const app::IniSection* shortcuts = d.ini().FindSection(u"Shortcut");
      for (size_t j = 0; shortcuts && j < shortcuts->EntryCount(); ++j) {
        const app::IniEntry* e = shortcuts->EntryAt(j);
        const auto parts = SplitList(e->Value(), u'-', false);
        const SuiteCompose* compose = parts.size() >= 2 ? suite_->FindComposeByName(parts[0]) : nullptr;
        if (!compose || !FindFile(*compose, parts[1])) {
          return Fail(d.Error(d.EntryLine(shortcuts, j), "shortcut " + Quoted(e->Key()) + " targets " + Quoted(e->Value()) +
                                                             ", which is not a file of the suite (write compose-file)"));
        }
        if (!CheckShortcutParents(d, e->Key())) return false;
      }
    }
    for (const auto& compose : suite_->composes) {
      LocatedIni& d = compose->description;
      const app::IniSection* shortcuts = d.ini().FindSection(u"Shortcut");
      for (size_t j = 0; shortcuts && j < shortcuts->EntryCount(); ++j) {
        const app::IniEntry* e = shortcuts->EntryAt(j);
        const std::u16string& target = e->Value();
        const size_t dash = target.find(u'-');
        const std::u16string section = dash == std::u16string::npos ? u"" : target.substr(0, dash);
        const std::u16string file = dash == std::u16string::npos ? u"" : target.substr(dash + 1);
        if (!FindFile(*compose, file, &section)) {
          return Fail(d.Error(d.EntryLine(shortcuts, j), "shortcut " + Quoted(e->Key()) + " targets " + Quoted(target) +
                                                             ", which is not a file of the suite (write section-file)"));
        }
        if (!CheckShortcutParents(d, e->Key())) return false;
      }
    }
    return true;
  }

  static std::vector<std::u16string> SectionKeys(const app::CIniReader& ini, const char16_t* name) {
    std::vector<std::u16string> keys;
    if (const app::IniSection* s = ini.FindSection(name)) {
      for (size_t j = 0; j < s->EntryCount(); ++j) keys.push_back(s->EntryAt(j)->Key());
    }
    return keys;
  }

  bool CheckShortcutParents(LocatedIni& d, const std::u16string& id) {
    for (const auto& folder : SplitList(d.ini().GetString(u"ShortcutParent", id), u',', false)) {
      if (!ContainsName(folders_, folder)) {
        return Fail(d.Error(d.KeyLine(u"ShortcutParent", id), "shortcut " + Quoted(id) + " goes into folder " +
                                                                  Quoted(folder) + ", which no product's [ShortcutFolder] defines"));
      }
    }
    return true;
  }

  // ---- skin ----

  bool LoadSkin() {
    const struct {
      const char16_t* folder;
      const char16_t* group;
    } parts[] = {{u"wizard", package::kSkinGroupPart1}, {u"install", package::kSkinGroupPart2}};
    for (const auto& part : parts) {
      const std::u16string folder = Join(Join(dir_, u"skin"), part.folder);
      const std::string shown = "skin/" + Narrow(part.folder) + "/";
      std::vector<FolderFile> files;
      if (!platform::IsDirectory(folder) || !ListFolderFiles(folder, /*include_hidden=*/false, &files) ||
          files.empty()) {
        if (part.group == package::kSkinGroupPart1) {
          return Fail("skin/wizard", 0, "missing or empty: the wizard cannot show a page without its skin");
        }
        continue;
      }
      for (const auto& f : files) {
        std::u16string slashed = f.relative;
        std::replace(slashed.begin(), slashed.end(), u'\\', u'/');
        const std::string file = shown + Narrow(slashed);
        const std::u16string record = package::GroupRecordName(part.group, f.relative);
        if (record.size() > kMaxRecordName) return Fail(file, 0, TooLong("the package record name", record, kMaxRecordName));
        SuiteSkinFile skin{part.group, f.relative, f.path, false};
        for (const char16_t* text : kSkinTextFiles) {
          if (base::EqualsIgnoreAsciiCase(base::FileNamePart(f.relative), text)) skin.is_text = true;
        }
        if (skin.is_text) {
          std::vector<uint8_t> bytes;
          std::u16string text;
          std::string reason;
          if (!ReadFileBytes(f.path, &bytes, &reason)) return Fail(file, 0, "cannot be read");
          if (!DecodeText(bytes, &text, &reason)) return Fail(file, 0, reason);
        }
        if (base::EqualsIgnoreAsciiCase(f.relative, u"Setup.ini") && !CheckSetupIni(file, f.path)) return false;
        suite_->skin.push_back(skin);
      }
    }
    return true;
  }

  // Numbered sections are read from 1 up to the first gap; one beyond a gap would never be used.
  bool CheckNumbering(LocatedIni& d, const std::u16string& prefix, int last) {
    app::CIniReader& ini = d.ini();
    for (size_t i = 0; i < ini.SectionCount(); ++i) {
      const std::u16string& name = ini.SectionAt(i)->Name();
      if (!base::StartsWithIgnoreAsciiCase(name, prefix) || name.size() == prefix.size()) continue;
      int n = 0;
      bool digits = true;
      for (size_t k = prefix.size(); k < name.size(); ++k) {
        if (name[k] < u'0' || name[k] > u'9' || n > 1000) digits = false;
        else n = n * 10 + (name[k] - u'0');
      }
      if (digits && n > last) {
        return Fail(d.Error(d.SectionLine(ini.SectionAt(i)),
                            "[" + Narrow(name) + "] is never used: the installer stops at the first missing number (" +
                                Narrow(prefix) + std::to_string(last + 1) + ")"));
      }
    }
    return true;
  }

  bool CheckSetupIni(const std::string& file, const std::u16string& path) {
    LocatedIni d;
    std::string relative = file;
    std::vector<uint8_t> bytes;
    std::string reason;
    std::u16string text;
    if (!ReadFileBytes(path, &bytes, &reason)) return Fail(file, 0, "cannot be read");
    if (!DecodeText(bytes, &text, &reason)) return Fail(file, 0, reason);
    d.Parse(relative, text);
    app::CIniReader& ini = d.ini();
    for (const char16_t* prefix : {engine::kInstallRegPrefix, engine::kUnInstallRegPrefix}) {
      const std::vector<const app::IniSection*> sections = engine::NumberedSections(ini, prefix);
      for (const app::IniSection* section : sections) {
        const std::u16string& name = section->Name();
        const std::u16string root(base::TrimBlanks(ini.GetString(name, u"KeyParent")));
        if (!engine::ParseRegRoot(root)) {
          return Fail(d.Error(d.KeyLine(name, u"KeyParent"), "[" + Narrow(name) + "] KeyParent " + Quoted(root) +
                                                                 " is not a registry root the installer knows (HKEY_LOCAL_MACHINE, ...)"));
        }
        if (base::TrimBlanks(ini.GetString(name, u"SubKey")).empty()) {
          return Fail(d.Error(d.SectionLine(section), "[" + Narrow(name) + "] has no SubKey"));
        }
      }
      if (!CheckNumbering(d, prefix, static_cast<int>(sections.size()))) return false;
    }
    int n = 1;
    for (; n <= kMaxNumberedSections; ++n) {
      const std::u16string name = u"FinishRun" + base::NumberToUtf16(n);
      const std::u16string exe(base::TrimBlanks(ini.GetString(name, u"ExeFile")));
      if (exe.empty()) break;
      const std::u16string compose_name(base::TrimBlanks(ini.GetString(name, u"ComposeName")));
      const SuiteCompose* compose = suite_->FindComposeByName(compose_name);
      if (!compose || !FindFile(*compose, exe)) {
        return Fail(d.Error(d.KeyLine(name, u"ExeFile"), "[" + Narrow(name) + "] runs " + Quoted(exe) + " of compose " +
                                                             Quoted(compose_name) + ", which is not a file of the suite"));
      }
    }
    return CheckNumbering(d, u"FinishRun", n - 1);
  }

  const std::u16string dir_;
  Suite* suite_;
  SuiteError* error_;
  LocatedIni settings_;
  std::vector<ComposeUse> uses_;
  std::vector<std::u16string> compose_names_;  // every compose of the products, in order
  std::vector<std::u16string> folders_;
};

}  // namespace

SuiteCompose* Suite::FindComposeByName(const std::u16string& name) const {
  for (const auto& c : composes) {
    if (ContainsName(c->names, name)) return c.get();
  }
  return nullptr;
}

bool LoadSuite(const std::u16string& dir, Suite* suite, SuiteError* error) {
  SuiteLoader loader(dir, suite, error);
  return loader.Run();
}

}  // namespace norvpack
