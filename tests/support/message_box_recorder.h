#pragma once
// Records every message box shown while it lives instead of blocking on a real one.
#include <vector>

#include "platform/message_box.h"

namespace testing_support {

class MessageBoxRecorder {
 public:
  explicit MessageBoxRecorder(int answer = platform::kIdOk);
  ~MessageBoxRecorder();
  const std::vector<platform::MessageBoxRequest>& shown() const { return shown_; }

 private:
  std::vector<platform::MessageBoxRequest> shown_;
  platform::MessageBoxSink previous_;
};

}  // namespace testing_support
