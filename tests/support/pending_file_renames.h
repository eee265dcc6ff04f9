#pragma once
// The delayed moves and deletions that the system carries out at its next start, as stored in
// HKLM "System\CurrentControlSet\Control\Session Manager" "PendingFileRenameOperations" (Windows
// only). Tests that schedule some keep the value with a SavedRegistryValue and read it here.
#include <cstdint>
#include <string>
#include <vector>

#include "base/strings.h"
#include "platform/registry.h"

namespace testing_support {

constexpr char16_t kSessionManager[] = u"System\\CurrentControlSet\\Control\\Session Manager";
constexpr char16_t kPendingValue[] = u"PendingFileRenameOperations";

struct PendingOperation {
  std::u16string source;
  std::u16string destination;  // empty for a deletion
};

// The value is a list of source/destination pairs of zero-terminated texts; an empty
// destination is an empty text, so the list is split by the data's length, not by "\0\0".
inline std::vector<PendingOperation> PendingOperations() {
  platform::RegKey key;
  platform::RegType type;
  std::vector<uint8_t> data;
  if (platform::RegKey::Open(platform::RegRoot::kLocalMachine, kSessionManager, platform::RegAccess::kRead, &key) !=
          platform::kRegOk ||
      key.ReadValue(kPendingValue, 1 << 20, &type, &data) != platform::kRegOk) {
    return {};
  }
  std::vector<std::u16string> texts;
  std::u16string text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (c != u'\0') {
      text.push_back(c);
    } else {
      texts.push_back(text);
      text.clear();
    }
  }
  std::vector<PendingOperation> pairs;
  for (size_t i = 0; i + 1 < texts.size(); i += 2) pairs.push_back({texts[i], texts[i + 1]});
  return pairs;
}

// "\??\" + path, as the platform stores it; a replacing destination carries a leading "!".
inline bool SamePendingPath(const std::u16string& stored, const std::u16string& path) {
  std::u16string s = stored;
  if (!s.empty() && s[0] == u'!') s.erase(0, 1);
  return base::EqualsIgnoreAsciiCase(s, u"\\??\\" + path);
}

inline const PendingOperation* FindPending(const std::vector<PendingOperation>& ops, const std::u16string& source) {
  for (const auto& op : ops) {
    if (SamePendingPath(op.source, source)) return &op;
  }
  return nullptr;
}

}  // namespace testing_support
