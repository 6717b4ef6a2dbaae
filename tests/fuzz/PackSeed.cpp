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

#include <zlib.h>

#include "host/Pack.h"
#include "platform/Storage.h"
#include "platform/Text.h"

using namespace kalamos;

namespace {
std::string Deflated(const std::string& text) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, uLong(text.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = uInt(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}
}  // namespace

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
