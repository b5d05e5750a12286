#pragma once
// The SOAP client component and its header handler, registered in the COM
// class registry of qelwin when libqelsoap is loaded.
//
// SOAP client: class CLSID_SoapClient30, interface ISoapClient (IDispatch).
//   MSSoapInit fetches and parses the WSDL (document/literal and rpc
//   literal/encoded, SOAP 1.1 ports); GetIDsOfNames gives one dispatch id per
//   operation; Invoke encodes the arguments by the WSDL part types, posts the
//   envelope over HTTP/1.1 (libcurl, keep-alive, https) and decodes the
//   result or the fault.
//   Arguments: VT_EMPTY and VT_NULL travel as xsi:nil="true"; string parts
//   take VT_BSTR (a null BSTR travels as nil too, which the reference server
//   reads as the empty text) or integers; integer parts also take text of
//   digits; int/long/short parts take any integer
//   tag (out of range: DISP_E_OVERFLOW); boolean parts VT_BOOL or integers
//   (non-zero = true); dateTime parts VT_DATE (an OLE automation date, sent
//   as local "YYYY-MM-DDThh:mm:ss"). Others: DISP_E_TYPEMISMATCH, with
//   *puArgErr naming the slot.
//   Results: int/long parts as VT_I4, boolean as VT_BOOL, everything else as
//   VT_BSTR (nil = null BSTR); an operation without result leaves it empty.
//   Failures: a SOAP fault (any HTTP status or content type) returns
//   DISP_E_EXCEPTION with EXCEPINFO's description = faultstring (or 1.2
//   Reason/Text), a line feed, then each <detail> child as "<Name>text</Name>";
//   refused connections, timeouts, TLS and HTTP errors return
//   DISP_E_EXCEPTION with a description naming the cause ("Connection
//   refused: ...", "Timed out after N ms: ...", "HTTP status 503 from ...").
//   Names: unknown -> DISP_E_UNKNOWNNAME (ASCII case ignored, exact match
//   first); wrong argument count -> DISP_E_BADPARAMCOUNT; named arguments ->
//   DISP_E_NONAMEDARGS; riid other than IID_NULL -> DISP_E_UNKNOWNINTERFACE;
//   before MSSoapInit -> E_UNEXPECTED.
//
// Header handler: prog id "SoapHeaderHandler.clsHeaderHandler", interface
//   IClsHeaderHandler. put_HeaderText keeps a text; once handed to a client
//   through putref_HeaderHandler, the client asks it for its header on every
//   request and it writes one element
//     <h:SessionHandle xmlns:h="urn:halvor:gre:session">text</h:SessionHandle>
//
// https: servers are verified against the system's trusted authorities, or
// against the PEM file that the environment variable QELSOAP_CAINFO names.
//
// Objects are used on the thread that created them (apartment rule); the
// connections of all clients of one thread are pooled and kept alive.

#include "qelwin.h"

#define QELSOAP_API QEL_EXPORT

struct QELSOAP_API ISoapClient : IDispatch {
  // Loads the WSDL at `wsdlUrl` (http or https; imports from the same server
  // are followed). `service` and `port` select a port ("" or null = the first
  // SOAP 1.1 port); `wsml` is ignored. Parsed WSDLs are cached per URL for
  // the process. Results: S_OK; E_INVALIDARG (no URL); E_FAIL when the WSDL
  // cannot be fetched or understood (the cause goes to OutputDebugStringA as
  // "ERROR [MSSoapInit]: <cause>").
  virtual HRESULT MSSoapInit(BSTR wsdlUrl, BSTR service, BSTR port, BSTR wsml) = 0;
  // Connector properties: "Timeout" (ms for each call, integer VARIANT > 0;
  // default 30000) and "EndPointURL" (string: overrides the WSDL address).
  // Names ignore ASCII case. E_INVALIDARG for another name or a bad value.
  virtual HRESULT put_ConnectorProperty(BSTR name, VARIANT value) = 0;
  // Attaches a header handler (an IClsHeaderHandler object of this library)
  // whose header goes into every later request; null detaches. The client
  // keeps a reference. E_NOINTERFACE for a foreign object.
  virtual HRESULT putref_HeaderHandler(IDispatch* handler) = 0;
};
QEL_DECLARE_INTERFACE(ISoapClient, IDispatch, 0x7F017F92, 0x9257, 0x11D5, 0x87, 0xEA, 0x00, 0xB0,
                      0xD0, 0xBE, 0x64, 0x79);

struct QELSOAP_API IClsHeaderHandler : IDispatch {
  // A copy of the current text (null BSTR when none was set); caller frees.
  virtual HRESULT get_HeaderText(BSTR* text) = 0;
  // Keeps a copy of `text` (null = empty). E_OUTOFMEMORY on allocation failure.
  virtual HRESULT put_HeaderText(BSTR text) = 0;
};
QEL_DECLARE_INTERFACE(IClsHeaderHandler, IDispatch, 0xCA363DA5, 0xC192, 0x4119, 0x8A, 0x12, 0x30,
                      0xA4, 0xCF, 0xA1, 0x0D, 0x70);

inline constexpr CLSID CLSID_SoapClient30 = {
    0x7F017F97, 0x9257, 0x11D5, {0x87, 0xEA, 0x00, 0xB0, 0xD0, 0xBE, 0x64, 0x79}};
inline constexpr CLSID CLSID_SoapHeaderHandler = {
    0x5E7A0C31, 0x4B2D, 0x4F6A, {0x9C, 0x1E, 0x3D, 0x52, 0x8B, 0x6F, 0x20, 0x41}};
inline constexpr IID IID_ISoapClient = QEL_IIDOF(ISoapClient);
inline constexpr IID IID_IClsHeaderHandler = QEL_IIDOF(IClsHeaderHandler);
inline constexpr char kSoapHeaderHandlerProgId[] = "SoapHeaderHandler.clsHeaderHandler";

extern "C" {
// Registers both classes (once per process). Runs from a static initializer when the
// library loads; a library that needs them calls it to make sure libqelsoap
// is linked and loaded. Thread-safe; returns S_OK.
QELSOAP_API HRESULT qelsoapRegister();
// Forgets every cached WSDL, so the next MSSoapInit fetches again.
QELSOAP_API void qelsoapFlushWsdlCache();
// Closes the calling thread's kept-alive connections (e.g. before a server
// that a test started is stopped).
QELSOAP_API void qelsoapCloseConnections();
}
