// composes/<prefix>.out: the compose descriptions with their file lines, the files those lines
// name (files/ or, for a resource archive, archives/), OptionPlugin, OldFile_Map and Info.
#include <algorithm>

#include "base/path.h"
#include "base/strings.h"
#include "cli.h"
#include "engine/compose.h"
#include "engine/work_paths.h"
#include "package/deed_box.h"
#include "platform/fs.h"
#include "suite_steps.h"

namespace norvpack {
namespace {

SuiteCompose* FindByPrefix(const Suite& suite, const std::u16string& prefix) {
  for (const auto& c : suite.composes) {
    if (base::EqualsIgnoreAsciiCase(c->prefix, prefix)) return c.get();
  }
  return nullptr;
}

// Where the file of a line is: files/<prefix>/[<field 0>/]<name>, or archives/<stem>/ for a
// "<stem>.dat" that files/ does not hold.
bool FindSource(SuiteLoad& load, const SuiteCompose& compose, SuiteFile* file) {
  const engine::FileEntry& entry = file->entry;
  std::u16string folder = base::JoinPath(base::JoinPath(load.dir, u"files"), compose.prefix);
  std::string shown = "files/" + Narrow(compose.prefix) + "/";
  if (!entry.source_folder.empty()) {
    folder = base::JoinPath(folder, entry.source_folder);
    std::u16string slashed = entry.source_folder;
    std::replace(slashed.begin(), slashed.end(), u'\\', u'/');
    shown += Narrow(slashed) + "/";
  }
  file->source = base::JoinPath(folder, entry.file_name);
  shown += Narrow(entry.file_name);
  if (IsRegularFile(file->source)) return true;

  const bool dat = base::EndsWithIgnoreAsciiCase(entry.file_name, u".dat");
  const std::u16string stem = dat ? entry.file_name.substr(0, entry.file_name.size() - 4) : u"";
  const std::u16string archive = base::JoinPath(base::JoinPath(load.dir, u"archives"), stem);
  if (dat && base::IsPlainName(stem) && platform::IsDirectory(archive)) {
    file->source = archive;
    file->is_archive = true;
    return true;
  }
  return load.Fail(compose.description.Error(
      file->line->Line(), "file " + Quoted(entry.file_name) + " is missing: " + shown + " does not exist" +
                              (dat ? " and there is no folder archives/" + Narrow(stem) + "/" : "")));
}

bool LoadFileLine(SuiteLoad& load, SuiteCompose* compose, const app::IniSection& section, app::IniEntry* e) {
  const LocatedIni& d = compose->description;
  const int line = e->Line();
  const std::u16string key(base::TrimBlanks(e->Key()));
  if (key.empty()) return load.Fail(d.Error(line, "malformed file line: no file name before \"=\""));
  if (key.size() > engine::kMaxFileName) return load.Fail(d.Error(line, TooLong("file name", key, engine::kMaxFileName)));
  const std::vector<std::u16string> fields = SplitList(e->Value(), u',', true);
  if (fields.size() < engine::kMinFileFields) {
    return load.Fail(d.Error(line, "malformed file line: " + std::to_string(fields.size()) + " fields, at least " +
                                       std::to_string(engine::kMinFileFields) + " are needed"));
  }
  for (size_t k = 0; k < fields.size() && k < engine::kMaxFileFields; ++k) {
    if (fields[k].size() > engine::kMaxFieldText) {
      return load.Fail(d.Error(
          line, "malformed file line: " + TooLong("field " + std::to_string(k), fields[k], engine::kMaxFieldText)));
    }
  }
  SuiteFile file;
  file.line = e;
  if (!engine::ParseFileEntry(key, e->Value(), &file.entry)) {
    return load.Fail(d.Error(line, "malformed file line: the file name, field 0 or field 1 leads out of its folder"));
  }
  const std::u16string packed(base::TrimBlanks(fields[2]));
  if (!packed.empty() && packed != u"0" && packed != u"1") {
    return load.Fail(
        d.Error(line, "malformed file line: field 2 is " + Quoted(packed) + "; it must be 0 (plain) or 1 (packed)"));
  }
  file.entry.compose_name = compose->prefix;
  file.entry.section_name = section.Name();
  if (const SuiteFile* other = FindFile(*compose, file.entry.file_name)) {
    return load.Fail(d.Error(line, "file " + Quoted(key) + " is listed twice in this compose (first at line " +
                                       std::to_string(other->line->Line()) + ")"));
  }
  const std::u16string record = package::ComposeFileRecordName(compose->prefix, file.entry.source_folder,
                                                               file.entry.dest_folder, file.entry.file_name);
  if (record.size() > package::kDeedBoxMaxName) {
    return load.Fail(d.Error(line, TooLong("the package record name", record, package::kDeedBoxMaxName)));
  }
  if (!FindSource(load, *compose, &file)) return false;
  compose->files.push_back(std::move(file));
  return true;
}

// "Version" Path and the file sections that "HaveSection" lists, in order.
bool LoadComposeFiles(SuiteLoad& load, SuiteCompose* compose) {
  LocatedIni& d = compose->description;
  app::CIniReader& ini = d.ini();
  const std::u16string& path = ini.GetString(u"Version", u"Path");
  const int path_line = d.KeyLine(u"Version", u"Path");
  if (path.size() > engine::kMaxComposePath) {
    return load.Fail(d.Error(path_line, TooLong("Path", path, engine::kMaxComposePath)));
  }
  if (!path.empty() && !base::IsContainedRelativePath(path)) {
    return load.Fail(d.Error(path_line, "Path " + Quoted(path) + " leads out of the install folder"));
  }
  const app::IniSection* have = ini.FindSection(u"HaveSection");
  if (!have) return load.Fail(d.Error(0, "no [HaveSection]: the installer needs the list of file sections"));
  if (have->EntryCount() == 0) return load.Fail(d.Error(have->Line(), "[HaveSection] lists no file section"));
  std::vector<std::u16string> loaded;
  for (size_t h = 0; h < have->EntryCount(); ++h) {
    const int have_line = have->EntryAt(h)->Line();
    for (const auto& name : SplitList(have->EntryAt(h)->Value(), u',', false)) {
      if (ContainsName(loaded, name)) continue;
      if (name.size() > engine::kMaxSectionName) {
        return load.Fail(d.Error(have_line, TooLong("file section name", name, engine::kMaxSectionName)));
      }
      app::IniSection* section = ini.FindSection(name);
      if (!section) {
        return load.Fail(d.Error(have_line, "file section " + Quoted(name) + " listed in [HaveSection] does not exist"));
      }
      loaded.push_back(name);
      for (size_t j = 0; j < section->EntryCount(); ++j) {
        if (!LoadFileLine(load, compose, *section, section->EntryAt(j))) return false;
      }
    }
  }
  return true;
}

bool CheckOptionPlugins(SuiteLoad& load, const SuiteCompose& compose) {
  const LocatedIni& d = compose.description;
  const app::IniSection* options = d.ini().FindSection(u"OptionPlugin");
  std::vector<std::pair<std::u16string, size_t>> counts;
  for (size_t j = 0; options && j < options->EntryCount(); ++j) {
    const app::IniEntry* e = options->EntryAt(j);
    const std::u16string file(base::TrimBlanks(e->Key()));
    if (!FindFile(compose, file)) {
      return load.Fail(d.Error(e->Line(), "OptionPlugin names " + Quoted(file) + ", which is not a file of this compose"));
    }
    const auto items = SplitList(e->Value(), u',', true);
    if (items.size() != 2) {
      return load.Fail(d.Error(e->Line(), "an OptionPlugin value is an option name and a value separated by one comma"));
    }
    for (const auto& item : items) {
      if (item.size() > engine::kMaxOptionText) {
        return load.Fail(d.Error(e->Line(), TooLong("option text", item, engine::kMaxOptionText)));
      }
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
      return load.Fail(d.Error(e->Line(), "file " + Quoted(file) + " has more than " +
                                              std::to_string(engine::kMaxOptionPairs) + " OptionPlugin pairs"));
    }
  }
  return true;
}

// OldFile_Map targets and the [Info] texts.
bool CheckComposeExtras(SuiteLoad& load, const SuiteCompose& compose) {
  const LocatedIni& d = compose.description;
  const app::CIniReader& ini = d.ini();
  if (!CheckOptionPlugins(load, compose)) return false;
  const app::IniSection* map = ini.FindSection(u"OldFile_Map");
  for (size_t j = 0; map && j < map->EntryCount(); ++j) {
    const app::IniEntry* e = map->EntryAt(j);
    const std::u16string target(base::TrimBlanks(e->Value()));
    if (!load.IsCompose(target)) {
      return load.Fail(d.Error(e->Line(), "OldFile_Map moves " + Quoted(e->Key()) + " to compose " + Quoted(target) +
                                              ", which does not exist"));
    }
  }
  for (const char16_t* suffix : engine::kLanguageSuffixes) {
    for (const auto& [key, limit] : {std::make_pair(std::u16string(u"Title") + suffix, engine::kMaxTitle),
                                     std::make_pair(std::u16string(u"Detail") + suffix, engine::kMaxDetail)}) {
      const std::u16string& text = ini.GetString(u"Info", key);
      if (text.size() > limit) return load.Fail(d.Error(d.KeyLine(u"Info", key), TooLong(Narrow(key), text, limit)));
    }
  }
  return true;
}

bool CheckUnusedDescriptions(SuiteLoad& load) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(base::JoinPath(load.dir, u"composes"), &entries)) return true;
  std::sort(entries.begin(), entries.end(),
            [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
  for (const auto& entry : entries) {
    if (entry.is_directory || entry.is_hidden || !base::EndsWithIgnoreAsciiCase(entry.name, u".out")) continue;
    if (!FindByPrefix(*load.suite, entry.name.substr(0, entry.name.size() - 4))) {
      return load.Fail("composes/" + Narrow(entry.name), 0, "no compose of the products uses this description");
    }
  }
  return true;
}

}  // namespace

bool LoadComposes(SuiteLoad& load) {
  Suite& suite = *load.suite;
  for (const auto& use : load.uses) {
    if (use.type == engine::kComposeGroupOnly) continue;
    const std::u16string prefix(engine::ComposePrefix(use.name));
    if (SuiteCompose* shared = FindByPrefix(suite, prefix)) {
      shared->names.push_back(use.name);
      continue;
    }
    const std::string relative = "composes/" + Narrow(prefix) + ".out";
    if (!base::IsPlainName(prefix) || !IsRegularFile(base::JoinPath(load.dir, Widen(relative)))) {
      return load.Fail(use.file, use.line,
                       "compose " + Quoted(use.name) + " has no description: " + relative + " is missing");
    }
    const std::u16string record = package::ComposeIniRecordName(prefix);
    if (record.size() > package::kDeedBoxMaxName) {
      return load.Fail(use.file, use.line, TooLong("the package record name", record, package::kDeedBoxMaxName));
    }
    auto compose = std::make_unique<SuiteCompose>();
    compose->prefix = prefix;
    compose->names.push_back(use.name);
    if (!compose->description.Load(load.dir, relative, load.error)) return false;
    suite.composes.push_back(std::move(compose));
  }
  for (auto& compose : suite.composes) {
    if (!LoadComposeFiles(load, compose.get())) return false;
  }
  for (const auto& compose : suite.composes) {
    if (!CheckComposeExtras(load, *compose)) return false;
  }
  return CheckUnusedDescriptions(load);
}

}  // namespace norvpack
