#pragma once
// The steps of LoadSuite (suite_load.h), one file each, in the order they run, and what they
// share. Each step reads what the steps before it left in the suite and stops at the first
// problem.
#include <cstdint>
#include <string>
#include <vector>

#include "suite_load.h"

namespace norvpack {

// A compose as the products name it, before its description is read.
struct ComposeUse {
  std::u16string name;
  uint32_t type = 0;
  std::string file;  // the product description holding its section, for errors
  int line = 0;
};

// The state of one load, handed from step to step.
struct SuiteLoad {
  std::u16string dir;
  Suite* suite = nullptr;
  SuiteError* error = nullptr;
  LocatedIni settings;           // suite.ini, kept for the lines of its keys
  std::vector<ComposeUse> uses;  // every compose of the products, in order of first use

  // Whether a product names a compose of that name (ASCII case ignored).
  bool IsCompose(const std::u16string& name) const;
  bool Fail(const SuiteError& problem) {
    *error = problem;
    return false;
  }
  bool Fail(const std::string& file, int line, const std::string& message) {
    return Fail(SuiteError{file, line, message});
  }
};

// suite_settings.cpp: suite.ini into suite->settings and the package's product list.
bool LoadSettings(SuiteLoad& load);
// suite_products.cpp: the product descriptions, their compose closures (the installer's) and
// the package's compose list; fills uses.
bool LoadProducts(SuiteLoad& load);
// suite_composes.cpp: the description of each compose in uses with its file lines and the files
// they name; descriptions that no compose uses are refused.
bool LoadComposes(SuiteLoad& load);
// suite_shortcuts.cpp: every shortcut targets a file of the suite and goes into a known folder.
bool CheckShortcuts(SuiteLoad& load);
// suite_skin.cpp: the two skin groups, and Setup.ini's registry entries and finish programs.
bool LoadSkin(SuiteLoad& load);

// Shared by the steps and the build (suite_load.cpp).
std::string Quoted(const std::u16string& text);
// "<what> '<text>' has N characters; at most <limit> fit"
std::string TooLong(const std::string& what, const std::u16string& text, size_t limit);
std::vector<std::u16string> SplitList(const std::u16string& list, char16_t separator, bool keep_empty);
bool ContainsName(const std::vector<std::u16string>& names, const std::u16string& name);
bool IsRegularFile(const std::u16string& path);
// The first file of the compose with that name (and section, when given); ASCII case ignored.
const SuiteFile* FindFile(const SuiteCompose& compose, const std::u16string& name,
                          const std::u16string* section = nullptr);

}  // namespace norvpack
