#pragma once
// GxException: the one failure type of the connector. Thrown by value, caught
// by reference, also across libraries (the classes are exported whole so that
// their type information matches everywhere).
#include <exception>
#include <string>
#include <vector>

#include "platform/gx/gx_export.h"

// Exception ids (exceptionId()). 11 and 16 are fixed by the callers; the rest
// are this connector's own, one per kind of failure.
enum GxExceptionIdDVX : short {
  GX_EXC_STORAGE = 1,            // the server's store failed (errorId = SQLite result code)
  GX_EXC_NOT_CONNECTED = 2,      // operation needs a connected datastore
  GX_EXC_ALREADY_CONNECTED = 3,  // connect on a connected datastore
  GX_EXC_BAD_ARGUMENT = 4,       // null pointer, index out of range, empty name
  GX_EXC_UNKNOWN_ITEM_TYPE = 5,  // item type or child component not defined
  GX_EXC_UNKNOWN_ATTRIBUTE = 6,  // attribute (data id) not defined for the item type
  GX_EXC_BAD_VALUE = 7,          // value longer than the attribute, not an integer, wrong kind
  GX_EXC_BAD_PID = 8,            // malformed persistent identifier / item id text
  GX_EXC_NO_SUCH_ITEM = 9,       // the item does not exist (any more) on the server
  GX_EXC_BAD_QUERY = 10,         // query text, language or option not supported
  GX_EXC_LOGON_REFUSED = 11,     // unknown user id or wrong password
  GX_EXC_CHECKED_OUT = 12,       // item checked out by another user
  GX_EXC_TRANSACTION = 13,       // commit/rollback without a transaction, nested start
  GX_EXC_SERVERS_FILE = 14,      // servers file unreadable or malformed; server file missing
  GX_EXC_CONTENT = 15,           // content part: file unreadable, part misuse
  GX_EXC_UNKNOWN_SERVER = 16,    // server name not listed in the servers file
  GX_EXC_UNKNOWN_USER = 17,      // user management: no such user or group
  GX_EXC_STALE_ITEM = 18,        // item changed by another connection since it was read
  GX_EXC_DUPLICATE = 19,         // definition already exists (administration)
  GX_EXC_NULL_NOT_ALLOWED = 20,  // null for an attribute that is not nullable
  GX_EXC_WRONG_SERVER = 21,      // identifier or item belongs to another datastore
  GX_EXC_NOT_STORED = 22,        // item not yet added (update/del/check-out of a new item)
};

// Severity returned by GxException::code().
enum GxExceptionCodeDVX : short {
  GX_CODE_ERROR = 8,    // the operation failed; nothing was changed
  GX_CODE_SEVERE = 12,  // the store itself failed (I/O, corruption, busy past the timeout)
};

// Where an exception was raised.
class GXBASE_EXPORT GxExceptionLocation {
 public:
  GxExceptionLocation(const char* file, const char* function, long line);
  const char* fileName() const;      // source file base name; never null
  const char* functionName() const;  // never null
  long lineNumber() const;

 private:
  std::string file_;
  std::string function_;
  long line_;
};

class GXBASE_EXPORT GxExceptionBase : public std::exception {
 public:
  GxExceptionBase();
  ~GxExceptionBase() override;
  // A one-line description of the failure; never null; valid while the
  // exception lives.
  virtual const char* description() const = 0;
  // Severity, one of GxExceptionCodeDVX.
  virtual short code() const = 0;
  // Kind of failure, one of GxExceptionIdDVX.
  virtual short exceptionId() const = 0;
  const char* what() const noexcept override;
};

class GXBASE_EXPORT GxException : public GxExceptionBase {
 public:
  // `text` becomes text(0) and the description. errorId defaults to the
  // exception id; storage failures carry the SQLite result code instead.
  GxException(short exceptionId, const std::string& text, unsigned long errorId = 0,
              short code = GX_CODE_ERROR);
  // An exception with ids only: no texts (description() is "") and no
  // locations, as raised by connector code that has nothing to add.
  // errorId defaults to the exception id.
  explicit GxException(short exceptionId, unsigned long errorId = 0, short code = GX_CODE_ERROR);
  GxException(const GxException& other);
  GxException& operator=(const GxException& other);
  ~GxException() override;

  unsigned long errorId() const;  // 32-bit
  long textCount() const;
  // REQUIRES: 0 <= index < textCount(); otherwise returns "".
  const char* text(long index) const;
  long locationCount() const;
  // REQUIRES: 0 <= index < locationCount(); otherwise a location with empty
  // names and line 0.
  const GxExceptionLocation& locationAtIndex(long index) const;

  const char* description() const override;
  short code() const override;
  short exceptionId() const override;

  // Builders used where the exception is raised.
  GxException& addText(const std::string& text);
  GxException& addLocation(const char* file, const char* function, long line);

 private:
  short exceptionId_;
  short code_;
  unsigned long errorId_;
  std::vector<std::string> texts_;
  std::vector<GxExceptionLocation> locations_;
};
