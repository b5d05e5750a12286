#pragma once
// Internal helpers of item creation, visible to the unit tests.
#include "platform/gx/gxdvx.h"

// The MIME type for `fileName`: the first of the server's MIME type
// definitions whose suffix list contains the file's suffix (lower-cased,
// plain substring search), else "text/plain". Throws GxException.
GxString findMimeType(GxDatastoreDVX* datastore, GxString fileName);
