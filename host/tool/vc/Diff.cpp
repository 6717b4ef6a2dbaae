// ostrak diff: the comparison's change list in words, for people (in the comparison's order),
// for scripts (by path) and counted per object (--stat).
#include <algorithm>

#include "host/tool/answers/Queries.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/vc/Compare.h"
#include "host/tool/vc/Vc.h"
#include "platform/Text.h"

namespace kalamos {

namespace {
const char* OpWord(TChangeOp op) {
  switch (op) {
    case TChangeOp::Added: return "added";
    case TChangeOp::Removed: return "removed";
    case TChangeOp::Renamed: return "renamed";
    case TChangeOp::Changed: break;
  }
  return "changed";
}

std::string Mark(TChangeOp op) { return op == TChangeOp::Added ? "+ " : op == TChangeOp::Removed ? "- " : "~ "; }

// Per object for --stat.
struct TCounts {
  std::string Name;  // "Документ Счет", as people read it
  std::string Bare;  // "Счет", as the JSON answers name objects
  int Kind = 0;
  enum class TState { Both, Added, Removed } State = TState::Both;
  size_t Added = 0, Removed = 0, Changed = 0, LinesAdded = 0, LinesRemoved = 0;
};

std::string QuotedFields(const std::vector<std::string_view>& fields) {
  std::string text;
  for (size_t i = 0; i < fields.size(); ++i) text += (i ? ", " : "") + JsonString(U(fields[i]));
  return text;
}

TJson RawFields(const std::vector<std::string_view>& fields) {
  TJson raw = TJson::array();
  for (std::string_view f : fields) raw.push_back(U(f));
  return raw;
}

// The words of every "Refers" list of a node, in order.
std::string RefersOf(const TModel& model, int32_t node) {
  std::string words;
  for (int32_t c = model.Tree().Node(node).FirstChild; c >= 0; c = model.Tree().Node(c).NextSibling)
    if (IsRefersList(model.Tree(), c)) words += (words.empty() ? "" : "; ") + RefersWords(model, c);
  return words;
}

// A value that is one line on each side, as people read its change.
std::string ValueLines(TChangeOp op, const std::string& label, const std::string& vx, const std::string& vy) {
  if (op == TChangeOp::Added) return "+ " + label + ": " + vy + "\n";
  if (op == TChangeOp::Removed) return "- " + label + ": " + vx + "\n";
  return "~ " + label + "\n    было:  " + vx + "\n    стало: " + vy + "\n";
}

std::string Indented(std::string_view text) {
  std::string out;
  for (std::string_view line : SplitLines(text)) out.append("    ").append(line).append("\n");
  return out;
}

const char* StreamKindWord(TStreamKind kind) {
  return kind == TStreamKind::Module ? "module" : kind == TStreamKind::Form ? "form" : "other";
}

TJson StreamJson(const TPlacedStream& s) {
  TJson json{{"path", s.Stream->Path}, {"kind", StreamKindWord(s.Kind)}, {"place", s.Words},
             {"digest", Digest(s.Stream->Bytes)}, {"size", s.Stream->Bytes.size()}};
  if (s.Kind == TStreamKind::Module && TextOfStream(s).Damaged) json["damaged"] = true;
  return json;
}

// The change list in words: lines for people, entries for scripts, counts per object.
class TRendering {
public:
  TRendering(const TContents& a, const TContents& b, const TDiffOptions& options)
      : A(a), B(b), MA(*a.Model), MB(*b.Model), Options(options) {}

