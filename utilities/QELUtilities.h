#pragma once
// QELUtilities: integration utilities, content-management side.
//
// Exported plain functions returning status codes (0 success, -1 failure,
// -3 where noted). No GxException leaves any of them: each catches connector
// failures, dumps them with OutputDebugGxException and turns them into its
// result code.
//
// Threading: every function runs on its caller's thread and keeps no state
// between calls except the two process-wide caches (configuration records,
// record attribute names), which are guarded by named mutexes shared by all
// processes of the same user. A datastore and the items it created must not
// be used by two threads at once.
//
// Memory: arrays handed out are allocated by the library with new[] and
// released by the caller with delete[] whenever the pointer is non-null,
// whatever the result was.

#include <cstdint>

#include "platform/gx/gxdvx.h"
#include "qel_export.h"

#define QELUTIL_API QEL_EXPORT

// ---------------------------------------------------------------------------
// Records

// The system configuration record kept on the content-management server as
// one item of item type "QELconfig". Members are named by their stored keys.
// A default-constructed record has empty strings and zero integers.
struct TaVNcfgInfo_t {
  GxString LibSer;   // content-management library server name
  GxString ZulHost;  // records-server host name
  GxString ZulDB;    // records-server database name
  GxString ZulPwd;   // password of the administrative records-server logon
  GxString ZulURL;   // records-server client URL
  GxString ZulSURL;  // records-server server URL (base of its web services)
  int32_t ZulORB = 0;  // records-server ORB port
  int32_t HostID = 0;  // id of this host on the records server
  GxString HostPW;   // password of this host on the records server
  GxString Outlook;  // item type that holds mail items
  GxString QELPwd;   // password of the content-management user "qeladmin"
};

// ---------------------------------------------------------------------------
// Logon, servers and diagnostics

// Connects the caller's `datastore` to `server` as `userId`/`password`.
// Returns 0 when connected; -1 otherwise with `errorText` set to a
// user-readable reason (a null datastore, a refused user id or password, an
// unknown server, any other connector failure). Null strings count as "".
// The datastore stays owned by the caller.
QELUTIL_API int DVXlogon(GxDatastoreDVX* datastore, const char* server, const char* userId,
                         const char* password, GxString& errorText);

// Disconnects `datastore`. 0 disconnected; -1 null datastore or the
// disconnect failed (dumped to the trace).
QELUTIL_API int DVXlogoff(GxDatastoreDVX* datastore);

// Lists the servers the connector knows. Returns their number and stores a
// new[] array of that many names in `servers` (caller delete[]s it). Returns
// 0 when there are none or the listing failed; `servers` is then untouched,
// unless the listing failed part way, when the array already stored stays
// there for the caller to release.
QELUTIL_API int GetDVXservers(GxString*& servers);

// Lists the groups of `userId` on the server of `datastore` (connected).
// `groups` receives a new[] array whose entry 0 is "DVXPUBLC", followed by
// the groups the server reports; the result is the number of entries (at
// least 1 when the user could be looked up). Returns 0 with `groups` null for
// a null datastore or user id, or when the look-up failed. A failure while
// reading the groups returns 1 with the entries read so far (the rest empty).
QELUTIL_API int GetDVXgroup4user(GxDatastoreDVX* datastore, const char* userId,
                                 GxString*& groups);

// Writes the dump of a connector exception to the trace at level 1 under
// `module` ("QEL" when null or empty) and `function` ("..." when null or
// empty). A null exception writes nothing. Never throws.
QELUTIL_API void OutputDebugGxException(GxException* exception, const char* module,
                                        const char* function);

// Prints `item`'s type, properties, attributes and data properties to the
// standard output. A null item prints nothing. Connector failures while
// reading propagate as GxException.
QELUTIL_API void PrintDDO(GxDDO* item);

// ---------------------------------------------------------------------------
// Item creation and deletion

// Stores the file `fileName` as a new item of `itemType` through `datastore`
// (connected), with attribute values from `attributes` ("Name=value|Name=value",
// may be null; names unknown to the item type are skipped, pairs without "="
// are skipped). The content's MIME type is chosen from the file name's suffix
// by the server's MIME type definitions ("text/plain" when none matches).
// The new item object is stored in `item` as soon as it exists and belongs to
// the caller, who deletes it also after a failure (it is then not stored).
// Returns 0 stored; -1 failed (null datastore, item type or file name, or a
// connector failure).
QELUTIL_API int TaVNCreateNXItem(GxDatastoreDVX* datastore, const char* itemType,
                                 const char* fileName, const char* attributes, GxDDO*& item);

