#include "platform/gx/gx_environment.h"

#include <atomic>

namespace {
std::atomic<short> g_subSystem{0};
std::atomic<long> g_inserts{0};
}  // namespace

void GxEnvironment::setSubSystem(short subSystem) { g_subSystem = subSystem; }
short GxEnvironment::getSubSystem() { return g_subSystem; }

GxLogMessageInserts::GxLogMessageInserts() { ++g_inserts; }
GxLogMessageInserts::~GxLogMessageInserts() { --g_inserts; }
long GxLogMessageInserts::liveCount() { return g_inserts; }
