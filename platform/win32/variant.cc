#include "variant.h"

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>
#include <string>

#include "com.h"

namespace {

bool isKnownScalar(VARTYPE t) {
  switch (t) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

bool isValidTag(VARTYPE vt) {
  if (vt & VT_BYREF) {
    VARTYPE base = vt & ~VT_BYREF;
    return base == VT_VARIANT || (isKnownScalar(base) && base != VT_EMPTY && base != VT_NULL);
  }
  return isKnownScalar(vt);
}

// A value taken out of a VARIANT for conversion.
struct Value {
  enum Kind { kEmpty, kSigned, kUnsigned, kReal, kBool, kText } kind = kEmpty;
  int64_t i = 0;
  uint64_t u = 0;
  double d = 0;
  bool b = false;
  std::u16string text;
};

// Fetches the value of a by-value tag (or a by-reference one, dereferenced).
HRESULT extract(const VARIANT* v, Value* out) {
  VARTYPE vt = v->vt;
  bool ref = (vt & VT_BYREF) != 0;
  VARTYPE base = vt & ~VT_BYREF;
  if (ref && base == VT_VARIANT) {
    if (!v->pvarVal) return E_INVALIDARG;
    if (v->pvarVal->vt & VT_BYREF && (v->pvarVal->vt & ~VT_BYREF) == VT_VARIANT) return DISP_E_BADVARTYPE;
    return extract(v->pvarVal, out);
  }
  if (ref && !v->byref) return E_INVALIDARG;
  switch (base) {
    case VT_EMPTY:
      out->kind = Value::kEmpty;
      return S_OK;
    case VT_I1:
      out->kind = Value::kSigned;
      out->i = ref ? *static_cast<signed char*>(v->byref) : static_cast<signed char>(v->cVal);
      return S_OK;
    case VT_I2:
      out->kind = Value::kSigned;
      out->i = ref ? *v->piVal : v->iVal;
      return S_OK;
    case VT_I4:
      out->kind = Value::kSigned;
      out->i = ref ? *v->plVal : v->lVal;
      return S_OK;
    case VT_INT:
      out->kind = Value::kSigned;
      out->i = ref ? *v->pintVal : v->intVal;
      return S_OK;
    case VT_I8:
      out->kind = Value::kSigned;
      out->i = ref ? *v->pllVal : v->llVal;
      return S_OK;
    case VT_UI1:
      out->kind = Value::kUnsigned;
      out->u = ref ? *v->pbVal : v->bVal;
      return S_OK;
    case VT_UI2:
      out->kind = Value::kUnsigned;
      out->u = ref ? *static_cast<USHORT*>(v->byref) : v->uiVal;
      return S_OK;
    case VT_UI4:
      out->kind = Value::kUnsigned;
      out->u = ref ? *static_cast<ULONG*>(v->byref) : v->ulVal;
      return S_OK;
    case VT_UINT:
      out->kind = Value::kUnsigned;
      out->u = ref ? *v->puintVal : v->uintVal;
      return S_OK;
    case VT_UI8:
      out->kind = Value::kUnsigned;
      out->u = ref ? *static_cast<ULONGLONG*>(v->byref) : v->ullVal;
      return S_OK;
    case VT_R4:
      out->kind = Value::kReal;
      out->d = ref ? *static_cast<float*>(v->byref) : v->fltVal;
      return S_OK;
    case VT_R8:
      out->kind = Value::kReal;
      out->d = ref ? *v->pdblVal : v->dblVal;
      return S_OK;
    case VT_DATE:
      out->kind = Value::kReal;
      out->d = ref ? *v->pdate : v->date;
      return S_OK;
    case VT_BOOL:
      out->kind = Value::kBool;
      out->b = (ref ? *v->pboolVal : v->boolVal) != VARIANT_FALSE;
      return S_OK;
    case VT_BSTR: {
      BSTR s = ref ? *v->pbstrVal : v->bstrVal;
      out->kind = Value::kText;
      out->text.assign(s ? s : u"", SysStringLen(s));
      return S_OK;
    }
    case VT_NULL:
      return DISP_E_TYPEMISMATCH;
    default:
      return isKnownScalar(base) ? DISP_E_TYPEMISMATCH : DISP_E_BADVARTYPE;
  }
}

std::string trimAscii(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool equalsNoCase(const std::string& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char x = a[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (x != b[i]) return false;
  }
  return true;
}

// strtod in the C locale whatever the process locale is.
bool parseDouble(const std::string& s, double* out) {
  static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  double d = cLocale ? strtod_l(s.c_str(), &end, cLocale) : std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size()) return false;
  if (errno == ERANGE && std::isinf(d)) return false;
  *out = d;
  return true;
}

// Turns text into a number or a boolean.
HRESULT parseText(Value* v, bool wantBool) {
  std::string s = trimAscii(utf16ToUtf8(v->text));
  if (wantBool) {
    if (equalsNoCase(s, "true")) {
      v->kind = Value::kBool;
      v->b = true;
      return S_OK;
    }
    if (equalsNoCase(s, "false")) {
      v->kind = Value::kBool;
      v->b = false;
      return S_OK;
    }
  }
  // Whole integers keep full 64-bit precision; anything else goes through double.
  if (!s.empty()) {
    char* end = nullptr;
    errno = 0;
    long long ll = std::strtoll(s.c_str(), &end, 10);
    if (end == s.c_str() + s.size() && errno == 0) {
      v->kind = Value::kSigned;
      v->i = ll;
      return S_OK;
    }
    if (s[0] != '-') {
      errno = 0;
      unsigned long long ull = std::strtoull(s.c_str(), &end, 10);
      if (end == s.c_str() + s.size() && errno == 0) {
        v->kind = Value::kUnsigned;
        v->u = ull;
        return S_OK;
      }
    }
  }
  double d;
  if (!parseDouble(s, &d)) return DISP_E_TYPEMISMATCH;
  v->kind = Value::kReal;
  v->d = d;
  return S_OK;
}

// Round half to even, as automation conversions do.
double roundEven(double d) {
  int old = std::fegetround();
  std::fesetround(FE_TONEAREST);
  double r = std::nearbyint(d);
  std::fesetround(old);
  return r;
}

template <class T>
HRESULT toInteger(const Value& v, T* out) {
  using L = std::numeric_limits<T>;
  switch (v.kind) {
    case Value::kEmpty:
      *out = 0;
      return S_OK;
    case Value::kBool:
      if (!L::is_signed) {
        *out = v.b ? L::max() : 0;  // VARIANT_TRUE is all bits set
      } else {
        *out = v.b ? static_cast<T>(-1) : 0;
      }
      return S_OK;
    case Value::kSigned:
      if (L::is_signed) {
        if (v.i < static_cast<int64_t>(L::min()) || v.i > static_cast<int64_t>(L::max())) return DISP_E_OVERFLOW;
      } else if (v.i < 0 || static_cast<uint64_t>(v.i) > static_cast<uint64_t>(L::max())) {
        return DISP_E_OVERFLOW;
      }
      *out = static_cast<T>(v.i);
      return S_OK;
    case Value::kUnsigned:
      if (v.u > static_cast<uint64_t>(L::max())) return DISP_E_OVERFLOW;
      *out = static_cast<T>(v.u);
      return S_OK;
    case Value::kReal: {
      if (std::isnan(v.d)) return DISP_E_OVERFLOW;
      double r = roundEven(v.d);
      // Compare in long double so that the 64-bit limits are exact.
      if (static_cast<long double>(r) < static_cast<long double>(L::min()) ||
          static_cast<long double>(r) > static_cast<long double>(L::max())) {
        return DISP_E_OVERFLOW;
      }
      *out = static_cast<T>(r);
      return S_OK;
    }
    case Value::kText:
      break;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT toReal(const Value& v, double* out) {
  switch (v.kind) {
    case Value::kEmpty:
      *out = 0;
      return S_OK;
    case Value::kBool:
      *out = v.b ? -1.0 : 0.0;
      return S_OK;
    case Value::kSigned:
      *out = static_cast<double>(v.i);
      return S_OK;
    case Value::kUnsigned:
      *out = static_cast<double>(v.u);
      return S_OK;
    case Value::kReal:
      *out = v.d;
      return S_OK;
    case Value::kText:
      break;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT toText(const Value& v, unsigned short flags, std::string* out) {
  char buf[64];
  switch (v.kind) {
    case Value::kEmpty:
      out->clear();
      return S_OK;
    case Value::kBool:
      if (flags & VARIANT_ALPHABOOL) {
        *out = v.b ? "True" : "False";
      } else {
        *out = v.b ? "-1" : "0";
      }
      return S_OK;
    case Value::kSigned:
      std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v.i));
      *out = buf;
      return S_OK;
    case Value::kUnsigned:
      std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(v.u));
      *out = buf;
      return S_OK;
    case Value::kReal: {
      // Shortest text that reads back to the same double, in the C locale.
      static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
      locale_t old = cLocale ? uselocale(cLocale) : nullptr;
      for (int prec = 15; prec <= 17; ++prec) {
        std::snprintf(buf, sizeof buf, "%.*g", prec, v.d);
        if (std::strtod(buf, nullptr) == v.d) break;
      }
      if (old) uselocale(old);
      *out = buf;
      return S_OK;
    }
    case Value::kText:
      *out = utf16ToUtf8(v.text);
      return S_OK;
  }
  return DISP_E_TYPEMISMATCH;
}

}  // namespace

void VariantInit(VARIANTARG* v) { std::memset(v, 0, sizeof *v); }

HRESULT VariantClear(VARIANTARG* v) {
  if (!v) return E_INVALIDARG;
  if (!isValidTag(v->vt)) return DISP_E_BADVARTYPE;
  switch (v->vt) {
    case VT_BSTR:
      SysFreeString(v->bstrVal);
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      // Both members share storage; IDispatch derives from IUnknown singly.
      if (v->punkVal) v->punkVal->Release();
      break;
    default:
      break;
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (dest == src) return S_OK;
  if (!isValidTag(src->vt)) return DISP_E_BADVARTYPE;
  HRESULT hr = VariantClear(dest);
  if (FAILED(hr)) return hr;
  VARIANT copy = *src;
  if (src->vt == VT_BSTR && src->bstrVal) {
    copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
    if (!copy.bstrVal) return E_OUTOFMEMORY;
  } else if ((src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) && src->punkVal) {
    src->punkVal->AddRef();
  }
  *dest = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* src, unsigned short flags, VARTYPE vt) {
  if (!dest || !src) return E_INVALIDARG;
  if (!isValidTag(src->vt) || !isValidTag(vt) || (vt & VT_BYREF)) return DISP_E_BADVARTYPE;
  if (src->vt == vt) {
    if (dest == src) return S_OK;
    return VariantCopy(dest, src);
  }
  if (vt == VT_EMPTY) {
    HRESULT hr = VariantClear(dest);
    return hr;
  }
  Value v;
  HRESULT hr = extract(src, &v);
  if (FAILED(hr)) return hr;
  if (v.kind == Value::kText && vt != VT_BSTR) {
    hr = parseText(&v, vt == VT_BOOL);
    if (FAILED(hr)) return hr;
  }
  VARIANT out;
  VariantInit(&out);
  out.vt = vt;
  switch (vt) {
    case VT_I1: {
      signed char c = 0;
      hr = toInteger(v, &c);
      out.cVal = static_cast<CHAR>(c);
      break;
    }
    case VT_I2:
      hr = toInteger(v, &out.iVal);
      break;
    case VT_I4:
      hr = toInteger(v, &out.lVal);
      break;
    case VT_INT:
      hr = toInteger(v, &out.intVal);
      break;
    case VT_I8:
      hr = toInteger(v, &out.llVal);
      break;
    case VT_UI1:
      hr = toInteger(v, &out.bVal);
      break;
    case VT_UI2:
      hr = toInteger(v, &out.uiVal);
      break;
    case VT_UI4:
      hr = toInteger(v, &out.ulVal);
      break;
    case VT_UINT:
      hr = toInteger(v, &out.uintVal);
      break;
    case VT_UI8:
      hr = toInteger(v, &out.ullVal);
      break;
    case VT_R4: {
      double d;
      hr = toReal(v, &d);
      if (SUCCEEDED(hr) && std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) hr = DISP_E_OVERFLOW;
      out.fltVal = static_cast<float>(d);
      break;
    }
    case VT_R8:
      hr = toReal(v, &out.dblVal);
      break;
    case VT_DATE:
      hr = toReal(v, &out.date);
      break;
    case VT_BOOL:
      if (v.kind == Value::kBool) {
        out.boolVal = v.b ? VARIANT_TRUE : VARIANT_FALSE;
      } else {
        double d;
        hr = toReal(v, &d);
        out.boolVal = d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      }
      break;
    case VT_BSTR: {
      std::string text;
      hr = toText(v, flags, &text);
      if (SUCCEEDED(hr)) {
        std::u16string w = utf8ToUtf16(text);
        out.bstrVal = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
        if (!out.bstrVal) hr = E_OUTOFMEMORY;
      }
      break;
    }
    default:
      hr = DISP_E_TYPEMISMATCH;
      break;
  }
  if (FAILED(hr)) {
    if (out.vt == VT_BSTR) SysFreeString(out.bstrVal);
    return hr;
  }
  // Clear dest only now: src may be dest, and it was read above.
  hr = VariantClear(dest);
  if (FAILED(hr)) {
    if (out.vt == VT_BSTR) SysFreeString(out.bstrVal);
    return hr;
  }
  *dest = out;
  return S_OK;
}
