// The two control phases of a run: StopAndUnregister before the files are placed,
// RegisterAndStart after.
#include <windows.h>

#include <string>

#include "app/log.h"
#include "base/format.h"
#include "base/strings.h"
#include "engine/component_control.h"
#include "engine/progress_share.h"
#include "platform/fs.h"
#include "platform/os_version.h"

namespace engine {

// Progress of one walk over a work list with progress part `part`: each handled entry adds
// part / count to the view's position.
class ComponentControl::Walk {
 public:
  Walk(IUpdateView* progress, uint32_t part, size_t count) : progress_(progress), share_(progress, part, count) {
    if (!progress_) return;
    progress_->SetStatus(128);
    progress_->SetItemRange(0, static_cast<uint32_t>(count));
  }
  void Handled() {
    if (!progress_) return;
    progress_->BeginItem(1);
    share_.Advance();
  }

 private:
  IUpdateView* progress_;
  ProgressShare share_;
};

uint32_t ComponentControl::StopAndUnregister(uint32_t weight) {
  if (!run_files_) return 40;
  if (progress_) progress_->SetStatus(128);
  for (FileEntry& entry : *run_files_) {
    if (entry.full_path.empty()) entry.full_path = FileTargetPath(entry, folders_);
  }
  if (progress_) progress_->StepIt(weight * 5 / 100);

  if (steps_.sort_files) steps_.sort_files(*run_files_);
  const WorkPaths paths(folders_.install_dir);
  start_stop_ = BuildWorkList(*run_files_, WorkListField::kStartStop, paths);
  register_ = BuildWorkList(*run_files_, WorkListField::kRegister, paths);
  if (steps_.sort_files) {
    steps_.sort_files(start_stop_);
    steps_.sort_files(register_);
  }
  closed_.assign(start_stop_.size(), false);
  if (progress_) progress_->StepIt(weight * 5 / 100);

  Walk stopping(progress_, weight * 45 / 100, start_stop_.size());
  for (size_t i = start_stop_.size(); i-- > 0;) {
    FileEntry& entry = start_stop_[i];
    if (!(entry.work_flags & kWorkStop)) continue;
    entry.full_path = FileTargetPath(entry, folders_);
    if (entry.kind == 2) {
      Execute(entry.full_path, u"-Stop", true, false, true, 0, kProgramWaitMs);
    } else if (entry.kind != 1) {
      bool closed = false;
      CloseProgram(entry.full_path, entry, &closed);
      closed_[i] = closed;
    }
    if (base::EqualsIgnoreAsciiCase(entry.file_name, u"norvframe.exe")) {
      Sleep(kNorvFrameStopWaitMs);
      app::LogText(u"norvframe is stop, so wait 5 second!");
    }
    stopping.Handled();
  }

  if (steps_.mark_files_invalid) steps_.mark_files_invalid();

  Walk unregistering(progress_, weight * 45 / 100, register_.size());
  for (size_t i = register_.size(); i-- > 0;) {
    FileEntry& entry = register_[i];
    if (!(entry.work_flags & kWorkUnregister)) continue;
    entry.full_path = FileTargetPath(entry, folders_);
    if (entry.kind == 1) {
      RegisterDll(folders_, entry.full_path, false, entry.order);
    } else if (entry.kind == 2) {
      Execute(entry.full_path, u" -Stop", true, false, true, 0, kProgramWaitMs);
      Execute(entry.full_path, u" -UnRegServer", true, false, entry.order != 0, 0, kProgramWaitMs);
    }
    unregistering.Handled();
  }
  return 0;
}

bool ComponentControl::RegisterEntry(const FileEntry& entry, const std::u16string& path) {
  if (entry.kind != 1 && entry.kind != 2) return true;
  if (entry.deferred) {
    const std::u16string text = entry.kind == 1 ? base::Format(kMaxPathText + 32, u"regsvr32 /s \"%s\" ", path.c_str())
                                                : base::Format(kMaxPathText + 32, u"\"%s\" -RegServer", path.c_str());
    app::LogText2(u"msg,AddRunOnceItem value=", text.c_str());
    if (steps_.write_run_once) steps_.write_run_once(entry.file_name, text);
    return false;  // the file stays marked invalid until the restart has registered it
  }
  if (entry.kind == 2) return Execute(path, u" -RegServer", true, false, entry.order != 0, 0, kProgramWaitMs) != 0;
  if ((entry.os_mask & kOs64BitFileBits) && platform::IsRunningUnder64BitWindows()) {
    return RegisterCom64(path, true, entry.order) != 0;
  }
  return RegisterDll(folders_, path, true, entry.order) != 0;
}

uint32_t ComponentControl::RegisterAndStart(uint32_t weight, bool restart_needed) {
  Walk registering(progress_, weight * 70 / 100, register_.size());
  for (FileEntry& entry : register_) {
    std::u16string path;
    if (entry.work_flags & kWorkRegister) {
      path = FileTargetPath(entry, folders_);
    } else {
      path = FindInstalledFilePath(folders_, entry.compose_name, entry.file_name, nullptr);
      if (path.empty() || !platform::PathExists(path)) {
        app::LogFormat(u"warning , file=%s not exist or not in compose %s,so ignore DllRegServer !",
                       entry.file_name.c_str(), entry.compose_name.c_str());
        continue;
      }
      if (entry.state == FileState::kRemoved) {
        app::LogFormat(u"msg , file=%s in compose %s , have  delete flag, so ignore DllRegServer !",
                       entry.file_name.c_str(), entry.compose_name.c_str());
        continue;
      }
    }
    entry.full_path = path;
    if (!RegisterEntry(entry, path) && run_files_ && entry.order_index < run_files_->size()) {
      (*run_files_)[entry.order_index].work_flags |= kWorkRegisterFailed;
    }
    registering.Handled();
  }
  if (steps_.mark_files_valid) steps_.mark_files_valid();
  if (!restart_needed) StartPrograms(weight * 30 / 100);
  return 0;
}

void ComponentControl::StartPrograms(uint32_t part) {
  Walk starting(progress_, part, start_stop_.size());
  for (size_t i = 0; i < start_stop_.size(); ++i) {
    FileEntry& entry = start_stop_[i];
    entry.full_path = FileTargetPath(entry, folders_);
    // Only programs that stay in the suite are started again; removed ones were only stopped.
    if (!(entry.work_flags & kWorkStart)) {
      if (entry.full_path.empty()) {
        app::LogText2(u" msg , start app file not exist, so need not start: file= ", entry.file_name.c_str());
      }
      continue;
    }
    if (entry.kind == 2) {
      Execute(entry.full_path, u"-Start", true, false, true, 0, kProgramWaitMs);
    } else if (entry.kind != 1 && i < closed_.size() && closed_[i]) {
      Execute(entry.full_path, u"", false, true, false, entry.order, kProgramWaitMs);
    }
    starting.Handled();
  }
}

}  // namespace engine
