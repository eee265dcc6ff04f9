#include <windows.h>

#include "platform/message_box.h"
#include "platform/win/wstr.h"

namespace platform {
int ShowSystemMessageBox(const MessageBoxRequest& request) {
  return MessageBoxW(static_cast<HWND>(request.owner), as_wcstr(request.text), as_wcstr(request.title), request.style);
}
}  // namespace platform
