#pragma once
// Umbrella header of libqelwin.
#include "bstr.h"
#include "com.h"
#include "com_error.h"
#include "cstring.h"
#include "debug_output.h"
#include "environment.h"
#include "guid.h"
#include "mutex.h"
#include "registry.h"
#include "variant.h"
#include "wintypes.h"
