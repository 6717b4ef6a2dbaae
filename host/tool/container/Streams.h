// Every stream of a configuration container, and the decompression of module streams.
// Uses nothing but the platform layer and zlib, so that the container's fuzz target can
// take it whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ole.h"

namespace kalamos {

// One stream: its place ("Document/Document_Number174/WorkBook/Dialog Stream", the storage
// names and the stream's, UTF-8, parted by "/") and its bytes.
struct TContainerStream {
  std::string Path;
  std::string Bytes;
};

// Every stream at every depth but skip (a path), sorted by path (UTF-8 bytes), so that the
// order does not depend on the platform's storage library. A failure code when the file does
// not open as a compound file; a storage or stream that cannot be opened inside it is left out.
HRESULT ReadContainerStreams(const WideString& fileName, std::vector<TContainerStream>& streams,
                             const std::string& skip = std::string());

// A module stream holds raw deflate data (no header). Inflates it into out, stopping at
// limit bytes.
enum class TInflated { Ok, Damaged, TooLarge };
constexpr size_t ModuleLimit = size_t(64) << 20;
TInflated InflateRaw(std::string_view compressed, std::string& out, size_t limit = ModuleLimit);

// A short digest of bytes for people: CRC-32 as eight hex digits.
std::string Digest(std::string_view bytes);

}  // namespace kalamos
