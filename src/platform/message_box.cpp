#include "platform/message_box.h"

#include <mutex>

namespace platform {

int ShowSystemMessageBox(const MessageBoxRequest& request);  // per platform

namespace {
std::mutex g_sink_mutex;
MessageBoxSink& Sink() {
  static MessageBoxSink sink;
  return sink;
}
}  // namespace

int ShowMessageBox(const MessageBoxRequest& request) {
  MessageBoxSink sink;
  {
    std::lock_guard<std::mutex> lock(g_sink_mutex);
    sink = Sink();
  }
  if (sink) return sink(request);
  return ShowSystemMessageBox(request);
}

MessageBoxSink SetMessageBoxSink(MessageBoxSink sink) {
  std::lock_guard<std::mutex> lock(g_sink_mutex);
  MessageBoxSink old = std::move(Sink());
  Sink() = std::move(sink);
  return old;
}

}  // namespace platform
