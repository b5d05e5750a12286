#pragma once
// Umbrella header of libgxbase: strings, variants, name/value pairs,
// exceptions, data objects, collections, environment.
#include "platform/gx/gx_any.h"
#include "platform/gx/gx_collection.h"
#include "platform/gx/gx_data_object_base.h"
#include "platform/gx/gx_environment.h"
#include "platform/gx/gx_exception.h"
#include "platform/gx/gx_nvpair.h"
#include "platform/gx/gx_string.h"
