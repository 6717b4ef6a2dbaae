// Writes a generated configuration container for the whole-process benchmarks:
//   bench_make_config --megabytes N DIR   a text of about N MB, the usual proportions
//   bench_make_config --documents N DIR   N documents of 20 head and 4 table attributes
//   ... DIR --one-change                   the same with one attribute made a number, in the
//                                          middle: the other side of a diff
// Prints the stream's size in bytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/Pack.h"
#include "tests/support/ConfigGen.h"

using namespace kalamos;

int main(int argc, char** argv) {
  const bool change = argc == 5 && !std::strcmp(argv[4], "--one-change");
  if ((argc != 4 && !change) || (std::strcmp(argv[1], "--megabytes") && std::strcmp(argv[1], "--documents"))) {
    std::fprintf(stderr, "usage: %s --megabytes N | --documents N DIR [--one-change]\n", argv[0]);
    return 2;
  }
  const long n = std::strtol(argv[2], nullptr, 10);
  if (n <= 0) {
    std::fprintf(stderr, "%s: N must be a positive whole number\n", argv[0]);
    return 2;
  }
  const TConfigShape shape =
      std::strcmp(argv[1], "--megabytes") ? DocumentsShape(int(n)) : ShapeForSize(size_t(n) << 20);
  std::string text = GenerateConfigText(shape);
  if (change) {
    const size_t at = text.find("\"S\",\"", text.size() / 2);
    if (at != std::string::npos) text.replace(at + 1, 1, "N");
  }
  const std::string bytes = MakeStreamBytes(text);
  if (FAILED(WriteConfigurationContainer(std::string(argv[3]) + "/vellum.md", bytes))) {
    std::fprintf(stderr, "%s: cannot write %s/vellum.md\n", argv[0], argv[3]);
    return 1;
  }
  std::printf("%zu\n", bytes.size());
  return 0;
}
