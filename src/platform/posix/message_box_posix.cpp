#include <cstdio>

#include "base/strings.h"
#include "platform/message_box.h"

namespace platform {
// The host build has no windows: a message becomes one line on standard error.
int ShowSystemMessageBox(const MessageBoxRequest& request) {
  std::fprintf(stderr, "[%s] %s\n", base::Utf16ToUtf8(request.title).c_str(), base::Utf16ToUtf8(request.text).c_str());
  return kIdOk;
}
}  // namespace platform
