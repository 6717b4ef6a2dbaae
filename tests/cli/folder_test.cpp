// unpack and build: the small formats, containers shaped like real ones there and back byte
// for byte, edits, and every refusal leaving the target as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "host/Pack.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/model/Source.h"
#include "host/tool/vc/Vc.h"
#include "host/tool/model/Model.h"
#include "host/tool/container/Streams.h"
#include "host/tool/folder/Codec.h"
#include "host/tool/folder/Directory.h"
#include "host/tool/folder/Folder.h"
#include "host/tool/folder/Manifest.h"
#include "platform/Storage.h"
#include "platform/Text.h"
#include "tests/support/ConfigGen.h"
#include "tests/support/Deflate.h"
#include "tests/support/TempDir.h"

using namespace kalamos;
namespace fs = std::filesystem;

namespace {

// The refusals are checked in Russian whatever the locale the suite runs in.
const bool ReadInRussian = setenv("LANGUAGE", "ru", 1) == 0;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void Put(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// Every stream with its bytes and every storage with its stamp, as one comparable list.
std::vector<std::string> Everything(const fs::path& file) {
  std::vector<TContainerStream> streams;
  EXPECT_EQ(S_OK, ReadContainerStreams(Utf8ToWide(file.string()), streams));
  std::vector<std::string> out;
  for (const TContainerStream& stream : streams) out.push_back(stream.Path + " = " + stream.Bytes);
  std::map<std::string, TStorageStamp> stamps;
  std::string why;
  EXPECT_TRUE(ReadStamps(file.string(), stamps, why)) << why;
  for (const auto& [path, stamp] : stamps)
    out.push_back("[" + path + "] " + TimeText(stamp.Created) + " " + TimeText(stamp.Modified) + " " +
                  std::string(stamp.ClassId.begin(), stamp.ClassId.end()));
  std::sort(out.begin(), out.end());
  return out;
}

std::string Form(const std::string& text, bool longPrefix = false) {
  std::string bytes = longPrefix ? std::string("\xFF\xFF\xFF", 3) : std::string("\xFF", 1);
  const uint32_t n = uint32_t(text.size());
  for (int i = 0; i < (longPrefix ? 4 : 2); ++i) bytes += char((n >> (8 * i)) & 0xFF);
  return bytes + text;
}

TStorageEntry Storage(const char* path) { return {Utf8ToWide(path), WideString(), std::string()}; }

constexpr uint64_t May2006 = 127922988690000000ULL;  // 2006-05-17 00:21:09

// A container shaped like a real one: description, a document's module (as zlib level 9 and
// level 1 give it), forms with both length prefixes, a print layout, pictures, bookkeeping
// streams, nested storages with times, an empty storage, a global module.
class FolderRoundTrip : public ::testing::Test {
protected:
  void SetUp() override {
    TConfigShape shape;
    shape.Documents = 3;
    shape.RealFiles = true;
    Text = GenerateConfigText(shape);
    TModel model(NormaliseStreamBytes(PackStreamBytes(Text)));
    Doc = std::string(model.Object(model.ObjectsNamed(DocumentName(0), 7).at(0)).Id);
    Doc2 = std::string(model.Object(model.ObjectsNamed(DocumentName(1), 7).at(0)).Id);
    const std::string module = AnsiOf("Процедура ОбработкаПроведения()\r\n\tСообщить(\"Проведён\");\r\nКонецПроцедуры\r\n");
    const std::string other = AnsiOf("Перем А;\r\nПерем Б;\r\n");
    const std::string book = "Document/Document_Number" + Doc + "/WorkBook";
    std::vector<TStorageEntry> entries = {
        Storage("Document"), Storage(("Document/Document_Number" + Doc).c_str()), Storage(book.c_str()),
        Storage("Metadata"), Storage("Empty"),
        {Utf8ToWide(book), OLESTR("Dialog Stream"), Form(AnsiOf("{\"Form\",{\"Кнопка\",\"ОК\"}}\r\n"))},
        {Utf8ToWide(book), OLESTR("Page.1"), std::string("\xD0\xCF\0\1\2 layout", 11)},
        {Utf8ToWide(book), OLESTR("Container.Contents"),
         "{\"Container.Contents\",{\"DialogEditor\",\"Dialog Stream\",\"Dialog Form\",\"\"}}"},
        {Utf8ToWide("Document/Document_Number" + Doc2 + "/WorkBook"), OLESTR("Dialog Stream"), Form(AnsiOf("{\"Длинная\"}\r\n"), true)},
        {OLESTR("Metadata"), OLESTR("Main MetaData Stream"), PackStreamBytes(Text)},
        {OLESTR("Metadata"), OLESTR("GUIDData"), std::string("\x01\x02\x03\0", 4)},
        {Utf8ToWide("TypedText/Transact_Number" + Doc), OLESTR("MD Programm text"), Deflated(module, 9)},
        {Utf8ToWide("TypedText/Transact_Number" + Doc2), OLESTR("MD Programm text"), Deflated(other, 1)},
        {OLESTR("TypedText/ModuleText_Number1"), OLESTR("MD Programm text"), Deflated(AnsiOf("Перем Глобальная Экспорт;\r\n"))},
        {OLESTR("Picture"), OLESTR("Gallery"), std::string("\0\xFF\x10", 3)},
        {OLESTR(""), OLESTR("Container.Profile"), std::string(300, '\x7F')},
    };
    Original = Dir.Path() / "original.md";
    ASSERT_EQ(S_OK, WriteCompoundFile(Utf8ToWide(Original.string()), entries));
    std::map<std::string, TStorageStamp> stamps;
    stamps[""].ClassId[15] = 0x46;
    stamps["Document"].Modified = May2006;
    stamps["Document/Document_Number" + Doc].Modified = May2006 + 10000000;
    stamps[book].Modified = May2006 + 20000000;
    stamps[book].Created = May2006 - 10000000;
    stamps[book].ClassId = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    stamps["Metadata"].Modified = May2006 + 30000000;
    stamps["Empty"].Modified = May2006 + 40000000;
    std::string why;
    ASSERT_TRUE(WriteStamps(Original.string(), stamps, why)) << why;
    Folder = Dir.Path() / "folder";
    ASSERT_EQ(ExitOk, RunUnpack(Original.string(), Folder.string()));
    DocDir = Folder / PathOf("Документы") / PathOf(U(DocumentName(0)));
  }
  static std::string AnsiOf(const std::string& utf8) { return Utf8ToAnsi(utf8); }
  // Builds the folder into target; the status and target's bytes.
  int Build(const fs::path& target) { return RunBuild(Folder.string(), target.string()); }

  TTempDir Dir;
  std::string Text, Doc, Doc2;
  fs::path Original, Folder, DocDir;
};

}  // namespace

TEST(FolderPieces, TimesAndLineEndsGoBothWays) {
  for (uint64_t time : {May2006, May2006 + 1234567, uint64_t(116444736000000000ULL)}) {
    uint64_t back = 0;
    ASSERT_TRUE(ParseTime(TimeText(time), back)) << TimeText(time);
    EXPECT_EQ(time, back);
  }
  EXPECT_EQ(TimeText(May2006), "2006-05-17 00:21:09");
  uint64_t ignored;
  for (const char* bad : {"", "2006-13-01 00:00:00", "2006-05-17", "2006-05-17 00:21:09.12"}) EXPECT_FALSE(ParseTime(bad, ignored)) << bad;

  EXPECT_EQ(LineEnds("a\r\nb\r\n"), "crlf");
  EXPECT_EQ(LineEnds("a\nb"), "lf");
  EXPECT_EQ(LineEnds("one line"), "lf");
  EXPECT_EQ(LineEnds("a\r\nb\n"), "asis");
  EXPECT_EQ(LineEnds("a\rb"), "asis");
  // Whatever line ends a checkout gives, the container's come back.
  for (const char* file : {"a\nb\n", "a\r\nb\r\n", "a\r\nb\n"}) {
    EXPECT_EQ(FromFileLines(file, "crlf"), "a\r\nb\r\n") << file;
    EXPECT_EQ(FromFileLines(file, "lf"), "a\nb\n") << file;
  }
  EXPECT_EQ(FromFileLines("a\r\nb\n", "asis"), "a\r\nb\n");
  EXPECT_EQ(ToFileLines("a\r\nb\r\n", "crlf"), "a\nb\n");
}

TEST(FolderPieces, BraceTroubleSaysTheLine) {
  std::string why;
  EXPECT_EQ(0u, BraceTrouble("{\"a\",{\"}\"\"{\"}}", true, why));
  EXPECT_EQ(0u, BraceTrouble("\r\n{\"a\"}\r\n", true, why));
  EXPECT_EQ(3u, BraceTrouble("{\"a\",\n{\"b\"}\n}}", false, why));
  EXPECT_NE(why.find("лишняя"), std::string::npos);
  EXPECT_EQ(2u, BraceTrouble("{\"a\",\n{\"b\n}", false, why));
  EXPECT_NE(why.find("кавычка"), std::string::npos);
  EXPECT_EQ(1u, BraceTrouble("{\"a\",\n{\"b\"}\n", false, why));
  EXPECT_NE(why.find("не закрыта"), std::string::npos);
  EXPECT_EQ(2u, BraceTrouble("{\"a\"}\n,{\"b\"}", true, why));
  EXPECT_EQ(1u, BraceTrouble("", true, why));
}

TEST(FolderPieces, FileNamesAndTheManifest) {
  EXPECT_EQ(SafeFileName("Отчёт: \"итоги\"/год?"), "Отчёт_ _итоги__год_");
  EXPECT_EQ(SafeFileName("con.txt"), "_con.txt");
  EXPECT_EQ(SafeFileName("Lpt1"), "_Lpt1");
  EXPECT_EQ(SafeFileName("COM10"), "COM10");
  EXPECT_EQ(SafeFileName("имя. "), "имя__");
  EXPECT_EQ(SafeFileName(""), "_");

  TManifest manifest;
  TManifestEntry root, storage, stream;
  root.Storage = storage.Storage = true;
  root.Stamp.ClassId[0] = 0xAB;
  storage.Path = "A\tB\\C";
  storage.Stamp.Modified = May2006;
  storage.Stamp.Created = May2006 - 1;
  stream.Path = "A\tB\\C/\x01" "CompObj";
  stream.File = "Контейнер/_CompObj";
  stream.How = "form";
  stream.Options = {{"eol", "crlf"}, {"prefix", "3"}};
  manifest.Entries = {root, storage, stream};
  TManifest back;
  size_t line = 0;
  std::string why;
  ASSERT_TRUE(ReadManifest(WriteManifest(manifest), back, line, why)) << why;
  ASSERT_EQ(back.Entries.size(), 3u);
  EXPECT_EQ(back.Entries[0].Stamp, root.Stamp);
  EXPECT_EQ(back.Entries[1].Path, storage.Path);
  EXPECT_EQ(back.Entries[1].Stamp, storage.Stamp);
  EXPECT_EQ(back.Entries[2].Path, stream.Path);
  EXPECT_EQ(back.Entries[2].Options, stream.Options);
  EXPECT_FALSE(ReadManifest(WriteManifest(manifest) + "stream\tx\ty\tzip\n", back, line, why));
  EXPECT_EQ(line, 5u);
  EXPECT_FALSE(ReadManifest("ostrak folder 2\n", back, line, why));
}

TEST_F(FolderRoundTrip, UnchangedFilesGiveEveryStreamAndTimeBack) {
  EXPECT_TRUE(fs::exists(DocDir / PathOf("Модуль документа.txt")));
  EXPECT_TRUE(fs::exists(DocDir / PathOf("Форма.txt")));
  EXPECT_TRUE(fs::exists(DocDir / PathOf("Макет 1.mxl")));
  EXPECT_TRUE(fs::exists(DocDir / PathOf("Метаданные.txt")));
  EXPECT_TRUE(fs::exists(Folder / PathOf("Глобальный модуль.txt")));
  EXPECT_EQ(Slurp(DocDir / PathOf("Модуль документа.txt")),
            "Процедура ОбработкаПроведения()\n\tСообщить(\"Проведён\");\nКонецПроцедуры\n");
  const fs::path built = Dir.Path() / "built.md";
  ASSERT_EQ(ExitOk, Build(built));
  EXPECT_EQ(Everything(Original), Everything(built));
  // Nothing of the moment: the same container gives the same tree, and it the same container.
  const std::string manifest = Slurp(Folder / FolderManifest);
  EXPECT_NE(manifest.find("storage\tEmpty\t2006-05-17 00:21:13\t-"), std::string::npos) << manifest;
  ASSERT_EQ(ExitOk, RunUnpack(built.string(), Folder.string()));
  EXPECT_EQ(manifest, Slurp(Folder / FolderManifest));
  const fs::path again = Dir.Path() / "again.md";
  ASSERT_EQ(ExitOk, Build(again));
  EXPECT_EQ(Slurp(built), Slurp(again));
}

TEST_F(FolderRoundTrip, OtherLineEndsAndOemTextBuildTheSame) {
  // Every text file checked out with CR LF.
  for (const auto& item : fs::recursive_directory_iterator(Folder))
    if (item.path().extension() == ".txt") {
      std::string text = Slurp(item.path()), crlf;
      for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
      Put(item.path(), crlf);
    }
  const fs::path built = Dir.Path() / "built.md";
  ASSERT_EQ(ExitOk, Build(built));
  EXPECT_EQ(Everything(Original), Everything(built));

  // A description in code page 866 with the long preamble stays so.
  TTempDir other;
  const std::string oem = Utf8ToCodePage(AnsiToUtf8("{\r\n" + Text), 866);
  std::string bytes = std::string("\xFF\xFF\xFF", 3);
  const uint32_t n = uint32_t(oem.size());
  for (int i = 0; i < 4; ++i) bytes += char((n >> (8 * i)) & 0xFF);
  bytes += oem;
  ASSERT_EQ(S_OK, WriteCompoundFile(Utf8ToWide(other.Utf8File("oem.md")), {{OLESTR("Metadata"), OLESTR("Main MetaData Stream"), bytes}}));
  ASSERT_EQ(ExitOk, RunUnpack(other.Utf8File("oem.md"), other.Utf8File("f")));
  EXPECT_NE(Slurp(other.Path() / "f" / FolderManifest).find("cp=866\teol=crlf\tpreamble=long"), std::string::npos);
  ASSERT_EQ(ExitOk, RunBuild(other.Utf8File("f"), other.Utf8File("back.md")));
  EXPECT_EQ(Everything(other.Path() / "oem.md"), Everything(other.Path() / "back.md"));
}

TEST_F(FolderRoundTrip, EditsAreWrittenAsTheContainerStoresThem) {
  const fs::path module = DocDir / PathOf("Модуль документа.txt"), form = DocDir / PathOf("Форма.txt");
  Put(module, Replaced(Slurp(module), "Проведён", "Проведён документ"));
  Put(form, Replaced(Slurp(form), "ОК", "Записать"));
  const fs::path description = Folder / PathOf("Документы") / PathOf(U(DocumentName(1))) / PathOf("Метаданные.txt");
  const std::string old = Slurp(description);
  // Field 3 of the first attribute, empty until now, becomes its synonym.
  const size_t name = old.find("\"" + U(AttributeName(0)) + "\",");
  ASSERT_NE(name, std::string::npos);
  const size_t empty = old.find("\",\"\",", name + 1);
  Put(description, old.substr(0, empty) + "\",\"Новый синоним\"," + old.substr(empty + 5));
  const fs::path built = Dir.Path() / "built.md";
  ASSERT_EQ(ExitOk, Build(built));

  std::vector<TContainerStream> before, after;
  ASSERT_EQ(S_OK, ReadContainerStreams(Utf8ToWide(Original.string()), before));
  ASSERT_EQ(S_OK, ReadContainerStreams(Utf8ToWide(built.string()), after));
  ASSERT_EQ(before.size(), after.size());
  std::vector<std::string> changed;
  for (size_t i = 0; i < before.size(); ++i)
    if (before[i].Bytes != after[i].Bytes) changed.push_back(after[i].Path);
  ASSERT_EQ(changed.size(), 3u);
  for (const TContainerStream& stream : after) {
    std::string plain;
    if (stream.Path == "TypedText/Transact_Number" + Doc + "/MD Programm text") {
      ASSERT_EQ(InflateRaw(stream.Bytes, plain), TInflated::Ok);
      EXPECT_EQ(plain, AnsiOf("Процедура ОбработкаПроведения()\r\n\tСообщить(\"Проведён документ\");\r\nКонецПроцедуры\r\n"));
    }
    if (stream.Path == "Document/Document_Number" + Doc + "/WorkBook/Dialog Stream") {
      EXPECT_EQ(stream.Bytes, Form(AnsiOf("{\"Form\",{\"Кнопка\",\"Записать\"}}\r\n")));
    }
    if (stream.Path == "Metadata/Main MetaData Stream") {
      TModel model(NormaliseStreamBytes(stream.Bytes));
      const TObject& doc = model.Object(model.ObjectsNamed(DocumentName(1), 7).at(0));
      bool found = false;
      for (const TPart& part : doc.Parts)
        for (const TItem& item : model.Items(part))
          found = found || (item.Name == AttributeName(0) && item.Synonym == AnsiOf("Новый синоним"));
      EXPECT_TRUE(found);
      const uint32_t length = uint8_t(stream.Bytes[1]) | uint8_t(stream.Bytes[2]) << 8;
      EXPECT_EQ(length, (stream.Bytes.size() - 3) & 0xFFFF);
    }
  }
}

TEST_F(FolderRoundTrip, BadInputIsRefusedWithFileAndLineAndNothingWritten) {
  const fs::path target = Dir.Path() / "target.md";
  Put(target, "what was there");
  const fs::path module = DocDir / PathOf("Модуль документа.txt");
  const fs::path description = DocDir / PathOf("Метаданные.txt");
  const std::string moduleText = Slurp(module), descriptionText = Slurp(description);
  struct TCase {
    const char* What;
    std::function<void()> Spoil, Mend;
  };
  const std::vector<TCase> cases = {
      {"not UTF-8", [&] { Put(module, moduleText + "\xC0\xC1"); }, [&] { Put(module, moduleText); }},
      {"a character 1251 lacks", [&] { Put(module, moduleText + "Ω"); }, [&] { Put(module, moduleText); }},
      {"braces", [&] { Put(description, descriptionText + "}"); }, [&] { Put(description, descriptionText); }},
      {"quotes", [&] { Put(description, Replaced(descriptionText, "\",", ",")); }, [&] { Put(description, descriptionText); }},
      {"missing", [&] { fs::remove(module); }, [&] { Put(module, moduleText); }},
      {"unknown", [&] { Put(Folder / "notes.txt", "x"); }, [&] { fs::remove(Folder / "notes.txt"); }},
      {"added module", [&] { Put(DocDir / PathOf("Модуль формы.txt"), "x"); }, [&] { fs::remove(DocDir / PathOf("Модуль формы.txt")); }},
  };
  for (const TCase& c : cases) {
    c.Spoil();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ExitFailed, Build(target)) << c.What;
    const std::string said = testing::internal::GetCapturedStderr();
    c.Mend();
    EXPECT_NE(said.find("контейнер не записан"), std::string::npos) << c.What << ": " << said;
    EXPECT_EQ(Slurp(target), "what was there") << c.What;
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), 3) << c.What;  // nothing left beside
    const std::string where = std::string(c.What) == "unknown" ? "notes.txt" : std::string(c.What) == "added module" ? "Модуль формы.txt" : "";
    if (c.What[0] == 'n' || (c.What[0] == 'a' && c.What[1] == ' ')) {
      EXPECT_NE(said.find("Модуль документа.txt:4: "), std::string::npos) << c.What << ": " << said;
    }
    if (!where.empty()) {
      EXPECT_NE(said.find(where), std::string::npos) << said;
    }
    if (std::string(c.What) == "added module") {
      EXPECT_NE(said.find("которых у объекта не было"), std::string::npos) << said;
    }
  }
  ASSERT_EQ(ExitOk, Build(target));
  EXPECT_EQ(Everything(Original), Everything(target));
}

