#pragma once
// Wire conventions between the records-server client (platform/soap,
// hlnclient) and the reference records server (recordsserver). Both sides
// include this header; change it only together.
//
// Services. One SOAP 1.1 service per controller, described by a WSDL 1.1
// document at  <base>/wsdl/com/halvor/gre/engine/ejb/facade/<Name>EJBService.wsdl
// in document/literal wrapped style:
//   - target namespace  kServiceNamespacePrefix + <Name>   (e.g. urn:halvor:gre:facade:LoginManager)
//   - request element   <op> in that namespace, one child per argument named
//                       arg0, arg1, ... (unqualified) in the operation's order
//   - response element  <opResponse> with one unqualified child <return>
//                       (absent for operations without a result)
//   - soapAction        kServiceNamespacePrefix + <Name> + "#" + <op>
//   - endpoint          <base>/services/<Name>EJBService (host taken from the
//                       request that fetched the WSDL)
// XSD types: xsd:string, xsd:int, xsd:long, xsd:boolean, xsd:dateTime (local
// time, no zone, "YYYY-MM-DDThh:mm:ss"). A null string argument travels as an
// element with xsi:nil="true"; the server reads it as the empty text.
//
// Session header. Every controller call except the login manager's carries
// in soap:Header one element <h:SessionHandle xmlns:h="urn:halvor:gre:session">
// whose text is the client key (client controller) or the controller's handle
// (all others). The client's header handler writes it.
//
// Faults. HTTP status 500, a SOAP 1.1 Fault with faultcode soap:Client (bad
// input, unknown id, bad handle) or soap:Server, faultstring = the reason, and
// <detail><Description>the reason</Description></detail>. The client hands
// the fault to its caller as one text: faultstring, a line feed, then each
// child element of <detail> as "<Name>" + its text (unescaped) + "</Name>",
// so that the <Description> element survives as markup.

namespace hollin_wire {

inline constexpr int kDefaultPort = 18080;
inline constexpr char kFacadePath[] = "wsdl/com/halvor/gre/engine/ejb/facade/";
inline constexpr char kServicesPath[] = "services/";
inline constexpr char kServiceNamespacePrefix[] = "urn:halvor:gre:facade:";
inline constexpr char kHeaderNamespace[] = "urn:halvor:gre:session";
inline constexpr char kHeaderElement[] = "SessionHandle";
inline constexpr char kFaultDetailElement[] = "Description";

}  // namespace hollin_wire
