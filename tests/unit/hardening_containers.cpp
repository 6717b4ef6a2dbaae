// Broken containers, broken texts and awkward directories through Load: each must end in a
// store or in one clean report 200 with no store, never in a crash or an endless loop.
// Damaged compound files are made from a good one by changing bytes at places found by
// reading the file's own header, allocation table and directory.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "metadata/MetaStore.h"
#include "platform/Storage.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "resources/StringIds.h"
#include "shell/Ostrak.h"
#include "tests/support/CallFixture.h"

using namespace kalamos;

namespace {

constexpr uint32_t EndOfChain = 0xFFFFFFFE;
constexpr uint32_t FreeSector = 0xFFFFFFFF;

// A compound file in memory, with the offsets of its parts.
//   header: 0x1E sector shift, 0x20 mini sector shift, 0x2C FAT sector count, 0x30 first
//   directory sector, 0x38 mini stream cutoff, 0x3C first mini FAT sector, 0x4C the first
//   109 FAT sector numbers. Sector n starts at (n + 1) * sector size.
//   directory entry (128 bytes): 0 name (UTF-16), 64 name length in bytes, 66 type
//   (1 storage, 2 stream, 5 root), 68 left sibling, 72 right sibling, 76 child,
//   116 start sector, 120 size.
class TCompoundImage {
public:
  explicit TCompoundImage(std::string bytes) : Bytes(std::move(bytes)) {}
  std::string Bytes;

  uint32_t U32(size_t at) const {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | uint8_t(Bytes.at(at + size_t(i)));
    return v;
  }
  void Put32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) Bytes.at(at + size_t(i)) = char(v >> (8 * i) & 0xFF);
  }
  void Put16(size_t at, uint16_t v) {
    Bytes.at(at) = char(v & 0xFF);
    Bytes.at(at + 1) = char(v >> 8);
  }

  size_t SectorSize() const { return size_t(1) << (uint8_t(Bytes.at(0x1E)) | uint8_t(Bytes.at(0x1F)) << 8); }
  size_t SectorOffset(uint32_t n) const { return (size_t(n) + 1) * SectorSize(); }
  size_t FatEntryOffset(uint32_t n) const {
    const size_t perSector = SectorSize() / 4;
    return SectorOffset(U32(0x4C + 4 * (n / perSector))) + 4 * (n % perSector);
  }
  uint32_t Fat(uint32_t n) const { return U32(FatEntryOffset(n)); }

  // The directory entries in chain order, as offsets.
  std::vector<size_t> Entries() const {
    std::vector<size_t> entries;
    uint32_t sector = U32(0x30);
    for (int guard = 0; sector < EndOfChain - 2 && guard < 64; ++guard) {
      for (size_t i = 0; i < SectorSize() / 128; ++i) entries.push_back(SectorOffset(sector) + 128 * i);
      sector = Fat(sector);
    }
    return entries;
  }
  // Index of the directory entry with this name; -1 when there is none.
  int Find(const std::u16string& name) const {
    const std::vector<size_t> entries = Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
      const size_t at = entries[i];
      const size_t length = uint8_t(Bytes[at + 64]) | uint8_t(Bytes[at + 65]) << 8;
      if (length != 2 * (name.size() + 1)) continue;
      bool same = true;
      for (size_t c = 0; c < name.size() && same; ++c)
        same = (uint8_t(Bytes[at + 2 * c]) | uint8_t(Bytes[at + 2 * c + 1]) << 8) == name[c];
      if (same) return int(i);
    }
    return -1;
  }
  size_t Entry(const std::u16string& name) const {
    const int index = Find(name);
    EXPECT_GE(index, 0) << "no directory entry";
    return Entries().at(size_t(index < 0 ? 0 : index));
  }
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

class HardenedLoad : public TCallFixture {
protected:
  TScratchDir Dir;
  std::filesystem::path File() const { return std::filesystem::path(Dir.Path()) / "vellum.md"; }

  enum class TOutcome { Store, Failure };

