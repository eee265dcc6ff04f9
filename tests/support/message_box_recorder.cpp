#include "support/message_box_recorder.h"

namespace testing_support {

MessageBoxRecorder::MessageBoxRecorder(int answer) {
  previous_ = platform::SetMessageBoxSink([this, answer](const platform::MessageBoxRequest& request) {
    shown_.push_back(request);
    return answer;
  });
}

MessageBoxRecorder::~MessageBoxRecorder() { platform::SetMessageBoxSink(std::move(previous_)); }

}  // namespace testing_support
