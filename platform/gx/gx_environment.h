#pragma once
// Process-wide connector settings and the log objects each deliverable holds.
#include "platform/gx/gx_export.h"

class GXBASE_EXPORT GxEnvironment {
 public:
  // Selects the connector sub-system for the calls that follow (callers pass
  // 1 before creating or deleting items). The value is recorded and can be
  // read back; the embedded store behaves the same for every sub-system.
  // Thread-safe.
  static void setSubSystem(short subSystem);
  static short getSubSystem();  // 0 until set
};

// Log message inserts: deliverables hold static instances, constructed at load
// and destroyed at unload. Construction and destruction never throw and have
// no effect beyond counting live instances.
class GXBASE_EXPORT GxLogMessageInserts {
 public:
  GxLogMessageInserts();
  ~GxLogMessageInserts();
  static long liveCount();
};
