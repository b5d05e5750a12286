#pragma once
// _com_error: the exception that COM support code throws for a failing
// HRESULT (allocation failures of _bstr_t throw it with E_OUTOFMEMORY).
// Exported as a whole so that it can be caught in any library.
#include <string>

#include "bstr.h"
#include "qelwin_export.h"
#include "wintypes.h"

class QELWIN_API _com_error {
 public:
  explicit _com_error(HRESULT hr) noexcept : hr_(hr) {}
  // With error information: the component that raised it and its description.
  _com_error(HRESULT hr, const _bstr_t& source, const _bstr_t& description)
      : hr_(hr), source_(source), description_(description) {}
  virtual ~_com_error();

  HRESULT Error() const noexcept { return hr_; }
  // Text for the HRESULT: its symbolic name and meaning for known codes,
  // otherwise "Unknown error 0x%08X". Owned by this object.
  const char* ErrorMessage() const;
  // Error information; hold no string when none was given.
  _bstr_t Source() const { return source_; }
  _bstr_t Description() const { return description_; }

 private:
  HRESULT hr_;
  _bstr_t source_;
  _bstr_t description_;
  mutable std::string message_;
};

// Throws _com_error(hr). Used where COM support code meets a failure.
[[noreturn]] QELWIN_API void _com_issue_error(HRESULT hr);

// Symbolic name of a known HRESULT ("E_FAIL", "DISP_E_EXCEPTION"), or null.
QELWIN_API const char* qelHresultName(HRESULT hr);
