// Where a stream of a compound file lies when the file is mapped whole: read in place, a large
// description costs neither a copy nor fresh memory.
#pragma once

#include <cstddef>
#include <string_view>

namespace kalamos {

// The offset and size of the stream storage/stream (names compared without letter case) in
// the compound file's bytes, when they lie in one run of sectors, as writers lay out a large
// stream, and at least one byte of the file follows them. False for anything else: a small
// stream (kept in pieces in the mini stream), a fragmented one, a name twice, a damaged
// directory. The caller then reads the stream through the storage library.
bool FindContiguousStream(const char* file, size_t fileSize, std::string_view storage, std::string_view stream,
                          size_t& offset, size_t& size);

}  // namespace kalamos
