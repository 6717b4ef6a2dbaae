// The command line and standard streams of a POSIX program: bytes already, UTF-8 by custom.
#include "platform/Console.h"

#include <unistd.h>

namespace kalamos {

std::string ArgumentToUtf8(const char* argument) { return argument; }

void BinaryStandardStreams() {}

bool UserReadsRussian() {
  const char* locale = EnvironmentLocale();
  return locale && locale[0] == 'r' && locale[1] == 'u';
}

std::FILE* TakeStandardOutput() {
  const int protocol = dup(fileno(stdout));
  dup2(fileno(stderr), fileno(stdout));
  return fdopen(protocol, "wb");
}

void LinkFile(const std::filesystem::path& target, const std::filesystem::path& link, std::error_code& code) {
  std::filesystem::create_symlink(target, link, code);
}

}  // namespace kalamos
