#include "tests/support/ConfigGen.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/Text.h"

using namespace kalamos;

namespace {

std::string Name(const char* utf8Stem, int i) { return Utf8ToAnsi(utf8Stem) + std::to_string(i); }

class TRandom {
public:
  explicit TRandom(uint32_t seed) : State(seed * 2654435761u + 1) {}
  uint32_t Next(uint32_t bound) {
    State ^= State << 13;
    State ^= State >> 17;
    State ^= State << 5;
    return State % bound;
  }

private:
  uint32_t State;
};

const char* const Synonyms[] = {"Контрагент", "Сумма документа", "Количество", "Цена за единицу",
                                "Номенклатура", "Склад отгрузки", "Дата оплаты", "Комментарий",
                                "Ответственный", "Валюта"};

class TWriter {
public:
  TWriter(const TConfigShape& shape) : Shape(shape), Random(shape.Seed) {
    for (const char* s : Synonyms) SynonymTexts.push_back(Utf8ToAnsi(s));
  }

  std::string Run();

private:
  std::string NextId() { return std::to_string(Id++); }
  void Open() { Out += "{"; }
  void Close() { Out += "}"; }
  void Sep() { Out += ",\r\n"; }
  void Quoted(std::string_view field) {
    Out += '"';
    Out += field;
    Out += '"';
  }
  const std::string& Synonym() { return SynonymTexts[Random.Next(uint32_t(SynonymTexts.size()))]; }
  // An object's own fields: identifier, name, synonym, comment, then settings.
  void ObjectHead(const std::string& name, int settings, bool nodeZero = false) {
    Open();
    Quoted(NextId());
    Out += ',';
    Quoted(name);
    Out += ',';
    Quoted(Synonym());
    Out += ",\"\"";
    // Real files put a document's Refers list in an untagged node "0", its settings after.
    if (nodeZero) Out += ",\r\n{\"0\",\"\",\"\",\"\",\r\n{\"Refers\"}}";
    for (int k = 0; k < settings; ++k) {
      Out += ',';
      Quoted(std::to_string(Random.Next(k % 3 == 0 ? 100 : 2)));
    }
  }
  void Attribute(const std::string& name);
  void SubSection(const char* tag, int count, std::string (*name)(int));
  void Section(const char* tag);

