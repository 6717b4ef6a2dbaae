#include "code/Module.h"

#include <algorithm>
#include <cstring>

#include "code/Letters.h"

namespace kalamos::code {

namespace {

struct TKindRow {
  std::string_view Folded;
  TObjectKind Kind;
};
// The kinds that strings name as Вид.Имя.
constexpr TKindRow StringKinds[] = {
    {"СПРАВОЧНИК", TObjectKind::Catalog},   {"ДОКУМЕНТ", TObjectKind::Document},
    {"ПЕРЕЧИСЛЕНИЕ", TObjectKind::Enum},    {"РЕГИСТР", TObjectKind::Register},
    {"ОТЧЕТ", TObjectKind::Report},         {"ОБРАБОТКА", TObjectKind::Processing},
    {"ЖУРНАЛДОКУМЕНТОВ", TObjectKind::Journal},
};
constexpr std::string_view EnumWord = "ПЕРЕЧИСЛЕНИЕ";
constexpr std::string_view ConstantWord = "КОНСТАНТА";
constexpr size_t LongestKind = 32;  // ЖУРНАЛДОКУМЕНТОВ, in bytes

bool IsFoldedWord(std::string_view word, std::string_view folded) {
  if (word.size() != folded.size() || word.size() > LongestKind) return false;
  char buffer[LongestKind];
  FoldBytes(word.data(), word.size(), buffer);
  return std::string_view(buffer, word.size()) == folded;
}

// The identifier characters of text from at on.
size_t IdentRun(std::string_view text, size_t at) {
  const size_t begin = at;
  while (at < text.size()) {
    const size_t n = IdentCharAt(text, at);
    if (!n) break;
    at += n;
  }
  return at - begin;
}

enum class TBlock : uint8_t { If, Loop, Try };

struct TOpenBlock {
  TBlock Kind;
  bool InExcept;  // a Попытка past its Исключение
  int Line, Column;
};

std::string_view Opener(TBlock kind) {
  switch (kind) {
    case TBlock::If: return "Если";
    case TBlock::Loop: return "Цикл";
    case TBlock::Try: return "Попытка";
  }
  return {};
}
std::string_view Closer(TBlock kind) {
  switch (kind) {
    case TBlock::If: return "КонецЕсли";
    case TBlock::Loop: return "КонецЦикла";
    case TBlock::Try: return "КонецПопытки";
  }
  return {};
}
std::string Unclosed(TBlock kind) {
  return "Блок " + std::string(Opener(kind)) + " не закрыт: нет " + std::string(Closer(kind));
}

// An open bracket; Call is the call it holds the arguments of, or -1.
struct TFrame {
  int Call;
  char Close;
  int Commas;
  bool Any;
};

class TParser {
 public:
  explicit TParser(TModule& module) : M(module), Lex(module.Text) {}
  void Run();

 private:
  TModule& M;
  TLexer Lex;
  static constexpr size_t Lookahead = 8;
  TToken Ring[Lookahead];
  size_t Head = 0, Count = 0;
  TToken Last;  // the last significant token taken
  TToken Prev;  // the one before it
  int Cur = -1;  // the procedure being read
  std::vector<TOpenBlock> Blocks;
  std::vector<TFrame> Frames;
  bool LoopHeader = false;  // Пока / Для seen, its Цикл not yet
  int LoopLine = 0, LoopColumn = 0;

  // Columns are counted on from the last one asked for: a line's start is not gone back to
  // for every name on a long line.
  int CacheLine = 0, CacheColumn = 1;
  size_t CacheOffset = 0;
  int ColumnAt(size_t offset, int line) {
    if (line < 1 || line > M.LineCount() || offset < M.LineBegin(line)) return 1;
    const std::string_view text = M.Text;
    if (line != CacheLine) {
      CacheLine = line;
      CacheOffset = M.LineBegin(line);
      CacheColumn = 1;
    }
    if (offset >= CacheOffset) {
      CacheColumn += static_cast<int>(CharCount(text.substr(CacheOffset, offset - CacheOffset)));
    } else {
      CacheColumn -= static_cast<int>(CharCount(text.substr(offset, CacheOffset - offset)));
    }
    CacheOffset = offset;
    return CacheColumn;
  }
  int Column(const TToken& t) { return ColumnAt(t.Offset, static_cast<int>(t.Line)); }
  std::string_view TextOf(const TToken& t) const { return t.Text(M.Text); }

