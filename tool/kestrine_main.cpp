// Kestrine's program entry. Windows hands over the arguments as wide strings
// so that any file name can be opened; POSIX names are the bytes given.
#include "tool/kestrine.h"

#ifdef _WIN32
extern "C" int wmain(int argc, wchar_t* argv[]) { return kestrine::Run(argc, argv); }
#else
int main(int argc, char* argv[]) { return kestrine::Run(argc, argv); }
#endif
