#include "code/Lexer.h"

#include <cstring>
#include <string>
#include <vector>

#include "code/Letters.h"

namespace kalamos::code {

namespace {

struct TKeywordRow {
  std::string_view Folded;
  TKeyword Keyword;
};

constexpr TKeywordRow KeywordRows[] = {
    {"ПРОЦЕДУРА", TKeyword::Procedure},        {"PROCEDURE", TKeyword::Procedure},
    {"ФУНКЦИЯ", TKeyword::Function},           {"FUNCTION", TKeyword::Function},
    {"КОНЕЦПРОЦЕДУРЫ", TKeyword::EndProcedure}, {"ENDPROCEDURE", TKeyword::EndProcedure},
    {"КОНЕЦФУНКЦИИ", TKeyword::EndFunction},   {"ENDFUNCTION", TKeyword::EndFunction},
    {"ЭКСПОРТ", TKeyword::Export},             {"EXPORT", TKeyword::Export},
    {"ДАЛЕЕ", TKeyword::Forward},              {"FORWARD", TKeyword::Forward},
    {"ЗНАЧ", TKeyword::Val},                   {"VAL", TKeyword::Val},
    {"ПЕРЕМ", TKeyword::Var},                  {"VAR", TKeyword::Var},
    {"ЕСЛИ", TKeyword::If},                    {"IF", TKeyword::If},
    {"ТОГДА", TKeyword::Then},                 {"THEN", TKeyword::Then},
    {"ИНАЧЕЕСЛИ", TKeyword::ElsIf},            {"ELSIF", TKeyword::ElsIf},
    {"ИНАЧЕ", TKeyword::Else},                 {"ELSE", TKeyword::Else},
    {"КОНЕЦЕСЛИ", TKeyword::EndIf},            {"ENDIF", TKeyword::EndIf},
    {"ПОКА", TKeyword::While},                 {"WHILE", TKeyword::While},
    {"ДЛЯ", TKeyword::For},                    {"FOR", TKeyword::For},
    {"ПО", TKeyword::To},                      {"TO", TKeyword::To},
    {"ЦИКЛ", TKeyword::Do},                    {"DO", TKeyword::Do},
    {"КОНЕЦЦИКЛА", TKeyword::EndDo},           {"ENDDO", TKeyword::EndDo},
    {"ПОПЫТКА", TKeyword::Try},                {"TRY", TKeyword::Try},
    {"ИСКЛЮЧЕНИЕ", TKeyword::Except},          {"EXCEPT", TKeyword::Except},
    {"КОНЕЦПОПЫТКИ", TKeyword::EndTry},        {"ENDTRY", TKeyword::EndTry},
    {"ВОЗВРАТ", TKeyword::Return},             {"RETURN", TKeyword::Return},
    {"ПРОДОЛЖИТЬ", TKeyword::Continue},        {"CONTINUE", TKeyword::Continue},
    {"ПРЕРВАТЬ", TKeyword::Break},             {"BREAK", TKeyword::Break},
    {"ПЕРЕЙТИ", TKeyword::Goto},               {"GOTO", TKeyword::Goto},
    {"И", TKeyword::And},                      {"AND", TKeyword::And},
    {"ИЛИ", TKeyword::Or},                     {"OR", TKeyword::Or},
    {"НЕ", TKeyword::Not},                     {"NOT", TKeyword::Not},
};

constexpr size_t LongestKeyword = 28;  // КОНЕЦПРОЦЕДУРЫ, in bytes

// The rows by the length of their spelling: most identifiers are ruled out by length alone.
struct TKeywordIndex {
  std::vector<TKeywordRow> ByLength[LongestKeyword + 1];
  TKeywordIndex() {
    for (const TKeywordRow& row : KeywordRows) ByLength[row.Folded.size()].push_back(row);
  }
};

const TKeywordIndex& Keywords() {
  static const TKeywordIndex index;
  return index;
}

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

TKeyword KeywordOf(std::string_view ident) {
  if (ident.empty() || ident.size() > LongestKeyword) return TKeyword::None;
  const std::vector<TKeywordRow>& rows = Keywords().ByLength[ident.size()];
  if (rows.empty()) return TKeyword::None;
  char buffer[LongestKeyword];
  FoldBytes(ident.data(), ident.size(), buffer);
  const std::string_view folded(buffer, ident.size());
  for (const TKeywordRow& row : rows)
    if (row.Folded == folded) return row.Keyword;
  return TKeyword::None;
}

TLexer::TLexer(std::string_view text, size_t offset, uint32_t line)
    : Text_(text), At_(offset < text.size() ? offset : text.size()), Line_(line),
      LineStart_(At_ == 0 || text[At_ - 1] == '\n') {
  // A byte-order mark is no part of the text.
  if (At_ == 0 && Text_.substr(0, 3) == "\xEF\xBB\xBF") At_ = 3;
}

TToken TLexer::Next() {
  const std::string_view s = Text_;
  const size_t size = s.size();
  while (At_ < size) {
    const char c = s[At_];
    if (c == '\n') {
      ++Line_;
      LineStart_ = true;
    } else if (!IsBlank(c)) {
      break;
    }
    ++At_;
  }
  TToken token;
  token.Offset = At_;
  token.Line = token.LastLine = Line_;
  token.AfterDot = AfterDot_;
  if (At_ >= size) return token;

  const bool lineStart = LineStart_;
  LineStart_ = false;
  const size_t begin = At_;
  const unsigned char c = static_cast<unsigned char>(s[At_]);
  bool significant = true;

  if (c == '/' && At_ + 1 < size && s[At_ + 1] == '/') {
    const void* end = std::memchr(s.data() + At_, '\n', size - At_);
    At_ = end ? static_cast<size_t>(static_cast<const char*>(end) - s.data()) : size;
    token.Kind = TTokenKind::Comment;
    significant = false;
  } else if (c == '#' && lineStart) {
    const void* end = std::memchr(s.data() + At_, '\n', size - At_);
    At_ = end ? static_cast<size_t>(static_cast<const char*>(end) - s.data()) : size;
    token.Kind = TTokenKind::Preproc;
    significant = false;
  } else if (c == '"') {
    token.Kind = TTokenKind::String;
    size_t i = At_ + 1;
    for (;;) {
      while (i < size && s[i] != '"' && s[i] != '\n') ++i;
      if (i >= size) {
        token.Unterminated = true;
        At_ = size;
        break;
      }
      if (s[i] == '"') {
        if (i + 1 < size && s[i + 1] == '"') {
          i += 2;
          continue;
        }
        At_ = i + 1;
        break;
      }
      // A line end inside the string: the string goes on if the next line starts with '|'.
      // Whole comment lines may stand between (a query's lines commented out).
      size_t j = i + 1;
      uint32_t lines = 1;
      for (;;) {
        while (j < size && (s[j] == ' ' || s[j] == '\t')) ++j;
        if (j + 1 >= size || s[j] != '/' || s[j + 1] != '/') break;
        const void* end = std::memchr(s.data() + j, '\n', size - j);
        if (!end) break;
        j = static_cast<size_t>(static_cast<const char*>(end) - s.data()) + 1;
        ++lines;
      }
      if (j < size && s[j] == '|') {
        Line_ += lines;
        i = j + 1;
        continue;
      }
      token.Unterminated = true;
      At_ = (i > At_ + 1 && s[i - 1] == '\r') ? i - 1 : i;
      break;
    }
  } else if (c == '\'') {
    token.Kind = TTokenKind::Date;
    size_t i = At_ + 1;
    while (i < size && s[i] != '\'' && s[i] != '\n') ++i;
    if (i < size && s[i] == '\'') {
      At_ = i + 1;
    } else {
      token.Unterminated = true;
      At_ = (i > At_ + 1 && i < size && s[i - 1] == '\r') ? i - 1 : i;
    }
  } else if (c == '~' && At_ + 1 < size && IdentCharAt(s, At_ + 1)) {
    token.Kind = TTokenKind::Label;
    ++At_;
    while (At_ < size) {
      const size_t n = IdentCharAt(s, At_);
      if (!n) break;
      At_ += n;
    }
  } else if (c >= '0' && c <= '9') {
    token.Kind = TTokenKind::Number;
    while (At_ < size && s[At_] >= '0' && s[At_] <= '9') ++At_;
    if (At_ + 1 < size && s[At_] == '.' && s[At_ + 1] >= '0' && s[At_ + 1] <= '9') {
      ++At_;
      while (At_ < size && s[At_] >= '0' && s[At_] <= '9') ++At_;
    }
    // Letters glued to a number are part of the same (bad) token.
    while (At_ < size) {
      const size_t n = IdentCharAt(s, At_);
      if (!n) break;
      At_ += n;
    }
  } else if (const size_t first = IdentCharAt(s, At_)) {
    token.Kind = TTokenKind::Ident;
    At_ += first;
    while (At_ < size) {
      const size_t n = IdentCharAt(s, At_);
      if (!n) break;
      At_ += n;
    }
    if (!AfterDot_) {
      token.Keyword = KeywordOf(s.substr(begin, At_ - begin));
      if (token.Keyword != TKeyword::None) token.Kind = TTokenKind::Keyword;
    }
  } else if (c < 0x80) {
    token.Kind = TTokenKind::Punct;
    token.Punct = char(c);
    ++At_;
  } else {
    // One UTF-8 sequence (or one stray byte).
    token.Kind = TTokenKind::Other;
    ++At_;
    if (c >= 0xC0)
      for (int k = 0; k < 3 && At_ < size && (static_cast<unsigned char>(s[At_]) & 0xC0) == 0x80; ++k) ++At_;
  }
  token.Length = At_ - begin;
  token.LastLine = Line_;
  if (significant) AfterDot_ = token.Is('.');
  return token;
}

}  // namespace kalamos::code
