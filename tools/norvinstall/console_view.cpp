#include "console_view.h"

#include <algorithm>

namespace norvinstall {

namespace {
constexpr int kBarWidth = 30;
}

void ConsoleView::EndLine() {
  if (line_open_) {
    std::fputc('\n', out_);
    std::fflush(out_);
    line_open_ = false;
  }
}

void ConsoleView::Phase(const char* phase) {
  if (timing_ && (marks_.empty() || marks_.back().first != phase)) {
    marks_.emplace_back(phase, std::chrono::steady_clock::now());
  }
  phase_ = phase;
}

void ConsoleView::PrintTiming(std::FILE* out) const {
  for (size_t i = 0; i + 1 < marks_.size(); ++i) {
    const double seconds = std::chrono::duration<double>(marks_[i + 1].second - marks_[i].second).count();
    std::fprintf(out, "timing %-12s %8.3f s\n", marks_[i].first, seconds);
  }
}

void ConsoleView::StepIt(uint32_t amount) {
  position_ = std::min(high_, position_ + amount);
  Show(false);
}

void ConsoleView::SetRange(uint16_t low, uint16_t high) {
  low_ = low;
  high_ = high > low ? high : low + 1;
}

uint16_t ConsoleView::SetPos(uint32_t position) {
  const uint16_t previous = static_cast<uint16_t>(position_);
  position_ = position;
  // Positions up to 22 are the steps before the compose descriptions are obtained.
  if (position <= 22 && file_count_ == 0 && copied_ == 0) Phase(position <= 3 ? "reset" : "descriptions");
  Show(false);
  return previous;
}

void ConsoleView::SetFull() {
  position_ = high_;
  Show(false);
}

void ConsoleView::SetStatus(uint32_t code) {
  // 133: the file lists are compared; 128: a placement or program control phase begins.
  Phase(code == 133 ? "comparing" : "control");
  Show(false);
}

void ConsoleView::OnCopyFile(const char16_t*, const char16_t*) {
  ++copied_;
  Phase("placing");
  if (copy_hook_) copy_hook_(copied_);
  Show(false);
}

void ConsoleView::OnStart() {
  finished_ = false;
  Phase("starting");
  Show(true);
}

void ConsoleView::OnFinish(uint32_t code, uint32_t restart) {
  finished_ = true;
  code_ = code;
  restart_ = restart;
  Phase(code == 0 ? "done" : "stopped");
  Show(true);
  EndLine();
}

void ConsoleView::OnDeleteFile(const char16_t*) {
  ++deleted_;
  Phase("deleting");
  Show(false);
}

void ConsoleView::SetFileCount(uint32_t count) {
  file_count_ = count;
  current_file_ = 0;
}

void ConsoleView::SetCurrentFile(uint32_t number) {
  current_file_ = number;
  Phase("extracting");
  Show(false);
}

void ConsoleView::Show(bool force) {
  if (mode_ == Mode::kQuiet) return;
  const uint32_t span = high_ - low_;
  const uint32_t done = position_ > low_ ? std::min(position_ - low_, span) : 0;
  const int percent = static_cast<int>(uint64_t{done} * 100 / span);
  if (mode_ == Mode::kLines) {
    // One line per 10 % reached, and the last one.
    if (percent / 10 != shown_percent_ / 10 || (force && finished_ && percent != shown_percent_)) {
      std::fprintf(out_, "progress %3d%%\n", percent);
      std::fflush(out_);
      shown_percent_ = percent;
    }
    return;
  }
  std::string detail = phase_;
  if (phase_[0] == 'e' && file_count_ > 0) {
    detail += " " + std::to_string(current_file_) + "/" + std::to_string(file_count_);
  } else if (copied_ > 0 || deleted_ > 0) {
    detail += " (" + std::to_string(copied_) + " placed, " + std::to_string(deleted_) + " deleted)";
  }
  // Redraw when the percentage or the phase changes, and every 25th file within a phase: a
  // console write per file would cost more than the file itself.
  const bool tick = phase_ != shown_phase_ || (current_file_ + copied_ + deleted_) % 25 == 0;
  if (!force && percent == shown_percent_ && (detail == shown_text_ || !tick)) return;
  shown_percent_ = percent;
  shown_phase_ = phase_;
  shown_text_ = detail;
  const int filled = percent * kBarWidth / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kBarWidth - filled), '-');
  std::fprintf(out_, "\r[%s] %3d%%  %-40.40s", bar.c_str(), percent, detail.c_str());
  std::fflush(out_);
  line_open_ = true;
}

}  // namespace norvinstall
