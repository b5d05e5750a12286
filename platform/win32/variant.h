#pragma once
// VARIANT, the tagged value of OLE automation. A plain struct as in C: it
// owns what its tag says (a BSTR, an interface reference) only by convention;
// VariantClear releases that and VariantCopy duplicates it.
#include "bstr.h"
#include "qelwin_export.h"
#include "wintypes.h"

struct IUnknown;
struct IDispatch;

using VARTYPE = unsigned short;

enum VARENUM : unsigned short {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONGLONG llVal;
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    CHAR cVal;
    USHORT uiVal;
    ULONG ulVal;
    ULONGLONG ullVal;
    INT intVal;
    UINT uintVal;
    BYTE* pbVal;
    SHORT* piVal;
    LONG* plVal;
    LONGLONG* pllVal;
    double* pdblVal;
    VARIANT_BOOL* pboolVal;
    SCODE* pscode;
    DATE* pdate;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    VARIANT* pvarVal;
    INT* pintVal;
    UINT* puintVal;
    void* byref;
  };
};
using VARIANTARG = VARIANT;
using LPVARIANT = VARIANT*;
using LPVARIANTARG = VARIANT*;

#define V_VT(v) ((v)->vt)
#define V_I2(v) ((v)->iVal)
#define V_I4(v) ((v)->lVal)
#define V_I8(v) ((v)->llVal)
#define V_INT(v) ((v)->intVal)
#define V_UINT(v) ((v)->uintVal)
#define V_R8(v) ((v)->dblVal)
#define V_DATE(v) ((v)->date)
#define V_BOOL(v) ((v)->boolVal)
#define V_BSTR(v) ((v)->bstrVal)
#define V_ERROR(v) ((v)->scode)
#define V_UNKNOWN(v) ((v)->punkVal)
#define V_DISPATCH(v) ((v)->pdispVal)
#define V_BYREF(v) ((v)->byref)
#define V_VARIANTREF(v) ((v)->pvarVal)

// Sets vt to VT_EMPTY and zeroes the value. Does not release anything.
// REQUIRES: v non-null.
QELWIN_API void VariantInit(VARIANTARG* v);

// Releases what v owns (frees a VT_BSTR string, releases a VT_UNKNOWN or
// VT_DISPATCH reference; by-reference values are not owned) and leaves v
// VT_EMPTY. Returns S_OK, E_INVALIDARG for null, or DISP_E_BADVARTYPE for a
// tag this port does not know (v is then left unchanged).
QELWIN_API HRESULT VariantClear(VARIANTARG* v);

// Clears dest, then makes it a copy of src: a new BSTR for VT_BSTR, an
// AddRef for interfaces. Returns S_OK, E_INVALIDARG, DISP_E_BADVARTYPE or
// E_OUTOFMEMORY (dest is then VT_EMPTY). dest == src is a no-op.
QELWIN_API HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* src);

// Converts src to type vt into dest (dest may equal src). Supported: the
// integer types, VT_R4, VT_R8, VT_DATE (as its number), VT_BOOL and VT_BSTR
// among each other, VT_EMPTY as 0 / "" / false, same-type copies of any
// known tag, and VT_BYREF sources (dereferenced). Text is parsed and printed
// in the C locale; doubles convert to integers rounding half to even.
// VT_BOOL prints as "-1"/"0", or "True"/"False" with VARIANT_ALPHABOOL in
// `flags`; text "True"/"False" (any case) or a number converts to VT_BOOL.
// Returns S_OK, DISP_E_TYPEMISMATCH (unsupported pair, VT_NULL source or
// unparsable text), DISP_E_OVERFLOW (out of range), DISP_E_BADVARTYPE or
// E_OUTOFMEMORY; on failure dest is unchanged.
inline constexpr unsigned short VARIANT_NOVALUEPROP = 0x01;
inline constexpr unsigned short VARIANT_ALPHABOOL = 0x02;
QELWIN_API HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* src, unsigned short flags, VARTYPE vt);
