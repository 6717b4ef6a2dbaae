// The component's functions in module text: where a script holds the component, what it calls,
// and the help an editor shows.
#include "host/tool/lsp/LspComponent.h"

#include <algorithm>
#include <iterator>

#include "code/Letters.h"
#include "methods/Functions.h"

namespace kalamos {

namespace {
// The parameters as the Russian guide names them.
struct TComponentHelp {
  const char* Parameters;   // Russian, as the guide writes the call
  const char* Description;  // the guide's first sentence about it
};
// In method-number order, as methods/Functions.def.
constexpr TComponentHelp ComponentHelp[] = {
    {"Каталог", "читает описание конфигурации из файла `vellum.md` в каталоге базы."},
    {"Объект, ИмяРеквизита", "есть ли у вида объекта реквизит с таким именем."},
    {"Объект, ИмяРеквизита, Значение, Дата", "записывает значение реквизита."},
    {"Объект, ИмяРеквизита, Значение, Дата", "читает значение реквизита."},
    {"Документ, Имя, Тип, Комментарий, Длина, Точность, Объект", "перечисляет реквизиты шапки документа, по одному за вызов."},
    {"Документ, Имя, Тип, Комментарий, Длина, Точность, Объект", "то же для реквизитов табличной части документа."},
    {"Справочник, Имя, Тип, Комментарий, Длина, Точность, Объект",
     "реквизиты справочника, описанные в конфигурации (встроенные `Код`, `Наименование` и т. п. сюда не входят)."},
    {"Регистр, Имя, Тип", "измерения регистра: имя и код типа."},
    {"Регистр, Имя, Тип", "ресурсы регистра: имя и код типа."},
    {"Перечисление, Имя", "имена значений перечисления."},
    {"Вид, Имя", "имена всех объектов конфигурации одного вида."},
    {"Владелец, Имя", "справочники, владельцем которых является данный справочник."},
    {"ВидСубконто",
     "код типа значений вида субконто: 11 — справочник, 10 — перечисление, 12 — документ, 0 — любой другой тип "
     "(число, строка, дата…)."},
    {"ВидСубконто",
     "тип значений вида субконто строкой: `Справочник`, `Перечисление` или `Документ`, а если вид субконто указывает "
     "на конкретный объект — через точку его имя."},
    {"Перечисление", "сколько значений у перечисления (0, если ни одного)."},
    {"Перечисление, Номер", "имя значения с данным номером."},
    {"Перечисление, Значение",
     "внутреннее текстовое представление значения перечисления, составленное из идентификаторов перечисления и значения."},
    {"Номер",
     "начинает заново обход списка одной из перечисляющих функций (раздел 5): следующий её вызов выдаст первый элемент."},
    {"Справочник, Номер", "один из числовых параметров справочника, как они записаны в его описании в конфигурации."},
};
static_assert(std::size(ComponentHelp) == size_t(MethodCount), "one line of help for every function");

}  // namespace

int ComponentFunction(std::string_view name) {
  for (int f = 0; f < MethodCount; ++f)
    if (code::SameName(name, FunctionRows[f].English) || code::SameName(name, FunctionRows[f].Russian)) return f;
  return -1;
}

std::string ComponentCall(int f, bool russian) {
  return std::string(russian ? FunctionRows[f].Russian : FunctionRows[f].English) + "(" + ComponentHelp[f].Parameters + ")";
}

std::string ComponentMarkdown(int f) {
  std::string out = "`";
  out += ComponentCall(f, true);
  out += "` — ";
  out += ComponentHelp[f].Description;
  out += "\n\n";
  out += FunctionRows[f].Russian;
  out += " / ";
  out += FunctionRows[f].English;
  return out;
}

namespace {

// The names the host's scripts create our component under.
bool IsOurProgId(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  return code::SameName(text, "AddIn.Ostrak") || code::SameName(text, "AddIn.kalamos");
}

}  // namespace

bool TComponentUse::IsVariable(std::string_view name) const {
  return std::find(Variables.begin(), Variables.end(), code::Folded(name)) != Variables.end();
}

TComponentUse FindComponentUse(const code::TModule& module) {
  TComponentUse use;
  std::vector<code::TToken> tokens;
  code::TLexer lexer(module.Text);
  for (code::TToken t = lexer.Next(); t.Kind != code::TTokenKind::End; t = lexer.Next())
    if (t.Kind != code::TTokenKind::Comment && t.Kind != code::TTokenKind::Preproc) tokens.push_back(t);
  const std::string_view text = module.Text;
  auto is = [&](size_t i, char c) { return i < tokens.size() && tokens[i].Is(c); };
  // Имя = СоздатьОбъект("AddIn.Ostrak")
  for (size_t i = 0; i + 5 < tokens.size(); ++i) {
    if (tokens[i].Kind != code::TTokenKind::Ident || tokens[i].AfterDot || !is(i + 1, '=')) continue;
    const std::string_view make = tokens[i + 2].Text(text);
    if (tokens[i + 2].Kind != code::TTokenKind::Ident || !(code::SameName(make, "СоздатьОбъект") || code::SameName(make, "CreateObject")))
      continue;
    if (!is(i + 3, '(') || tokens[i + 4].Kind != code::TTokenKind::String || !IsOurProgId(tokens[i + 4].Text(text))) continue;
    const std::string name = code::Folded(tokens[i].Text(text));
    if (std::find(use.Variables.begin(), use.Variables.end(), name) == use.Variables.end()) use.Variables.push_back(name);
  }
  if (use.Variables.empty()) return use;
  // Имя.Функция(...): its arguments counted as the code model counts a call's.
  for (size_t i = 0; i + 3 < tokens.size(); ++i) {
    if (tokens[i].Kind != code::TTokenKind::Ident || tokens[i].AfterDot || !is(i + 1, '.') || !is(i + 3, '(')) continue;
    if (!use.IsVariable(tokens[i].Text(text))) continue;
    const int f = ComponentFunction(tokens[i + 2].Text(text));
    if (f < 0) continue;
    int depth = 0, commas = 0;
    bool any = false;
    size_t j = i + 4;
    for (; j < tokens.size(); ++j) {
      const code::TToken& t = tokens[j];
      if (t.Is('(') || t.Is('[')) ++depth;
      if ((t.Is(')') || t.Is(']')) && depth-- == 0) break;
      if (t.Is(';') || (t.Kind == code::TTokenKind::Keyword && t.Keyword != code::TKeyword::And &&
                        t.Keyword != code::TKeyword::Or && t.Keyword != code::TKeyword::Not))
        break;
      if (depth == 0 && t.Is(',')) ++commas;
      else any = true;
    }
    TComponentCall call;
    call.Function = f;
    call.Line = int(tokens[i + 2].Line);
    call.Column = module.ColumnOf(tokens[i + 2].Offset, call.Line);
    call.Arguments = commas > 0 || any ? commas + 1 : 0;
    use.Calls.push_back(call);
  }
  return use;
}

}  // namespace kalamos
