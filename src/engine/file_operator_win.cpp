#include "app/log.h"
#include "engine/engine_codes.h"
#include "engine/file_operator.h"
#include "engine/local_install.h"
#include "engine/run_keys.h"

namespace engine {

uint32_t FileOperator::ReplaceFiles(uint32_t weight) {
  const uint32_t rc = PlaceFiles(weight);
  if (rc != kOk) return rc;
  return UpdateRunKeys(*FileList());
}

// A removed file loses its mark at once: once its compose's new description is installed, no
// later run knows the file, so a mark set at the end of the run would be left by a run killed
// before that end and not by one that got there.
void FileOperator::MarkFilesInvalid() {
  if (!FileList()) return;
  FileValidMarks marks(FileValidMarks::Access::kWrite);
  for (const FileEntry& entry : *FileList()) {
    if (entry.state == FileState::kRemoved) {
      marks.Remove(entry.file_name.c_str(), entry.compose_name.c_str());
    } else {
      marks.Set(entry.file_name.c_str(), entry.compose_name.c_str(), 0);
    }
  }
}

void FileOperator::MarkFilesValid() {
  if (!FileList()) return;
  FileValidMarks marks(FileValidMarks::Access::kWrite);
  for (const FileEntry& entry : *FileList()) {
    if (entry.state == FileState::kRemoved) continue;
    const bool registered = (entry.work_flags & kWorkRegisterFailed) == 0;
    if (!registered) app::LogText2(u"warning, file install invalid ! file=", entry.file_name.c_str());
    marks.Set(entry.file_name.c_str(), entry.compose_name.c_str(), registered ? 1 : 0);
  }
}

}  // namespace engine
