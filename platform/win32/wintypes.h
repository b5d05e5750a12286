#pragma once
// Basic Windows types, result codes and constants used across the port.
// Integer widths follow the Windows data model (LONG is 32 bits even on LP64).
#include <cstddef>
#include <cstdint>

#include "qelwin_export.h"

#ifndef WINAPI
#define WINAPI
#endif
#ifndef __stdcall
#define __stdcall
#endif
#ifndef CALLBACK
#define CALLBACK
#endif
#ifndef STDMETHODCALLTYPE
#define STDMETHODCALLTYPE
#endif

// Macros rather than constants: curses and other C headers define them too.
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using INT = int;
using UINT = unsigned int;
using BOOL = int;
using CHAR = char;
using LCID = DWORD;
using DISPID = LONG;
using MEMBERID = DISPID;
using HRESULT = int32_t;
using SCODE = LONG;
using DATE = double;
using VARIANT_BOOL = short;
using DWORD_PTR = uintptr_t;
using ULONG_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using SIZE_T = size_t;

using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
using LPSTR = char*;
using LPCSTR = const char*;
using TCHAR = char;
using LPTSTR = char*;
using LPCTSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;

// Opaque kernel-object handle (mutexes, registry keys use their own type).
using HANDLE = void*;
#ifndef INVALID_HANDLE_VALUE
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#endif

#ifndef VARIANT_TRUE
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#endif
#ifndef VARIANT_FALSE
#define VARIANT_FALSE ((VARIANT_BOOL)0)
#endif

#ifndef SUCCEEDED
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#endif
#ifndef FAILED
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#endif

namespace qelwin_detail {
constexpr HRESULT hr(uint32_t v) { return static_cast<HRESULT>(static_cast<int64_t>(v) - (v > 0x7FFFFFFFu ? 0x100000000LL : 0)); }
}  // namespace qelwin_detail

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT NOERROR = 0;

inline constexpr HRESULT E_NOTIMPL = qelwin_detail::hr(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = qelwin_detail::hr(0x80004002u);
inline constexpr HRESULT E_POINTER = qelwin_detail::hr(0x80004003u);
inline constexpr HRESULT E_ABORT = qelwin_detail::hr(0x80004004u);
inline constexpr HRESULT E_FAIL = qelwin_detail::hr(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = qelwin_detail::hr(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = qelwin_detail::hr(0x80070005u);
inline constexpr HRESULT E_HANDLE = qelwin_detail::hr(0x80070006u);
inline constexpr HRESULT E_OUTOFMEMORY = qelwin_detail::hr(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = qelwin_detail::hr(0x80070057u);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = qelwin_detail::hr(0x80020001u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = qelwin_detail::hr(0x80020003u);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = qelwin_detail::hr(0x80020004u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = qelwin_detail::hr(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = qelwin_detail::hr(0x80020006u);
inline constexpr HRESULT DISP_E_NONAMEDARGS = qelwin_detail::hr(0x80020007u);
inline constexpr HRESULT DISP_E_BADVARTYPE = qelwin_detail::hr(0x80020008u);
inline constexpr HRESULT DISP_E_EXCEPTION = qelwin_detail::hr(0x80020009u);
inline constexpr HRESULT DISP_E_OVERFLOW = qelwin_detail::hr(0x8002000Au);
inline constexpr HRESULT DISP_E_BADINDEX = qelwin_detail::hr(0x8002000Bu);
inline constexpr HRESULT DISP_E_UNKNOWNLCID = qelwin_detail::hr(0x8002000Cu);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = qelwin_detail::hr(0x8002000Du);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = qelwin_detail::hr(0x8002000Eu);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = qelwin_detail::hr(0x8002000Fu);
inline constexpr HRESULT DISP_E_BADCALLEE = qelwin_detail::hr(0x80020010u);
inline constexpr HRESULT DISP_E_NOTACOLLECTION = qelwin_detail::hr(0x80020011u);
inline constexpr HRESULT DISP_E_DIVBYZERO = qelwin_detail::hr(0x80020012u);
inline constexpr HRESULT DISP_E_BUFFERTOOSMALL = qelwin_detail::hr(0x80020013u);

inline constexpr HRESULT RPC_E_CHANGED_MODE = qelwin_detail::hr(0x80010106u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = qelwin_detail::hr(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = qelwin_detail::hr(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = qelwin_detail::hr(0x80040154u);
inline constexpr HRESULT REGDB_E_READREGDB = qelwin_detail::hr(0x80040150u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = qelwin_detail::hr(0x800401F0u);
inline constexpr HRESULT CO_E_CLASSSTRING = qelwin_detail::hr(0x800401F3u);

// Win32 error codes (GetLastError, registry results).
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LONG ERROR_OUTOFMEMORY = 14;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_INVALID_NAME = 123;
inline constexpr LONG ERROR_ALREADY_EXISTS = 183;
inline constexpr LONG ERROR_ENVVAR_NOT_FOUND = 203;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NOT_OWNER = 288;

inline constexpr DWORD MAX_PATH = 260;

// Class contexts for CoCreateInstance.
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_ALL =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;  // 7
inline constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

// IDispatch::Invoke flags.
inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;

// The calling thread's last error code. Thread-local; never fails.
QELWIN_API DWORD GetLastError();
QELWIN_API void SetLastError(DWORD code);
