// Packs a seed text into a container for the container target's corpus:
//   fuzz_pack_seed TEXT-FILE CONTAINER-FILE [START]
// START is the preamble length (6 or 9; 0 lets the packer choose). Beside the description the
// container holds a module (raw deflate of a known text) and a form in nested storages, as
// real ones do, so that the stream reader and the inflater have something to start from.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "host/Pack.h"
#include "platform/Storage.h"
#include "platform/Text.h"
#include "tests/support/Deflate.h"

using namespace kalamos;

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
  HRESULT hr = WriteCompoundFile(
      Utf8ToWide(argv[2]),
      {{OLESTR("Metadata"), OLESTR("Main MetaData Stream"), PackStreamBytes(text, start)},
       {OLESTR("TypedText/Transact_Number120"), OLESTR("MD Programm text"),
        Deflated("Procedure Posting()\r\n\tMessage(\"posted\");\r\nEndProcedure\r\n")},
       {OLESTR("Document/Document_Number120/WorkBook"), OLESTR("Dialog Stream"), "{\"Form\",{\"Caption\",\"Invoice\"}}\r\n"}});
  if (FAILED(hr)) {
    std::fprintf(stderr, "cannot write %s: %08lX\n", argv[2], static_cast<unsigned long>(hr));
    return 1;
  }
  return 0;
}
