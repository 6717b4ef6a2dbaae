#include "host/tool/Configuration.h"

int RunDump(const TSessionOptions& options, const std::string& path) {
  TJson configuration;
  int status = ExitOk;
  if (!ReadConfiguration(options, path, configuration, status)) return status;
  Out(JsonText(configuration, 2) + "\n");
  return ExitOk;
}
