// A fake web browser for the tests: appends the parameters it was started with (its
// command line after its own name) as one line to the file named by the environment
// variable FALWICK_BROWSER_LOG, then exits.
#include <windows.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* line = GetCommandLineA();
  // Skip the program's own name, quoted or not, and one separating space.
  if (*line == '"') {
    const char* end = std::strchr(line + 1, '"');
    line = end != nullptr ? end + 1 : line + std::strlen(line);
  } else {
    while (*line != '\0' && *line != ' ') ++line;
  }
  if (*line == ' ') ++line;

  char log[MAX_PATH];
  if (GetEnvironmentVariableA("FALWICK_BROWSER_LOG", log, MAX_PATH) == 0) return 1;
  HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
  WriteFile(file, "\n", 1, &written, nullptr);
  CloseHandle(file);
  return 0;
}
