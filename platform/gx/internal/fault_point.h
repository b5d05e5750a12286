#pragma once
// The check that each counted connector operation makes on entry (see
// platform/gx/gx_fault_injection.h).
#include <atomic>

#include "platform/gx/gx_export.h"
#include "platform/gx/gx_fault_injection.h"

namespace gx_internal {

// True while a GxFaultInjection lives.
GXBASE_EXPORT extern std::atomic<bool> g_faultArmed;
// Counts the call and throws when it is the armed one.
GXBASE_EXPORT void faultPointSlow(GxFaultOp op);

inline void faultPoint(GxFaultOp op) {
  if (g_faultArmed.load(std::memory_order_relaxed)) faultPointSlow(op);
}

}  // namespace gx_internal
