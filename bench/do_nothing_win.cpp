// The start-up floor of the timing and memory benchmarks: a Windows GUI program built
// with exactly the compiler and linker flags of Falwick.EXE that does nothing and exits.
#include <windows.h>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  return 0;
}
