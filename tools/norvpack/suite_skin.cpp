// skin/wizard/ and skin/install/: the two skin groups, and the checks of skin/install/Setup.ini
// (registry entries and the programs the finish page starts).
#include <algorithm>

#include "base/path.h"
#include "base/strings.h"
#include "cli.h"
#include "engine/registry_entries.h"
#include "package/file_utils.h"
#include "package/deed_box.h"
#include "package/payload.h"
#include "platform/fs.h"
#include "suite_steps.h"

namespace norvpack {
namespace {

constexpr int kMaxFinishRuns = 99;
// Skin files that the installer reads as key-value files; authors may write them in UTF-8.
const char16_t* const kSkinTextFiles[] = {u"Setup.ini", u"Draw.dat", u"norvframe.ini"};

// Numbered sections are read from 1 up to the first gap; one beyond a gap would never be used.
bool CheckNumbering(SuiteLoad& load, const LocatedIni& d, const std::u16string& prefix, int last) {
  const app::CIniReader& ini = d.ini();
  for (size_t i = 0; i < ini.SectionCount(); ++i) {
    const app::IniSection* section = ini.SectionAt(i);
    const std::u16string& name = section->Name();
    if (!base::StartsWithIgnoreAsciiCase(name, prefix) || name.size() == prefix.size()) continue;
    int n = 0;
    bool digits = true;
    for (size_t k = prefix.size(); k < name.size(); ++k) {
      if (name[k] < u'0' || name[k] > u'9' || n > 1000) digits = false;
      else n = n * 10 + (name[k] - u'0');
    }
    if (digits && n > last) {
      return load.Fail(d.Error(section->Line(), "[" + Narrow(name) +
                                                    "] is never used: the installer stops at the first missing number (" +
                                                    Narrow(prefix) + std::to_string(last + 1) + ")"));
    }
  }
  return true;
}

bool CheckSetupIni(SuiteLoad& load, const std::string& file, const std::u16string& text) {
  LocatedIni d;
  d.Parse(file, text);
  const app::CIniReader& ini = d.ini();
  for (const char16_t* prefix : {engine::kInstallRegPrefix, engine::kUnInstallRegPrefix}) {
    const std::vector<const app::IniSection*> sections = engine::NumberedSections(ini, prefix);
    for (const app::IniSection* section : sections) {
      const std::u16string& name = section->Name();
      const std::u16string root(base::TrimBlanks(ini.GetString(name, u"KeyParent")));
      if (!engine::ParseRegRoot(root)) {
        return load.Fail(d.Error(d.KeyLine(name, u"KeyParent"),
                                 "[" + Narrow(name) + "] KeyParent " + Quoted(root) +
                                     " is not a registry root the installer knows (HKEY_LOCAL_MACHINE, ...)"));
      }
      if (base::TrimBlanks(ini.GetString(name, u"SubKey")).empty()) {
        return load.Fail(d.Error(section->Line(), "[" + Narrow(name) + "] has no SubKey"));
      }
    }
    if (!CheckNumbering(load, d, prefix, static_cast<int>(sections.size()))) return false;
  }
  int n = 1;
  for (; n <= kMaxFinishRuns; ++n) {
    const std::u16string name = u"FinishRun" + base::NumberToUtf16(n);
    const std::u16string exe(base::TrimBlanks(ini.GetString(name, u"ExeFile")));
    if (exe.empty()) break;
    const std::u16string compose_name(base::TrimBlanks(ini.GetString(name, u"ComposeName")));
    const SuiteCompose* compose = load.suite->FindComposeByName(compose_name);
    if (!compose || !FindFile(*compose, exe)) {
      return load.Fail(d.Error(d.KeyLine(name, u"ExeFile"), "[" + Narrow(name) + "] runs " + Quoted(exe) +
                                                                " of compose " + Quoted(compose_name) +
                                                                ", which is not a file of the suite"));
    }
  }
  return CheckNumbering(load, d, u"FinishRun", n - 1);
}

}  // namespace

bool LoadSkin(SuiteLoad& load) {
  const struct {
    const char16_t* folder;
    const char16_t* group;
  } parts[] = {{u"wizard", package::kSkinGroupPart1}, {u"install", package::kSkinGroupPart2}};
  for (const auto& part : parts) {
    const std::u16string folder = base::JoinPath(base::JoinPath(load.dir, u"skin"), part.folder);
    std::vector<package::FolderFile> files;
    if (!platform::IsDirectory(folder) || !package::ListFolderFiles(folder, /*include_hidden=*/false, &files) ||
        files.empty()) {
      if (part.group == package::kSkinGroupPart1) {
        return load.Fail("skin/wizard", 0, "missing or empty: the wizard cannot show a page without its skin");
      }
      continue;
    }
    for (const auto& f : files) {
      std::u16string slashed = f.relative;
      std::replace(slashed.begin(), slashed.end(), u'\\', u'/');
      const std::string file = "skin/" + Narrow(part.folder) + "/" + Narrow(slashed);
      const std::u16string record = package::GroupRecordName(part.group, f.relative);
      if (record.size() > package::kDeedBoxMaxName) {
        return load.Fail(file, 0, TooLong("the package record name", record, package::kDeedBoxMaxName));
      }
      SuiteSkinFile skin{part.group, f.relative, f.path, false, u""};
      for (const char16_t* text : kSkinTextFiles) {
        skin.is_text = skin.is_text || base::EqualsIgnoreAsciiCase(base::FileNamePart(f.relative), text);
      }
      std::string reason;
      if (skin.is_text && !ReadTextFile(f.path, &skin.text, &reason)) return load.Fail(file, 0, reason);
      if (base::EqualsIgnoreAsciiCase(f.relative, u"Setup.ini") && !CheckSetupIni(load, file, skin.text)) return false;
      load.suite->skin.push_back(std::move(skin));
    }
  }
  return true;
}

}  // namespace norvpack
