// ostrak text: the configuration as lines for version control.
#include "host/tool/Contents.h"

namespace kalamos {

bool WriteConfigurationText(const std::string& path, const std::function<void(const std::string&)>& write,
                            std::string& error) {
  TContents contents;
  if (!LoadContents(path, contents, error)) return false;
  std::string buffer;
  const size_t objects = contents.Model->Objects().size();
  for (size_t i = 0; i < objects; ++i) {
    ObjectText(contents, int32_t(i), buffer);
    // Out in pieces: a large configuration's text need not be held whole.
    if (buffer.size() >= (1u << 20)) {
      write(buffer);
      buffer.clear();
    }
  }
  ContainerText(contents, buffer);
  write(buffer);
  return true;
}

int RunText(const std::string& path) {
  std::string error;
  if (!WriteConfigurationText(path, Out, error)) {
    Err("ostrak: " + error + "\n");
    return ExitFailed;
  }
  return ExitOk;
}

}  // namespace kalamos
