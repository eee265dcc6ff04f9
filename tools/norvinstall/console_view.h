#pragma once
// ConsoleView: the install engine's progress view for a console program. On a console it keeps
// one line redrawn in place ("\r") with a bar, the percentage and what the engine is doing; on a
// pipe or file it prints a plain line at every 10 %; quiet prints nothing. It records the end code
// and the restart flag of OnFinish, counts the files placed and deleted, and answers IsCancel
// with what RequestCancel (the Ctrl+C handler) asked for.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/update_view.h"

namespace norvinstall {

class ConsoleView final : public engine::IUpdateView {
 public:
  enum class Mode { kBar, kLines, kQuiet };

  ConsoleView(Mode mode, std::FILE* out) : mode_(mode), out_(out) {}
  ~ConsoleView() override = default;

  // Asks the engine to stop at its next check (safe from another thread).
  void RequestCancel() { cancel_.store(true); }
  // Calls hook with the running count at every OnCopyFile (tests end the process from it).
  void SetCopyHook(std::function<void(uint32_t copies)> hook) { copy_hook_ = std::move(hook); }

  bool finished() const { return finished_; }
  uint32_t code() const { return code_; }
  uint32_t restart() const { return restart_; }
  uint32_t copied_files() const { return copied_; }
  uint32_t deleted_files() const { return deleted_; }
  // Records the time of every change of phase (--timing), for PrintTiming.
  void EnableTiming() { timing_ = true; }
  // One line per phase, in order, with the seconds spent in it (nothing without EnableTiming).
  void PrintTiming(std::FILE* out) const;
  // Ends a line left open by the bar, so the next output starts on a fresh line.
  void EndLine();

  uint32_t IsCancel() override { return cancel_.load() ? 1 : 0; }
  void StepIt(uint32_t amount) override;
  void BeginItem(uint32_t) override {}
  void SetRange(uint16_t low, uint16_t high) override;
  void SetItemRange(uint32_t, uint32_t) override {}
  uint32_t GetPos() override { return position_; }
  uint16_t SetPos(uint32_t position) override;
  void SetFull() override;
  void EndItems() override {}
  void SetStatus(uint32_t code) override;
  void OnCopyFile(const char16_t* source, const char16_t* target) override;
  void OnStart() override;
  void OnFinish(uint32_t code, uint32_t restart) override;
  void OnDeleteFile(const char16_t* path) override;
  void SetFileCount(uint32_t count) override;
  void SetCurrentFile(uint32_t number) override;

 private:
  void Show(bool force);
  // Sets the phase shown and, with timing, notes when it began.
  void Phase(const char* phase);

  const Mode mode_;
  std::FILE* const out_;
  std::atomic<bool> cancel_{false};
  std::function<void(uint32_t)> copy_hook_;
  uint32_t low_ = 0;
  uint32_t high_ = 1000;
  uint32_t position_ = 0;
  uint32_t file_count_ = 0;
  uint32_t current_file_ = 0;
  uint32_t copied_ = 0;
  uint32_t deleted_ = 0;
  const char* phase_ = "starting";
  const char* shown_phase_ = nullptr;
  int shown_percent_ = -1;
  std::string shown_text_;
  bool line_open_ = false;
  bool finished_ = false;
  uint32_t code_ = 0;
  uint32_t restart_ = 0;
  bool timing_ = false;
  std::vector<std::pair<const char*, std::chrono::steady_clock::time_point>> marks_;
};

}  // namespace norvinstall
