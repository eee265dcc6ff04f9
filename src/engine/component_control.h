#pragma once
// Registration and process control around the file placement of a run: the suite's programs
// are stopped and their components unregistered before the files change, and registered and
// started again afterwards. Field 10 of a file line names what to register, field 11 the
// programs to stop and start; a reference is "file", "section:file" or "compose:section:file",
// the missing parts being those of the entry that holds it.
//
// Building the work lists is portable; everything that starts processes, loads DLLs or talks to
// the service manager is Windows only (component_control_win.cpp).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_entry.h"
#include "engine/target_path.h"
#include "engine/update_view.h"
#include "engine/work_paths.h"

namespace engine {

// Work flag bits of FileEntry::work_flags set here.
constexpr uint32_t kWorkRegister = 0x1;
constexpr uint32_t kWorkUnregister = 0x2;
constexpr uint32_t kWorkStart = 0x10;
constexpr uint32_t kWorkStop = 0x20;

constexpr size_t kMaxReferencePart = 63;
constexpr size_t kMaxReference = 511;

// Waits of the process control, in milliseconds.
constexpr uint32_t kProgramWaitMs = 30000;
constexpr uint32_t kCloseHandshakeWaitMs = 10000;
constexpr uint32_t kNorvFrameStopWaitMs = 5000;
constexpr uint32_t kAfterProgramWaitMs = 800;
constexpr uint32_t kAfterServiceProgramWaitMs = 500;
// Bounded waits this build adds: for regsvr32's exit and for the service to report stopped.
constexpr uint32_t kRegsvr32WaitMs = 30000;
constexpr uint32_t kServiceStopWaitMs = 30000;

// Which field of the run's entries a work list is built from.
enum class WorkListField { kRegister, kStartStop };  // field 10, field 11

// Reads the line of a file of an installed compose (its Installed-location description) into
// *entry with the compose's name, the section and the compose's Path. False when the description,
// the section or the line is missing or the line does not parse.
bool ReadInstalledFileEntry(const WorkPaths& paths, std::u16string_view compose_name, std::u16string_view section,
                            std::u16string_view file_name, FileEntry* entry);

// The work list of one field over the run's entries, in their order (not yet sorted). An entry
// named twice gets the union of the flags; a reference found neither in the run's list nor in
// the installed description of its compose is dropped.
FileEntryList BuildWorkList(const FileEntryList& run_files, WorkListField field, const WorkPaths& paths);

// What the file placement and the registry entries provide to the control phases (they own
// these steps); an empty step is skipped.
struct PlacementSteps {
  std::function<void(FileEntryList&)> sort_files;  // SortFiles
  std::function<void()> mark_files_invalid;        // MarkFilesInvalid
  std::function<void()> mark_files_valid;          // MarkFilesValid
  // Writes a value under the machine-wide RunOnce key (value name, command text).
  std::function<void(const std::u16string&, const std::u16string&)> write_run_once;
};

// The two phases of one run over the run's file list (not owned). The work lists live from
// StopAndUnregister to RegisterAndStart.
class ComponentControl {
 public:
  ComponentControl(FileEntryList* run_files, TargetFolders folders, PlacementSteps steps,
                   IUpdateView* progress = nullptr)
      : run_files_(run_files), folders_(std::move(folders)), steps_(std::move(steps)), progress_(progress) {}

  // 0; 40 without file list.
  uint32_t StopAndUnregister(uint32_t weight);
  // 0. Programs are not started when restart_needed is set.
  uint32_t RegisterAndStart(uint32_t weight, bool restart_needed);

  const FileEntryList& StartStopList() const { return start_stop_; }
  const FileEntryList& RegisterList() const { return register_; }

 private:
  class Walk;
  // Registers one entry of the register list at path; true on success.
  bool RegisterEntry(const FileEntry& entry, const std::u16string& path);
  void StartPrograms(uint32_t part);

  FileEntryList* run_files_;
  TargetFolders folders_;
  PlacementSteps steps_;
  IUpdateView* progress_;  // not owned; null reports nothing
  FileEntryList start_stop_;
  std::vector<bool> closed_;  // per start/stop entry: the "-close" handshake confirmed
  FileEntryList register_;
};

// Windows only ---------------------------------------------------------------------------------

// Starts a program and, with wait, waits for it up to timeout_ms (a program still running then
// is left running), then 800 ms. The command line is "<path> <arguments>" with path_first, else
// the arguments alone. 1 started, 0 not started.
uint32_t Execute(const std::u16string& path, std::u16string_view arguments, bool wait, bool show, bool path_first,
                 uint32_t order, uint32_t timeout_ms);

// The "-close" handshake with the program at path: starts "<path> <file name> -close", waits up
// to 10 s for the event named after the entry's file name, and sets *closed when the program
// then added the global atom of that name. 1 when the program was started, else 0.
uint32_t CloseProgram(const std::u16string& path, const FileEntry& entry, bool* closed);

// Calls DllRegisterServer (reg) or DllUnregisterServer of the DLL at path, falling back to the
// system's regsvr32. The DLL must lie in the install folder or a system folder of folders. A
// 64-bit DLL is called in-process (a fault inside it is contained and logged); a 32-bit one goes
// to regsvr32 of the system folder by full path, whose exit code (waited for up to 30 s) is the
// result. 1 success, 0 failure.
uint32_t RegisterDll(const TargetFolders& folders, const std::u16string& path, bool reg, uint32_t order);

// Runs the 64-bit system folder's regsvr32 on the DLL. 1 when the platform started it, else 0.
uint32_t RegisterCom64(const std::u16string& path, bool reg, uint32_t order);

// The suite's service, "NorvService", and its program "NorvServ.exe".
constexpr char16_t kServiceName[] = u"NorvService";
constexpr char16_t kServiceProgramName[] = u"NorvServ.exe";

class ServiceController {
 public:
  // Finds the service program in the run's list (the last entry of that name) and makes the
  // service stoppable; false when the run has none.
  bool SetUpFromRun(const FileEntryList& run_files, const TargetFolders& folders);
  void SetUp(std::u16string program_path);

  // Stops the service and waits up to 30 s until it reports stopped. 0 stopped or nothing to
  // do; 4 no service manager; 7 no such service; 8 stop refused (or not stopped in time).
  uint32_t StopService();
  // Starts the service program with the verb "runas" (mode 1) or "open". 1 when the platform
  // reports success.
  uint32_t RunServiceProgram(std::u16string_view arguments, uint32_t mode);

  const std::u16string& ProgramPath() const { return program_path_; }
  bool MayStop() const { return may_stop_; }

 private:
  std::u16string program_path_;
  bool may_stop_ = false;
};

// True when path is a full path inside the install folder or a system folder of folders: the
// only places a DLL named by a description is loaded from.
bool IsInTrustedFolder(const std::u16string& path, const TargetFolders& folders);

enum class LibraryCall {
  kReturned,    // *result holds the entry point's value
  kLoadFailed,  // *error holds the platform's error of the load
  kNoEntry,     // the library has no such entry point
  kFaulted,     // a fault ended the call; *error holds its exception code
};

// Loads the library at path (a full path, with the altered search path), calls the entry point
// of that name (no arguments, a 32-bit result) with faults contained, and unloads it.
LibraryCall CallLibraryEntry(const std::u16string& path, const char* entry_name, int32_t* result, uint32_t* error);

}  // namespace engine
