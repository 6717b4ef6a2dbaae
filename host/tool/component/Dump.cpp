#include "host/tool/component/Component.h"

namespace kalamos {

int RunDump(const TSessionOptions& options, const std::string& path) {
  TJsonWriter writer(Out);
  std::string said;
  const bool read = ReadConfiguration(options, path, writer, said);
  return PrintLoaded(said, read);
}

}  // namespace kalamos
