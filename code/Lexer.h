// The tokens of a module's text. Every byte belongs to some token or to the blanks between
// them, so any text, however broken, gives tokens up to its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kalamos::code {

enum class TTokenKind : uint8_t {
  End,         // past the text
  Ident,       // a name (a keyword's spelling after a '.' too: there it names a property)
  Keyword,
  Number,
  String,      // "..." with its quotes, over several lines when continued by '|'
  Date,        // '...'
  Label,       // ~Name
  Comment,     // from // to the end of the line
  Preproc,     // a line starting with #
  Punct,       // one character: ( ) [ ] , ; . = < > + - * / % ? : and the like
  Other,       // a character the language does not use
};

// The language's keywords, Russian and English alike.
enum class TKeyword : uint8_t {
  None,
  Procedure, Function, EndProcedure, EndFunction, Export, Forward, Val, Var,
  If, Then, ElsIf, Else, EndIf, While, For, To, Do, EndDo,
  Try, Except, EndTry, Return, Continue, Break, Goto, And, Or, Not,
};

struct TToken {
  TTokenKind Kind = TTokenKind::End;
  TKeyword Keyword = TKeyword::None;
  bool AfterDot = false;      // the previous token (comments aside) is '.'
  bool Unterminated = false;  // a string or date whose closing quote is missing
  char Punct = 0;             // the character of a Punct token
  uint32_t Line = 1;          // of the first byte, from 1
  uint32_t LastLine = 1;      // of the last byte: a string may run over several lines
  size_t Offset = 0;          // in bytes
  size_t Length = 0;
  // The token's text in the text it was read from.
  std::string_view Text(std::string_view source) const { return source.substr(Offset, Length); }
  // Whether it is the punctuation character punct.
  bool Is(char punct) const { return Kind == TTokenKind::Punct && Punct == punct; }
};

// The keyword spelled by an identifier's bytes, any letter case; None when it is none.
TKeyword KeywordOf(std::string_view ident);

class TLexer {
 public:
  // Starts at offset, which is on line `line`; at a line's start when it is 0 or follows '\n'.
  explicit TLexer(std::string_view text, size_t offset = 0, uint32_t line = 1);
  // The next token, comments included; End (again and again) past the text.
  TToken Next();

 private:
  std::string_view Text_;
  size_t At_;
  uint32_t Line_;
  bool LineStart_;  // only blanks since the line began: '#' starts a preprocessor line
  bool AfterDot_ = false;
};

}  // namespace kalamos::code
