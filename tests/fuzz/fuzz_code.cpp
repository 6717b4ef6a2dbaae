// Module text through the code layer: the global module before the first NUL byte, a module
// that calls into it after. Whatever the text, parsing and checks answer, every position
// they give lies inside the text, and CR LF line ends give the same answers as LF.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "code/ModuleSet.h"
#include "code/Navigation.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kalamos::code;

namespace {

void CheckPositions(const TModule& m) {
  const int lines = m.LineCount();
  int previous = 0;
  for (const TProcedure& p : m.Procedures) {
    FUZZ_CHECK(previous <= p.FirstLine && p.FirstLine <= p.LastLine && p.LastLine <= lines);
    FUZZ_CHECK(p.HeaderBegin <= p.HeaderEnd && p.HeaderEnd <= m.Text.size());
    FUZZ_CHECK(p.NameLine >= p.FirstLine && p.NameColumn >= 1);
    for (const TParameter& param : p.Parameters) FUZZ_CHECK(!param.Name.empty());
    previous = p.LastLine;
  }
  for (const TCall& c : m.Calls) {
    FUZZ_CHECK(c.Line >= 1 && c.Line <= lines && c.Column >= 1 && c.Arguments >= 0 && !c.Name.empty());
    FUZZ_CHECK(c.Procedure >= -1 && c.Procedure < static_cast<int>(m.Procedures.size()));
    if (c.Procedure >= 0) {
      const TProcedure& p = m.Procedures[c.Procedure];
      FUZZ_CHECK(p.FirstLine <= c.Line && c.Line <= p.LastLine);
      // Procedures may share a line (one ends where the next begins): some holder of it.
      const int holder = EnclosingProcedure(m, c.Line);
      FUZZ_CHECK(holder >= 0 && m.Procedures[holder].FirstLine <= c.Line && c.Line <= m.Procedures[holder].LastLine);
    }
  }
  for (size_t i = 0; i < m.Objects.size(); ++i) {
    const TObjectRef& o = m.Objects[i];
    FUZZ_CHECK(o.Line >= 1 && o.Line <= lines && o.Column >= 1 && !o.Name.empty());
    if (i > 0) FUZZ_CHECK(m.Objects[i - 1].Line < o.Line || (m.Objects[i - 1].Line == o.Line && m.Objects[i - 1].Column < o.Column));
  }
  for (const TVariable& v : m.Variables) FUZZ_CHECK(v.Line >= 1 && v.Line <= lines && !v.Name.empty());
  for (int p = 0; p < static_cast<int>(m.Procedures.size()); ++p) {
    SignatureText(m, p);
    CommentAbove(m, p);
  }
}

void CheckDiagnostics(const TModule& m, const std::vector<TDiagnostic>& list) {
  for (const TDiagnostic& d : list)
    FUZZ_CHECK(d.Line >= 1 && d.Line <= m.LineCount() && d.Column >= 1 && !d.Code.empty() && !d.Message.empty());
}

// What must not change when LF becomes CR LF.
std::string Shape(const TModule& m, const std::vector<TDiagnostic>& list) {
  std::string out;
  const auto add = [&out](int a, int b) { out += std::to_string(a) + ":" + std::to_string(b) + " "; };
  for (const TProcedure& p : m.Procedures) {
    out += p.Name;
    add(p.FirstLine, p.LastLine);
    add(p.NameColumn, static_cast<int>(p.Parameters.size()));
  }
  for (const TCall& c : m.Calls) {
    out += c.Name;
    add(c.Line, c.Column);
    add(c.Procedure, c.Arguments);
  }
  for (const TObjectRef& o : m.Objects) {
    out += o.Name + "." + o.Value;
    add(o.Line, o.Column);
  }
  for (const TDiagnostic& d : list) {
    out += d.Code;
    add(d.Line, d.Column);
  }
  return out;
}

bool Exists(TObjectKind, std::string_view name) { return name.size() % 2 == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string_view global = split == std::string_view::npos ? std::string_view() : input.substr(0, split);
  const std::string_view own = split == std::string_view::npos ? input : input.substr(split + 1);

  TModuleSet set;
  set.SetGlobal(set.Add("global", global));
  const int module = set.Add("own", own);
  for (int m = 0; m < set.Count(); ++m) {
    const TModule& parsed = set.Module(m);
    CheckPositions(parsed);
    CheckDiagnostics(parsed, set.Check(m, Exists));
    for (int p = 0; p < static_cast<int>(parsed.Procedures.size()) && p < 64; ++p)
      for (const TCallRef& c : set.CallersOf({m, p}))
        FUZZ_CHECK(set.Module(c.Module).Calls[c.Call].Key == parsed.Procedures[p].Key);
  }

  // A few cursor positions spread over the module, and the places of the first calls,
  // which must name the call there.
  const TModule& parsed = set.Module(module);
  for (size_t c = 0; c < parsed.Calls.size() && c < 32; ++c) {
    const TCall& call = parsed.Calls[c];
    const auto at = TokenAt(parsed, call.Line, call.Column);
    FUZZ_CHECK(at && at->Text == call.Name && at->Line == call.Line && at->Column == call.Column);
  }
  for (int k = 0; k < 16; ++k) {
    const int line = 1 + static_cast<int>((k * 7919u) % static_cast<unsigned>(parsed.LineCount()));
    const int column = 1 + (k * 13) % 40;
    if (const auto at = TokenAt(parsed, line, column)) {
      FUZZ_CHECK(at->Token.Offset + at->Token.Length <= parsed.Text.size());
      FUZZ_CHECK(at->Line == parsed.LineOf(at->Token.Offset) && at->Column >= 1);
    }
    set.DefinitionAt(module, line, column);
  }

  if (own.find('\r') == std::string_view::npos) {
    std::string crlf;
    for (char c : own) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    TModuleSet other;
    other.SetGlobal(other.Add("global", global));
    const int again = other.Add("own", crlf);
    FUZZ_CHECK(Shape(parsed, set.Check(module, Exists)) == Shape(other.Module(again), other.Check(again, Exists)));
  }
  return 0;
}