// The stamps land where the compound file keeps them: the storage's directory entry (found by
// its UTF-16 name), class id at 80, created at 100, modified at 108; libgsf's own time agrees.
TEST(FolderDirectory, StampsAreTheDirectoryEntrysFields) {
  TTempDir dir;
  const std::string file = dir.Utf8File("stamps.md");
  ASSERT_EQ(S_OK, WriteCompoundFile(Utf8ToWide(file), {{OLESTR("Outer/Inner"), OLESTR("Page.1"), std::string(5000, 'x')},
                                                       {OLESTR("Outer"), OLESTR("Dialog Stream"), "form"}}));
  std::map<std::string, TStorageStamp> stamps;
  stamps["Outer/Inner"].Modified = May2006;
  stamps["Outer/Inner"].ClassId[0] = 0xC1;
  stamps["Outer"].Created = May2006 + 1;
  std::string why;
  ASSERT_TRUE(WriteStamps(file, stamps, why)) << why;
  const std::string bytes = Slurp(dir.Path() / "stamps.md");
  const std::string name("I\0n\0n\0e\0r\0\0\0", 12);
  const size_t entry = bytes.find(name);
  ASSERT_NE(entry, std::string::npos);
  EXPECT_EQ(uint8_t(bytes[entry + 80]), 0xC1);
  uint64_t modified = 0;
  for (int i = 7; i >= 0; --i) modified = modified << 8 | uint8_t(bytes[entry + 108 + size_t(i)]);
  EXPECT_EQ(modified, May2006);
  std::map<std::string, TStorageStamp> back;
  ASSERT_TRUE(ReadStamps(file, back, why)) << why;
  EXPECT_EQ(back.size(), 3u);  // the root too
  EXPECT_EQ(back["Outer/Inner"], stamps["Outer/Inner"]);
  EXPECT_EQ(back["Outer"], stamps["Outer"]);
  // The streams are untouched.
  std::vector<TContainerStream> streams;
  ASSERT_EQ(S_OK, ReadContainerStreams(Utf8ToWide(file), streams));
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[1].Bytes, std::string(5000, 'x'));
  EXPECT_FALSE(ReadStamps(dir.Utf8File("none.md"), back, why));
  EXPECT_FALSE(WriteStamps(file, {{"Nowhere", TStorageStamp{}}}, why));
}

