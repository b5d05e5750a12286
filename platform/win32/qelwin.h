#pragma once
// Umbrella header of libqelwin.
#include "bstr.h"
#include "com_error.h"
#include "cstring.h"
#include "wintypes.h"
