// The container reader: the input is written out as a whole file and read the way Load
// reads it, then every stream the way `ostrak text` reads them, module streams inflated, and
// the description found in place as the tool's commands find it.
// Anything but a store or a TStoreError (or a crash, a hang, a leak) is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "host/tool/container/CompoundDirectory.h"
#include "host/tool/container/Streams.h"
#include "metadata/MetaStore.h"
#include "platform/Text.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kalamos;

namespace {

// One file name per process; the file is written for each input and removed after it, since
// libFuzzer ends without running destructors or exit handlers.
const std::string& ScratchFile() {
  static const std::string path = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kalamos-fuzz-XXXXXX";
    int fd = ::mkstemp(pattern.data());
    FUZZ_CHECK(fd >= 0);
    ::close(fd);
    return pattern;
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = ScratchFile();
  FILE* out = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(out != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, out) == size);
  FUZZ_CHECK(std::fclose(out) == 0);
  try {
    TTextBuffer buffer = ReadConfigurationText(path);
    // A stream never holds more than the file, plus the closing zero byte.
    FUZZ_CHECK(buffer.Bytes.size() <= size + 1);
    FUZZ_CHECK(!buffer.Bytes.empty() && buffer.Bytes.back() == '\0');
    TMetaStore store(buffer);
    FUZZ_CHECK(store.IdCount() <= store.ParentCount());
  } catch (const TStoreError& error) {
    FUZZ_CHECK(FAILED(error.Result));
  }
  // The tool's reading in place: the stream it finds lies inside the file, one byte at least
  // after it.
  size_t offset = 0, length = 0;
  if (FindContiguousStream(reinterpret_cast<const char*>(data), size, "Metadata", "Main MetaData Stream", offset, length))
    FUZZ_CHECK(offset < size && length < size - offset && length >= 4096);
  std::vector<TContainerStream> streams;
  if (SUCCEEDED(ReadContainerStreams(Utf8ToWide(path), streams))) {
    for (const TContainerStream& stream : streams) {
      // A small bound, so that a module that inflates far is cut short quickly.
      std::string text;
      const TInflated result = InflateRaw(stream.Bytes, text, 1 << 20);
      FUZZ_CHECK(result == TInflated::Ok ? text.size() <= (1u << 20) : text.empty());
    }
    // The streams share the file's sectors; none is longer than the file.
    for (const TContainerStream& stream : streams) FUZZ_CHECK(stream.Bytes.size() <= size);
  }
  std::remove(path.c_str());
  return 0;
}