  // Load of a directory; the answer is either a store or a clean failure.
  TOutcome LoadFrom(const std::string& utf8Directory) {
    Object->Done();
    Object->Init(Log->Connection());
    Result = TVariant::Int(77);
    const HRESULT hr = Call(MethodLoad, {TVariant::Utf8(utf8Directory)});
    std::vector<TErrorReport> reports = Log->TakeReports();
    if (hr == S_OK) {
      EXPECT_TRUE(reports.empty());
      EXPECT_TRUE(IsLong(Result, 1));
      EXPECT_TRUE(Object->Store);
      // A store from a damaged file still answers questions.
      if (Object->Store) {
        EXPECT_TRUE(Call(MethodEnumObjects, {TVariant::Utf8("Documents")}) == S_OK || !Log->TakeReports().empty());
        Log->TakeReports();
      }
      return TOutcome::Store;
    }
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_TRUE(IsLong(Result, 0));
    EXPECT_FALSE(Object->Store);
    EXPECT_EQ(reports.size(), 1u);
    if (reports.size() == 1) {
      EXPECT_EQ(reports[0].Code, MsgCodeError);
      EXPECT_EQ(reports[0].Description, AnsiToUtf8(LoadResourceString(IDS_LOAD_FAILED)));
    }
    return TOutcome::Failure;
  }
  TOutcome LoadBytes(const std::string& bytes) {
    WriteFile(File(), bytes);
    return LoadFrom(Dir.Path());
  }
};

// The sample configuration, long enough that its stream lives in ordinary sectors, and a
// short one whose stream sits in the mini stream.
std::string LongConfig() {
  std::string text = SampleConfig();
  while (text.size() < 9000) text.insert(text.size() - 3, "\r\n");
  return text;
}
std::string ShortConfig() { return "{\"EnumList\",{\"200\",\"Colors\",\"\",{\"EnumVal\",{\"201\",\"Red\",\"\"}}}}\r\n}"; }

