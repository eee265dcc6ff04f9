#include "ui/skin_folder.h"

#include "app/ini_reader.h"
#include "app/wizard_state.h"
#include "base/path.h"
#include "platform/fs.h"
#include "platform/profile.h"
#include "platform/system.h"

namespace ui {
namespace {

uint16_t g_lang_override = 0;

// The folder of the running executable with a closing backslash; empty when the path has none.
std::u16string ExeFolder() {
  const std::u16string exe = platform::ModuleFilePath();
  const size_t slash = exe.find_last_of(u"\\/");
  if (slash == std::u16string::npos) return {};
  return exe.substr(0, slash + 1);
}

}  // namespace

bool GetStyleName(std::u16string* name) {
  const std::u16string folder = ExeFolder();
  name->clear();
  if (folder.empty()) return false;
  *name = platform::ReadProfileString(folder + u"norvframe.ini", u"Main", u"StyleName", kMaxSkinPath);
  return !name->empty();
}

size_t EnumStyles(std::u16string* names) {
  const std::u16string folder = ExeFolder();
  if (names) names->clear();
  std::vector<platform::DirEntry> entries;
  if (folder.empty() || !platform::ListDirectory(folder + u"DrawData", &entries)) return 0;
  size_t count = 0;
  for (const platform::DirEntry& entry : entries) {
    if (!entry.is_directory) continue;
    if (names) {
      if (count > 0) names->push_back(u';');
      names->append(entry.name);
    }
    ++count;
  }
  return count;
}

bool GetSkinPath(std::u16string* out, std::u16string_view relative, std::u16string_view style) {
  out->clear();
  if (app::IsSkinFolderSet()) {
    *out = app::SkinFolder() + std::u16string(relative);
    return true;
  }
  const std::u16string draw_data = ExeFolder() + u"DrawData\\";
  std::u16string chosen(style);
  if (chosen.empty()) GetStyleName(&chosen);
  if (!chosen.empty() && !platform::IsDirectory(draw_data + chosen)) chosen.clear();
  if (chosen.empty()) {
    std::u16string names;
    if (EnumStyles(&names) == 0) return false;
    chosen = names.substr(0, names.find(u';'));
  }
  std::u16string folder = draw_data + chosen + u"\\";
  if (!platform::IsDirectory(folder)) return false;
  folder += relative;
  if (folder.size() > kMaxSkinPath) return false;
  *out = std::move(folder);
  return true;
}

uint16_t FrameIniLangId() {
  const std::u16string folder = ExeFolder();
  if (folder.empty()) return 0;
  const std::u16string text = platform::ReadProfileString(folder + u"norvframe.ini", u"Main", u"LangID", 32);
  return static_cast<uint16_t>(app::ParseIniInt(text));
}

void SetLangIdOverride(uint16_t lang) { g_lang_override = lang; }
uint16_t LangIdOverride() { return g_lang_override; }

}  // namespace ui
