// Module text per CPU second through the code layer: parse and check about a million lines
// shaped like real modules (procedures with parameters, nested blocks, calls, query texts
// over many lines, comments), in modules of real size with a global module to call into.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "code/Lexer.h"
#include "code/ModuleSet.h"

using namespace kalamos::code;

namespace {

constexpr size_t WantedLines = 1000000;

const char* const Catalogs[] = {"Номенклатура", "Контрагенты", "Склады", "Фирмы", "Сотрудники", "ЕдиницыИзмерения"};
const char* const Documents[] = {"Реализация", "ПоступлениеТМЦ", "ПриходныйОрдер", "Счет", "ВозвратОтПокупателя"};
const char* const Attributes[] = {"Товар", "Количество", "Цена", "Сумма", "Склад", "Контрагент", "Фирма"};

class TModuleWriter {
 public:
  TModuleWriter(std::mt19937& rng, int index) : Rng(rng), Index(index) {}

  std::string Module(int procedures) {
    Line("// Модуль " + std::to_string(Index) + ": формирование и проведение документов");
    Line("Перем мТекущийДокумент Экспорт;");
    Line("Перем мСумма, мКоличество;");
    Line("");
    for (int p = 0; p < procedures; ++p) Procedure(p, procedures);
    Line("мСумма = 0;");
    Line("Подготовить" + std::to_string(Pick(procedures)) + "(мТекущийДокумент, 1);");
    return std::move(Out);
  }
  int Lines() const { return LineCount; }

 private:
  std::mt19937& Rng;
  int Index;
  std::string Out;
  int LineCount = 0;

  int Pick(int n) { return static_cast<int>(Rng() % static_cast<unsigned>(n)); }
  template <size_t N>
  const char* Pick(const char* const (&list)[N]) {
    return list[Pick(static_cast<int>(N))];
  }
  void Line(const std::string& text, int depth = 0) {
    Out.append(static_cast<size_t>(depth), '\t');
    Out += text;
    Out += "\r\n";
    ++LineCount;
  }

  void Procedure(int p, int count) {
    const bool function = Pick(2) == 0;
    Line("// Обрабатывает строки табличной части и считает итоги.");
    Line("// Параметры: Док - документ, Режим - 0 или 1.");
    std::string header = std::string(function ? "Функция " : "Процедура ") + "Подготовить" + std::to_string(p) +
                         "(Знач Док, Режим = 0, Комментарий = \"\")";
    if (Pick(3) == 0) header += " Экспорт";
    Line(header);
    Line("Перем Итог, Строк;", 1);
    const int statements = 6 + Pick(10);
    for (int s = 0; s < statements; ++s) Statement(1, count);
    if (function) Line("Возврат Итог;", 1);
    Line(function ? "КонецФункции" : "КонецПроцедуры");
    Line("");
  }

  void Statement(int depth, int procedures) {
    switch (Pick(depth < 4 ? 12 : 6)) {
      case 0: Line("Итог = Итог + Док.Количество * Док.Цена; // с учетом скидки", depth); break;
      case 1: Line("Подготовить" + std::to_string(Pick(procedures)) + "(Док, Режим);", depth); break;
      case 2: Line("глСообщить(\"Документ \" + Док.НомерДок + \" не проведен\", \"!\");", depth); break;
      case 3:
        Line(std::string("Спр = СоздатьОбъект(\"Справочник.") + Pick(Catalogs) + "\");", depth);
        Line("Спр.ВыбратьЭлементы();", depth);
        break;
      case 4:
        Line(std::string("Если Док.ВидОплаты = Перечисление.ВидыОплат.Наличные Тогда"), depth);
        Line("Итог = Окр(Итог * Константа.КурсДоллара, 2);", depth + 1);
        Line("КонецЕсли;", depth);
        break;
      case 5: Query(depth); break;
      case 6:
        Line("Если Режим = 1 Тогда", depth);
        Statement(depth + 1, procedures);
        Line("ИначеЕсли Режим = 2 Тогда", depth);
        Statement(depth + 1, procedures);
        Line("Иначе", depth);
        Statement(depth + 1, procedures);
        Line("КонецЕсли;", depth);
        break;
      case 7:
        Line("Пока Запрос.Группировка(1) = 1 Цикл", depth);
        Statement(depth + 1, procedures);
        Statement(depth + 1, procedures);
        Line("КонецЦикла;", depth);
        break;
      case 8:
        Line("Для Н = 1 По Док.КоличествоСтрок() Цикл", depth);
        Line("Док.ПолучитьСтрокуПоНомеру(Н);", depth + 1);
        Statement(depth + 1, procedures);
        Line("КонецЦикла;", depth);
        break;
      case 9:
        Line("Попытка", depth);
        Statement(depth + 1, procedures);
        Line("Исключение", depth);
        Line("Сообщить(ОписаниеОшибки(), \"!!!\");", depth + 1);
        Line("КонецПопытки;", depth);
        break;
      case 10: Line("// Строки = Док.КоличествоСтрок(); старый расчет оставлен для сверки", depth); break;
      default: Line("Строк = Макс(Строк, СтрДлина(Комментарий)) + 1;", depth); break;
    }
  }

