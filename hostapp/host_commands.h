#pragma once
// qelhost: a command-line host application over libQELUtilities. It does
// what a host application does: connects a content-management datastore as
// its user, logs that user on to the records server and works through the
// session.
//
//   qelhost [--servers FILE] set-config SERVER USER RECORD_FILE
//   qelhost [--servers FILE] show-config SERVER USER
//   qelhost [--servers FILE] session SERVER USER [--admin]
//
// USER's content-management password is the first line of standard input,
// so that it never shows on a command line. RECORD_FILE holds the
// configuration record as "Key=Value" lines (the eleven keys of
// TaVNcfgInfo_t; "#" starts a comment line; keys left out stay empty or 0).
// show-config never prints the three passwords, only whether they are set.
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "QELUtilities.h"

// Runs one qelhost command line (`args` without the program name), reading
// the password from `in`, writing results to `out` and errors to `err`.
// Returns the exit status: 0 done, 1 failed, 2 bad command line. --servers
// sets GXSERVERS for the process. Never throws.
int RunQelhost(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err);

// Parses "Key=Value" lines into `info`. Returns "" when good, else the
// reason (unknown key, key given twice, a number that is not one).
std::string ParseConfigRecord(std::istream& text, TaVNcfgInfo_t& info);
