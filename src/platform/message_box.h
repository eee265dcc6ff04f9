#pragma once
// Every message box of the program goes through ShowMessageBox, so that tests can put a recorder
// in place of the real, blocking box. Style values are those of the platform's MessageBox.
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

constexpr uint32_t kMbOk = 0x0;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr uint32_t kMbIconError = 0x10;
constexpr int kIdOk = 1;

struct MessageBoxRequest {
  std::u16string title;
  std::u16string text;
  uint32_t style = 0;
  void* owner = nullptr;  // window handle, null for none
};

// Returns the button the user pressed (kIdOk for a plain box).
using MessageBoxSink = std::function<int(const MessageBoxRequest&)>;

int ShowMessageBox(const MessageBoxRequest& request);
inline int ShowMessageBox(std::u16string title, std::u16string text, uint32_t style) {
  return ShowMessageBox(MessageBoxRequest{std::move(title), std::move(text), style, nullptr});
}

// Replaces the sink for the whole process and returns the previous one; an empty sink restores
// the platform's own message box (on the host build: a line on standard error).
MessageBoxSink SetMessageBoxSink(MessageBoxSink sink);

}  // namespace platform