// The tool's own compound file: read back by the storage library whole (large streams, the
// mini stream, an empty one, storages at depth, Cyrillic names, siblings in number past one
// sector of the directory, a stream large enough for the FAT to need DIFAT sectors), every
// storage stamped; the same entries give the same bytes; names the format cannot hold refused.
TEST(FolderDirectory, OwnCompoundFileReadsBackWhole) {
  TTempDir dir;
  std::vector<TStorageEntry> entries;
  std::string large(size_t(15) << 19, '\0');  // past 109 FAT sectors
  for (size_t i = 0; i < large.size(); ++i) large[i] = char(i * 7 + i / 4099);
  entries.push_back({OLESTR("Metadata"), OLESTR("Main MetaData Stream"), large});
  entries.push_back({OLESTR("Metadata"), OLESTR("Empty"), std::string()});
  entries.push_back({Utf8ToWide("Документ/Форма_1/WorkBook"), OLESTR("Dialog Stream"), std::string(4095, 'f')});
  entries.push_back({Utf8ToWide("Документ/Форма_1/WorkBook"), OLESTR("Page.1"), std::string(4096, 'p')});
  entries.push_back({OLESTR("Bare/Storage"), WideString(), std::string()});
  for (int i = 0; i < 40; ++i)
    entries.push_back({OLESTR("Many"), Utf8ToWide((i % 2 ? "b" : "Б") + std::to_string(i * 37 % 41)), std::string(size_t(i * 3), char('a' + i % 26))});
  std::map<std::string, TStorageStamp> stamps;
  stamps[""].Modified = May2006;
  stamps["Документ/Форма_1"].Created = May2006 + 5;
  stamps["Документ/Форма_1"].ClassId[15] = 0x7E;
  stamps["Bare/Storage"].Modified = May2006 + 9;
  std::string why;
  const std::string file = dir.Utf8File("own.md");
  ASSERT_TRUE(WriteContainer(file, entries, stamps, why)) << why;

  std::vector<TContainerStream> streams;
  ASSERT_EQ(S_OK, ReadContainerStreams(Utf8ToWide(file), streams));
  std::map<std::string, std::string> byPath;
  for (const TContainerStream& stream : streams) byPath[stream.Path] = stream.Bytes;
  EXPECT_EQ(byPath.size(), entries.size() - 1);  // the bare storage holds no stream
  for (const TStorageEntry& entry : entries) {
    if (entry.stream.empty()) continue;
    const std::string path = WideToUtf8(entry.storage) + "/" + WideToUtf8(entry.stream);
    ASSERT_TRUE(byPath.count(path)) << path;
    EXPECT_TRUE(byPath[path] == entry.bytes) << path;
  }
  std::map<std::string, TStorageStamp> back;
  ASSERT_TRUE(ReadStamps(file, back, why)) << why;
  for (const auto& [path, stamp] : stamps) EXPECT_EQ(back[path], stamp) << path;
  EXPECT_EQ(back["Many"], TStorageStamp{});

  const std::string again = dir.Utf8File("again.md");
  ASSERT_TRUE(WriteContainer(again, entries, stamps, why)) << why;
  EXPECT_TRUE(Slurp(dir.Path() / "own.md") == Slurp(dir.Path() / "again.md"));

  EXPECT_FALSE(WriteContainer(dir.Utf8File("long.md"), {{OLESTR("A"), WideString(32, OLECHAR('x')), "x"}}, {}, why));
  EXPECT_FALSE(WriteContainer(dir.Utf8File("twice.md"), {{OLESTR("A"), OLESTR("s"), "1"}, {OLESTR("A"), OLESTR("S"), "2"}}, {}, why));
  EXPECT_FALSE(WriteContainer(dir.Utf8File("nowhere.md"), {{OLESTR("A"), OLESTR("s"), "1"}}, {{"B", TStorageStamp{}}}, why));
}

