#pragma once
// Umbrella header of libqelwin.
#include "bstr.h"
#include "com.h"
#include "com_error.h"
#include "cstring.h"
#include "guid.h"
#include "variant.h"
#include "wintypes.h"
