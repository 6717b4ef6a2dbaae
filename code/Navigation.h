// What an editor and the tool ask of a parsed module at a place: the procedure there, the
// token under the cursor, a procedure's comment and its header as one line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "code/Module.h"

namespace kalamos::code {

// The procedure whose lines hold line, or -1.
int EnclosingProcedure(const TModule& module, int line);

// The token under line:column (a column just past a name counts too, as editors place the
// cursor there), or nothing on blanks and outside the text.
struct TTokenAt {
  TToken Token;
  std::string Text;
  int Line = 0, Column = 0;  // of its first character
};
std::optional<TTokenAt> TokenAt(const TModule& module, int line, int column);

// The comment lines just above a procedure (no blank line between), top first, each without
// its "//" and one blank after it.
std::vector<std::string> CommentAbove(const TModule& module, int procedure);

// The procedure's header as one line: "Функция Имя(Знач А, Б = 0) Экспорт".
std::string SignatureText(const TModule& module, int procedure);

}  // namespace kalamos::code
