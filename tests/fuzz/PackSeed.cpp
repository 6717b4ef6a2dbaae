// Packs a seed text into a container for the container target's corpus:
//   fuzz_pack_seed TEXT-FILE CONTAINER-FILE [START]
// START is the preamble length (6 or 9; 0 lets the packer choose).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "host/Pack.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s TEXT-FILE CONTAINER-FILE [START]\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const int start = argc > 3 ? std::atoi(argv[3]) : 0;
  HRESULT hr = WriteConfigurationContainer(std::string(argv[2]), PackStreamBytes(text, start));
  if (FAILED(hr)) {
    std::fprintf(stderr, "cannot write %s: %08lX\n", argv[2], static_cast<unsigned long>(hr));
    return 1;
  }
  return 0;
}