  std::string Human(const TChange& c) {
    switch (c.On) {
      case TChangeOn::Object: {
        std::string text = Mark(c.Op) + Words(c) + "\n";
        if (Options.Full) {
          std::string whole;
          ObjectText(Side(c), Object(c), whole);
          text += Indented(whole);
        }
        return text;
      }
      case TChangeOn::Name: return "~ " + ObjectWords(MA, c.ObjectA) + " → " + U(MB.Object(c.ObjectB).Name) + "\n";
      case TChangeOn::Fact: {
        const TFact *fx = FactOf(c, false), *fy = FactOf(c, true);
        if (c.Op == TChangeOp::Added) return "+ " + Words(c) + ": " + fy->Label + ": " + fy->Value + "\n";
        if (c.Op == TChangeOp::Removed) return "- " + Words(c) + ": " + fx->Label + ": " + fx->Value + "\n";
        return "~ " + Words(c) + ": " + fy->Label + "\n    было:  " + fx->Value + "\n    стало: " + fy->Value + "\n";
      }
      case TChangeOn::Description: return "~ " + Words(c) + "\n" + Indented(c.Lines.Hunks);
      case TChangeOn::Fields:
        return ValueLines(c.Op, StepWords(c, c.Steps.size()) + ": поля", QuotedFields(PartFields(MA, c.A)),
                          QuotedFields(PartFields(MB, c.B)));
      case TChangeOn::Refers:
        return ValueLines(c.Op, StepWords(c, c.Steps.size()) + ": ссылки", RefersWordsOf(MA, c.A), RefersWordsOf(MB, c.B));
      case TChangeOn::Item: return ItemLines(c);
      case TChangeOn::Stream: return StreamLines(c);
    }
    return {};
  }

  // {"op", "path" (as Path made it), "old", "new"} and a text's "diff".
  TJson Json(const TChange& c, std::vector<std::string> path) {
    TJson old, now;
    switch (c.On) {
      case TChangeOn::Object:
        (c.Op == TChangeOp::Added ? now : old) = Options.Full ? Whole(Side(c), Object(c)) : Brief(c);
        break;
      case TChangeOn::Name: old = U(MA.Object(c.ObjectA).Name), now = U(MB.Object(c.ObjectB).Name); break;
      case TChangeOn::Fact:
        if (const TFact* f = FactOf(c, false)) old = f->Raw;
        if (const TFact* f = FactOf(c, true)) now = f->Raw;
        break;
      case TChangeOn::Description: old = c.TextA, now = c.TextB; break;
      case TChangeOn::Fields:
        if (c.Op != TChangeOp::Added) old = RawFields(PartFields(MA, c.A));
        if (c.Op != TChangeOp::Removed) now = RawFields(PartFields(MB, c.B));
        break;
      case TChangeOn::Refers:
        if (c.Op != TChangeOp::Added) old = RefersWordsOf(MA, c.A);
        if (c.Op != TChangeOp::Removed) now = RefersWordsOf(MB, c.B);
        break;
      case TChangeOn::Item:
        if (c.A.Present()) old = ItemJson(MA, c.A.Item);
        if (c.B.Present()) now = ItemJson(MB, c.B.Item);
        break;
      case TChangeOn::Stream:
        if (c.StreamA) old = StreamJson(*c.StreamA);
        if (c.StreamB) now = StreamJson(*c.StreamB);
        break;
    }
    TJson entry{{"op", OpWord(c.Op)}, {"path", std::move(path)}, {"old", std::move(old)}, {"new", std::move(now)}};
    if (!c.Lines.Hunks.empty()) entry["diff"] = c.Lines.Hunks;
    return entry;
  }

  // Where a change stands for scripts: the object's kind and name, the way down by tags and
  // names, then what changed there.
  std::vector<std::string> Path(const TChange& c) const {
    std::vector<std::string> path;
    if (Object(c) >= 0) {
      const TObject& object = Side(c).Model->Object(Object(c));
      path = {KindEnglish(object.Kind), U(object.Name)};
    }
    for (const TStep& step : c.Steps) path.push_back(step.IsItem || step.Part.Tag.empty() ? StepLabel(step) : U(step.Part.Tag));
    switch (c.On) {
      case TChangeOn::Fact: path.push_back(c.Fact); break;
      case TChangeOn::Description: path.push_back("description"); break;
      case TChangeOn::Fields: path.push_back("fields"); break;
      case TChangeOn::Refers: path.push_back("refers"); break;
      case TChangeOn::Stream:
        path.push_back("streams");
        path.push_back((c.StreamB ? c.StreamB : c.StreamA)->Stream->Path);
        break;
      default: break;
    }
    return path;
  }

