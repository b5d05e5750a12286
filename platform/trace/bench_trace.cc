// Cost of a trace call in the states a deliverable meets: tracing off (the
// common case), writing to a file, and recording into a test capture.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "TaVNtrace.h"
#include "TaVNtraceCapture.h"

namespace {

void BM_TraceOff(benchmark::State& state) {
  unsetenv("QELTRACE");
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        TaVNOutputTrace(2, "QELHLN", "initialize", "wsdl = %s", "http://localhost/wsdl"));
  }
}
BENCHMARK(BM_TraceOff);

void BM_TraceToFile(benchmark::State& state) {
  char path[] = "/tmp/bench_tavntrace.XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) {
    state.SkipWithError("no temp file");
    return;
  }
  close(fd);
  setenv("QELTRACE", "3", 1);
  setenv("QELTRACEFILE", path, 1);
  for (auto _ : state) {
    TaVNOutputTrace(2, "QELHLN", "initialize", "wsdl = %s id %l", "http://localhost/wsdl", 42L);
  }
  unsetenv("QELTRACE");
  unsetenv("QELTRACEFILE");
  unlink(path);
}
BENCHMARK(BM_TraceToFile);

void BM_TraceIntoCapture(benchmark::State& state) {
  unsetenv("QELTRACE");
  TraceCapture cap;
  for (auto _ : state) {
    TaVNOutputTrace(3, "QELUtilities", "TaVNdeclare", "Record %l has %d entries", 7L, 3);
    if (cap.size() > 100000) cap.clear();
  }
}
BENCHMARK(BM_TraceIntoCapture);

}  // namespace

BENCHMARK_MAIN();
