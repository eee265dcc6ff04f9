#include "engine/restart_needed.h"

#include <atomic>

namespace engine {
namespace {
// Set on the install worker, read by the pages on the user-interface thread.
std::atomic<uint32_t> g_restart_needed{0};
}  // namespace

uint32_t RestartNeeded() { return g_restart_needed.load(); }

void SetRestartNeeded() { g_restart_needed.store(1); }

}  // namespace engine