  // What a change adds to its object's counts; the object's entry is made at its first change,
  // since most objects of a large configuration have none. The container's own count nowhere.
  void Tally(const TChange& c, std::vector<TCounts>& counts) {
    if (Object(c) < 0) return;
    if (counts.empty() || CountedA != c.ObjectA || CountedB != c.ObjectB) {
      CountedA = c.ObjectA, CountedB = c.ObjectB;
      TCounts& entry = counts.emplace_back();
      const TObject& object = Side(c).Model->Object(Object(c));
      entry.Name = Words(c), entry.Bare = U(object.Name), entry.Kind = object.Kind;
    }
    TCounts& entry = counts.back();
    switch (c.On) {
      case TChangeOn::Object: {
        size_t items = 0;
        for (const TPart& part : Side(c).Model->Object(Object(c)).Parts) items += Side(c).Model->Items(part).size();
        (c.Op == TChangeOp::Added ? entry.Added : entry.Removed) += items;
        entry.State = c.Op == TChangeOp::Added ? TCounts::TState::Added : TCounts::TState::Removed;
        return;
      }
      case TChangeOn::Stream:
        if (c.Texts && (c.StreamB ? c.StreamB : c.StreamA)->Kind == TStreamKind::Module)
          entry.LinesAdded += c.Lines.Added, entry.LinesRemoved += c.Lines.Removed;
        ++entry.Changed;
        return;
      case TChangeOn::Name:
      case TChangeOn::Description: ++entry.Changed; return;
      default:
        ++(c.Op == TChangeOp::Added ? entry.Added : c.Op == TChangeOp::Removed ? entry.Removed : entry.Changed);
    }
  }

private:
  const TContents &A, &B;
  const TModel &MA, &MB;
  const TDiffOptions& Options;
  // The object last named and its facts: a change comes with the other changes of its object.
  int32_t WordsA = -2, WordsB = -2, FactsA = -2, FactsB = -2, CountedA = -2, CountedB = -2;
  std::string ObjectName;
  std::vector<TFact> FactsX, FactsY;

  // An object's change names it as its newer side has it.
  const TContents& Side(const TChange& c) const { return c.ObjectB >= 0 ? B : A; }
  static int32_t Object(const TChange& c) { return c.ObjectB >= 0 ? c.ObjectB : c.ObjectA; }

  const std::string& Words(const TChange& c) {
    if (WordsA != c.ObjectA || WordsB != c.ObjectB) {
      WordsA = c.ObjectA, WordsB = c.ObjectB;
      ObjectName = Object(c) >= 0 ? ObjectWords(*Side(c).Model, Object(c)) : std::string();
    }
    return ObjectName;
  }

  const TFact* FactOf(const TChange& c, bool newer) {
    if (FactsA != c.ObjectA || FactsB != c.ObjectB) {
      FactsA = c.ObjectA, FactsB = c.ObjectB;
      FactsX = ObjectFacts(MA, c.ObjectA, Options.Json);
      FactsY = ObjectFacts(MB, c.ObjectB, Options.Json);
    }
    for (const TFact& f : newer ? FactsY : FactsX)
      if (f.Key == c.Fact) return &f;
    return nullptr;
  }

  static std::string StepLabel(const TStep& step) {
    return step.IsItem ? U(ItemLabel(step.Item, step.Index)) : PartLabel(step.Part, step.Index);
  }

  // "Документ Счет: шапка: Склад", the object and its first count steps.
  std::string StepWords(const TChange& c, size_t count) {
    std::string words = Words(c);
    for (size_t k = 0; k < count; ++k) words += ": " + StepLabel(c.Steps[k]);
    return words;
  }