// The tables give what the platform's converters give, for every byte, and stop where they must.
TEST(FolderPieces, CodePageTablesAgreeWithThePlatform) {
  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  for (unsigned codePage : {1251u, 866u}) {
    const std::string utf8 = FromCodePage(every, codePage);
    EXPECT_EQ(utf8, CodePageToUtf8(every, codePage)) << codePage;
    std::string back;
    size_t at = 0;
    const TConverted converted = ToCodePage(utf8, codePage, back, at);
    if (Utf8ToCodePage(utf8, codePage) == every) {
      EXPECT_EQ(converted, TConverted::Ok) << codePage;
      EXPECT_EQ(back, every) << codePage;
    } else {
      EXPECT_EQ(converted, TConverted::Lacking) << codePage;  // a byte with no character of its own
    }
  }
  std::string out;
  size_t at = 0;
  EXPECT_EQ(ToCodePage("Ок\xC0\x80", 1251, out, at), TConverted::NotUtf8);
  EXPECT_EQ(at, 4u);
  EXPECT_EQ(ToCodePage("Ок ☃", 1251, out, at), TConverted::Lacking);
  EXPECT_EQ(at, 5u);
  EXPECT_EQ(ToCodePage("Ок €", 866, out, at), TConverted::Lacking);
  EXPECT_EQ(ToCodePage("Ок №", 1251, out, at), TConverted::Ok);
  EXPECT_EQ(out, Utf8ToAnsi("Ок №"));
}

