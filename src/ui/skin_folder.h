#pragma once
// The skin-folder lookup and the language of the skin's texts. The skin folder is the
// process-wide one (app/wizard_state.h) when set, otherwise "<exe folder>\DrawData\<style>\"
// chosen through "norvframe.ini" beside the executable.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ui {

constexpr size_t kMaxSkinPath = 259;

// The "StyleName" value of section "Main" in "norvframe.ini" beside the executable; true when
// non-empty.
bool GetStyleName(std::u16string* name);

// The sub-folders of "DrawData" beside the executable; when names is given, their names joined
// by ";".
size_t EnumStyles(std::u16string* names);

// The skin folder followed by relative. With the process-wide skin folder set always true. Otherwise false when no style folder exists or the result is longer
// than kMaxSkinPath.
bool GetSkinPath(std::u16string* out, std::u16string_view relative = {}, std::u16string_view style = {});

// "LangID" of section "Main" in "norvframe.ini" beside the executable, else the user's
// interface language (Windows only). A language set with SetLangIdOverride wins over both.
uint16_t GetLangID();
// The language identifier from "norvframe.ini" alone (0 when absent or not readable).
uint16_t FrameIniLangId();
// For tools and tests that show a skin in a chosen language (skinview --lang): 0 clears.
void SetLangIdOverride(uint16_t lang);
uint16_t LangIdOverride();

}  // namespace ui