  static std::string RefersWordsOf(const TModel& model, const TStep& step) {
    return step.Present() ? RefersOf(model, step.Node()) : std::string();
  }

  std::string ItemLines(const TChange& c) {
    const std::string part = StepWords(c, c.Steps.size() - 1);
    if (c.Op == TChangeOp::Added || c.Op == TChangeOp::Removed) {
      const bool added = c.Op == TChangeOp::Added;
      const std::string value = ItemValue(added ? MB : MA, (added ? c.B : c.A).Item);
      return Mark(c.Op) + part + ": " + StepLabel(added ? c.B : c.A) + (value.empty() ? "" : ": " + value) + "\n";
    }
    auto shown = [](const TStep& step) {
      return StepLabel(step) + (step.Item.Id.empty() ? "" : " (" + U(step.Item.Id) + ")");
    };
    std::string text = "~ " + part + ": " + shown(c.A) + (c.Op == TChangeOp::Renamed ? " → " + shown(c.B) : "") + "\n";
    if (c.ValueChanged) text += "    было:  " + ItemValue(MA, c.A.Item) + "\n    стало: " + ItemValue(MB, c.B.Item) + "\n";
    return text;
  }

  std::string StreamLines(const TChange& c) {
    const TPlacedStream& any = c.StreamB ? *c.StreamB : *c.StreamA;
    const std::string owner = (Object(c) >= 0 ? Words(c) : OwnerWords(c.StreamB ? B : A, any)) + ": " + any.Words;
    if (c.Texts) return Mark(c.Op) + owner + "\n" + Indented(c.Lines.Hunks);
    if (any.Kind != TStreamKind::Other) {
      const TStreamText ta = c.StreamA ? TextOfStream(*c.StreamA) : TStreamText(),
                        tb = c.StreamB ? TextOfStream(*c.StreamB) : TStreamText();
      return Mark(c.Op) + owner + ": " + (tb.Damaged ? "поврежден" : "был поврежден") + " (" +
             (tb.Damaged ? tb : ta).Why + ")\n";
    }
    return Mark(c.Op) + owner + ": " + (c.StreamA ? DigestWords(*c.StreamA->Stream) : std::string("нет")) + " → " +
           (c.StreamB ? DigestWords(*c.StreamB->Stream) : std::string("нет")) + "\n";
  }

  TJson Brief(const TChange& c) const {
    const TObject& object = Side(c).Model->Object(Object(c));
    return TJson{{"id", U(object.Id)}, {"name", U(object.Name)}};
  }

