#include "platform/system.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<TickCountSource> g_tick_source{nullptr};
}  // namespace

uint32_t TickCount() {
  const TickCountSource source = g_tick_source.load();
  return source ? source() : SystemTickCount();
}

TickCountSource SetTickCountSource(TickCountSource source) { return g_tick_source.exchange(source); }

}  // namespace platform
