#pragma once
// WSDL 1.1 documents (document/literal wrapped) generated from the
// operation table.
#include <string>

namespace hollin {

// The WSDL of `controller` ("LoginManager", ...), whose service address is
// `baseUrl` + "services/" + controller + "EJBService".
// REQUIRES: controller is one of controllerNames(); baseUrl ends with "/".
std::string buildWsdl(const std::string& controller, const std::string& baseUrl);

}  // namespace hollin