  void Query(int depth) {
    const std::string document = Pick(Documents);
    Line("Запрос = СоздатьОбъект(\"Запрос\");", depth);
    Line("ТекстЗапроса = \"//{{ЗАПРОС(Сформировать)", depth);
    Line("|Период с ВыбНачПериода по ВыбКонПериода;", depth);
    const int fields = 6 + Pick(20);
    for (int f = 0; f < fields; ++f) {
      const char* attribute = Pick(Attributes);
      Line(std::string("|") + attribute + " = Документ." + document + "." + attribute + ";", depth);
    }
    Line("|Функция СуммаСумма = Сумма(Сумма);", depth);
    Line("|Группировка Товар без групп;", depth);
    Line("|\"//}}ЗАПРОС", depth);
    Line(";", depth);
    Line("Если Запрос.Выполнить(ТекстЗапроса) = 0 Тогда", depth);
    Line("Возврат;", depth + 1);
    Line("КонецЕсли;", depth);
  }
};

struct TCorpus {
  std::vector<std::string> Modules;  // the first is the global module
  size_t Bytes = 0;
  size_t Lines = 0;
};

const TCorpus& Corpus() {
  static const TCorpus corpus = [] {
    TCorpus c;
    std::mt19937 rng(20240131);
    std::string global = "Процедура глСообщить(Текст, Знак = \"\") Экспорт\r\n\tСообщить(Текст, Знак);\r\nКонецПроцедуры\r\n";
    c.Modules.push_back(global);
    c.Lines += 3;
    for (int index = 1; c.Lines < WantedLines; ++index) {
      TModuleWriter writer(rng, index);
      c.Modules.push_back(writer.Module(2 + static_cast<int>(rng() % 8)));
      c.Lines += static_cast<size_t>(writer.Lines());
    }
    for (const std::string& m : c.Modules) c.Bytes += m.size();
    return c;
  }();
  return corpus;
}

TKnownObjects Known() {
  TKnownObjects known;
  // One catalog left out, so that some names are reported.
  for (const char* name : Catalogs)
    if (std::string_view(name) != "Склады") known.Add(TObjectKind::Catalog, name);
  for (const char* name : Documents) known.Add(TObjectKind::Document, name);
  known.Add(TObjectKind::Enum, "ВидыОплат");
  known.Add(TObjectKind::Constant, "КурсДоллара");
  return known;
}

void Rates(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["MB/cpu-s"] =
      benchmark::Counter(static_cast<double>(state.iterations() * bytes) / 1e6, benchmark::Counter::kIsRate);
  state.counters["lines"] = static_cast<double>(Corpus().Lines);
}

// What the tool does for a whole configuration: every module parsed, then every one checked.
void BM_ParseAndCheck(benchmark::State& state) {
  const TCorpus& corpus = Corpus();
  const TKnownObjects known = Known();
  const TObjectExists exists = [&known](TObjectKind kind, std::string_view name) { return known(kind, name); };
  size_t errors = 0, warnings = 0;
  for (auto _ : state) {
    TModuleSet set;
    for (const std::string& text : corpus.Modules) set.Add(std::string(), text);
    set.SetGlobal(0);
    errors = warnings = 0;
    for (int m = 0; m < set.Count(); ++m)
      for (const TDiagnostic& d : set.Check(m, exists)) ++(d.Severity == TSeverity::Error ? errors : warnings);
  }
  Rates(state, corpus.Bytes);
  // Text shaped like real modules has no faults; the warnings are the catalog left out.
  state.counters["errors"] = static_cast<double>(errors);
  state.counters["warnings"] = static_cast<double>(warnings);
}
BENCHMARK(BM_ParseAndCheck)->Unit(benchmark::kMillisecond);

// The tokenizer alone, for comparison.
void BM_Tokens(benchmark::State& state) {
  const TCorpus& corpus = Corpus();
  for (auto _ : state) {
    size_t tokens = 0;
    for (const std::string& text : corpus.Modules) {
      TLexer lexer(text);
      while (lexer.Next().Kind != TTokenKind::End) ++tokens;
    }
    benchmark::DoNotOptimize(tokens);
  }
  Rates(state, corpus.Bytes);
}
BENCHMARK(BM_Tokens)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