// Deletes the stored item `itemId` (persistent identifier or bare item id).
// 0 deleted; -1 failed.
QELUTIL_API int TaVNDeleteNXItem(GxDatastoreDVX* datastore, GxString itemId);

// Checks in `items[0]` .. `items[count-1]` in order; stops at the first
// failure and returns -1, leaving the rest as they are. A count of 0 or less
// returns 0 at once. REQUIRES: items points to count contiguous items.
QELUTIL_API int DVXcheckInAll(GxDatastoreDVX* datastore, int count, GxDDO* items);

// ---------------------------------------------------------------------------
// Encodings

// `encoded` = key + separator + value (null strings count as ""). Returns 0.
QELUTIL_API int EncodeKeyValue(const char* key, const char* value, const char* separator,
                               GxString& encoded);

// Splits `encoded` at the first `separator`. Both outputs are emptied first.
// Returns 0 with a non-empty key and the rest as value; -1 when the separator
// is null or empty, the text is null, the separator is missing or the key
// would be empty.
QELUTIL_API int DecodeKeyValue(GxString& key, GxString& value, const char* separator,
                               const char* encoded);

// `encoded` = count + "::" + each id followed by ":" (e.g. "3::10:20:30:").
// Returns 0; -1 (output unchanged) when count < 0, or count > 0 with null ids.
QELUTIL_API int EncodeLongArray2Str(GxString& encoded, int count, const long* ids);

// Reads an id list written by EncodeLongArray2Str. Returns 0 with `count` > 0
// and `ids` a new[] array of count ids (caller delete[]s it). Returns -1 for a
// null or empty text (outputs untouched) or a text that is not a list of at
// least one id (count 0, ids null); "0::" is rejected. Text after the last
// id it needs is ignored.
QELUTIL_API int DecodeStr2LongArray(const char* encoded, int& count, long*& ids);

// ---------------------------------------------------------------------------
// Record attributes on items. These change items only in memory; the caller
// stores them. Diagnostics go to the debugger output (OutputDebugStringA).

// Finds the item type's record attribute and record-id attribute names
// ("eRecord"/"eRecordID", or "<p>.eRecord"/"<p>.eRecordID"). Returns 0 with
// both names set; -3 when the item type has neither; -1 on a null item, a
// duplicated, un-matched or mis-matched pair, or a connector failure.
// Successful look-ups are cached per (server, item type).
QELUTIL_API int GetTaVNattrNamesByDDO(GxDDO* item, GxString& recordAttr, GxString& recordIdAttr);
// The same for item type `itemType` of the connected `datastore`.
QELUTIL_API int GetTaVNattrNamesByItemType(GxDatastoreDVX* datastore, const char* itemType,
                                           GxString& recordAttr, GxString& recordIdAttr);

// 0 declarable (the item type has a record attribute pair); -3 not; -1 error.
QELUTIL_API int IsDeclarableDDO(GxDDO* item);
QELUTIL_API int IsDeclarableItemType(GxDatastoreDVX* datastore, const char* itemType);

// 0 when the item's record attribute is exactly "yes"; -3 not declared or not
// declarable; -1 error.
QELUTIL_API int IsDeclaredDDO(GxDDO* item);

// The record ids of the item: 0 with `count` and a new[] array `ids` (caller
// delete[]s it); -1 when the item has none or on error.
QELUTIL_API int GetRecordID(GxDDO* item, int& count, long*& ids);

// Appends `recordId` to the item's record-id list and marks it declared.
// 0 added; -1 failed. An unreadable list marks the item not declared and
// gives -1.
QELUTIL_API int AddRecordID(GxDDO* item, long recordId);

// Removes the first occurrence of `recordId`; removing the last id marks the
// item not declared. 0 removed; -1 not found, unreadable list (the item is
// then marked not declared) or error.
QELUTIL_API int RemoveRecordID(GxDDO* item, long recordId);

// Sets the record attribute to "no" and the record-id attribute to null.
// 0 marked; -1 failed.
QELUTIL_API int MarkDDOnotDeclared(GxDDO* item);

// Finds the stored items whose "eRecordID" list holds `recordId`, of item
// type `itemType` ("***" for all item types). Returns 0 with `count` >= 1 and
// a new[] array of item ids in `itemIds` (caller delete[]s it); -1 with count
// 0 and itemIds null when none is found or on error.
QELUTIL_API int GetItemId4eId(GxDatastoreDVX* datastore, long recordId, GxString itemType,
                              int& count, GxString*& itemIds);

