#pragma once
// Symbol visibility. Everything is hidden by default (-fvisibility=hidden);
// each library marks what it exports with its own macro built on this one.
#define QEL_EXPORT __attribute__((visibility("default")))
