#include "engine/product.h"

#include <new>
#include <unordered_set>

#include "base/strings.h"
#include "engine/engine_codes.h"

namespace engine {
namespace {

std::u16string Cut(std::u16string_view text, size_t width) { return std::u16string(text.substr(0, width)); }

// Splits at "," dropping empty items.
std::vector<std::u16string> SplitNames(std::u16string_view text) {
  std::vector<std::u16string> names;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(u',', start);
    if (comma == std::u16string_view::npos) comma = text.size();
    if (comma > start) names.emplace_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return names;
}

bool IsNoParent(std::u16string_view parent) { return parent.empty() || parent == u"\"\""; }

// Every "||" becomes CR LF.
std::u16string WithLineBreaks(std::u16string text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == u'|' && text[i + 1] == u'|') {
      text[i] = u'\r';
      text[i + 1] = u'\n';
      ++i;
    }
  }
  return text;
}

uint32_t ReadUnsigned(const app::CIniReader& ini, std::u16string_view section, const char16_t* key) {
  return static_cast<uint32_t>(ini.GetInt(section, key, 0));
}

// The ordered, duplicate-free list of compose names of a product.
class ComposeClosure {
 public:
  explicit ComposeClosure(const app::CIniReader& ini) : ini_(ini) {}

  void AddWithParents(std::u16string_view name) {
    Add(name);
    // Each name of a chain is visited once, so a chain that returns to an earlier compose ends.
    std::unordered_set<std::u16string> chain{base::ToLowerAscii(name)};
    std::u16string current(name);
    for (;;) {
      const std::u16string parent = Cut(ini_.GetString(current, u"Parent"), kMaxAttributeName);
      if (IsNoParent(parent)) return;
      Add(parent);
      if (!chain.insert(base::ToLowerAscii(parent)).second) return;
      current = parent;
    }
  }

  void AddWithParentsAndResources(std::u16string_view name) {
    AddWithParents(name);
    const std::u16string resources = Cut(ini_.GetString(name, u"Resource"), kMaxResource);
    for (const std::u16string& resource : SplitNames(resources)) AddWithParents(resource);
  }

  const std::vector<std::u16string>& names() const { return names_; }

 private:
  void Add(std::u16string_view name) {
    if (seen_.insert(base::ToLowerAscii(name)).second) names_.emplace_back(name);
  }

  const app::CIniReader& ini_;
  std::vector<std::u16string> names_;
  std::unordered_set<std::u16string> seen_;
};

}  // namespace

uint32_t Product::LoadProduct(const char16_t* path, ComposeLocation at, const char16_t* list, uint32_t options) {
  if (!path) return kNullArgument;
  file_path = path;
  name = std::u16string(FileStem(file_path));
  location = at;
  if (!ini.LoadTzFile(file_path)) return kDescriptionLoadFailed;

  conflict = ini.GetString(u"Version", u"Conflict");
  product_id = ini.GetInt(u"Version", u"ProductID", 0);
  current_ver = ini.GetInt(u"Version", u"CurrentVer", 0);
  DropComposes();

  compose_list = list ? list : u"";
  std::vector<std::u16string> names;
  if (!compose_list.empty()) {
    names = SplitNames(compose_list);
  } else {
    const std::u16string& all = ini.GetString(u"HaveCompose", u"All");
    if (all.empty()) return kNoComposeList;
    ComposeClosure closure(ini);
    for (const std::u16string& compose_name : SplitNames(all)) closure.AddWithParentsAndResources(compose_name);
    names = closure.names();
  }

  for (const std::u16string& compose_name : names) {
    const uint32_t code = AddCompose(compose_name.c_str(), options);
    if (code != kOk) return code;
  }
  return kOk;
}

uint32_t Product::LoadInstalledProduct(const char16_t* product_name) {
  if (!product_name || !*product_name) return kNullArgument;
  const std::u16string path = paths.ProductFilePath(product_name);
  if (path.empty()) return kDescriptionLoadFailed;
  return LoadProduct(path.c_str(), ComposeLocation::kInstalled, nullptr, 0);
}

uint32_t Product::AddCompose(const char16_t* compose_name, uint32_t options) {
  if (!compose_name) return kNullArgument;
  if (!*compose_name) return kOk;
  const std::u16string section(compose_name);
  const std::u16string description = paths.ComposeFilePath(section, location);
  if (description.empty()) return kDescriptionLoadFailed;

  std::unique_ptr<Compose> compose(new (std::nothrow) Compose(paths));
  if (!compose) return kComposeAllocFailed;
  compose->file_path = description;
  compose->name = std::u16string(FileStem(description));

  ComposeAttributes& a = compose->attributes;
  a.type = ReadUnsigned(ini, section, u"Type");
  a.update = ReadUnsigned(ini, section, u"Update");
  a.base = ReadUnsigned(ini, section, u"Base");
  a.hide = ReadUnsigned(ini, section, u"Hide");
  a.lang_group = ReadUnsigned(ini, section, u"LangGroup");
  a.new_show = ReadUnsigned(ini, section, u"NewShow");
  a.must_update = ReadUnsigned(ini, section, u"MustUpdate");
  a.support_os = ParseDescriptionHex(ini.GetString(section, u"SupportOS"));
  a.parent = Cut(ini.GetString(section, u"Parent"), kMaxAttributeName);
  a.depends = Cut(ini.GetString(section, u"Depends"), kMaxDepends);
  a.resource = Cut(ini.GetString(section, u"Resource"), kMaxResource);
  a.name = Cut(section, kMaxAttributeName);
  for (size_t i = 0; i < kLanguageCount; ++i) {
    const std::u16string suffix = kLanguageSuffixes[i];
    a.texts[i].title = Cut(ini.GetString(section, u"Title" + suffix), kMaxTitle);
    a.texts[i].detail = WithLineBreaks(Cut(ini.GetString(section, u"Detail" + suffix), kMaxDetail));
  }
  if (!IsNoParent(a.parent) && ini.GetInt(a.parent, u"LangGroup", 0) == 1) {
    compose->flags |= kComposeParentLangGroup;
  }

  if (!OsMaskAllows(a.support_os, system_os_mask)) return kOk;

  if (a.type == kComposeLoadedWithProduct) {
    compose->location = location;
    if (options & kLoadComposeFiles) {
      const uint32_t code = compose->LoadComposeFiles();
      if (code != kOk) return code;
    }
  }
  composes.push_back(std::move(compose));
  return kOk;
}

void Product::SetComposeStates(ComposeState compose_state) {
  for (auto& compose : composes) compose->state = compose_state;
}

void Product::MoveComposesInto(ComposeList& list) {
  for (size_t i = composes.size(); i > 0; --i) {
    if (engine::FindCompose(list, composes[i - 1]->name)) continue;
    list.push_back(std::move(composes[i - 1]));
    composes.erase(composes.begin() + static_cast<std::ptrdiff_t>(i - 1));
  }
}

}  // namespace engine