// The installation folder from QELROOT, ending in "/". Returns 0; -1 when
// QELROOT is unset or shorter than two characters, with `path` = "/".
QELUTIL_API int GetTaVNpath(GxString& path);

// ---------------------------------------------------------------------------
// System configuration record (item type "QELconfig")

// Reads the record of the connected `datastore`'s server, from the process
// cache when present. 0 filled; -1 failed (no record, a wrong number of
// entries, an entry that cannot be decoded, an unknown key, an incomplete
// record; members read before the failure stay assigned).
QELUTIL_API int GetTaVNcfgInfo(GxDatastoreDVX* datastore, TaVNcfgInfo_t& info);

// Writes `info` as the server's record, replacing an existing one; a failure
// leaves the stored record as it was. 0 stored; -1 failed (also when more
// than one record exists). Updates the process cache.
QELUTIL_API int SetTaVNcfgInfo(GxDatastoreDVX* datastore, TaVNcfgInfo_t& info);

// Deletes the server's record and empties the whole process cache. 0 deleted;
// -1 when there is no record or more than one, or on failure.
QELUTIL_API int CleanTaVNcfgInfo(GxDatastoreDVX* datastore);

// ---------------------------------------------------------------------------
// Records-server session and definitions

class HLNinterfaces;

// A records-server session: one logged-in facade, or null while logged off.
// The logon functions create the facade with new; TaVNlogoff logs it out and
// deletes it. Destroying a session does neither, so every successful logon
// must end with TaVNlogoff. Copies share the facade: after a copy exactly one
// of the two may be logged off, and the other must then be treated as logged
// off. A session and its facade are used on the thread that logged on.
class QELUTIL_API QELsession {
 public:
  // Logged off (facade null).
  QELsession();
  // Copies the pointer only.
  QELsession& operator=(const QELsession& other);

  HLNinterfaces* m_pHLN;
};

// Logs the working user of `datastore` (connected) on to the records server
// through this host's identity (HostID/HostPW of the configuration record),
// with the user key "<LibSer>::@%@::<user id>" and the user's
// content-management groups, looked up as "qeladmin" (QELPwd); when
// "qeladmin" cannot log on, the logon goes on with no groups. The session's
// facade is cleared first without being looked at. Returns 0 with the
// session logged on; -1 (session logged off) when the configuration record
// cannot be read, or the facade cannot be initialised on ZulSURL or the
// server refuses the login. Never throws.
QELUTIL_API int TaVNlogon(GxDatastoreDVX* datastore, QELsession& session);

// As TaVNlogon, but logs on as the records server's "administrator" with
// ZulPwd and no group list. Returns 0 logged on; -1 logged off.
QELUTIL_API int TaVNAdminLogon(GxDatastoreDVX* datastore, QELsession& session);

// Logs the session out and deletes its facade. Returns 0 with the session
// logged off, also when the server refuses the logout; -1 when the session
// was not logged on (it stays as it was). Never throws.
QELUTIL_API int TaVNlogoff(QELsession& session);

// The five definition ids that the records server keeps as engine
// configuration values, under the keys named like the members.
struct TaVNcfgInfo2_t {
  int32_t NXDocumentID = 0;     // default record type id for documents
  int32_t NXEmailID = 0;        // record type id for mail
  int32_t NXSprsdViewID = 0;    // supersede view id
  int32_t NXVersionViewID = 0;  // version view id
  int32_t NXCrsRefViewID = 0;   // cross-reference view id
};

// Reads the five values in member order. Each text is read as C atol does
// (leading blanks, optional sign, digits up to the first other character; no
// digits gives 0), saturated to the 32-bit range. Returns 0 all read; -1 when
// the session is logged off (no call made) or a call fails: the members read
// before the failure keep their values, the others are 0.
QELUTIL_API int GetTaVNcfgInfo2(QELsession& session, TaVNcfgInfo2_t& info);

// Writes the five values as decimal text in member order. Returns 0 all
// written; -1 when the session is logged off or a call fails (the values
// written before stay written).
QELUTIL_API int SetTaVNcfgInfo2(QELsession& session, TaVNcfgInfo2_t& info);

// Deletes those of the five values that the server holds (a key whose read
// fails counts as absent). Returns 0 deleted; -1 when the session is logged
// off or a deletion fails (the remaining ones are skipped).
QELUTIL_API int CleanTaVNcfgInfo2(QELsession& session);
