#pragma once
// Localized user-visible texts by numeric string id.
//
// Texts live in message catalogs, one UTF-8 file per language
// ("<lang>.txt", format described in catalogs/README.md), in the folder
// "qelresource" beside libQELResource.so; QELRESOURCEDIR names another folder.
// The language is chosen on every call, so a process may switch it:
//   QELLANG when set and not empty ("de", "en", "de_DE.UTF-8" ...), else the
//   first set of LC_ALL, LC_MESSAGES, LANG; the primary code of the setting,
//   lower-cased, is used when a catalog for it exists, otherwise English.
// Catalogs are read once per folder and language, on first use.
//
// Texts that callers use as C formats take these values, in this order:
//   3914 "%ld" record id
//   3916 "%ld %d" record id, number of versions
//   3918 "%ld %ld" record id, id of the superseding record
//   3919 "%ld %d" record id, number of supporting records
// No other text contains a conversion.

#include "cstring.h"
#include "qel_export.h"

#define QELRESOURCE_API QEL_EXPORT

// The text of `id` in the current language; when that catalog lacks it, the
// English text; when no catalog has it, the placeholder "[missing text <id>]".
// Never empty for a known id. The caller owns the copy. Never throws
// (out of memory yields an empty string). Thread-safe.
QELRESOURCE_API CString QELLoadString(unsigned int id);

// The language QELLoadString uses now, as its lower-case primary code:
// "en" or "de" with the shipped catalogs. Callers pass it on unchanged (the
// records-server login locale, the help file name "qelchelp_<lang>.chm").
// Never throws. Thread-safe.
QELRESOURCE_API CString QELGetLang();
