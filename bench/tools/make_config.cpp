// Writes a generated configuration container for the whole-process benchmarks:
//   bench_make_config --megabytes N DIR   a text of about N MB, the usual proportions
//   bench_make_config --documents N DIR   N documents of 20 head and 4 table attributes
// Prints the stream's size in bytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/Pack.h"
#include "tests/support/ConfigGen.h"

using namespace kalamos;

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "--megabytes") && std::strcmp(argv[1], "--documents"))) {
    std::fprintf(stderr, "usage: %s --megabytes N | --documents N DIR\n", argv[0]);
    return 2;
  }
  const long n = std::strtol(argv[2], nullptr, 10);
  if (n <= 0) {
    std::fprintf(stderr, "%s: N must be a positive whole number\n", argv[0]);
    return 2;
  }
  const TConfigShape shape =
      std::strcmp(argv[1], "--megabytes") ? DocumentsShape(int(n)) : ShapeForSize(size_t(n) << 20);
  const std::string bytes = MakeStreamBytes(GenerateConfigText(shape));
  if (FAILED(WriteConfigurationContainer(std::string(argv[3]) + "/vellum.md", bytes))) {
    std::fprintf(stderr, "%s: cannot write %s/vellum.md\n", argv[0], argv[3]);
    return 1;
  }
  std::printf("%zu\n", bytes.size());
  return 0;
}
