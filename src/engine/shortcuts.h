#pragma once
// Shortcuts: links (".lnk") on the desktop and in the programs menu to installed files, and the
// programs-menu folders that hold them. A product or compose description lists them:
//   [Shortcut]          id = target: "{compose}-{file}" in a product, "{section}-{file}" (a file
//                       identifier of the compose) in a compose
//   [ShortcutTitle]     {id}{language, 4 lower-case hex digits} = title, the link's file name
//   [ShortcutParam]     id = arguments of the link
//   [ShortcutPosition]  id = text containing "desktop" and/or "programes" (any case)
//   [ShortcutParent]    id = comma-separated programs-menu folder ids, one link in each
//   [ShortcutFolder]    folder id = icon file relative to {I} (product only); the folder's title
//                       is read from [ShortcutTitle] like a link's
// Every link carries its id as description: links are found again by it, never by their name,
// so a link whose title changed is still replaced. The folder titles are kept in the folder map,
// section "NameTitleMap" of {programs}\desktop.ini (folder id = title), so that a folder can be
// renamed or removed later by id.
//
// Titles become file and folder names under a shell folder: a title that is not one plain name
// (empty, a separator, a drive, "." or "..") is refused with an "error" line in the log, and so
// is a title read back from the folder map, so that no description writes outside its folder.
// COM must be initialised on the calling thread. On the host build, which has no shell, every
// link and folder operation fails.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/ini_reader.h"
#include "engine/compose.h"
#include "engine/product.h"
#include "engine/target_path.h"

namespace engine {

// Position bits.
constexpr uint32_t kShortcutDesktop = 1;
constexpr uint32_t kShortcutPrograms = 2;

// The bits of a "ShortcutPosition" value: "desktop" and "programes" anywhere in it, any case.
uint32_t ShortcutPositionBits(std::u16string_view position);

// The "ShortcutTitle" key of an id or folder id: the id and the language as "%04x".
std::u16string ShortcutTitleKey(std::u16string_view id, uint16_t language);

struct ShortcutEntry {
  std::u16string id;
  std::u16string target;  // the "Shortcut" value, resolved by the caller
  std::u16string title;
  std::u16string arguments;
  uint32_t position = 0;  // kShortcut* bits
  std::u16string parents;  // comma-separated folder ids
};

// Every key of "Shortcut" in order, with its title (in language), arguments, position and parents.
std::vector<ShortcutEntry> ReadShortcutEntries(const app::CIniReader& description, uint16_t language);

// The shell folders links are placed in, without trailing separator; empty when unknown.
struct ShortcutFolders {
  std::u16string desktop;
  std::u16string programs;
};
// GetDesktopDirectory and GetProgramsDirectory of the running system.
ShortcutFolders SystemShortcutFolders();

// The file of the folder map, "{programs}\desktop.ini".
std::u16string FolderMapPath(const ShortcutFolders& folders);

// Saves a link to target at link_path with the arguments, icon (index 0) and description that
// are not empty; *out_path (when given) receives link_path. False for a null target, when the
// link object cannot be made, or when the save fails ("error, CreateShortcut file=..." with the
// failure code).
bool CreateShortcut(const char16_t* target, std::u16string_view arguments, std::u16string_view link_path,
                    std::u16string_view icon, std::u16string_view description, std::u16string* out_path);

// Replaces the desktop link of id: links with that description anywhere under the desktop go,
// then {desktop}\{title}.lnk is made. False when the desktop is unknown, the title is refused or
// the link is not saved.
bool CreateDesktopShortcut(const ShortcutFolders& folders, std::u16string_view target, std::u16string_view arguments,
                           std::u16string_view title, std::u16string_view icon, std::u16string_view id,
                           std::u16string* out_path);

// The same in the programs menu: in the folder that the folder map gives parent_id (the programs
// folder itself for an empty parent_id), made when missing. False also when the map has no such
// id or its title is refused.
bool CreateProgramsShortcut(const ShortcutFolders& folders, std::u16string_view target,
                            std::u16string_view arguments, std::u16string_view title, std::u16string_view icon,
                            std::u16string_view id, std::u16string_view parent_id, std::u16string* out_path);

// Makes the links of one entry to target_path: on the desktop when kShortcutDesktop is set and
// app::CreateDesktopLinks() is on; in each parent folder when kShortcutPrograms is set. True
// when every link tried was made.
bool PlaceShortcut(const ShortcutFolders& folders, const ShortcutEntry& entry, std::u16string_view target_path);

// Makes the programs-menu folder {programs}\{title} for folder id (moving the folder of the title
// the map held before, when that one exists and the new one does not), gives it a desktop.ini
// with IconFile {install_dir}{icon} when icon is not empty, and records id = title in the map.
bool CreateShortcutFolder(const ShortcutFolders& folders, std::u16string_view id, std::u16string_view icon,
                          std::u16string_view title, std::u16string_view install_dir);

// Removes {programs}\{title} and the folder the map gives id, with their contents when they are
// not empty, and the map's entry. An empty title does nothing. False when the programs folder is
// unknown or a title is refused.
bool RemoveShortcutFolder(const ShortcutFolders& folders, std::u16string_view id, std::u16string_view title);

// Deletes every ".lnk" whose description is id (any case) in folder and its sub-folders (links
// and junctions to other folders are not followed). False only for an empty folder or id.
bool DeleteLinksWithDescription(std::u16string_view folder, std::u16string_view id);
bool LinkDescriptionEquals(std::u16string_view link_path, std::u16string_view text);
// DeleteLinksWithDescription on the desktop (bit kShortcutDesktop) and in the programs menu
// (kShortcutPrograms); false when a folder searched is unknown.
bool DeleteShortcutsFor(const ShortcutFolders& folders, std::u16string_view id, uint32_t position);

// The folders and links of a product description (loaded again from product.file_path): targets
// "{compose}-{file}" (further "-" parts ignored) resolve through FindInstalledFilePath; a
// target that resolves to nothing makes no link and no failure. True when every folder and link
// was made.
bool CreateProductShortcuts(const Product& product, const ShortcutFolders& folders, const TargetFolders& targets);

// The links of a compose description (loaded again from compose.file_path): targets are file
// identifiers of the compose; a file whose OsMask excludes this system gets no link. Nothing is
// done (true) when update_option is set and the compose was installed before this run, or the
// description has no "Shortcut" section. True when every link was made.
bool CreateComposeShortcuts(const Compose& compose, bool update_option, bool installed_before,
                            const ShortcutFolders& folders, const TargetFolders& targets);

// Removal by id: the links of every shortcut where its position puts them, then (product only)
// the folders. True when everything was removed.
bool RemoveProductShortcuts(const Product& product, const ShortcutFolders& folders);
bool RemoveComposeShortcuts(const Compose& compose, const ShortcutFolders& folders);

}  // namespace engine
