// dravik-extract's program entry. Windows hands over the arguments as wide
// strings so that any file name arrives intact; POSIX names are the bytes
// given.
#include <cstdio>
#include <vector>

#include "extract/extract.h"

#ifdef _WIN32
#include <io.h>

extern "C" int wmain(int argc, wchar_t* argv[]) {
  std::vector<platform::NativeString> args(argv, argv + argc);
  return extract::Run(args, stdout, stderr, _isatty(_fileno(stderr)) != 0);
}
#else
#include <unistd.h>

int main(int argc, char* argv[]) {
  std::vector<platform::NativeString> args(argv, argv + argc);
  return extract::Run(args, stdout, stderr, isatty(fileno(stderr)) != 0);
}
#endif
