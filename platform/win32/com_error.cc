#include "com_error.h"

#include <cstdio>

namespace {

struct KnownHresult {
  HRESULT hr;
  const char* name;
  const char* text;
};

const KnownHresult kKnown[] = {
    {S_OK, "S_OK", "The operation completed successfully."},
    {S_FALSE, "S_FALSE", "The operation completed with a false result."},
    {E_NOTIMPL, "E_NOTIMPL", "Not implemented."},
    {E_NOINTERFACE, "E_NOINTERFACE", "No such interface supported."},
    {E_POINTER, "E_POINTER", "Invalid pointer."},
    {E_ABORT, "E_ABORT", "Operation aborted."},
    {E_FAIL, "E_FAIL", "Unspecified error."},
    {E_UNEXPECTED, "E_UNEXPECTED", "Catastrophic failure."},
    {E_ACCESSDENIED, "E_ACCESSDENIED", "Access is denied."},
    {E_HANDLE, "E_HANDLE", "The handle is invalid."},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY", "Not enough memory resources are available."},
    {E_INVALIDARG, "E_INVALIDARG", "The parameter is incorrect."},
    {DISP_E_UNKNOWNINTERFACE, "DISP_E_UNKNOWNINTERFACE", "Unknown interface."},
    {DISP_E_MEMBERNOTFOUND, "DISP_E_MEMBERNOTFOUND", "Member not found."},
    {DISP_E_PARAMNOTFOUND, "DISP_E_PARAMNOTFOUND", "Parameter not found."},
    {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH", "Type mismatch."},
    {DISP_E_UNKNOWNNAME, "DISP_E_UNKNOWNNAME", "Unknown name."},
    {DISP_E_NONAMEDARGS, "DISP_E_NONAMEDARGS", "No named arguments."},
    {DISP_E_BADVARTYPE, "DISP_E_BADVARTYPE", "Bad variable type."},
    {DISP_E_EXCEPTION, "DISP_E_EXCEPTION", "Exception occurred."},
    {DISP_E_OVERFLOW, "DISP_E_OVERFLOW", "Out of present range."},
    {DISP_E_BADINDEX, "DISP_E_BADINDEX", "Invalid index."},
    {DISP_E_UNKNOWNLCID, "DISP_E_UNKNOWNLCID", "Unknown language."},
    {DISP_E_ARRAYISLOCKED, "DISP_E_ARRAYISLOCKED", "Memory is locked."},
    {DISP_E_BADPARAMCOUNT, "DISP_E_BADPARAMCOUNT", "Invalid number of parameters."},
    {DISP_E_PARAMNOTOPTIONAL, "DISP_E_PARAMNOTOPTIONAL", "Parameter not optional."},
    {DISP_E_BADCALLEE, "DISP_E_BADCALLEE", "Invalid callee."},
    {DISP_E_NOTACOLLECTION, "DISP_E_NOTACOLLECTION", "Does not support a collection."},
    {DISP_E_DIVBYZERO, "DISP_E_DIVBYZERO", "Division by zero."},
    {DISP_E_BUFFERTOOSMALL, "DISP_E_BUFFERTOOSMALL", "Buffer too small."},
    {RPC_E_CHANGED_MODE, "RPC_E_CHANGED_MODE", "Cannot change thread mode after it is set."},
    {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION", "Class does not support aggregation."},
    {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE", "Class factory cannot supply requested class."},
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG", "Class not registered."},
    {REGDB_E_READREGDB, "REGDB_E_READREGDB", "Could not read key from registry."},
    {CO_E_NOTINITIALIZED, "CO_E_NOTINITIALIZED", "CoInitialize has not been called."},
    {CO_E_CLASSSTRING, "CO_E_CLASSSTRING", "Invalid class string."},
};

const KnownHresult* lookup(HRESULT hr) {
  for (const auto& k : kKnown) {
    if (k.hr == hr) return &k;
  }
  return nullptr;
}

}  // namespace

_com_error::~_com_error() = default;

const char* _com_error::ErrorMessage() const {
  if (message_.empty()) {
    if (const KnownHresult* k = lookup(hr_)) {
      message_ = k->text;
    } else {
      char buf[48];
      std::snprintf(buf, sizeof buf, "Unknown error 0x%08X", static_cast<unsigned>(hr_));
      message_ = buf;
    }
  }
  return message_.c_str();
}

void _com_issue_error(HRESULT hr) { throw _com_error(hr); }

const char* qelHresultName(HRESULT hr) {
  const KnownHresult* k = lookup(hr);
  return k ? k->name : nullptr;
}
