#pragma once
// The operation table: every SOAP operation of the ten controllers with its
// argument types and result type. It is the single source of truth for the
// WSDL documents and for dispatch.
#include <string>
#include <vector>

namespace hollin {

enum class ArgType { kString, kInt, kLong, kBool, kDate };
enum class ResultType { kNone, kString, kLong };

// The xsd type name ("xsd:string", ...) of an argument or result type.
const char* xsdType(ArgType type);
const char* xsdType(ResultType type);

struct CallContext;
class Args;

// An operation's implementation: returns the text of <return> (ignored for
// ResultType::kNone). Throws SoapFault (soap_message.h) to refuse the call.
using OperationHandler = std::string (*)(CallContext& ctx, const Args& args);

struct Operation {
  const char* controller;  // "LoginManager", "ClientController", ...
  const char* name;
  std::vector<ArgType> args;
  ResultType result;
  OperationHandler handler;
};

// The ten controller names, in a fixed order.
const std::vector<std::string>& controllerNames();

// Every operation, grouped by controller. Built once; thread-safe.
const std::vector<Operation>& operationTable();

// The operation `name` of `controller`, or nullptr.
const Operation* findOperation(const std::string& controller, const std::string& name);

}  // namespace hollin
