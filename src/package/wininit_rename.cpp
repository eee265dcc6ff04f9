#include "package/wininit_rename.h"

#include <memory>
#include <new>

#include "platform/fs.h"

namespace package {
namespace {

constexpr std::string_view kRenameHeader = "[rename]\r\n";
constexpr uint64_t kMaxWininitBytes = 16u * 1024 * 1024;

// True when line starts at the beginning of content or right after an LF, so that a line that
// merely ends like it ("XNUL=...") does not count.
bool HasWholeLine(std::string_view content, std::string_view line) {
  for (size_t at = content.find(line); at != std::string_view::npos; at = content.find(line, at + 1)) {
    if (at == 0 || content[at - 1] == '\n') return true;
  }
  return false;
}

}  // namespace

std::string WininitRenameLine(std::string_view destination, std::string_view source) {
  std::string line(destination.empty() ? std::string_view("NUL") : destination);
  line += '=';
  line += source;
  line += "\r\n";
  return line;
}

std::string AddWininitRenameLine(std::string_view content, std::string_view line, bool* changed) {
  *changed = false;
  if (HasWholeLine(content, line)) return std::string(content);
  *changed = true;
  std::string out;
  out.reserve(content.size() + kRenameHeader.size() + line.size());
  const size_t header = content.find(kRenameHeader);
  if (header == std::string_view::npos) {
    out.append(kRenameHeader).append(line).append(content);
  } else {
    const size_t after = header + kRenameHeader.size();
    out.append(content.substr(0, after)).append(line).append(content.substr(after));
  }
  return out;
}

bool ScheduleInWininit(std::u16string_view path, std::string_view line) {
  platform::File file =
      platform::File::Open(path, platform::FileAccess::kReadWrite, platform::FileDisposition::kOpenExisting);
  if (!file.IsOpen()) {
    file = platform::File::Open(path, platform::FileAccess::kReadWrite, platform::FileDisposition::kCreateAlways);
    if (!file.IsOpen()) return false;
    std::string fresh(kRenameHeader);
    fresh.append(line);
    return file.Write(fresh.data(), fresh.size());
  }
  uint64_t size = 0;
  if (!file.Size(&size) || size > kMaxWininitBytes) return false;
  std::string content(static_cast<size_t>(size), '\0');
  if (size > 0 && !file.ReadExact(&content[0], content.size())) return false;
  bool changed = false;
  const std::string updated = AddWininitRenameLine(content, line, &changed);
  if (!changed) return true;
  // The new content only grows the old one, so rewriting from the start leaves no stale tail.
  return file.SeekTo(0) && file.Write(updated.data(), updated.size());
}

}  // namespace package
