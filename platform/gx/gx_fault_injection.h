#pragma once
// GxFaultInjection: a test seam that makes the connector fail on purpose.
//
// TEST SEAM ONLY. Programs never create one. While a GxFaultInjection lives,
// the n-th call (counted from its construction) of a chosen public operation
// of the connector throws instead of doing its work: a GxException with a
// given exception id, or a std::runtime_error (a failure that is not a
// connector exception). Calls before and after the n-th behave normally; the
// fault fires once. The count covers every datastore, collection and thread
// of the process. With GxFaultOp::kAny every counted operation is counted.
//
// A counted operation checks for its fault on entry, before it changes
// anything, so a fault leaves the objects and the server as they were.
//
// Cost when no injection is armed: one relaxed atomic load per counted call.
//
// The store-level countdown of internal/sqlite_util.h is a different seam:
// it fails SQLite calls inside an operation; this one fails the operation.
//
// Threading: arming and disarming are process-wide; at most one
// GxFaultInjection may exist at a time (a second one while the first lives
// is a programming error and aborts). Counting is thread-safe.
#include <string>

#include "platform/gx/gx_exception.h"
#include "platform/gx/gx_export.h"

// The counted operations. Each names the public member(s) that check it.
enum class GxFaultOp {
  kAny,                // every operation below
  kIteratorNext,       // gxIterator::next
  kListDataSources,    // GxDatastoreDVX::listDataSources
  kListEntities,       // GxDatastoreDVX::listEntities
  kListGroupsForUser,  // GxUserMgmtDVX::listGroupsForUser
  kListMimeTypes,      // GxMimeTypeMgmtDVX::listMimeTypes
  kConnect,            // GxDatastoreDVX::connect
  kDisconnect,         // GxDatastoreDVX::disconnect
  kQuery,              // GxDatastoreDVX::query
  kCreateDDO,          // GxDatastoreDVX::createDDO
  kCreateChildDDO,     // GxDatastoreDVX::createChildDDO
  kCreateDDOFromPid,   // GxDatastoreDVX::createDDOFromPid
  kCheckOut,           // GxDatastoreDVX::checkOut
  kCheckIn,            // GxDatastoreDVX::checkIn
  kStartTransaction,   // GxDatastoreDVX::startTransaction
  kCommit,             // GxDatastoreDVX::commit
  kRollback,           // GxDatastoreDVX::rollback
  kGetPidString,       // GxDDO::getPidString (also through getProperty)
  kGetItemId,          // GxDDO::getItemId
  kSetData,            // GxDDO::setData (and setNull)
  kRetrieve,           // GxDDO::retrieve
  kAdd,                // GxDDO::add
  kUpdate,             // GxDDO::update
  kDel,                // GxDDO::del
  kSetContentFromFile, // GxLobDVX::setContentFromFile
};

// The operation's name as written in the table above ("gxIterator::next");
// "any" for kAny. Never null.
GXBASE_EXPORT const char* gxFaultOpName(GxFaultOp op);

class GXBASE_EXPORT GxFaultInjection {
 public:
  enum Kind {
    kGxException,   // GxException(exceptionId) with one text naming the fault
    kRuntimeError,  // std::runtime_error("injected fault: <operation>")
  };

  // Arms the seam: the n-th counted call of `op` from now throws.
  // REQUIRES: n >= 1; no other GxFaultInjection alive.
  GxFaultInjection(GxFaultOp op, long n, Kind kind = kGxException,
                   short exceptionId = GX_EXC_STORAGE);
  // Disarms the seam.
  ~GxFaultInjection();
  GxFaultInjection(const GxFaultInjection&) = delete;
  GxFaultInjection& operator=(const GxFaultInjection&) = delete;

  // Counted calls of `op` so far, the failing one included. A caller that
  // tries every n stops when fired() stays false: n then exceeded the calls.
  long calls() const;
  bool fired() const;
};
