#pragma once
// Export macro of libqelwin. Everything else in the library stays hidden.
#include "qel_export.h"

#define QELWIN_API QEL_EXPORT
