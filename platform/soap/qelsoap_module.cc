#include "soap_client.h"

namespace {

// Registration when the library is loaded.
const HRESULT gRegistered = qelsoapRegister();

}  // namespace
