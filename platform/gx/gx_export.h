#pragma once
// Export macros of the two connector libraries. Both resolve to default
// visibility; they are separate so that each header says which library owns it.
#include "shared/qel_export.h"

#define GXBASE_EXPORT QEL_EXPORT
#define GXDVX_EXPORT QEL_EXPORT
