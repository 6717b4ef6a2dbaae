// The command line and standard streams of a Windows console program.
#include "platform/Console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/Text.h"

namespace kalamos {

std::string ArgumentToUtf8(const char* argument) {
  WideString wide = AnsiToWide(argument);
  return WideToUtf8(wide.data(), wide.size());
}

void BinaryStandardStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool UserReadsRussian() {
  // A locale named in the environment wins (a shell that sets one, or the tests under Wine).
  if (const char* locale = EnvironmentLocale()) return locale[0] == 'r' && locale[1] == 'u';
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN;
}

std::FILE* TakeStandardOutput() {
  const int protocol = _dup(_fileno(stdout));
  _dup2(_fileno(stderr), _fileno(stdout));
  _setmode(protocol, _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  return _fdopen(protocol, "wb");
}

void LinkFile(const std::filesystem::path& target, const std::filesystem::path& link, std::error_code& code) {
  std::filesystem::create_hard_link(target, link, code);
  if (code) std::filesystem::copy_file(target, link, code);
}

}  // namespace kalamos