// A mangled directory gives an answer, never a read past the file or a loop (ASan runs this).
TEST(FolderDirectory, MangledDirectoriesAreAnswered) {
  TTempDir dir;
  const std::string file = dir.Utf8File("mangled.md");
  ASSERT_EQ(S_OK, WriteCompoundFile(Utf8ToWide(file), {{OLESTR("A/B/C"), OLESTR("Page.1"), std::string(9000, 'x')},
                                                       {OLESTR("A"), OLESTR("Dialog Stream"), "form"}}));
  const std::string good = Slurp(dir.Path() / "mangled.md");
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    std::string bytes = good;
    for (int flips = 0; flips < 4; ++flips) {
      // The header and the directory's first sector: where a wrong number does harm.
      const size_t at = random() % 2 ? random() % 512 : good.find(std::string("A\0/\0", 2)) / 512 * 512 + random() % 512;
      bytes[at % bytes.size()] = static_cast<char>(random());
    }
    Put(dir.Path() / "mangled.md", bytes);
    std::map<std::string, TStorageStamp> stamps;
    std::string why;
    if (ReadStamps(file, stamps, why)) EXPECT_LE(stamps.size(), 40u);
    else EXPECT_FALSE(why.empty());
  }
}

// A folder read where a container stands is built again only when one of its files changed.
TEST_F(FolderRoundTrip, AFolderStandsForTheContainerItBuilds) {
  std::string first, again, error;
  ASSERT_TRUE(FolderAsContainer(Folder.string(), first, error)) << error;
  EXPECT_EQ(Everything(Original), Everything(PathOf(first)));
  const auto built = fs::last_write_time(PathOf(first));
  ASSERT_TRUE(FolderAsContainer(Folder.string(), again, error)) << error;
  EXPECT_EQ(first, again);
  EXPECT_EQ(built, fs::last_write_time(PathOf(again)));  // not built again

  const fs::path module = DocDir / PathOf("Модуль документа.txt");
  Put(module, Replaced(Slurp(module), "Проведён", "Проведён и записан"));
  ASSERT_TRUE(FolderAsContainer(Folder.string(), again, error)) << error;
  std::vector<TContainerStream> streams;
  ASSERT_EQ(S_OK, ReadContainerStreams(Utf8ToWide(again), streams));
  std::string plain;
  for (const TContainerStream& stream : streams)
    if (stream.Path == "TypedText/Transact_Number" + Doc + "/MD Programm text") InflateRaw(stream.Bytes, plain);
  EXPECT_NE(plain.find(AnsiOf("Проведён и записан")), std::string::npos);

  // A folder that does not build says why, as build does.
  Put(module, "\xFF");
  EXPECT_FALSE(FolderAsContainer(Folder.string(), again, error));
  EXPECT_NE(error.find("Модуль документа.txt:1: текст не в UTF-8"), std::string::npos) << error;
}
