// products/<product>.out: each product's compose closure, as the installer computes it, with the
// sections of its composes within the widths the installer keeps.
#include "base/path.h"
#include "cli.h"
#include "engine/compose.h"
#include "engine/product.h"
#include "package/deed_box.h"
#include "suite_steps.h"

namespace norvpack {
namespace {

bool CheckComposeSection(SuiteLoad& load, const LocatedIni& d, const std::u16string& name) {
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
    const std::u16string& value = d.ini().GetString(name, limit.key);
    if (value.size() > limit.max) {
      return load.Fail(d.Error(d.KeyLine(name, limit.key),
                               TooLong(Narrow(limit.key) + " of compose " + Quoted(name), value, limit.max)));
    }
  }
  return true;
}

bool LoadClosure(SuiteLoad& load, SuiteProduct* product) {
  const LocatedIni& d = product->description;
  const app::CIniReader& ini = d.ini();
  const int all_line = d.KeyLine(u"HaveCompose", u"All");
  const std::vector<engine::ClosureCompose> closure = engine::ComposeClosure(ini);
  if (closure.empty()) return load.Fail(d.Error(all_line, "[HaveCompose] All names no compose"));

  for (const auto& compose : closure) {
    // Reported where the name is written: "All", or the Parent or Resource key that names it.
    int line = all_line;
    std::string role = "listed";
    if (compose.role == engine::ClosureRole::kParent) {
      line = d.KeyLine(compose.named_by, u"Parent");
      role = "parent";
    } else if (compose.role == engine::ClosureRole::kResource) {
      line = d.KeyLine(compose.named_by, u"Resource");
      role = "resource";
    }
    if (compose.written.size() > engine::kMaxAttributeName) {
      return load.Fail(d.Error(line, TooLong("compose name", compose.written, engine::kMaxAttributeName)));
    }
    if (!ini.FindSection(compose.name)) {
      return load.Fail(d.Error(line, role + " compose " + Quoted(compose.name) + " does not exist: no [" +
                                         Narrow(compose.name) + "] section in this product"));
    }
    if (!CheckComposeSection(load, d, compose.name)) return false;
    product->composes.push_back(compose.name);
  }

  std::u16string& list = load.suite->compose_list;
  for (const auto& name : product->composes) {
    if (load.IsCompose(name)) continue;
    const std::u16string longer = list + (list.empty() ? u"" : u",") + name;
    if (longer.size() > package::kDeedBoxMaxComposeList) {
      return load.Fail(d.Error(all_line, TooLong("the package's compose list", longer, package::kDeedBoxMaxComposeList)));
    }
    list = longer;
    load.uses.push_back(ComposeUse{name, static_cast<uint32_t>(ini.GetInt(name, u"Type", 0)), d.relative(),
                                   ini.FindSection(name)->Line()});
  }
  return true;
}

}  // namespace

bool LoadProducts(SuiteLoad& load) {
  const int products_line = load.settings.KeyLine(u"Suite", u"Products");
  for (const auto& name : load.suite->settings.products) {
    auto product = std::make_unique<SuiteProduct>();
    product->name = name;
    const std::string relative = "products/" + Narrow(name) + ".out";
    if (!IsRegularFile(base::JoinPath(load.dir, Widen(relative)))) {
      return load.Fail(load.settings.Error(
          products_line, "product " + Quoted(name) + " has no description: " + relative + " is missing"));
    }
    const std::u16string record = package::FixRecordName(1, name);
    if (record.size() > package::kDeedBoxMaxName) {
      return load.Fail(
          load.settings.Error(products_line, TooLong("the package record name", record, package::kDeedBoxMaxName)));
    }
    if (!product->description.Load(load.dir, relative, load.error) || !LoadClosure(load, product.get())) return false;
    load.suite->products.push_back(std::move(product));
  }
  return true;
}

}  // namespace norvpack
