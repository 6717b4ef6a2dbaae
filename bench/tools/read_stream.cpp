// The baseline of the whole-process benchmarks: what any reader of a configuration must do,
// and nothing more. Opens FILE's storage "Metadata", reads its stream "Main MetaData Stream"
// into memory in one read and prints its size. Built natively and for Windows, so that a
// Load under Wine is set against a read under Wine.
#include <cstdio>
#include <string>

#include "platform/Storage.h"
#include "platform/Text.h"

using namespace kalamos;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  TStorage root, metadata;
  TStream stream;
  uint64_t size = 0;
  uint32_t got = 0;
  if (FAILED(OpenRootStorage(AnsiToWide(argv[1]), root)) ||
      FAILED(OpenChildStorage(root, AnsiToWide("Metadata"), metadata)) ||
      FAILED(OpenChildStream(metadata, AnsiToWide("Main MetaData Stream"), stream)) ||
      FAILED(StreamSize(stream, size)) || size > 0xFFFFFFFFu) {
    std::fprintf(stderr, "%s: no configuration stream in %s\n", argv[0], argv[1]);
    return 1;
  }
  std::string bytes(size_t(size), '\0');
  if (FAILED(StreamRead(stream, bytes.data(), uint32_t(size), got)) || got != size) {
    std::fprintf(stderr, "%s: the stream of %s cannot be read\n", argv[0], argv[1]);
    return 1;
  }
  std::printf("%llu\n", static_cast<unsigned long long>(got));
  return 0;
}
