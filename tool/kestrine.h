#pragma once
// Kestrine's console driver: finds the VC-1 Advanced Profile sequence and
// entry-point headers in one file (WVC1 codec data of an ASF file, else the
// first 64 KiB read as an elementary stream) and prints their report.

#include "platform/file.h"

namespace kestrine {

// One whole run over argv[1] (further arguments are ignored). Everything,
// error messages included, goes to standard output. Returns the process exit
// status: -1 without a file name, 0 otherwise.
int Run(int argc, const platform::NativeChar* const* argv);

}  // namespace kestrine
