#pragma once
// Product: a product description "{product}.out" and the composes it is made of.
//   [Version]      ProductID, CurrentVer, Conflict, IsCheckString (integrity_check.h)
//   [HaveCompose]  All = comma-separated compose names (used when the caller gives no list)
//   [<compose>]    the compose's attributes: Type, Update, Base, Hide, LangGroup, NewShow,
//                  MustUpdate, SupportOS (hex OsMask), Parent, Depends, Resource,
//                  Title0804..Title000A, Detail0804..Detail000A ("||" becomes CR LF)
// A product owns its composes; they move between products and result lists as whole objects.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/ini_reader.h"
#include "engine/compose.h"
#include "engine/work_paths.h"

namespace engine {

// LoadProduct / AddCompose option bits.
constexpr uint32_t kLoadComposeFiles = 0x1;  // also load the file lists of Type 1 composes

// How a compose came into a product's closure.
enum class ClosureRole { kListed, kParent, kResource };

struct ClosureCompose {
  std::u16string name;      // the name it is loaded under: as written, cut to kMaxAttributeName
  std::u16string written;   // the name as the description writes it
  ClosureRole role = ClosureRole::kListed;
  std::u16string named_by;  // the compose whose Parent or Resource names it; empty for kListed
};

// The composes a product description installs when the caller gives no list: each name of
// "HaveCompose"/"All" in order, then its parent chain, then each name of its "Resource" list with
// that name's parent chain. Every name once, at its first position; names are cut to
// kMaxAttributeName before they are compared, so two that differ only beyond it are one compose.
// Resources of resources are not followed; a chain ends at an empty Parent, at "\"\"", at a
// compose that names itself, or at a name already in the chain. Empty when "All" names none.
std::vector<ClosureCompose> ComposeClosure(const app::CIniReader& product);

class Product {
 public:
  explicit Product(WorkPaths work_paths) : paths(std::move(work_paths)) {}
  Product(const Product&) = delete;
  Product& operator=(const Product&) = delete;

  // Loads the product description at path and adds its composes. compose_list (null or empty:
  // ComposeClosure of the description) is a comma-separated list used as given and kept in
  // compose_list.
  // Codes: 0; 2 null path; 18 the file cannot be loaded; 300 no list and "All" absent or empty;
  // or the first non-zero code of AddCompose.
  uint32_t LoadProduct(const char16_t* path, ComposeLocation location, const char16_t* compose_list,
                       uint32_t options);
  // LoadProduct of {I}Install\Product\{name}.out at kInstalled with no list. 2 for a null or
  // empty name, 18 for a name that is not a plain file name.
  uint32_t LoadInstalledProduct(const char16_t* product_name);

  // Adds one compose from its section: nothing (0) for an empty name or a compose whose
  // SupportOS shares no bit with GetOsMask(). For Type 1 the location becomes the product's and,
  // with kLoadComposeFiles, its file list is loaded (a failure discards it and is returned).
  // Codes: 0; 2 null name; 8 allocation failed; 18 the name is no plain file name; the codes of
  // Compose::LoadComposeFiles.
  uint32_t AddCompose(const char16_t* compose_name, uint32_t options);

  void SetComposeStates(ComposeState compose_state);
  // Moves every compose that list does not hold yet (by name) to the end of list, examining the
  // product's composes last to first.
  void MoveComposesInto(ComposeList& list);
  void DropComposes() { composes.clear(); }
  Compose* FindCompose(std::u16string_view compose_name) const { return engine::FindCompose(composes, compose_name); }

  WorkPaths paths;
  // Compared with the Installed-location file of the same name when set, else with
  // new_description_path.
  bool compare_with_installed = false;
  std::u16string new_description_path;
  std::u16string name;  // the file name without extension
  std::u16string file_path;
  ComposeLocation location = ComposeLocation::kSource;
  std::u16string conflict;
  int32_t product_id = 0;
  int32_t current_ver = 0;
  app::CIniReader ini;
  std::u16string compose_list;  // empty: all composes
  ComposeList composes;         // in load order
  uint16_t language = kDefaultLanguage;
  // The mask composes are selected with; GetOsMask() unless a caller chooses another.
  OsMask system_os_mask = GetOsMask();
};

}  // namespace engine
