// One module of the host's script language, parsed: its procedures and functions, module
// variables, call sites, object references and structure faults. Parsing never fails: broken
// text gives faults and whatever could still be understood.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "code/Lexer.h"

namespace kalamos::code {

// Lines and columns count from 1; columns in characters, not bytes.

enum class TSeverity : uint8_t { Error, Warning };

struct TDiagnostic {
  int Line = 0;
  int Column = 0;
  TSeverity Severity = TSeverity::Error;
  std::string Code;     // short and stable: "unclosed-block", "unknown-object", ...
  std::string Message;  // for people, in Russian
  std::string Name;     // what it is about (a procedure, an object as written), or empty
};

struct TParameter {
  std::string Name;
  bool ByValue = false;                // Знач / Val
  std::optional<std::string> Default;  // the default value's text as written
};

struct TProcedure {
  std::string Name;
  std::string Key;  // Name folded to upper case, to compare names by
  bool IsFunction = false;
  bool Exported = false;
  bool Forward = false;  // Далее / Forward: a declaration without a body
  std::vector<TParameter> Parameters;
  int FirstLine = 0;  // of the keyword Процедура / Функция
  int LastLine = 0;   // of its end (a forward declaration: its own line)
  int NameLine = 0, NameColumn = 0;
  bool Ended = false;      // its end was written
  size_t HeaderBegin = 0;  // byte range from the keyword to the header's last token
  size_t HeaderEnd = 0;
};

struct TVariable {
  std::string Name;
  bool Exported = false;
  int Line = 0, Column = 0;
};

struct TCall {
  std::string Name;
  std::string Key;  // Name folded
  int Line = 0, Column = 0;
  int Procedure = -1;  // the enclosing procedure's index, -1 in the module's own statements
  int Arguments = 0;   // Ф() 0, Ф(А) 1, Ф(,) 2
};

// The kinds of configuration objects that module text names.
enum class TObjectKind : uint8_t { Catalog, Document, Enum, Register, Report, Processing, Journal, Constant };
// The kind's usual Russian name ("Справочник"), UTF-8.
std::string_view KindWord(TObjectKind kind);

struct TObjectRef {
  std::string KindAsWritten;  // "справочник", "Перечисление"
  TObjectKind Kind = TObjectKind::Catalog;
  std::string Name;
  std::string Value;  // an enumeration's value when written after its name, else empty
  int Line = 0, Column = 0;  // of the kind's first letter
  bool InString = false;
};

struct TModule {
  std::string Text;  // the module's own copy, which the positions below refer to
  std::vector<size_t> LineStarts;  // byte offset of each line's start; [0] is line 1
  std::vector<TProcedure> Procedures;  // in text order; they never overlap
  std::vector<TVariable> Variables;    // module variables (Перем outside procedures)
  std::vector<TCall> Calls;
  std::vector<TObjectRef> Objects;
  std::vector<TDiagnostic> Faults;     // structure faults, errors all, in text order
  std::vector<std::pair<size_t, size_t>> LongStrings;  // byte ranges of strings over several lines

  int LineCount() const { return static_cast<int>(LineStarts.size()); }
  // The byte offset where a line's text begins.
  size_t LineBegin(int line) const;
  // The line (from 1) holding the byte at offset, and the column of that byte.
  int LineOf(size_t offset) const;
  int ColumnOf(size_t offset, int line) const;
  // The text of a line, without its line end.
  std::string_view LineText(int line) const;
};

TModule ParseModule(std::string_view text);

}  // namespace kalamos::code
