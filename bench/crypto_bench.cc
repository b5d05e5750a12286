// Cost of the hashes at the sizes the password stores use.
#include <benchmark/benchmark.h>

#include "shared/crypto/crypto.h"

namespace {

void BM_Sha256(benchmark::State& state) {
  const std::string data(static_cast<size_t>(state.range(0)), 'a');
  for (auto _ : state) benchmark::DoNotOptimize(qel::crypto::sha256(data));
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Sha256)->Arg(64)->Arg(1 << 20);

// 2000 iterations: a records-server account; 10000: a connector user.
void BM_Pbkdf2(benchmark::State& state) {
  const std::string salt(16, 's');
  for (auto _ : state)
    benchmark::DoNotOptimize(
        qel::crypto::pbkdf2Sha256("password", salt, static_cast<uint32_t>(state.range(0)), 32));
}
BENCHMARK(BM_Pbkdf2)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
