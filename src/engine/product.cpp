#include "engine/product.h"

#include <new>
#include <unordered_set>

#include "base/strings.h"
#include "engine/engine_codes.h"

namespace engine {
namespace {

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

// Builds the closure in order; a name is cut to its width before it is compared, since that is
// the name it is loaded under.
class ClosureBuilder {
 public:
  explicit ClosureBuilder(const app::CIniReader& ini) : ini_(ini) {}

  void AddWithParents(std::u16string_view written, ClosureRole role, std::u16string_view named_by) {
    const std::u16string name = base::Cut(written, kMaxAttributeName);
    Add(name, written, role, named_by);
    // Each name of a chain is visited once, so a chain that returns to an earlier compose ends.
    std::unordered_set<std::u16string> chain{base::ToLowerAscii(name)};
    std::u16string current = name;
    for (;;) {
      const std::u16string& parent_written = ini_.GetString(current, u"Parent");
      const std::u16string parent = base::Cut(parent_written, kMaxAttributeName);
      if (IsNoParent(parent)) return;
      Add(parent, parent_written, ClosureRole::kParent, current);
      if (!chain.insert(base::ToLowerAscii(parent)).second) return;
      current = parent;
    }
  }

  void AddWithParentsAndResources(std::u16string_view written) {
    AddWithParents(written, ClosureRole::kListed, {});
    const std::u16string name = base::Cut(written, kMaxAttributeName);
    const std::u16string resources = base::Cut(ini_.GetString(name, u"Resource"), kMaxResource);
    for (std::u16string_view resource : base::SplitList(resources)) {
      AddWithParents(resource, ClosureRole::kResource, name);
    }
  }

  std::vector<ClosureCompose> Take() { return std::move(composes_); }

 private:
  void Add(const std::u16string& name, std::u16string_view written, ClosureRole role, std::u16string_view named_by) {
    if (!seen_.insert(base::ToLowerAscii(name)).second) return;
    composes_.push_back(ClosureCompose{name, std::u16string(written), role, std::u16string(named_by)});
  }

  const app::CIniReader& ini_;
  std::vector<ClosureCompose> composes_;
  std::unordered_set<std::u16string> seen_;
};

}  // namespace

std::vector<ClosureCompose> ComposeClosure(const app::CIniReader& product) {
  ClosureBuilder closure(product);
  for (std::u16string_view name : base::SplitList(product.GetString(u"HaveCompose", u"All"))) {
    closure.AddWithParentsAndResources(name);
  }
  return closure.Take();
}

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
    for (std::u16string_view item : base::SplitList(compose_list)) names.emplace_back(item);
  } else {
    if (ini.GetString(u"HaveCompose", u"All").empty()) return kNoComposeList;
    for (ClosureCompose& compose : ComposeClosure(ini)) names.push_back(std::move(compose.name));
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
  a.parent = base::Cut(ini.GetString(section, u"Parent"), kMaxAttributeName);
  a.depends = base::Cut(ini.GetString(section, u"Depends"), kMaxDepends);
  a.resource = base::Cut(ini.GetString(section, u"Resource"), kMaxResource);
  a.name = base::Cut(section, kMaxAttributeName);
  for (size_t i = 0; i < kLanguageCount; ++i) {
    const std::u16string suffix = kLanguageSuffixes[i];
    a.texts[i].title = base::Cut(ini.GetString(section, u"Title" + suffix), kMaxTitle);
    a.texts[i].detail = WithLineBreaks(base::Cut(ini.GetString(section, u"Detail" + suffix), kMaxDetail));
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
