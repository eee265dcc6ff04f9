// suite.ini: [Suite] Products, DownloadUrl, CheckString and ArchiveTime.
#include "base/path.h"
#include "base/strings.h"
#include "cli.h"
#include "engine/work_paths.h"
#include "package/deed_box.h"
#include "platform/fs.h"
#include "suite_steps.h"

namespace norvpack {
namespace {

std::u16string Setting(const app::CIniReader& ini, const char16_t* key) {
  return std::u16string(base::TrimBlanks(ini.GetString(u"Suite", key)));
}

}  // namespace

bool LoadSettings(SuiteLoad& load) {
  LocatedIni& d = load.settings;
  if (!platform::IsDirectory(load.dir)) return load.Fail("", 0, Narrow(load.dir) + " is not a folder");
  if (!IsRegularFile(base::JoinPath(load.dir, Widen(kSuiteSettingsFile)))) {
    return load.Fail(kSuiteSettingsFile, 0, "missing: a suite folder starts with its settings file");
  }
  if (!d.Load(load.dir, kSuiteSettingsFile, load.error)) return false;
  const app::CIniReader& ini = d.ini();
  SuiteSettings& s = load.suite->settings;

  const std::u16string products = Setting(ini, u"Products");
  const int products_line = d.KeyLine(u"Suite", u"Products");
  if (products.empty()) return load.Fail(d.Error(products_line, "[Suite] Products names no product"));
  if (products.size() > package::kDeedBoxMaxProductList) {
    return load.Fail(d.Error(products_line, TooLong("the product list", products, package::kDeedBoxMaxProductList)));
  }
  for (const auto& item : SplitList(products, u',', false)) {
    const std::u16string name(base::TrimBlanks(item));
    if (!base::IsPlainName(name)) {
      return load.Fail(d.Error(products_line, "product name " + Quoted(name) + " is not a plain file name"));
    }
    if (ContainsName(s.products, name)) {
      return load.Fail(d.Error(products_line, "product " + Quoted(name) + " is listed twice"));
    }
    s.products.push_back(name);
    load.suite->product_list += (load.suite->product_list.empty() ? u"" : u",") + name;
  }

  s.download_url = Setting(ini, u"DownloadUrl");
  if (s.download_url.size() > package::kDeedBoxMaxComposeList) {
    return load.Fail(d.Error(d.KeyLine(u"Suite", u"DownloadUrl"),
                             TooLong("the download address", s.download_url, package::kDeedBoxMaxComposeList)));
  }
  const std::u16string check = Setting(ini, u"CheckString");
  if (!check.empty() && check != u"0" && check != u"1") {
    return load.Fail(d.Error(d.KeyLine(u"Suite", u"CheckString"), "CheckString must be 0 or 1"));
  }
  s.check_string = check == u"1";
  const std::u16string time = Setting(ini, u"ArchiveTime");
  uint64_t seconds = 0;
  if (!time.empty() && !ParseUnsigned(time, UINT32_MAX, &seconds)) {
    return load.Fail(d.Error(d.KeyLine(u"Suite", u"ArchiveTime"),
                             "ArchiveTime must be a number of seconds since 1970 from 0 to 4294967295"));
  }
  s.archive_time = static_cast<uint32_t>(seconds);
  return true;
}

}  // namespace norvpack
