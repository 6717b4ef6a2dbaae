// module and grep: the module texts of the container, one object's or all of them searched,
// as people and scripts (and the MCP tools) read them.
#include <algorithm>
#include <cstdint>

#include "host/tool/answers/QueryCommands.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/answers/Contents.h"
#include "host/tool/ground/LineDiff.h"
#include "platform/Text.h"

namespace kalamos {

namespace {
TJson KindOf(const TModel& model, int32_t object) {
  return object >= 0 ? TJson(KindEnglish(model.Object(object).Kind)) : TJson(nullptr);
}
TJson NameOf(const TModel& model, int32_t object) {
  return object >= 0 ? TJson(U(model.Object(object).Name)) : TJson(nullptr);
}

std::vector<const TPlacedStream*> ModulesOf(const TContents& contents, int32_t object) {
  std::vector<const TPlacedStream*> modules;
  for (const TPlacedStream* stream : contents.StreamsOf(object))
    if (stream->Kind == TStreamKind::Module) modules.push_back(stream);
  return modules;
}

// "  12: " with the numbers of one listing right-aligned.
std::string Numbered(size_t number, size_t width) {
  std::string digits = std::to_string(number);
  return std::string(width > digits.size() ? width - digits.size() : 0, ' ') + "  " + digits + ": ";
}

// A line of a search answer: a module of one very long line must not make the answer huge.
constexpr size_t LineMost = 1000;
std::string ShownLine(std::string_view ansi) {
  return ansi.size() <= LineMost ? U(ansi) : U(ansi.substr(0, LineMost)) + "...";
}
}  // namespace

TAnswer AnswerModule(const TContents& contents, const std::string& name, size_t from, size_t to) {
  TAnswer answer;
  if (from < 1 || to < from) {
    answer.Status = ExitUsage;
    answer.Error = from < 1 ? Say("lines are counted from 1", "строки считаются с 1")
                            : Say("the last line ", "последняя строка ") + std::to_string(to) +
                                  Say(" comes before the first ", " стоит раньше первой ") + std::to_string(from);
    return answer;
  }
  const TModel& model = *contents.Model;
  int32_t object = -1;
  if (!name.empty() && (object = OneObjectNamed(model, name, answer)) < 0) return answer;
  const std::string owner = object >= 0 ? ObjectWords(model, object) : "Конфигурация";
  TJson modules = TJson::array();
  bool truncated = false;
  for (const TPlacedStream* stream : ModulesOf(contents, object)) {
    const TStreamText text = TextOfStream(*stream);
    const std::vector<std::string_view> lines = SplitLines(text.Text);
    TJson shown = TJson::array();
    const size_t end = std::min(to, lines.size());
    size_t last = end;
    if (end >= from && end - from >= ModuleLinesShown) last = from + ModuleLinesShown - 1, truncated = true;
    const std::string header = owner + ": " + stream->Words;
    if (text.Damaged) {
      answer.Text += header + ": поврежден (" + text.Why + "), " + DigestWords(*stream->Stream) + "\n";
    } else if (lines.empty()) {
      answer.Text += header + ": пустой\n";
    } else if (from > lines.size()) {
      answer.Text += header + ": строк " + std::to_string(lines.size()) + ", строки " + std::to_string(from) + " нет\n";
    } else {
      answer.Text += header + ": строки " + std::to_string(from) + "-" + std::to_string(last) + " из " +
                     std::to_string(lines.size()) + "\n";
      const size_t width = std::to_string(last).size();
      for (size_t n = from; n <= last; ++n) {
        const std::string_view line = lines[n - 1];
        shown.push_back(std::string(line));
        answer.Text += Numbered(n, width);
        answer.Text += line;
        answer.Text += '\n';
      }
      if (last < end)
        answer.Text += "  (дальше не показано: from_line " + std::to_string(last + 1) + " / --from " +
                       std::to_string(last + 1) + ")\n";
    }
    modules.push_back(TJson{{"place", stream->Words}, {"stream", stream->Stream->Path},
                            {"damaged", text.Damaged ? TJson(text.Why) : TJson(nullptr)}, {"total", lines.size()},
                            {"first", from}, {"lines", std::move(shown)}});
  }
  if (modules.empty()) {
    answer.Status = ExitFailed;
    answer.Text = object >= 0 ? owner + ": модулей нет\n" : "Конфигурация: глобального модуля нет\n";
  }
  answer.Json = TJson{{"kind", KindOf(model, object)}, {"object", NameOf(model, object)}, {"modules", std::move(modules)},
                      {"truncated", truncated}};
  return answer;
}

TAnswer AnswerGrep(const TContents& contents, const std::string& text) {
  TAnswer answer;
  if (text.empty()) {
    answer.Status = ExitUsage;
    answer.Error = Say("grep: TEXT is empty", "grep: пустой ТЕКСТ");
    return answer;
  }
  const TModel& model = *contents.Model;
  const std::string wanted = Utf8ToAnsi(text);
  // A letter code page 1251 has not cannot stand in a module.
  const bool possible = U(wanted) == text;
  const std::string upper = AnsiUpper(wanted);
  TJson matches = TJson::array(), damaged = TJson::array();
  bool truncated = false;
  const int32_t objects = int32_t(model.Objects().size());
  for (int32_t object = 0; object <= objects && possible && !truncated; ++object) {
    const int32_t owner = object < objects ? object : -1;  // the configuration's own come last
    for (const TPlacedStream* stream : ModulesOf(contents, owner)) {
      const TStreamText plain = AnsiTextOfStream(*stream);
      const std::string words = OwnerWords(contents, *stream) + ": " + stream->Words;
      if (plain.Damaged) {
        damaged.push_back(words + ": поврежден (" + plain.Why + ")");
        continue;
      }
      // Upper case keeps every byte in its place: the lines of both align.
      const std::string folded = AnsiUpper(plain.Text);
      if (folded.find(upper) == std::string::npos) continue;
      const std::vector<std::string_view> lines = SplitLines(plain.Text), foldedLines = SplitLines(folded);
      for (size_t i = 0; i < lines.size(); ++i) {
        if (foldedLines[i].find(upper) == std::string_view::npos) continue;
        if (matches.size() == GrepMost) {
          truncated = true;
          break;
        }
        const size_t first = i >= GrepContext ? i - GrepContext : 0, last = std::min(lines.size() - 1, i + GrepContext);
        TJson before = TJson::array(), after = TJson::array();
        answer.Text += words + ", строка " + std::to_string(i + 1) + "\n";
        const size_t width = std::to_string(last + 1).size();
        for (size_t j = first; j <= last; ++j) {
          const std::string line = ShownLine(lines[j]);
          if (j < i) before.push_back(line);
          if (j > i) after.push_back(line);
          answer.Text += (j == i ? "> " : "  ") + Numbered(j + 1, width) + line + "\n";
        }
        matches.push_back(TJson{{"kind", KindOf(model, owner)}, {"object", NameOf(model, owner)},
                                {"place", stream->Words}, {"line", i + 1}, {"text", ShownLine(lines[i])},
                                {"before", std::move(before)}, {"after", std::move(after)}});
      }
      if (truncated) break;
    }
  }
  if (truncated) answer.Text += "(показаны первые " + std::to_string(GrepMost) + " совпадений; уточните текст)\n";
  for (const TJson& d : damaged) answer.Text += "не прочитан: " + d.get<std::string>() + "\n";
  answer.Status = matches.empty() ? ExitFailed : ExitOk;
  answer.Json = TJson{{"matches", std::move(matches)}, {"truncated", truncated}, {"damaged", std::move(damaged)}};
  return answer;
}

bool LoadContentsOrSay(const std::string& path, TContents& contents) {
  std::string error;
  if (LoadContents(path, contents, error)) return true;
  Err("ostrak: " + error + "\n");
  return false;
}

int RunModule(const std::string& path, const std::string& object, int64_t from, int64_t to, bool json) {
  // Below 1 either is refused as such; past what size_t holds no module reaches.
  auto line = [](int64_t n) { return n < 1 ? size_t(0) : size_t(std::min<uint64_t>(uint64_t(n), SIZE_MAX)); };
  TContents contents;
  if (from >= 1 && to >= from && !LoadContentsOrSay(path, contents)) return ExitFailed;
  return PrintAnswer(AnswerModule(contents, object, line(from), line(to)), json);
}

int RunGrep(const std::string& path, const std::string& text, bool json) {
  if (text.empty()) return PrintAnswer(AnswerGrep(TContents{}, text), json);
  TContents contents;
  if (!LoadContentsOrSay(path, contents)) return ExitFailed;
  return PrintAnswer(AnswerGrep(contents, text), json);
}

}  // namespace kalamos
