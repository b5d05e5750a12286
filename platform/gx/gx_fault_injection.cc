#include "platform/gx/gx_fault_injection.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

#include "platform/gx/internal/fault_point.h"

namespace gx_internal {

std::atomic<bool> g_faultArmed{false};

namespace {

struct FaultState {
  GxFaultOp op = GxFaultOp::kAny;
  long n = 0;
  long calls = 0;
  bool fired = false;
  GxFaultInjection::Kind kind = GxFaultInjection::kGxException;
  short exceptionId = GX_EXC_STORAGE;
};

std::mutex g_mu;
FaultState g_state;

}  // namespace

void faultPointSlow(GxFaultOp op) {
  GxFaultInjection::Kind kind;
  short id;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    if (!g_faultArmed.load()) return;  // disarmed since the fast check
    if (g_state.op != GxFaultOp::kAny && g_state.op != op) return;
    ++g_state.calls;
    if (g_state.fired || g_state.calls != g_state.n) return;
    g_state.fired = true;
    kind = g_state.kind;
    id = g_state.exceptionId;
  }
  const std::string what = std::string("injected fault: ") + gxFaultOpName(op);
  if (kind == GxFaultInjection::kRuntimeError) throw std::runtime_error(what);
  throw GxException(id, what);
}

}  // namespace gx_internal

using gx_internal::g_faultArmed;
using gx_internal::g_mu;
using gx_internal::g_state;

const char* gxFaultOpName(GxFaultOp op) {
  switch (op) {
    case GxFaultOp::kAny: return "any";
    case GxFaultOp::kIteratorNext: return "gxIterator::next";
    case GxFaultOp::kListDataSources: return "GxDatastoreDVX::listDataSources";
    case GxFaultOp::kListEntities: return "GxDatastoreDVX::listEntities";
    case GxFaultOp::kListGroupsForUser: return "GxUserMgmtDVX::listGroupsForUser";
    case GxFaultOp::kListMimeTypes: return "GxMimeTypeMgmtDVX::listMimeTypes";
    case GxFaultOp::kConnect: return "GxDatastoreDVX::connect";
    case GxFaultOp::kDisconnect: return "GxDatastoreDVX::disconnect";
    case GxFaultOp::kQuery: return "GxDatastoreDVX::query";
    case GxFaultOp::kCreateDDO: return "GxDatastoreDVX::createDDO";
    case GxFaultOp::kCreateChildDDO: return "GxDatastoreDVX::createChildDDO";
    case GxFaultOp::kCreateDDOFromPid: return "GxDatastoreDVX::createDDOFromPid";
    case GxFaultOp::kCheckOut: return "GxDatastoreDVX::checkOut";
    case GxFaultOp::kCheckIn: return "GxDatastoreDVX::checkIn";
    case GxFaultOp::kStartTransaction: return "GxDatastoreDVX::startTransaction";
    case GxFaultOp::kCommit: return "GxDatastoreDVX::commit";
    case GxFaultOp::kRollback: return "GxDatastoreDVX::rollback";
    case GxFaultOp::kGetPidString: return "GxDDO::getPidString";
    case GxFaultOp::kGetItemId: return "GxDDO::getItemId";
    case GxFaultOp::kSetData: return "GxDDO::setData";
    case GxFaultOp::kRetrieve: return "GxDDO::retrieve";
    case GxFaultOp::kAdd: return "GxDDO::add";
    case GxFaultOp::kUpdate: return "GxDDO::update";
    case GxFaultOp::kDel: return "GxDDO::del";
    case GxFaultOp::kSetContentFromFile: return "GxLobDVX::setContentFromFile";
  }
  return "?";
}

GxFaultInjection::GxFaultInjection(GxFaultOp op, long n, Kind kind, short exceptionId) {
  std::lock_guard<std::mutex> lock(g_mu);
  if (g_faultArmed.load() || n < 1) {
    std::fprintf(stderr, "GxFaultInjection: %s\n",
                 n < 1 ? "n must be at least 1" : "another injection is still armed");
    std::abort();
  }
  g_state = gx_internal::FaultState{};
  g_state.op = op;
  g_state.n = n;
  g_state.kind = kind;
  g_state.exceptionId = exceptionId;
  g_faultArmed.store(true);
}

GxFaultInjection::~GxFaultInjection() {
  std::lock_guard<std::mutex> lock(g_mu);
  g_faultArmed.store(false);
}

long GxFaultInjection::calls() const {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_state.calls;
}

bool GxFaultInjection::fired() const {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_state.fired;
}
