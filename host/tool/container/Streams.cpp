#include "host/tool/container/Streams.h"

#include <algorithm>
#include <cstdio>
#include <zlib.h>

#include "platform/Storage.h"
#include "platform/Text.h"

namespace kalamos {

namespace {
// Real containers nest three or four storages deep; a damaged directory may claim more.
constexpr int MaxDepth = 32;

void Walk(TStorage& storage, const std::string& prefix, int depth, const std::string& skip,
          std::vector<TContainerStream>& streams) {
  std::vector<TStorageChild> children;
  if (depth > MaxDepth || FAILED(ListChildren(storage, children))) return;
  for (const TStorageChild& child : children) {
    const std::string path = prefix + WideToUtf8(child.Name);
    if (child.IsStorage) {
      TStorage inner;
      if (SUCCEEDED(OpenChildStorage(storage, child.Name, inner))) Walk(inner, path + "/", depth + 1, skip, streams);
      continue;
    }
    if (path == skip) continue;
    TStream stream;
    uint64_t size = 0;
    if (FAILED(OpenChildStream(storage, child.Name, stream)) || FAILED(StreamSize(stream, size))) continue;
    // OpenChildStream refuses a stream that claims more than the file holds; on Windows the
    // library does. 4 GB is past any container either way.
    if (size > 0xFFFFFFFFu) continue;
    std::string bytes(size_t(size), '\0');
    uint32_t read = 0;
    if (size && FAILED(StreamRead(stream, bytes.data(), uint32_t(size), read))) continue;
    bytes.resize(read);
    streams.push_back({path, std::move(bytes)});
  }
}
}  // namespace

HRESULT ReadContainerStreams(const WideString& fileName, std::vector<TContainerStream>& streams,
                             const std::string& skip) {
  streams.clear();
  TStorage root;
  HRESULT hr = OpenRootStorage(fileName, root);
  if (FAILED(hr)) return hr;
  Walk(root, std::string(), 0, skip, streams);
  std::sort(streams.begin(), streams.end(),
            [](const TContainerStream& a, const TContainerStream& b) { return a.Path < b.Path; });
  return S_OK;
}

TInflated InflateRaw(std::string_view compressed, std::string& out, size_t limit) {
  out.clear();
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return TInflated::Damaged;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  z.avail_in = uInt(compressed.size());
  char chunk[1 << 15];
  TInflated result = TInflated::Damaged;
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(chunk);
    z.avail_out = sizeof chunk;
    const int status = inflate(&z, Z_NO_FLUSH);
    const size_t produced = sizeof chunk - z.avail_out;
    if (out.size() + produced > limit) {
      result = TInflated::TooLarge;
      break;
    }
    out.append(chunk, produced);
    if (status == Z_STREAM_END) {
      result = TInflated::Ok;
      break;
    }
    // Input used up before the end of the data, or no progress: it never ends.
    if (status != Z_OK || (produced == 0 && z.avail_in == 0)) break;
  }
  inflateEnd(&z);
  if (result != TInflated::Ok) out.clear();
  return result;
}

std::string Digest(std::string_view bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // crc32 takes at most uInt bytes at a time.
  for (size_t at = 0; at < bytes.size(); at += 1u << 30) {
    const size_t piece = std::min<size_t>(bytes.size() - at, 1u << 30);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data() + at), uInt(piece));
  }
  char text[9];
  std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(crc & 0xFFFFFFFFu));
  return text;
}

}  // namespace kalamos
