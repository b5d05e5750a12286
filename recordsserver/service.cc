#include "service.h"

#include <cstdio>

#include "args.h"
#include "call_context.h"
#include "db.h"
#include "soap_message.h"

namespace hollin {

SoapAnswer Service::call(const std::string& controller, const std::string& body) {
  SoapAnswer answer;
  try {
    SoapRequest req = parseSoapRequest(controller, body);
    answer.operation = req.operation->name;
    CallContext ctx{store_, sessions_, nullptr};
    Session session;
    if (controller != "LoginManager") {
      session = sessions_.check(controller, req.sessionHandle, req.hasSessionHandle);
      ctx.session = &session;
    }
    std::string result = req.operation->handler(ctx, Args(std::move(req.args)));
    answer.body = buildSoapResponse(*req.operation, result);
  } catch (const SoapFault& f) {
    answer.status = 500;
    answer.faultReason = f.what();
    answer.body = buildSoapFault(f.what(), f.clientFault());
  } catch (const std::exception& e) {
    // Store failures are the server's own; keep their text out of the
    // answer but on record.
    std::fprintf(stderr, "hollin-server: internal error in %s: %s\n",
                 answer.operation.empty() ? controller.c_str() : answer.operation.c_str(), e.what());
    answer.status = 500;
    answer.faultReason = "internal server error";
    answer.body = buildSoapFault(answer.faultReason, false);
  }
  return answer;
}

}  // namespace hollin
