#pragma once
// dravik-extract: turns the WVC1 stream of an ASF/WMV file into the VC-1
// elementary stream that the Dravik filter writes for the same frames. The
// frames come from the ASF data reader; the header capture, the framing and
// every byte written are the writer core's own, driven through a user
// interface that answers from the command line instead of asking.

#include <cstdio>
#include <vector>

#include "platform/file.h"

namespace extract {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // input, output or frame failure
inline constexpr int kExitUsage = 2;   // bad command line

// The output is written in blocks of this many bytes: a frame is two or three
// small writes, and one write call each costs more than the copy itself.
inline constexpr std::uint32_t kOutputBlockSize = 256u << 10;

// args[0] is the program name. The help text goes to `out`, every other
// message to `err`; with `progress` (err is a terminal) a progress line is
// kept up to date there.
int Run(const std::vector<platform::NativeString>& args, std::FILE* out, std::FILE* err,
        bool progress);

}  // namespace extract
