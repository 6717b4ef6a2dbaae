// The language server's two translations: positions between the protocol's UTF-16 units and
// bytes of UTF-8 lines, and file URIs as editors on both systems write them.
#include <gtest/gtest.h>

#include "host/tool/lsp/Lsp.h"

using namespace kalamos;

TEST(LspPositions, Utf16UnitsAndBytes) {
  const std::string line = "А = \"😀ж\"; Б";  // Cyrillic 2 bytes 1 unit, the emoji 4 bytes 2 units
  EXPECT_EQ(Utf16Units(line, 0), 0u);
  EXPECT_EQ(Utf16Units(line, 2), 1u);
  EXPECT_EQ(Utf16Units(line, line.find("ж")), 7u);
  EXPECT_EQ(Utf16Units(line, line.size()), 12u);
  EXPECT_EQ(ByteOfUnits(line, 7), line.find("ж"));
  EXPECT_EQ(ByteOfUnits(line, 6), line.find("ж"));  // inside the pair: past the emoji, never inside it
  EXPECT_EQ(ByteOfUnits(line, 1000), line.size());
  // Broken UTF-8: a byte that starts no letter is one unit (the continuation bytes after it go
  // with it, as the code model counts columns), and the walk never leaves the line.
  const std::string broken = "\xff\x80\x80" "a\xd0";
  EXPECT_EQ(Utf16Units(broken, broken.size()), 3u);
  EXPECT_EQ(ByteOfUnits(broken, 1), 3u);
  EXPECT_EQ(ByteOfUnits(broken, 3), broken.size());
  for (size_t units = 0; units < 20; ++units) EXPECT_EQ(Utf16Units(line, ByteOfUnits(line, units)), std::min<size_t>(units == 6 ? 7 : units, 12));
}

TEST(LspPositions, FileUris) {
  EXPECT_EQ(PathOfUri("file:///tmp/%D0%9C%D0%BE%D0%B4%D1%83%D0%BB%D1%8C%20%D0%B0.txt"), "/tmp/Модуль а.txt");
  EXPECT_EQ(PathOfUri("file:///tmp/Модуль.txt"), "/tmp/Модуль.txt");  // some clients send letters as they are
  EXPECT_EQ(PathOfUri("file:///c%3A/%D0%91%D0%B0%D0%B7%D1%8B/"), "C:/Базы");
  EXPECT_EQ(PathOfUri("FILE://localhost/d:/x"), "D:/x");
  EXPECT_EQ(PathOfUri("file://server/share/x"), "");
  EXPECT_EQ(PathOfUri("untitled:Untitled-1"), "");
  EXPECT_EQ(PathOfUri("file:///a%2"), "/a%2");
  EXPECT_EQ(UriEscaped("/tmp/Модуль а.txt"), "/tmp/%D0%9C%D0%BE%D0%B4%D1%83%D0%BB%D1%8C%20%D0%B0.txt");
  EXPECT_EQ(PathOfUri("file://" + UriEscaped("/C:/Базы/#1?.txt")), "C:/Базы/#1?.txt");
}
