// Writes configuration containers ("vellum.md") for tests, from configuration text, through
// the platform's compound-file writer (libgsf natively, StgCreateDocfile on Windows).
//
//   TTempDir dir;
//   ASSERT_EQ(S_OK, WriteContainer(dir, "{\"Documents\",{\"120\",\"Invoice\",\"\"}}\n}"));
//   session.Load(dir.Ansi());
//
// The text is what the parser reads from the start offset: the top-level lists and the
// closing "}". The component reads the stream as OEM text (866) and converts it to 1251, so
// Cyrillic names that must be found again need CodePage = 866; the default 1251 writes
// the bytes a 1251 editor would have written.
#pragma once

#include <string>
#include <string_view>

#include "platform/Ole.h"
#include "tests/support/TempDir.h"

struct TContainerOptions {
  unsigned CodePage = 1251;        // the code page the UTF-8 text is converted to: 1251 or 866
  int Start = 0;                   // preamble: 6, 9, or 0 for the one the host would choose
  bool WithMetadata = true;        // false: no "Metadata" storage (an unrelated stream instead)
  bool WithStream = true;          // false: "Metadata" without "Main MetaData Stream"
  bool PlainFile = false;          // true: the stream bytes as an ordinary file, no compound file
  std::string FileName = "vellum.md";
};

// Writes dir/FileName from UTF-8 configuration text.
HRESULT WriteContainer(const TTempDir& dir, std::string_view utf8Text, const TContainerOptions& options = {});
// Writes dir/FileName with exactly these stream bytes (no preamble is added, nothing converted).
HRESULT WriteContainerBytes(const TTempDir& dir, const std::string& streamBytes,
                            const TContainerOptions& options = {});
