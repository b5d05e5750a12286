#pragma once
// What an operation handler works with.
#include "sessions.h"
#include "store.h"

namespace hollin {

struct CallContext {
  Store& store;
  SessionTable& sessions;
  // The caller's session; null for the login manager's operations.
  const Session* session = nullptr;
};

}  // namespace hollin
