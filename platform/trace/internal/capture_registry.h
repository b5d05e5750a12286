#pragma once
// The set of live TraceCapture objects, shared by the trace entry points and
// TraceCapture itself.

class TraceCapture;
struct TraceLine;

namespace qel::trace {

// True while at least one capture is alive (lock-free, may be stale by one call).
bool anyCaptureActive();
void registerCapture(TraceCapture* capture);
void unregisterCapture(TraceCapture* capture);
// Hands a copy of `line` to every live capture.
void dispatchToCaptures(const TraceLine& line);

}  // namespace qel::trace
