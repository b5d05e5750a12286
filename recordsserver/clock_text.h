#pragma once
// Local date and time as the wire writes it.
#include <string>

namespace hollin {

// The current local time as "YYYY-MM-DDThh:mm:ss". Thread-safe.
std::string localDateTimeNow();

}  // namespace hollin