  // With --full: the object whole, as show --json has it, its streams beside.
  static TJson Whole(const TContents& contents, int32_t o) {
    TJson json = ShowJson(*contents.Model, o);
    TJson streams = TJson::array();
    for (const TPlacedStream* s : contents.StreamsOf(o)) {
      TJson entry = StreamJson(*s);
      if (s->Kind != TStreamKind::Other) entry["text"] = TextOfStream(*s).Text;
      streams.push_back(std::move(entry));
    }
    json["streams"] = std::move(streams);
    return json;
  }
};

std::string Count(size_t n) { return std::to_string(n); }

std::string StatText(const std::vector<TCounts>& counts) {
  std::string text;
  TCounts total;
  size_t added = 0, removed = 0, changed = 0;
  for (const TCounts& c : counts) {
    if (!c.Added && !c.Removed && !c.Changed && c.State == TCounts::TState::Both) continue;
    text += c.Name + ": ";
    if (c.State != TCounts::TState::Both) text += c.State == TCounts::TState::Added ? "добавлен, " : "удален, ";
    text += "+" + Count(c.Added) + " -" + Count(c.Removed) + " ~" + Count(c.Changed);
    if (c.LinesAdded || c.LinesRemoved) text += ", строк модулей +" + Count(c.LinesAdded) + " -" + Count(c.LinesRemoved);
    text += "\n";
    (c.State == TCounts::TState::Added ? added : c.State == TCounts::TState::Removed ? removed : changed) += 1;
    total.Added += c.Added, total.Removed += c.Removed, total.Changed += c.Changed;
    total.LinesAdded += c.LinesAdded, total.LinesRemoved += c.LinesRemoved;
  }
  text += "Итого: объектов добавлено " + Count(added) + ", удалено " + Count(removed) + ", изменено " + Count(changed) +
          "; элементов +" + Count(total.Added) + " -" + Count(total.Removed) + " ~" + Count(total.Changed) +
          "; строк модулей +" + Count(total.LinesAdded) + " -" + Count(total.LinesRemoved) + "\n";
  return text;
}

TJson StatJson(const std::vector<TCounts>& counts) {
  TJson objects = TJson::array();
  TJson total{{"added", 0}, {"removed", 0}, {"changed", 0}, {"lines_added", 0}, {"lines_removed", 0}};
  for (const TCounts& c : counts) {
    if (!c.Added && !c.Removed && !c.Changed && c.State == TCounts::TState::Both) continue;
    objects.push_back(TJson{{"kind", KindEnglish(c.Kind)}, {"object", c.Bare},
                            {"state", c.State == TCounts::TState::Added     ? "added"
                                      : c.State == TCounts::TState::Removed ? "removed"
                                                                            : "changed"},
                            {"added", c.Added}, {"removed", c.Removed}, {"changed", c.Changed},
                            {"lines_added", c.LinesAdded}, {"lines_removed", c.LinesRemoved}});
    for (const char* key : {"added", "removed", "changed", "lines_added", "lines_removed"})
      total[key] = total[key].get<size_t>() + objects.back()[key].get<size_t>();
  }
  return TJson{{"objects", std::move(objects)}, {"total", std::move(total)}};
}
}  // namespace

bool DiffText(const std::string& left, const std::string& right, const TDiffOptions& options, std::string& out,
              bool& different, std::string& error) {
  TContents a, b;
  // The two sides are read at once: each is a whole container's read and parse.
  std::string errorA, errorB;
  bool readA = false, readB = false;
  RunBoth([&] { readA = LoadContents(left, a, errorA, options.All); },
          [&] { readB = LoadContents(right, b, errorB, options.All); });
  if (!readA || !readB) {
    error = readA ? errorB : errorA;
    return false;
  }
  std::vector<TChange> changes = Compare(a, b, options.IgnoreSpace);
  different = !changes.empty();
  TRendering rendering(a, b, options);
  if (options.Stat) {
    std::vector<TCounts> counts;
    for (const TChange& c : changes) rendering.Tally(c, counts);
    out = options.Json ? JsonText(StatJson(counts), 2) + "\n" : StatText(counts);
    return true;
  }
  if (!options.Json) {
    out.clear();
    for (const TChange& c : changes) out += rendering.Human(c);
    return true;
  }
  // By path, element by element; UTF-8 bytes order as code points do.
  std::vector<std::pair<std::vector<std::string>, size_t>> order;
  for (size_t k = 0; k < changes.size(); ++k) order.emplace_back(rendering.Path(changes[k]), k);
  std::stable_sort(order.begin(), order.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  TJson list = TJson::array();
  for (auto& [path, k] : order) list.push_back(rendering.Json(changes[k], std::move(path)));
  out = JsonText(list, 2) + "\n";
  return true;
}

int RunDiff(const std::string& left, const std::string& right, const TDiffOptions& options) {
  std::string out, error;
  bool different = false;
  // As diff does: 2 for trouble, whatever the reason.
  if (!DiffText(left, right, options, out, different, error)) {
    Err("ostrak: " + error + "\n");
    return ExitTrouble;
  }
  Out(out);
  return different ? ExitFailed : ExitOk;
}

}  // namespace kalamos
