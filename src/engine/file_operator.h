#pragma once
// FileOperator: the installed-state store extended with the placement of the run's files.
// Removed entries are deleted; every other entry that is not Unchanged is put at its resolved
// full path from the file the package extracted for it (unpacked on the way when it is packed).
// A file in the way that cannot be deleted is renamed aside, or, with field 7, the entry gets a
// new name; a copy that fails is deferred to the next restart. The updater "NorvUpdate.exe" is
// only ever overwritten, and when it is the running program its successor is placed beside it as
// "NorvUpdateNew.exe". The new file is made ready (found, unpacked) before the installed one is
// cleared away. Nothing is rolled back: a failure ends the pass with the files placed so far left
// in place.
#include <cstdint>

#include "engine/file_entry.h"
#include "engine/local_install.h"
#include "engine/progress_share.h"
#include "engine/update_view.h"
#include "engine/work_paths.h"

namespace engine {

// Exchange sort on field 5 as an unsigned number: each position i, from the first to the
// next-to-last, is swapped with every later position j whose entry has a smaller field 5. Equal
// entries end up in the order this procedure leaves them, which later steps rely on.
void SortFiles(FileEntryList& files);

class FileOperator : public CLocalInstall {
 public:
  explicit FileOperator(WorkPaths paths);

  // The run's file list, not owned; set by each run before the file steps. Placement sorts it
  // and changes target paths and deferred flags in place.
  void SetFileList(FileEntryList* files) { files_ = files; }
  FileEntryList* FileList() const { return files_; }
  // The progress view, not owned; null makes no calls.
  void SetView(IUpdateView* view) { view_ = view; }
  IUpdateView* View() const { return view_; }

  // Places the files, then updates the Run and RunOnce keys of the list (Windows only).
  // weight is the share of the run's 0..1000 progress spread over the entries. Returns
  //   kOk                       every file placed, or deferred to the next restart;
  //   kNoFileList               no file list was set;
  //   kPlaceSourceMissing       the file to place is missing (or field 2 is neither 0 nor 1);
  //   kPlaceRestartMoveFailed   a copy failed and could not be deferred to the next restart;
  //   a package::kUnpack* code  a packed file did not unpack (its extracted file is deleted).
  // Deferring a file, deleting a removed file at restart, and field 8 set RestartNeeded.
  uint32_t ReplaceFiles(uint32_t weight);
  // ReplaceFiles without the run keys: both passes over the list, with the same results.
  uint32_t PlaceFiles(uint32_t weight);

  // FileValid marks (Windows only): MarkFilesInvalid sets every listed file's mark to 0 before
  // programs are stopped, and deletes the marks of Removed entries; MarkFilesValid, after
  // registration, sets the mark of every entry that is not Removed to 1, or to 0 with a warning
  // when registering the file failed (kWorkRegisterFailed).
  void MarkFilesInvalid();
  void MarkFilesValid();

 private:
  void DeleteRemovedFile(const FileEntry& entry);
  // Frees the entry's target path, or gives the entry another one (field 7).
  void ClearTarget(FileEntry& entry);
  uint32_t PlaceFile(FileEntry& entry);

  FileEntryList* files_ = nullptr;
  IUpdateView* view_ = nullptr;
  // Progress of the second pass: each placed entry advances it.
  ProgressShare progress_{nullptr, 0, 0};
};

}  // namespace engine
