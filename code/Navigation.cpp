#include "code/Navigation.h"

#include <algorithm>

namespace kalamos::code {

int EnclosingProcedure(const TModule& module, int line) {
  const auto& list = module.Procedures;
  auto it = std::upper_bound(list.begin(), list.end(), line,
                             [](int l, const TProcedure& p) { return l < p.FirstLine; });
  while (it != list.begin()) {
    --it;
    if (it->LastLine >= line) return static_cast<int>(it - list.begin());
    // Procedures never overlap, but several may share a first line.
    if (it->FirstLine < line) break;
  }
  return -1;
}

namespace {

bool NameLike(const TToken& t) {
  return t.Kind == TTokenKind::Ident || t.Kind == TTokenKind::Keyword || t.Kind == TTokenKind::Label;
}

}  // namespace

std::optional<TTokenAt> TokenAt(const TModule& module, int line, int column) {
  if (line < 1 || line > module.LineCount() || column < 1) return std::nullopt;
  const std::string_view text = module.Text;
  const std::string_view lineText = module.LineText(line);
  // The byte under the column; just past the line's end at most. Columns count characters'
  // first bytes (as ColumnOf does), so stray continuation bytes are stepped over.
  size_t target = static_cast<size_t>(lineText.data() - text.data());
  const size_t lineEnd = target + lineText.size();
  const auto skipContinuation = [&] {
    while (target < lineEnd && (static_cast<unsigned char>(text[target]) & 0xC0) == 0x80) ++target;
  };
  skipContinuation();
  for (int c = 1; c < column && target < lineEnd; ++c) {
    ++target;
    skipContinuation();
  }
  // Lexing from the procedure's header (never inside a string, and after-dot known) or
  // else from the line's start, or the start of a string that runs over it.
  size_t from = module.LineStarts[line - 1];
  uint32_t fromLine = static_cast<uint32_t>(line);
  const int procedure = EnclosingProcedure(module, line);
  if (procedure >= 0 && module.Procedures[procedure].HeaderBegin <= from) {
    from = module.Procedures[procedure].HeaderBegin;
    fromLine = static_cast<uint32_t>(module.Procedures[procedure].FirstLine);
  } else {
    for (const auto& range : module.LongStrings) {
      if (range.first < from && from < range.second) {
        from = range.first;
        fromLine = static_cast<uint32_t>(module.LineOf(from));
        break;
      }
    }
  }
  TLexer lexer(text, from, fromLine);
  TToken prev;
  bool havePrev = false;
  std::optional<TToken> found;
  for (;;) {
    const TToken t = lexer.Next();
    if (t.Kind == TTokenKind::End || t.Offset > target) {
      if (havePrev && NameLike(prev) && prev.Offset + prev.Length == target) found = prev;
      break;
    }
    if (target < t.Offset + t.Length) {
      const bool preferPrev = !NameLike(t) && havePrev && NameLike(prev) && prev.Offset + prev.Length == target;
      found = preferPrev ? prev : t;
      break;
    }
    prev = t;
    havePrev = true;
  }
  if (!found) return std::nullopt;
  TTokenAt at;
  at.Token = *found;
  at.Text = std::string(found->Text(text));
  at.Line = static_cast<int>(found->Line);
  at.Column = module.ColumnOf(found->Offset, at.Line);
  return at;
}

std::vector<std::string> CommentAbove(const TModule& module, int procedure) {
  std::vector<std::string> lines;
  if (procedure < 0 || procedure >= static_cast<int>(module.Procedures.size())) return lines;
  for (int line = module.Procedures[procedure].FirstLine - 1; line >= 1; --line) {
    std::string_view text = module.LineText(line);
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos || text.substr(first, 2) != "//") break;
    text.remove_prefix(first + 2);
    if (!text.empty() && text[0] == ' ') text.remove_prefix(1);
    lines.emplace_back(text);
  }
  std::reverse(lines.begin(), lines.end());
  return lines;
}

std::string SignatureText(const TModule& module, int procedure) {
  std::string out;
  if (procedure < 0 || procedure >= static_cast<int>(module.Procedures.size())) return out;
  const TProcedure& p = module.Procedures[procedure];
  const std::string_view text = module.Text;
  TLexer lexer(text, p.HeaderBegin, static_cast<uint32_t>(p.FirstLine));
  size_t prevEnd = p.HeaderBegin;
  char prevPunct = 0;
  for (;;) {
    const TToken t = lexer.Next();
    if (t.Kind == TTokenKind::End || t.Offset >= p.HeaderEnd) break;
    if (t.Kind == TTokenKind::Comment || t.Kind == TTokenKind::Preproc) continue;
    // Blanks, line ends and comments inside the header become one space, none inside brackets.
    const bool gap = t.Offset > prevEnd && !out.empty();
    if (gap && prevPunct != '(' && !t.Is(')') && !t.Is(',')) out += ' ';
    if (t.Kind == TTokenKind::String && t.LastLine != t.Line) {
      out += "\"…\"";
    } else {
      out.append(t.Text(text));
    }
    prevEnd = t.Offset + t.Length;
    prevPunct = t.Kind == TTokenKind::Punct ? t.Punct : 0;
  }
  return out;
}

}  // namespace kalamos::code