TEST_F(HardenedLoad, DamagedCompoundFiles) {
  for (const std::string& config : {LongConfig(), ShortConfig()}) {
    const bool longStream = config.size() > 4096;
    SCOPED_TRACE(longStream ? "stream in ordinary sectors" : "stream in the mini stream");
    Dir.WriteContainer(config);
    const TCompoundImage good(ReadFile(File()));
    ASSERT_EQ(LoadBytes(good.Bytes), TOutcome::Store);
    const size_t metadata = good.Entry(u"Metadata");
    const size_t stream = good.Entry(u"Main MetaData Stream");
    const size_t root = good.Entries().at(0);
    const uint32_t dirSector = good.U32(0x30);
    const uint32_t streamStart = good.U32(stream + 116);
    const uint32_t rootStart = good.U32(root + 116);
    const uint32_t beyond = uint32_t(good.Bytes.size() / good.SectorSize() + 100);
    const uint32_t streamSector = longStream ? streamStart : rootStart;  // its first ordinary sector

    struct TDamage {
      const char* What;
      std::function<void(TCompoundImage&)> Apply;
      bool MustFail;
      // A chain or tree that loops: the reader must give up. The 64-bit system storage
      // under Wine never does (it allocates until the machine runs out of memory) and we
      // only hand its failure on, so those cases run natively and in the 32-bit build.
      bool Loops = false;
    };
    const TDamage damages[] = {
        {"signature", [](TCompoundImage& f) { f.Bytes[0] = 'X'; }, true},
        {"cut to nothing", [](TCompoundImage& f) { f.Bytes.clear(); }, true},
        {"cut inside the signature", [](TCompoundImage& f) { f.Bytes.resize(7); }, true},
        {"cut after the header", [](TCompoundImage& f) { f.Bytes.resize(512); }, true},
        {"cut in half", [](TCompoundImage& f) { f.Bytes.resize(f.Bytes.size() / 2); }, false},
        {"last byte cut", [](TCompoundImage& f) { f.Bytes.pop_back(); }, false},
        {"sector shift 0", [](TCompoundImage& f) { f.Put16(0x1E, 0); }, false},
        {"sector shift 31", [](TCompoundImage& f) { f.Put16(0x1E, 31); }, false},
        {"mini sector shift 20", [](TCompoundImage& f) { f.Put16(0x20, 20); }, false},
        {"FAT sector count huge", [](TCompoundImage& f) { f.Put32(0x2C, 0xFFFFFFF0); }, false},
        {"directory starts past the end", [beyond](TCompoundImage& f) { f.Put32(0x30, beyond); }, false},
        {"no directory", [](TCompoundImage& f) { f.Put32(0x30, EndOfChain); }, false},
        {"first FAT sector past the end", [beyond](TCompoundImage& f) { f.Put32(0x4C, beyond); }, false},
        {"mini FAT past the end", [beyond](TCompoundImage& f) { f.Put32(0x3C, beyond); }, false},
        {"mini stream cutoff 0", [](TCompoundImage& f) { f.Put32(0x38, 0); }, false},
        // Allocation table: chains that loop or leave the file.
        {"directory chain loops", [dirSector](TCompoundImage& f) { f.Put32(f.FatEntryOffset(dirSector), dirSector); }, false, true},
        {"stream chain loops",
         [streamSector](TCompoundImage& f) { f.Put32(f.FatEntryOffset(streamSector), streamSector); }, false, true},
        {"stream chain leaves the file",
         [streamSector, beyond](TCompoundImage& f) { f.Put32(f.FatEntryOffset(streamSector), beyond); }, false},
        {"stream chain ends at once",
         [streamSector](TCompoundImage& f) { f.Put32(f.FatEntryOffset(streamSector), EndOfChain); }, false},
        {"stream sector marked free",
         [streamSector](TCompoundImage& f) { f.Put32(f.FatEntryOffset(streamSector), FreeSector); }, false},
        // Directory: trees that loop, wrong kinds, sizes and starts.
        {"root is its own child", [root](TCompoundImage& f) { f.Put32(root + 76, 0); }, false, true},
        {"storage is its own child",
         [metadata, &good](TCompoundImage& f) { f.Put32(metadata + 76, uint32_t(good.Find(u"Metadata"))); }, false,
         true},
        {"stream is its own left sibling",
         [stream, &good](TCompoundImage& f) { f.Put32(stream + 68, uint32_t(good.Find(u"Main MetaData Stream"))); },
         false, true},
        {"sibling past the directory", [stream](TCompoundImage& f) { f.Put32(stream + 72, 100000); }, false},
        {"storage typed as stream", [metadata](TCompoundImage& f) { f.Bytes[metadata + 66] = 2; }, true},
        {"stream typed as storage", [stream](TCompoundImage& f) { f.Bytes[stream + 66] = 1; }, true},
        {"stream larger than the file", [stream](TCompoundImage& f) { f.Put32(stream + 120, 0x7FFFFFF0); }, true},
        {"stream size 4 GiB - 1", [stream](TCompoundImage& f) { f.Put32(stream + 120, 0xFFFFFFFF); }, true},
        {"zero-length stream", [stream](TCompoundImage& f) { f.Put32(stream + 120, 0); }, true},
        {"stream starts past the end", [stream, beyond](TCompoundImage& f) { f.Put32(stream + 116, beyond); }, false},
        {"stream name length odd", [stream](TCompoundImage& f) { f.Put16(stream + 64, 0xFFFF); }, false},
    };
    const bool systemStorageLoops = KALAMOS_WINDOWS && sizeof(void*) == 8;
    int failures = 0, tried = 0;
    for (const TDamage& damage : damages) {
      if (damage.Loops && systemStorageLoops) continue;
      ++tried;
      SCOPED_TRACE(damage.What);
      TCompoundImage broken = good;
      damage.Apply(broken);
      const TOutcome outcome = LoadBytes(broken.Bytes);
      if (damage.MustFail) {
        EXPECT_EQ(outcome, TOutcome::Failure);
      }
      failures += outcome == TOutcome::Failure;
    }
    // Most damage is noticed; a reader that shrugs everything off is no reader.
    EXPECT_GT(failures, tried / 2);
  }
}