  const TConfigShape& Shape;
  TRandom Random;
  std::vector<std::string> SynonymTexts;
  std::vector<std::string> CatalogueIds, EnumIds;
  std::string Out;
  int Id = 100;
};

void TWriter::Attribute(const std::string& name) {
  static const char Letters[] = {'N', 'S', 'D', 'E', 'B', 'O', 'N', 'S'};
  char letter = Letters[Random.Next(sizeof Letters)];
  std::string reference = "0";
  if (letter == 'B' && !CatalogueIds.empty())
    reference = CatalogueIds[Random.Next(uint32_t(CatalogueIds.size()))];
  else if (letter == 'E' && !EnumIds.empty())
    reference = EnumIds[Random.Next(uint32_t(EnumIds.size()))];
  else if (letter == 'B' || letter == 'E')
    letter = 'N';
  const int length = letter == 'N' ? 10 + int(Random.Next(10)) : letter == 'S' ? 10 + int(Random.Next(90)) : 0;
  const int precision = letter == 'N' ? int(Random.Next(4)) : 0;
  Open();
  Quoted(NextId());
  Out += ',';
  Quoted(name);
  Out += ',';
  Quoted(Synonym());
  Out += ",\"\",";
  Quoted(std::string(1, letter));
  Out += ',';
  Quoted(std::to_string(length));
  Out += ',';
  Quoted(std::to_string(precision));
  Out += ',';
  Quoted(reference);
  Out += ",\"0\",\"1\",\"0\"";
  Close();
}

void TWriter::SubSection(const char* tag, int count, std::string (*name)(int)) {
  Sep();
  Open();
  Quoted(tag);
  for (int j = 0; j < count; ++j) {
    Sep();
    Attribute(name(j));
  }
  Close();
}

void TWriter::Section(const char* tag) {
  Open();
  Quoted(tag);
}

std::string TWriter::Run() {
  Section("TaskItem");
  Sep();
  ObjectHead(Utf8ToAnsi("Конфигурация"), 6);
  Close();
  Close();
  Sep();

  Section("Consts");
  for (int i = 0; i < Shape.Constants; ++i) {
    Sep();
    Attribute(ConstantName(i));
  }
  Close();
  Sep();

  Section("SbCnts");
  for (int i = 0; i < Shape.Catalogues; ++i) {
    Sep();
    CatalogueIds.push_back(std::to_string(Id));
    ObjectHead(CatalogueName(i), 14);
    SubSection("Params", Shape.CatalogueParams, AttributeName);
    Close();
  }
  Close();
  Sep();

  Section("EnumList");
  for (int i = 0; i < Shape.Enums; ++i) {
    Sep();
    EnumIds.push_back(std::to_string(Id));
    ObjectHead(EnumName(i), 0);
    Sep();
    Open();
    Quoted("EnumVal");
    for (int j = 0; j < Shape.EnumValues; ++j) {
      Sep();
      ObjectHead(EnumValueName(j), 0);
      Close();
    }
    Close();
    Close();
  }
  Close();
  Sep();

  Section("Registers");
  for (int i = 0; i < Shape.Registers; ++i) {
    Sep();
    ObjectHead(RegisterName(i), 4);
    SubSection("Props", Shape.RegisterProps, AttributeName);
    SubSection("Figures", Shape.RegisterFigures, TableFieldName);
    SubSection("Flds", Shape.RegisterFlds, EnumValueName);
    Close();
  }
  Close();
  Sep();

  Section("Documents");
  for (int i = 0; i < Shape.Documents; ++i) {
    Sep();
    ObjectHead(DocumentName(i), 8, Shape.RealFiles);
    SubSection("Head Fields", Shape.HeadFields, AttributeName);
    SubSection("Table Fields", Shape.TableFields, TableFieldName);
    Close();
  }
  Close();
  Sep();

  Section("Journalisters");
  for (int i = 0; i < Shape.Journals; ++i) {
    Sep();
    ObjectHead(JournalName(i), 3);
    SubSection("JournalFld", Shape.JournalFields, AttributeName);
    Close();
  }
  Close();
  Sep();

  Section("Buh");
  Sep();
  ObjectHead(Utf8ToAnsi("Бухгалтерия"), 2);
  SubSection("SbKind", Shape.AnalyticKinds, AnalyticKindName);
  Close();
  Close();

  for (const char* tag : {"GenJrnlFldDef", Shape.RealFiles ? "DocSelRefObj" : "DocSelRefobj", "DocNumDef", "ReportList",
                          "CJ", "Calendars", "Algorithms", Shape.RealFiles ? "CalcVars" : "Calcvars", "Groups"}) {
    Sep();
    Section(tag);
    Close();
  }
  Out += "\r\n}\r\n";
  return std::move(Out);
}

}  // namespace

std::string GenerateConfigText(const TConfigShape& shape) { return TWriter(shape).Run(); }

TConfigShape ShapeForSize(size_t bytes, uint32_t seed) {
  TConfigShape unit;
  unit.Seed = seed;
  const double k = double(bytes) / double(GenerateConfigText(unit).size());
  auto scale = [k](int n) { return std::max(1, int(std::lround(n * k))); };
  TConfigShape shape = unit;
  shape.Constants = scale(unit.Constants);
  shape.Catalogues = scale(unit.Catalogues);
  shape.Registers = scale(unit.Registers);
  shape.Documents = scale(unit.Documents);
  shape.Journals = scale(unit.Journals);
  shape.Enums = scale(unit.Enums);
  shape.AnalyticKinds = scale(unit.AnalyticKinds);
  return shape;
}

TConfigShape DocumentsShape(int documents) {
  TConfigShape shape;
  shape.Documents = documents;
  shape.HeadFields = 20;
  shape.TableFields = 4;
  shape.RealFiles = true;
  return shape;
}

std::string MakeStreamBytes(std::string_view text) {
  std::string bytes("\x01\x00\x00{\r\n", 6);
  bytes += text;
  return bytes;
}

std::string ConstantName(int i) { return Name("Константа", i); }
std::string CatalogueName(int i) { return Name("Номенклатура", i); }
std::string RegisterName(int i) { return Name("ОстаткиТоваров", i); }
std::string DocumentName(int i) { return Name("РасходнаяНакладная", i); }
std::string JournalName(int i) { return Name("ЖурналДокументов", i); }
std::string EnumName(int i) { return Name("ВидыОплаты", i); }
std::string AnalyticKindName(int i) { return Name("Субконто", i); }
std::string AttributeName(int j) { return Name("Реквизит", j); }
std::string TableFieldName(int j) { return Name("Колонка", j); }
std::string EnumValueName(int j) { return Name("Значение", j); }
