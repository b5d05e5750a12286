// Connector benchmarks on a temporary server: storing an item with five
// attributes and a 10 KB part, reloading it by identifier, and a LIKE query
// over 10,000 items.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/gx/gx_store_admin_dvx.h"
#include "platform/gx/gxdvx.h"

namespace {

struct BenchServer {
  std::string dir;
  BenchServer() {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/gx_bench_XXXXXX";
    if (!mkdtemp(&tmpl[0])) std::abort();
    dir = tmpl;
    std::string servers = dir + "/gxservers.conf";
    setenv("GXSERVERS", servers.c_str(), 1);
    GxStoreAdminDVX::createServer(servers, "BENCH", "bench.db");
    GxStoreAdminDVX admin(servers, "BENCH");
    admin.addUser("u", "pw");
    GxItemTypeSpecDVX t;
    t.name = "Bench";
    t.classification = 2;
    for (const char* n : {"Title", "Author", "Dept", "eRecord", "eRecordID"}) {
      GxAttrSpecDVX a;
      a.name = n;
      a.maxLength = 254;
      t.attributes.push_back(a);
    }
    admin.defineItemType(t);
  }
  ~BenchServer() {
    std::string cmd = "rm -rf '" + dir + "'";
    if (std::system(cmd.c_str()) != 0) std::abort();
  }
};

BenchServer& server() {
  static BenchServer s;
  return s;
}

GxDDO* makeItem(GxDatastoreDVX& ds, long n, const std::string& content) {
  GxDDO* d = ds.createDDO("Bench", 1);
  d->setData(d->dataId("ATTR", "Title"), GxAny(("Title " + std::to_string(n)).c_str()));
  d->setData(d->dataId("ATTR", "Author"), GxAny("Smith"));
  d->setData(d->dataId("ATTR", "Dept"), GxAny("Finance"));
  d->setData(d->dataId("ATTR", "eRecord"), GxAny("yes"));
  d->setData(d->dataId("ATTR", "eRecordID"), GxAny(("1::" + std::to_string(n) + ":").c_str()));
  if (!content.empty()) {
    gxCollection* parts = d->getData(d->dataId("GxParts"));
    auto* lob = static_cast<GxLobDVX*>(ds.createDDO("DVXBASE", 128));
    lob->setMimeType("application/pdf");
    lob->setContent(content.data(), content.size());
    lob->setPartNumber(7);
    parts->addElement(GxAny(static_cast<gxDataObjectBase*>(lob)));
  }
  return d;
}

void BM_CreateAndAddItemWithPart(benchmark::State& state) {
  server();
  GxDatastoreDVX ds;
  ds.connect("BENCH", "u", "pw", "");
  std::string content(10 * 1024, 'x');
  long n = 1000000;
  for (auto _ : state) {
    std::unique_ptr<GxDDO> d(makeItem(ds, n++, content));
    d->add();
  }
}
BENCHMARK(BM_CreateAndAddItemWithPart);

void BM_RetrieveByIdentifier(benchmark::State& state) {
  server();
  GxDatastoreDVX ds;
  ds.connect("BENCH", "u", "pw", "");
  std::unique_ptr<GxDDO> d(makeItem(ds, 2000000, std::string(10 * 1024, 'y')));
  d->add();
  GxString pid = d->getPidString();
  for (auto _ : state) {
    std::unique_ptr<GxDDO> r(ds.createDDOFromPid(pid));
    benchmark::DoNotOptimize(r->dataCount());
  }
}
BENCHMARK(BM_RetrieveByIdentifier);

void BM_LikeQueryOver10000Items(benchmark::State& state) {
  server();
  GxDatastoreDVX ds;
  ds.connect("BENCH", "u", "pw", "");
  static bool filled = false;
  if (!filled) {
    ds.startTransaction();
    for (long i = 0; i < 10000; ++i) {
      std::unique_ptr<GxDDO> d(makeItem(ds, i, ""));
      d->add();
    }
    ds.commit();
    filled = true;
  }
  GxNVPair opts[3];
  opts[0].setName("MAX_RESULTS");
  opts[0].setValue(GxAny("0"));
  opts[1].setName("RETRIEVE_OPTION");
  opts[1].setValue(GxAny(2050));
  opts[2].setName("End");
  for (auto _ : state) {
    GxAny r = ds.query("/Bench[@eRecordID LIKE \"%:4242:%\"]", 7, opts);
    gxCollection* c = r;
    if (c->count() != 1) state.SkipWithError("expected exactly one match");
    delete c;
  }
}
BENCHMARK(BM_LikeQueryOver10000Items)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
