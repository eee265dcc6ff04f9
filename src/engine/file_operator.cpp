#include "engine/file_operator.h"

#include <cstdlib>
#include <utility>

#include "app/log.h"
#include "base/format.h"
#include "base/path.h"
#include "base/strings.h"
#include "engine/engine_codes.h"
#include "engine/restart_needed.h"
#include "package/file_utils.h"
#include "package/packed_file.h"
#include "platform/fs.h"
#include "platform/system.h"

namespace engine {
namespace {

constexpr char16_t kUpdaterName[] = u"NorvUpdate.exe";
// The running updater cannot overwrite itself: its successor is placed beside it.
constexpr char16_t kUpdaterSuccessorName[] = u"NorvUpdateNew.exe";
constexpr int kMaxNewNames = 22;
// Log lines hold two paths and a little text.
constexpr size_t kMaxLogLine = 3 * kMaxFullPath;

bool IsPlaced(const FileEntry& entry) {
  return entry.state != FileState::kRemoved && entry.state != FileState::kUnchanged;
}

// "{target}_{hex}{hex}.rem": the first number is tick % 10000 + random % 100000; the second only
// makes a clash with an earlier name less likely.
std::u16string AsideName(const std::u16string& target) {
  const uint32_t first = platform::TickCount() % 10000 + static_cast<uint32_t>(std::rand()) % 100000;
  const uint32_t second = static_cast<uint32_t>(std::rand()) % 0x1000;
  return base::Format(kMaxLogLine, u"%s_%x%x.rem", target.c_str(), first, second);
}

// The name a file that can be neither deleted nor moved aside is given under field 7, in the
// same folder: "{stem}_{n}{extension}". A stem that already ends in "_0" to "_9" counts on from
// that number (n + 1, replacing it); any other stem, including one ending in "_10" or more, is
// taken whole and counts from 1.
std::u16string RenamedTargetPath(std::u16string_view path) {
  const std::u16string_view name = base::FileNamePart(path);
  const std::u16string_view folder = path.substr(0, path.size() - name.size());
  std::u16string_view stem = FileStem(name);
  const std::u16string_view extension = name.substr(stem.size());
  uint32_t counter = 1;
  if (stem.size() >= 2 && stem[stem.size() - 2] == u'_' && stem.back() >= u'0' && stem.back() <= u'9') {
    counter = static_cast<uint32_t>(stem.back() - u'0') + 1;
    stem.remove_suffix(2);
  }
  std::u16string out(folder);
  out.append(stem).append(u"_").append(base::UnsignedToUtf16(counter)).append(extension);
  return out;
}

}  // namespace

void SortFiles(FileEntryList& files) {
  for (size_t i = 0; i + 1 < files.size(); ++i) {
    for (size_t j = i + 1; j < files.size(); ++j) {
      if (files[i].order > files[j].order) std::swap(files[i], files[j]);
    }
  }
}

FileOperator::FileOperator(WorkPaths paths) : CLocalInstall(std::move(paths)) {}

void FileOperator::DeleteRemovedFile(const FileEntry& entry) {
  const std::u16string& target = entry.full_path;
  if (view_) view_->OnDeleteFile(target.c_str());
  if (!platform::PathExists(target)) return;
  if (platform::DeleteFileAt(target)) {
    app::LogText2(u"msg , delete file :", target.c_str());
    return;
  }
  package::TzRestartDeleteFile(target.c_str());
  SetRestartNeeded();
  app::LogText2(u"msg , TzRestartDeleteFile file :", target.c_str());
}

void FileOperator::ClearTarget(FileEntry& entry) {
  if (base::EqualsIgnoreAsciiCase(entry.file_name, kUpdaterName)) {
    // Overwritten by the copy where it can be; never deleted or moved aside.
    if (base::EqualsIgnoreAsciiCase(base::FileNamePart(platform::ModuleFilePath()), kUpdaterName)) {
      entry.full_path = base::JoinPath(base::ParentPart(entry.full_path), kUpdaterSuccessorName);
    }
    return;
  }
  if (!platform::PathExists(entry.full_path)) return;
  for (int new_names = 0;;) {
    const std::u16string target = entry.full_path;
    platform::SetNormalAttributes(target);
    if (platform::DeleteFileAt(target)) return;
    // A running program can be renamed though not deleted: its image lives on under the new
    // name until the restart deletes it.
    const std::u16string aside = AsideName(target);
    if (platform::MoveFileKeeping(target, aside)) {
      package::TzRestartDeleteFile(aside.c_str());
      app::LogFormat(u"msg ,Rename and restart Delete File tofile=%s fromfile=%s ok!", aside.c_str(), target.c_str());
      return;
    }
    if (entry.rename_if_locked == 0) return;
    package::TzRestartDeleteFile(target.c_str());
    app::LogText2(u"msg ,next rename TzRestartDeleteFile file :", target.c_str());
    const std::u16string renamed = RenamedTargetPath(target);
    if (renamed.size() > kMaxFullPath) return;
    entry.full_path = renamed;
    if (++new_names >= kMaxNewNames || !platform::PathExists(renamed)) return;
  }
}

uint32_t FileOperator::PlaceFile(FileEntry& entry) {
  // The source is made ready before the installed file is cleared away, so that a file which
  // cannot be unpacked, or is missing, leaves the installed one in place.
  std::u16string source;
  if (entry.packed == 0) {
    source = entry.extracted_path;
  } else if (entry.packed == 1) {
    // Beside the extracted file, in its small folder of the run's Temp.
    source = entry.extracted_path.empty() ? Paths().TempFilePath() : entry.extracted_path + u".unpacked";
    package::CreatePath(source.c_str());
    const uint32_t rc = package::ZQP_UnPackFile(entry.extracted_path.c_str(), source.c_str());
    if (rc != package::kUnpackOk) {
      const std::u16string line =
          base::Format(kMaxLogLine, u"error,ZQP_UnPackFile file error,file name=%s from=%s to=%s",
                       entry.file_name.c_str(), entry.extracted_path.c_str(), source.c_str());
      app::LogText(line.c_str(), rc);
      platform::DeleteFileAt(entry.extracted_path);
      return rc;
    }
    // The packed copy is of no more use; gone now, it cannot outlive a run killed after the
    // move below (the next run finds the file in place and never extracts it again).
    platform::DeleteFileAt(entry.extracted_path);
  }
  if (!platform::PathExists(source)) {
    app::LogText2(u"error ,Repalce file source file not existing ,file=", source.c_str());
    return kPlaceSourceMissing;
  }

  ClearTarget(entry);
  const std::u16string& target = entry.full_path;
  package::CreatePath(target.c_str());
  if (view_) view_->OnCopyFile(source.c_str(), target.c_str());
  progress_.Advance();

  // The source is a temporary file of this run in the install folder's own "Temp", so moving it
  // into place puts the same bytes there as copying would, without writing them a second time.
  const bool moved = platform::MoveFileReplacing(source, target);
  if (moved || platform::CopyFileOverwriting(source, target)) {
    app::LogFormat(u"msg ,CopyFile tofile=%s fromfile=%s ok!", target.c_str(), source.c_str());
    if (!moved) platform::DeleteFileAt(source);
    if (entry.needs_restart != 0) {
      app::LogFormat(u"msg ,need restart os ,becase file=%s changed and have restart property!", target.c_str());
      SetRestartNeeded();
    }
    return kOk;
  }
  // Without a target the delayed move would turn into deleting the source at the restart.
  if (!target.empty() && package::__smartmovefile(source.c_str(), target.c_str(), 4)) {
    entry.deferred = 1;
    app::LogFormat(u"warning ,__smartmovefile tofile=%s fromfile=%s ok!", target.c_str(), source.c_str());
    SetRestartNeeded();
    return kOk;
  }
  app::LogFormat(u"warning ,__smartmovefile failed ! tofile=%s fromfile=%s !", target.c_str(), source.c_str());
  return kPlaceRestartMoveFailed;
}

uint32_t FileOperator::PlaceFiles(uint32_t weight) {
  if (!files_) return kNoFileList;
  FileEntryList& files = *files_;
  if (view_) view_->SetStatus(128);
  progress_ = ProgressShare(view_, weight, files.size());
  if (view_) view_->SetItemRange(0, static_cast<uint32_t>(files.size()));
  SortFiles(files);

  for (const FileEntry& entry : files) {
    if (entry.state != FileState::kRemoved) continue;
    DeleteRemovedFile(entry);
    if (view_) view_->BeginItem(1);
  }
  for (FileEntry& entry : files) {
    if (!IsPlaced(entry)) continue;
    const uint32_t rc = PlaceFile(entry);
    if (rc != kOk) return rc;
    if (view_) view_->BeginItem(1);
  }
  return kOk;
}

}  // namespace engine
