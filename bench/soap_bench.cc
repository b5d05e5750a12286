// One facade call on loopback next to a bare HTTP keep-alive round trip to
// the same server: calls/s, p50 and p99 latency.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "HLNinterfaces.h"
#include "testing/mini_records_server.h"

namespace {

hln_testing::MiniRecordsServer& server() {
  static auto* s = new hln_testing::MiniRecordsServer;
  return *s;
}

size_t sink(char*, size_t size, size_t n, void*) { return size * n; }

void report(benchmark::State& state, std::vector<double>& us) {
  if (us.empty()) return;
  std::sort(us.begin(), us.end());
  state.counters["p50_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
  state.SetItemsProcessed(static_cast<int64_t>(us.size()));
}

template <class F>
void timed(benchmark::State& state, F&& call) {
  std::vector<double> us;
  us.reserve(1 << 16);
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    call();
    auto t1 = std::chrono::steady_clock::now();
    us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  report(state, us);
}

void BM_BareKeepAliveRoundTrip(benchmark::State& state) {
  std::string url = server().url() + "services/Bare";
  CURL* c = curl_easy_init();
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: text/xml");
  headers = curl_slist_append(headers, "Expect:");
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_TCP_NODELAY, 1L);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(c, CURLOPT_POSTFIELDS, "<x/>");
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, sink);
  timed(state, [&] {
    if (curl_easy_perform(c) != CURLE_OK) state.SkipWithError("bare request failed");
  });
  curl_slist_free_all(headers);
  curl_easy_cleanup(c);
}
BENCHMARK(BM_BareKeepAliveRoundTrip)->UseRealTime();

void BM_FacadeCall(benchmark::State& state) {
  HLNinterfaces f{CString(server().url())};
  try {
    f.integrationLogin("bench", "pw", "db", "", "en");
  } catch (const char* text) {
    state.SkipWithError(text);
    return;
  }
  timed(state, [&] {
    try {
      benchmark::DoNotOptimize(f.getHostList());
    } catch (const char* text) {
      state.SkipWithError(text);
    }
  });
}
BENCHMARK(BM_FacadeCall)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
