// machine_probe FALWICK_EXE INFO_FILE SETTINGS_FILE SECTION DOWNLOAD_URL: falwick-info
// run's machine checks (tools/info/run_check/machine_check.h) with Windows' own answers
// (Win32MachineApi), printed as one JSON object {"machine": ..., "warnings": [...]}, for
// the end-to-end tests of those answers under Wine.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/info/common/json_writer.h"
#include "tools/info/run_check/machine_api_win.h"
#include "tools/info/run_check/machine_check.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    (void)std::fputs("usage: machine_probe FALWICK_EXE INFO SETTINGS SECTION URL\n", stderr);
    return 2;
  }
  MachinePaths paths;
  paths.falwickExe = argv[1];
  paths.falwickPresent = GetFileAttributesA(argv[1]) != INVALID_FILE_ATTRIBUTES;
  paths.infoFile = argv[2];
  paths.settingsFile = argv[3];
  paths.settingsSection = argv[4];
  const Win32MachineApi api;
  const MachineCheck check = CheckMachine(api, paths, argv[5]);
  JsonWriter json;
  json.BeginObject();
  WriteMachineJson(json.Key("machine"), check);
  json.Key("warnings").BeginArray();
  WriteMachineWarningsJson(json, check.warnings);
  json.EndArray().EndObject();
  const std::string out = json.Text();
  (void)std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
