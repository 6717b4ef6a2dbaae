#include "host/tool/component/Component.h"

namespace kalamos {

int RunDump(const TSessionOptions& options, const std::string& path) {
  TJsonWriter writer(Out);
  int status = ExitOk;
  if (!ReadConfiguration(options, path, writer, status)) return status;
  return ExitOk;
}

}  // namespace kalamos
