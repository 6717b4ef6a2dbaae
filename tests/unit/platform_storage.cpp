// Compound files through the platform layer (libgsf natively, structured storage under
// Wine) and the host's container packing.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "host/Pack.h"
#include "platform/Storage.h"
#include "platform/Text.h"
#include "tests/support/ContainerBuilder.h"
#include "tests/support/TempDir.h"

using namespace kalamos;

namespace {

const WideString kMetadata = OLESTR("Metadata");
const WideString kStream = OLESTR("Main MetaData Stream");

void WritePlainFile(const TTempDir& dir, const std::string& name, const std::string& bytes) {
  std::ofstream out(dir.Path() / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadPlainFile(const TTempDir& dir, const std::string& name) {
  std::ifstream in(dir.Path() / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Opens root, "Metadata" and the stream, and reads the whole stream; the HRESULT of the first
// step that failed.
HRESULT ReadConfigurationStream(const WideString& file, std::string& bytes) {
  TStorage root, metadata;
  TStream stream;
  HRESULT hr;
  if (FAILED(hr = OpenRootStorage(file, root))) return hr;
  if (FAILED(hr = OpenChildStorage(root, kMetadata, metadata))) return hr;
  if (FAILED(hr = OpenChildStream(metadata, kStream, stream))) return hr;
  uint64_t size = 0;
  if (FAILED(hr = StreamSize(stream, size))) return hr;
  // Room for one byte more than the file holds, not for what a damaged directory claims:
  // a read past the file still shows, without gigabytes allocated for it.
  uint64_t fileSize = 0;
  if (FAILED(hr = FileSize(file, fileSize))) return hr;
  bytes.assign(static_cast<size_t>(std::min(size, fileSize + 1)), '\0');
  uint32_t read = 0;
  if (FAILED(hr = StreamRead(stream, bytes.data(), static_cast<uint32_t>(bytes.size()), read))) return hr;
  bytes.resize(read);
  return S_OK;
}

std::string Binary(size_t size) {
  std::string bytes;
  for (size_t i = 0; i < size; ++i) bytes.push_back(static_cast<char>((i * 7 + i / 251) & 0xFF));
  return bytes;
}

TEST(PlatformStorage, WhatIsWrittenReadsBack) {
  TTempDir dir;
  const std::string big = Binary(70000); // beyond the small-block limit
  const std::string small = Binary(100);
  std::vector<TStorageEntry> entries = {
      {kMetadata, kStream, big},
      {kMetadata, OLESTR("Empty"), ""},
      {OLESTR(""), OLESTR("Side"), small},
      {OLESTR("Bare"), OLESTR(""), ""},
  };
  // A backslash separates folders on every platform.
  WideString file = dir.Wide() + OLESTR("\\vellum.md");
  ASSERT_EQ(S_OK, WriteCompoundFile(file, entries));
  EXPECT_EQ(S_OK, IsStorageFile(dir.WideFile("vellum.md")));

  std::string bytes;
  ASSERT_EQ(S_OK, ReadConfigurationStream(file, bytes));
  EXPECT_EQ(big, bytes);

  TStorage root, metadata, bare, wrong;
  TStream side, empty, missing;
  ASSERT_EQ(S_OK, OpenRootStorage(file, root));
  ASSERT_EQ(S_OK, OpenChildStorage(root, kMetadata, metadata));
  EXPECT_EQ(S_OK, OpenChildStorage(root, OLESTR("Bare"), bare));

  // Reading in pieces: every call says how much arrived, the end gives nothing.
  ASSERT_EQ(S_OK, OpenChildStream(root, OLESTR("Side"), side));
  char buffer[64];
  uint32_t read = 0;
  ASSERT_EQ(S_OK, StreamRead(side, buffer, 64, read));
  EXPECT_EQ(64u, read);
  EXPECT_EQ(small.substr(0, 64), std::string(buffer, 64));
  ASSERT_EQ(S_OK, StreamRead(side, buffer, 64, read));
  EXPECT_EQ(36u, read);
  EXPECT_EQ(small.substr(64), std::string(buffer, 36));
  ASSERT_EQ(S_OK, StreamRead(side, buffer, 64, read));
  EXPECT_EQ(0u, read);

  ASSERT_EQ(S_OK, OpenChildStream(metadata, OLESTR("Empty"), empty));
  uint64_t size = 99;
  EXPECT_EQ(S_OK, StreamSize(empty, size));
  EXPECT_EQ(0u, size);
  EXPECT_EQ(S_OK, StreamRead(empty, buffer, 64, read));
  EXPECT_EQ(0u, read);

  // Absent entries, and entries of the other kind, are not found.
  EXPECT_EQ(STG_E_FILENOTFOUND, OpenChildStorage(root, OLESTR("Nothing"), wrong));
  EXPECT_EQ(STG_E_FILENOTFOUND, OpenChildStream(metadata, OLESTR("Nothing"), missing));
  EXPECT_EQ(STG_E_FILENOTFOUND, OpenChildStorage(root, OLESTR("Side"), wrong));
  EXPECT_EQ(STG_E_FILENOTFOUND, OpenChildStream(root, kMetadata, missing));
  EXPECT_FALSE(wrong.IsOpen());
  EXPECT_FALSE(missing.IsOpen());
}

TEST(PlatformStorage, FilesThatAreNoContainers) {
  TTempDir dir;
  WritePlainFile(dir, "plain.md", "{\"Documents\"}\r\n some text that is long enough");
  WritePlainFile(dir, "short.md", "ab");
  WritePlainFile(dir, "empty.md", "");
  TStorage root;
  for (const char* name : {"plain.md", "short.md"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(S_FALSE, IsStorageFile(dir.WideFile(name)));
    EXPECT_EQ(STG_E_FILEALREADYEXISTS, OpenRootStorage(dir.WideFile(name), root));
    EXPECT_FALSE(root.IsOpen());
  }
  EXPECT_EQ(S_FALSE, IsStorageFile(dir.WideFile("empty.md")));
  EXPECT_TRUE(FAILED(OpenRootStorage(dir.WideFile("empty.md"), root)));

  EXPECT_EQ(STG_E_FILENOTFOUND, IsStorageFile(dir.WideFile("none.md")));
  EXPECT_EQ(STG_E_FILENOTFOUND, OpenRootStorage(dir.WideFile("none.md"), root));
  EXPECT_EQ(STG_E_PATHNOTFOUND, OpenRootStorage(dir.WideFile("no folder/none.md"), root));
}

TEST(PlatformStorage, DamagedContainersFailWithoutHarm) {
  TTempDir dir;
  // The signature, then rubbish.
  std::string forged("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  forged += std::string(1024, '\xFF');
  WritePlainFile(dir, "forged.md", forged);
  std::string bytes;
  EXPECT_EQ(S_OK, IsStorageFile(dir.WideFile("forged.md")));
  EXPECT_TRUE(FAILED(ReadConfigurationStream(dir.WideFile("forged.md"), bytes)));

  // A directory entry that claims far more bytes than the file holds.
  ASSERT_EQ(S_OK, WriteConfigurationContainer(dir.WideFile("vellum.md"), PackStreamBytes("{\"Consts\"}\r\n}")));
  std::string file = ReadPlainFile(dir, "vellum.md");
  const std::string name = std::string("M\0a\0i\0n\0 \0M\0e\0t\0a\0D\0a\0t\0a\0 \0S\0t\0r\0e\0a\0m\0", 40);
  size_t entry = file.find(name);
  ASSERT_NE(std::string::npos, entry);
  file.replace(entry + 120, 4, std::string("\x00\x00\x00\x10", 4)); // 256 MB
  WritePlainFile(dir, "vellum.md", file);
  HRESULT hr = ReadConfigurationStream(dir.WideFile("vellum.md"), bytes);
  EXPECT_TRUE(FAILED(hr) || bytes.size() < file.size()) << std::hex << hr;
}

TEST(PlatformStorage, MangledContainersNeverReadPastTheFile) {
  TTempDir dir;
  ASSERT_EQ(S_OK, WriteConfigurationContainer(dir.WideFile("good.md"), PackStreamBytes(Binary(6000))));
  const std::string good = ReadPlainFile(dir, "good.md");
  uint32_t state = 12345;
  auto next = [&] { return state = state * 1103515245u + 12345u; };
  // The 64-bit system storage under Wine allocates until the machine runs out of memory on
  // the file of round 31 (a chain that loops); that build tries the rounds before it, the
  // native and 32-bit builds all of them.
  const int rounds = KALAMOS_WINDOWS && sizeof(void*) == 8 ? 31 : 150;
  for (int round = 0; round < rounds; ++round) {
    std::string file = good;
    // Rewrite a few 32-bit words of the header and the directory, where sizes and chains live.
    for (int k = 0; k < 4; ++k) {
      size_t at = (next() >> 8) % (file.size() - 4);
      if (k % 2 == 0) at = (next() >> 8) % 512;
      uint32_t value = next();
      for (int b = 0; b < 4; ++b) file[at + b] = static_cast<char>(value >> (8 * b));
    }
    WritePlainFile(dir, "bad.md", file);
    std::string bytes;
    HRESULT hr = ReadConfigurationStream(dir.WideFile("bad.md"), bytes);
    if (SUCCEEDED(hr)) {
      EXPECT_LE(bytes.size(), file.size()) << "round " << round;
    }
  }
}

TEST(PlatformStorage, AnOpenContainerRefusesWriters) {
  TTempDir dir;
  const WideString file = dir.WideFile("vellum.md");
  ASSERT_EQ(S_OK, WriteConfigurationContainer(file, "first"));
  {
    TStorage root, second;
    ASSERT_EQ(S_OK, OpenRootStorage(file, root));
    EXPECT_EQ(S_OK, OpenRootStorage(file, second)); // readers share
    EXPECT_TRUE(FAILED(WriteConfigurationContainer(file, "second")));
    TStorage metadata;
    TStream stream;
    ASSERT_EQ(S_OK, OpenChildStorage(root, kMetadata, metadata));
    ASSERT_EQ(S_OK, OpenChildStream(metadata, kStream, stream));
    char buffer[16];
    uint32_t read = 0;
    ASSERT_EQ(S_OK, StreamRead(stream, buffer, sizeof buffer, read));
    EXPECT_EQ("first", std::string(buffer, read));
  }
  // Once every reader is gone the file can be replaced.
  ASSERT_EQ(S_OK, WriteConfigurationContainer(file, "second"));
  std::string bytes;
  ASSERT_EQ(S_OK, ReadConfigurationStream(file, bytes));
  EXPECT_EQ("second", bytes);
}

TEST(PlatformPack, PreamblesOfShortAndLongStreams) {
  const std::string text = "{\"Consts\"}\r\n}";
  std::string shortForm = PackStreamBytes(text);
  ASSERT_EQ(6 + text.size(), shortForm.size());
  EXPECT_EQ(std::string("\xFF\x10\x00{\r\n", 6), shortForm.substr(0, 6)); // rest: 3 + 13 bytes
  EXPECT_EQ(text, shortForm.substr(6));

  std::string longForm = PackStreamBytes(text, 9);
  EXPECT_EQ(std::string("\xFF\xFF\xFF\x10\x00\x00\x00{\r\n", 10), longForm.substr(0, 10));
  EXPECT_EQ(text, longForm.substr(10));

  // The host switches to the long form when the rest no longer fits 16 bits.
  std::string fits(0xFFFF - 3, 'x');
  EXPECT_EQ('{', PackStreamBytes(fits)[3]);
  EXPECT_EQ(std::string("\xFF\xFF\xFF{", 4), PackStreamBytes(fits).substr(0, 4));
  std::string longer(0xFFFF - 2, 'x');
  std::string packed = PackStreamBytes(longer);
  EXPECT_EQ(std::string("\xFF\xFF\xFF\x00\x00\x01\x00{", 8), packed.substr(0, 8));

  // A long-form length whose low byte is "{" would read as the short form: one LF is added.
  std::string brace(0x7B - 3, 'y');
  std::string padded = PackStreamBytes(brace, 9);
  EXPECT_NE('{', padded[3]);
  EXPECT_EQ(0x7C, static_cast<unsigned char>(padded[3]));
  EXPECT_EQ('\n', padded.back());
  EXPECT_EQ(brace, padded.substr(10, brace.size()));
}

TEST(PlatformPack, ContainerBuilderWritesWhatTheReaderExpects) {
  TTempDir dir;
  std::string bytes;
  ASSERT_EQ(S_OK, WriteContainer(dir, "{\"Документы\"}\r\n}", {.CodePage = 866}));
  ASSERT_EQ(S_OK, ReadConfigurationStream(dir.WideFile("vellum.md"), bytes));
  EXPECT_EQ(PackStreamBytes(Utf8ToCodePage("{\"Документы\"}\r\n}", 866)), bytes);

  ASSERT_EQ(S_OK, WriteContainer(dir, "{}", {.WithStream = false}));
  EXPECT_EQ(STG_E_FILENOTFOUND, ReadConfigurationStream(dir.WideFile("vellum.md"), bytes));
  ASSERT_EQ(S_OK, WriteContainer(dir, "{}", {.WithMetadata = false}));
  EXPECT_EQ(STG_E_FILENOTFOUND, ReadConfigurationStream(dir.WideFile("vellum.md"), bytes));
  ASSERT_EQ(S_OK, WriteContainer(dir, "{}", {.PlainFile = true}));
  EXPECT_EQ(S_FALSE, IsStorageFile(dir.WideFile("vellum.md")));
  EXPECT_EQ(PackStreamBytes("{}"), ReadPlainFile(dir, "vellum.md"));
}

} // namespace