// A root entry that names siblings: readers start from the root's child and never look at
// them, so the file loads as if they were not there (and nothing is left behind natively).
TEST_F(HardenedLoad, RootEntrySiblingsAreIgnored) {
  Dir.WriteContainer(LongConfig());
  const TCompoundImage good(ReadFile(File()));
  ASSERT_EQ(LoadBytes(good.Bytes), TOutcome::Store);
  const int32_t nodes = Object->Store->IdCount();
  const size_t root = good.Entries().at(0);
  const uint32_t metadata = uint32_t(good.Find(u"Metadata"));
  const uint32_t stream = uint32_t(good.Find(u"Main MetaData Stream"));
  const struct {
    const char* What;
    uint32_t Left, Right;
  } cases[] = {
      {"left", metadata, FreeSector}, {"right", FreeSector, stream}, {"both", stream, metadata},
      {"both, one past the directory", metadata, 100000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    TCompoundImage broken = good;
    broken.Put32(root + 68, c.Left);
    broken.Put32(root + 72, c.Right);
    ASSERT_EQ(LoadBytes(broken.Bytes), TOutcome::Store);
    EXPECT_EQ(Object->Store->IdCount(), nodes);
  }
}

// Texts no configuration has, through a real container and Load.
TEST_F(HardenedLoad, HostileTexts) {
  std::string everyByte = "{\"1\",\"";
  for (int b = 0; b < 256; ++b) everyByte += char(b);
  everyByte += "\"}\r\n}";
  const struct {
    const char* What;
    std::string Text;
  } texts[] = {
      {"every byte value", everyByte},
      {"only closing braces", std::string(5000, '}')},
      {"only opening braces", std::string(5000, '{')},
      {"closing before opening", "}}}{\"1\",\"a\"}{{"},
      {"braces inside quotes", "{\"1\",\"{\",\"}\"},{\"2\",\"}}}}\"}"},
      {"an identifier that is only a comma", "{\"1,{\"2\"},{\"3\"}}}"},
      {"no text at all", ""},
  };
  for (const auto& t : texts) {
    SCOPED_TRACE(t.What);
    // Written as 8-bit text as it is: no UTF-8 conversion of the raw bytes.
    TStorageEntry entry{Utf8ToWide("Metadata"), Utf8ToWide("Main MetaData Stream"), "MDPREAMBL" + t.Text};
    ASSERT_EQ(WriteCompoundFile(Utf8ToWide(File().string()), {entry}), S_OK);
    EXPECT_EQ(LoadFrom(Dir.Path()), TOutcome::Store);
  }
}

// Deep and huge texts straight into the store: the container adds nothing here but time.
TEST(HardenedText, DeepNestingAndHugeUnterminatedList) {
  constexpr int32_t Depth = 1000000;
  {
    TTextBuffer deep;
    deep.Bytes = std::string(Depth, '{') + std::string(Depth, '}');
    TMetaStore store(deep);
    // Every "{" opens one more level under the node before it; the "}" record nothing.
    EXPECT_EQ(store.IdCount(), Depth);
    EXPECT_EQ(store.ParentCount(), Depth);
    EXPECT_EQ(store.LastAutoId, 32000 + Depth);
    int32_t first = -1, count = 0;
    EXPECT_TRUE(store.FindChildren(std::to_string(32000 + Depth - 1), first, count));
    EXPECT_EQ(count, 1);
  }
  {
    TTextBuffer open;
    open.Bytes = std::string(Depth, '{');
    EXPECT_EQ(TMetaStore(open).IdCount(), Depth);
  }
  {
    // 100 MB of one list that never closes: its text is never recorded.
    TTextBuffer huge = NormaliseStreamBytes("abcd\r\n\r\n\r{\"1\",\"" + std::string(100u << 20, 'x'));
    TMetaStore store(huge);
    EXPECT_EQ(store.IdCount(), 1);
    EXPECT_TRUE(store.TextAt(0).empty());
  }
}

TEST(HardenedText, UnbalancedBracesAndControlBytes) {
  const struct {
    std::string Text;
    int32_t Nodes;
  } cases[] = {
      {"}a}b}", 2},            // surplus braces keep the top-level text growing: "a", "ab"
      {"{{{", 3},
      {"{\"1\",\"x\"}}}}}", 2},  // the root and one list; the rest is surplus
      {"{\"1\",{\"2\"", 2},     // never closed: the inner list's text is not recorded
      {std::string("{\"1\",\"\x01\x1f\0\x7f\"}", 12), 2},
  };
  for (const auto& c : cases) {
    TTextBuffer buffer;
    buffer.Bytes = c.Text;
    TMetaStore store(buffer);
    EXPECT_EQ(store.IdCount(), c.Nodes) << c.Text;
    for (int32_t i = 0; i < store.IdCount(); ++i)
      for (char ch : store.TextAt(i)) EXPECT_GE(uint8_t(ch), 0x20) << "control byte kept in " << c.Text;
  }
}

TEST_F(HardenedLoad, DirectoriesOfEveryShape) {
  Dir.WriteContainer(SampleConfig());
  const std::filesystem::path base(Dir.Path());
  // A directory with blanks and Cyrillic letters in its name loads like any other.
  const std::string odd = reinterpret_cast<const char*>(u8"Папка с пробелами и ё");
  // From UTF-16: MinGW's library does not take a UTF-8 path apart correctly.
  const std::filesystem::path oddPath = base / std::filesystem::path(Utf8ToWide(odd));
  std::error_code error;
  if (std::filesystem::create_directory(oddPath, error)) {
    WriteFile(oddPath / "vellum.md", ReadFile(File()));
    EXPECT_EQ(LoadFrom(Dir.Path() + "/" + odd), TOutcome::Store);
  } else {
    // Wine without the Russian locale on the machine cannot name such a folder; the path
    // must still fail cleanly.
    EXPECT_EQ(LoadFrom(Dir.Path() + "/" + odd), TOutcome::Failure);
  }

  EXPECT_EQ(LoadFrom(Dir.Path() + "/missing"), TOutcome::Failure);
  WriteFile(base / "plain", "not a directory");
  EXPECT_EQ(LoadFrom(Dir.Path() + "/plain"), TOutcome::Failure);
  // The container's name taken by a directory.
  std::filesystem::create_directories(base / "folder" / "vellum.md");
  EXPECT_EQ(LoadFrom(Dir.Path() + "/folder"), TOutcome::Failure);
  // Longer than a path or a file name may be anywhere.
  EXPECT_EQ(LoadFrom(Dir.Path() + "/" + std::string(300, 'a')), TOutcome::Failure);
  EXPECT_EQ(LoadFrom(Dir.Path() + "/" + std::string(40000, 'b')), TOutcome::Failure);
  EXPECT_EQ(LoadFrom(std::string(3000, '/')), TOutcome::Failure);
}

TEST_F(HardenedLoad, ContainerHeldByAWriter) {
  Dir.WriteContainer(SampleConfig());
  {
    // A writer with the file open: Windows refuses the read under the deny-write share
    // mode; the native advisory lock only stops writers that lock, and this one does not.
    std::ofstream writer(File(), std::ios::binary | std::ios::app);
    ASSERT_TRUE(writer.good());
    const TOutcome outcome = LoadFrom(Dir.Path());
    if (KALAMOS_WINDOWS) {
      EXPECT_EQ(outcome, TOutcome::Failure);
    }
  }
  // Once the writer is gone the same directory loads.
  EXPECT_EQ(LoadFrom(Dir.Path()), TOutcome::Store);
}

}  // namespace