  const TToken& Peek(size_t k = 0);
  TToken Take();
  void Fetch(TToken& t);
  void Fault(int line, int column, std::string code, std::string message, std::string name = {});
  void Fault(const TToken& t, std::string code, std::string message, std::string name = {}) {
    Fault(static_cast<int>(t.Line), Column(t), std::move(code), std::move(message), std::move(name));
  }

  void ScanString(const TToken& t);
  void OnKeyword(const TToken& t);
  void OnIdent(const TToken& t);
  void OnPunct(const TToken& t);
  void MarkArgument() {
    if (!Frames.empty()) Frames.back().Any = true;
  }
  void CloseFrame() {
    const TFrame& f = Frames.back();
    if (f.Call >= 0) M.Calls[f.Call].Arguments = (f.Commas > 0 || f.Any) ? f.Commas + 1 : 0;
    Frames.pop_back();
  }
  void CloseFrames() {
    while (!Frames.empty()) CloseFrame();
  }
  void Open(TBlock kind, int line, int column) { Blocks.push_back({kind, false, line, column}); }
  void Close(TBlock kind, const TToken& t);
  void DropBlocks();
  void Declaration(const TToken& t);
  void ModuleVariables();
  void EndProcedure(int lastLine);
};

const TToken& TParser::Peek(size_t k) {
  while (Count <= k) {
    TToken& t = Ring[(Head + Count) % Lookahead];
    Fetch(t);
    ++Count;
  }
  return Ring[(Head + k) % Lookahead];
}

TToken TParser::Take() {
  Peek(0);
  TToken t = Ring[Head];
  Head = (Head + 1) % Lookahead;
  --Count;
  if (t.Kind != TTokenKind::End) {
    Prev = Last;
    Last = t;
  }
  return t;
}

// The next significant token; comments and preprocessor lines are skipped, strings looked
// into on the way.
void TParser::Fetch(TToken& t) {
  for (;;) {
    t = Lex.Next();
    if (t.Kind == TTokenKind::Comment || t.Kind == TTokenKind::Preproc) continue;
    if (t.Kind == TTokenKind::String) {
      if (t.LastLine != t.Line) M.LongStrings.emplace_back(t.Offset, t.Offset + t.Length);
      if (t.Unterminated) Fault(t, "unterminated-string", "Строка не закрыта кавычкой");
      ScanString(t);
    } else if (t.Kind == TTokenKind::Date && t.Unterminated) {
      Fault(t, "unterminated-date", "Дата не закрыта апострофом");
    }
    return;
  }
}

void TParser::Fault(int line, int column, std::string code, std::string message, std::string name) {
  M.Faults.push_back({line, column, TSeverity::Error, std::move(code), std::move(message), std::move(name)});
}

// Вид.Имя inside a string (query texts name objects so): the kind a whole word, not after a
// letter, digit, '_' or '.'.
void TParser::ScanString(const TToken& t) {
  const std::string_view s = TextOf(t);
  for (size_t begin = 0; begin < s.size();) {
    size_t end = s.find('\n', begin);
    if (end == std::string_view::npos) end = s.size();
    // A comment line between a string's lines names nothing.
    const size_t first = s.find_first_not_of(" \t", begin);
    if (begin > 0 && first != std::string_view::npos && first + 1 < end && s[first] == '/' && s[first + 1] == '/') {
      begin = end + 1;
      continue;
    }
    for (size_t dot = s.find('.', begin + 1); dot < end; dot = s.find('.', dot + 1)) {
      size_t b = dot;
      while (b > 1) {
        const unsigned char p = static_cast<unsigned char>(s[b - 1]);
        if (p < 0x80 && IdentCharAt(s, b - 1)) {
          --b;
        } else if (b > 2 && (p & 0xC0) == 0x80 && IdentCharAt(s, b - 2) == 2) {
          b -= 2;
        } else {
          break;
        }
      }
      const std::string_view word = s.substr(b, dot - b);
      if (word.size() < 10 || word.size() > LongestKind || s[b - 1] == '.') continue;
      const TKindRow* kind = nullptr;
      for (const TKindRow& row : StringKinds)
        if (IsFoldedWord(word, row.Folded)) kind = &row;
      if (!kind) continue;
      const size_t nameLength = IdentRun(s, dot + 1);
      if (!nameLength) continue;
      TObjectRef ref;
      ref.KindAsWritten = std::string(word);
      ref.Kind = kind->Kind;
      ref.Name = std::string(s.substr(dot + 1, nameLength));
      const size_t after = dot + 1 + nameLength;
      if (ref.Kind == TObjectKind::Enum && after < s.size() && s[after] == '.')
        ref.Value = std::string(s.substr(after + 1, IdentRun(s, after + 1)));
      const size_t offset = t.Offset + b;
      ref.Line = M.LineOf(offset);
      ref.Column = ColumnAt(offset, ref.Line);
      ref.InString = true;
      M.Objects.push_back(std::move(ref));
    }
    begin = end + 1;
  }
}

void TParser::Run() {
  for (;;) {
    const TToken t = Take();
    switch (t.Kind) {
      case TTokenKind::End: {
        CloseFrames();
        if (Cur >= 0) {
          const TProcedure& p = M.Procedures[Cur];
          Fault(p.FirstLine, ColumnAt(p.HeaderBegin, p.FirstLine), "missing-end",
                std::string(p.IsFunction ? "Нет КонецФункции у функции " : "Нет КонецПроцедуры у процедуры ") + p.Name,
                p.Name);
          EndProcedure(static_cast<int>(Last.LastLine));
        }
        DropBlocks();
        std::stable_sort(M.Faults.begin(), M.Faults.end(), [](const TDiagnostic& a, const TDiagnostic& b) {
          return a.Line != b.Line ? a.Line < b.Line : a.Column < b.Column;
        });
        // Strings met while looking ahead were looked into before the names in front of them.
        std::stable_sort(M.Objects.begin(), M.Objects.end(), [](const TObjectRef& a, const TObjectRef& b) {
          return a.Line != b.Line ? a.Line < b.Line : a.Column < b.Column;
        });
        return;
      }
      case TTokenKind::Keyword: OnKeyword(t); break;
      case TTokenKind::Ident: OnIdent(t); break;
      case TTokenKind::Punct: OnPunct(t); break;
      default: MarkArgument(); break;
    }
  }
}

void TParser::OnKeyword(const TToken& t) {
  if (t.Keyword == TKeyword::And || t.Keyword == TKeyword::Or || t.Keyword == TKeyword::Not) {
    MarkArgument();
    return;
  }
  // Any other keyword starts or ends a statement: brackets still open were never closed.
  CloseFrames();
  switch (t.Keyword) {
    case TKeyword::Procedure:
    case TKeyword::Function: Declaration(t); break;
    case TKeyword::EndProcedure:
    case TKeyword::EndFunction: {
      const bool function = t.Keyword == TKeyword::EndFunction;
      if (Cur < 0) {
        Fault(t, "unexpected-end",
              std::string(TextOf(t)) + (function ? " без начала функции" : " без начала процедуры"));
        break;
      }
      const TProcedure& p = M.Procedures[Cur];
      if (p.IsFunction != function)
        Fault(t, "unexpected-end",
              std::string(p.IsFunction ? "Функция " : "Процедура ") + p.Name + " закрыта словом " + std::string(TextOf(t)),
              p.Name);
      DropBlocks();
      M.Procedures[Cur].Ended = true;
      EndProcedure(static_cast<int>(t.Line));
      break;
    }
    case TKeyword::Var:
      if (Cur < 0) ModuleVariables();
      break;
    case TKeyword::If: Open(TBlock::If, static_cast<int>(t.Line), Column(t)); break;
    case TKeyword::ElsIf:
    case TKeyword::Else:
      if (Blocks.empty() || Blocks.back().Kind != TBlock::If)
        Fault(t, "unexpected-end", std::string(TextOf(t)) + " вне блока Если");
      break;
    case TKeyword::EndIf: Close(TBlock::If, t); break;
    case TKeyword::While:
    case TKeyword::For:
      LoopHeader = true;
      LoopLine = static_cast<int>(t.Line);
      LoopColumn = Column(t);
      break;
    case TKeyword::Do:
      if (LoopHeader) {
        Open(TBlock::Loop, LoopLine, LoopColumn);
      } else {
        Open(TBlock::Loop, static_cast<int>(t.Line), Column(t));
      }
      LoopHeader = false;
      break;
    case TKeyword::EndDo: Close(TBlock::Loop, t); break;
    case TKeyword::Try: Open(TBlock::Try, static_cast<int>(t.Line), Column(t)); break;
    case TKeyword::Except:
      if (Blocks.empty() || Blocks.back().Kind != TBlock::Try || Blocks.back().InExcept) {
        Fault(t, "unexpected-end", std::string(TextOf(t)) + " вне блока Попытка");
      } else {
        Blocks.back().InExcept = true;
      }
      break;
    case TKeyword::EndTry: Close(TBlock::Try, t); break;
    default: break;
  }
}

void TParser::Close(TBlock kind, const TToken& t) {
  size_t at = Blocks.size();
  while (at > 0 && Blocks[at - 1].Kind != kind) --at;
  if (at == 0) {
    Fault(t, "unexpected-end", std::string(TextOf(t)) + " без открытого блока " + std::string(Opener(kind)));
    return;
  }
  // Blocks opened inside the one closed here were left open.
  while (Blocks.size() > at) {
    const TOpenBlock& b = Blocks.back();
    Fault(b.Line, b.Column, "unclosed-block", Unclosed(b.Kind));
    Blocks.pop_back();
  }
  Blocks.pop_back();
}

void TParser::DropBlocks() {
  for (const TOpenBlock& b : Blocks)
    Fault(b.Line, b.Column, "unclosed-block", Unclosed(b.Kind));
  Blocks.clear();
  LoopHeader = false;
}

void TParser::EndProcedure(int lastLine) {
  TProcedure& p = M.Procedures[Cur];
  p.LastLine = std::max(lastLine, p.FirstLine);
  Cur = -1;
}

void TParser::Declaration(const TToken& t) {
  if (Cur >= 0) {
    const std::string outer = M.Procedures[Cur].Name;
    Fault(t, "nested-procedure", "Объявление внутри процедуры " + outer + ", у которой нет конца", outer);
    DropBlocks();
    EndProcedure(static_cast<int>(Prev.LastLine));
  } else {
    DropBlocks();
  }
  TProcedure p;
  p.IsFunction = t.Keyword == TKeyword::Function;
  p.FirstLine = static_cast<int>(t.Line);
  p.HeaderBegin = t.Offset;
  p.NameLine = p.FirstLine;
  p.NameColumn = Column(t);
  if (Peek().Kind == TTokenKind::Ident) {
    const TToken name = Take();
    p.Name = std::string(TextOf(name));
    p.NameLine = static_cast<int>(name.Line);
    p.NameColumn = Column(name);
  } else {
    Fault(t, "bad-declaration", "Нет имени после слова " + std::string(TextOf(t)));
  }
  p.Key = Folded(p.Name);
  if (Peek().Is('(')) {
    Take();
    for (;;) {
      const TToken& next = Peek();
      if (next.Is(')')) {
        Take();
        break;
      }
      if (next.Kind == TTokenKind::End || next.Is(';') ||
          (next.Kind == TTokenKind::Keyword && next.Keyword != TKeyword::Val)) {
        Fault(Last, "bad-declaration", "Список параметров " + p.Name + " не закрыт скобкой", p.Name);
        break;
      }
      const size_t before = Last.Offset;
      TParameter param;
      if (Peek().Keyword == TKeyword::Val && Peek().Kind == TTokenKind::Keyword) {
        Take();
        param.ByValue = true;
      }
      if (Peek().Kind == TTokenKind::Ident) param.Name = std::string(TextOf(Take()));
      if (Peek().Is('=')) {
        Take();
        size_t begin = std::string_view::npos, end = 0;
        int depth = 0;
        for (;;) {
          const TToken& v = Peek();
          if (v.Kind == TTokenKind::End || v.Is(';') ||
              (v.Kind == TTokenKind::Keyword && v.Keyword != TKeyword::Not))
            break;
          if (depth == 0 && (v.Is(',') || v.Is(')'))) break;
          if (v.Is('(')) ++depth;
          if (v.Is(')')) --depth;
          if (begin == std::string_view::npos) begin = v.Offset;
          end = v.Offset + v.Length;
          Take();
        }
        param.Default = begin == std::string_view::npos ? std::string() : M.Text.substr(begin, end - begin);
      }
      if (!param.Name.empty()) p.Parameters.push_back(std::move(param));
      if (Peek().Is(',')) {
        Take();
      } else if (!Peek().Is(')') && Last.Offset == before) {
        Take();  // something no parameter list holds: step over it
      }
    }
  } else {
    Fault(t, "bad-declaration", "Нет списка параметров у " + p.Name, p.Name);
  }
  for (;;) {
    const TToken& next = Peek();
    if (next.Kind != TTokenKind::Keyword) break;
    if (next.Keyword == TKeyword::Export) {
      p.Exported = true;
    } else if (next.Keyword == TKeyword::Forward) {
      p.Forward = true;
    } else {
      break;
    }
    Take();
  }
  p.HeaderEnd = std::max(Last.Offset + Last.Length, p.HeaderBegin);
  if (p.Forward) {
    p.LastLine = static_cast<int>(Last.LastLine);
    p.Ended = true;
    M.Procedures.push_back(std::move(p));
    if (Peek().Is(';')) Take();
    return;
  }
  M.Procedures.push_back(std::move(p));
  Cur = static_cast<int>(M.Procedures.size()) - 1;
}

void TParser::ModuleVariables() {
  for (;;) {
    if (Peek().Kind != TTokenKind::Ident) return;
    const TToken name = Take();
    TVariable v;
    v.Name = std::string(TextOf(name));
    v.Line = static_cast<int>(name.Line);
    v.Column = Column(name);
    if (Peek().Is('[')) {
      // Перем Массив[10]: the size is no concern here.
      while (Peek().Kind != TTokenKind::End && !Peek().Is(']') && !Peek().Is(';') &&
             Peek().Kind != TTokenKind::Keyword)
        Take();
      if (Peek().Is(']')) Take();
    }
    if (Peek().Kind == TTokenKind::Keyword && Peek().Keyword == TKeyword::Export) {
      Take();
      v.Exported = true;
    }
    M.Variables.push_back(std::move(v));
    if (!Peek().Is(',')) return;
    Take();
  }
}

void TParser::OnIdent(const TToken& t) {
  MarkArgument();
  if (t.AfterDot) return;
  const TToken& next = Peek();
  if (next.Is('(')) {
    TCall call;
    call.Name = std::string(TextOf(t));
    call.Key = Folded(call.Name);
    call.Line = static_cast<int>(t.Line);
    call.Column = Column(t);
    call.Procedure = Cur;
    M.Calls.push_back(std::move(call));
    Take();
    Frames.push_back({static_cast<int>(M.Calls.size()) - 1, ')', 0, false});
    return;
  }
  if (!next.Is('.') || (t.Length != EnumWord.size() && t.Length != ConstantWord.size())) return;
  const std::string_view word = TextOf(t);
  const bool isEnum = IsFoldedWord(word, EnumWord);
  if (!isEnum && !IsFoldedWord(word, ConstantWord)) return;
  const TToken& name = Peek(1);
  if (name.Kind != TTokenKind::Ident) return;
  TObjectRef ref;
  ref.KindAsWritten = std::string(word);
  ref.Kind = isEnum ? TObjectKind::Enum : TObjectKind::Constant;
  ref.Name = std::string(TextOf(name));
  if (isEnum && Peek(2).Is('.') && Peek(3).Kind == TTokenKind::Ident) ref.Value = std::string(TextOf(Peek(3)));
  ref.Line = static_cast<int>(t.Line);
  ref.Column = Column(t);
  M.Objects.push_back(std::move(ref));
}

void TParser::OnPunct(const TToken& t) {
  switch (t.Punct) {
    case '(':
    case '[':
      MarkArgument();
      Frames.push_back({-1, t.Punct == '(' ? ')' : ']', 0, false});
      break;
    case ')':
    case ']': {
      size_t at = Frames.size();
      while (at > 0 && Frames[at - 1].Close != t.Punct) --at;
      if (at == 0) break;  // a stray bracket
      while (Frames.size() >= at) CloseFrame();
      break;
    }
    case ',':
      if (!Frames.empty()) ++Frames.back().Commas;
      break;
    case ';': CloseFrames(); break;
    default: MarkArgument(); break;
  }
}

}  // namespace

std::string_view KindWord(TObjectKind kind) {
  switch (kind) {
    case TObjectKind::Catalog: return "Справочник";
    case TObjectKind::Document: return "Документ";
    case TObjectKind::Enum: return "Перечисление";
    case TObjectKind::Register: return "Регистр";
    case TObjectKind::Report: return "Отчет";
    case TObjectKind::Processing: return "Обработка";
    case TObjectKind::Journal: return "ЖурналДокументов";
    case TObjectKind::Constant: return "Константа";
  }
  return {};
}

int TModule::LineOf(size_t offset) const {
  const auto it = std::upper_bound(LineStarts.begin(), LineStarts.end(), offset);
  return std::max(1, static_cast<int>(it - LineStarts.begin()));
}

size_t TModule::LineBegin(int line) const {
  if (line < 1 || line > LineCount()) return Text.size();
  // A byte-order mark is no part of the first line.
  if (line == 1 && std::string_view(Text).substr(0, 3) == "\xEF\xBB\xBF") return 3;
  return LineStarts[line - 1];
}

int TModule::ColumnOf(size_t offset, int line) const {
  const size_t start = LineBegin(line);
  if (offset <= start || offset > Text.size()) return 1;
  return static_cast<int>(CharCount(std::string_view(Text).substr(start, offset - start))) + 1;
}

std::string_view TModule::LineText(int line) const {
  if (line < 1 || line > LineCount()) return {};
  const size_t start = LineBegin(line);
  size_t end = line < LineCount() ? LineStarts[line] - 1 : Text.size();
  if (end > start && Text[end - 1] == '\r') --end;
  return std::string_view(Text).substr(start, end >= start ? end - start : 0);
}

TModule ParseModule(std::string_view text) {
  TModule m;
  m.Text = std::string(text);
  m.LineStarts.push_back(0);
  for (const char* p = m.Text.data(), *end = p + m.Text.size(); p < end;) {
    const void* lf = std::memchr(p, '\n', static_cast<size_t>(end - p));
    if (!lf) break;
    p = static_cast<const char*>(lf) + 1;
    m.LineStarts.push_back(static_cast<size_t>(p - m.Text.data()));
  }
  TParser(m).Run();
  return m;
}

}  // namespace kalamos::code
