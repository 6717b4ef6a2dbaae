// ostrak diff: two configurations compared object by object, matched by identifier first
// and then by name, so that a rename is one change and what changed inside it still shows.
#include <algorithm>
#include <map>
#include <unordered_map>

#include "host/tool/Contents.h"
#include "host/tool/LineDiff.h"
#include "host/tool/Queries.h"
#include "platform/Text.h"

namespace kalamos {

namespace {
struct TChange {
  std::string Op;  // "added", "removed", "changed", "renamed"
  std::vector<std::string> Path;
  TJson Old, New;
  std::string Hunks;  // a module's unified diff
};

// Per object for --stat.
struct TCounts {
  std::string Name;
  int Kind = 0;
  std::string State;  // "добавлен", "удален", or empty for an object on both sides
  size_t Added = 0, Removed = 0, Changed = 0, LinesAdded = 0, LinesRemoved = 0;
};

// An identifier the parser handed out itself (a node written without one) says nothing
// about which node it is in another version.
bool RealId(const TMetaStore& store, std::string_view id) {
  if (id.empty() || id.size() > 9 || !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return !id.empty();
  const long value = std::stol(std::string(id));
  return value <= 32000 || value > store.LastAutoId;
}

// Pairs of a's and b's entries: by identifier first, then by name among the rest, a repeated
// name taken in order. -1 on a side means there is none.
template <class T, class Id, class Name>
std::vector<std::pair<int32_t, int32_t>> Match(const std::vector<T>& a, const std::vector<T>& b, const TMetaStore& sa,
                                               const TMetaStore& sb, Id idOf, Name nameOf) {
  std::vector<int32_t> ofA(a.size(), -1), ofB(b.size(), -1);
  std::unordered_map<std::string_view, int32_t> ids;
  for (size_t j = b.size(); j-- > 0;)
    if (RealId(sb, idOf(b[j]))) ids[idOf(b[j])] = int32_t(j);
  for (size_t i = 0; i < a.size(); ++i) {
    if (!RealId(sa, idOf(a[i]))) continue;
    auto found = ids.find(idOf(a[i]));
    if (found != ids.end() && ofB[size_t(found->second)] < 0) ofA[i] = found->second, ofB[size_t(found->second)] = int32_t(i);
  }
  std::multimap<std::string_view, int32_t> names;
  for (size_t j = 0; j < b.size(); ++j)
    if (ofB[j] < 0) names.emplace(nameOf(b[j]), int32_t(j));
  for (size_t i = 0; i < a.size(); ++i) {
    if (ofA[i] >= 0) continue;
    auto found = names.find(nameOf(a[i]));
    if (found == names.end()) continue;
    ofA[i] = found->second, ofB[size_t(found->second)] = int32_t(i);
    names.erase(found);
  }
  // In b's order, each removed entry where it stood in a's.
  std::vector<std::pair<int32_t, int32_t>> pairs;
  for (size_t j = 0; j < b.size(); ++j) pairs.emplace_back(ofB[j], int32_t(j));
  for (size_t i = 0; i < a.size(); ++i)
    if (ofA[i] < 0) pairs.emplace_back(int32_t(i), -1);
  return pairs;
}

class TComparison {
public:
  TComparison(const TContents& a, const TContents& b, const TDiffOptions& options)
      : A(a), B(b), MA(*a.Model), MB(*b.Model), Options(options) {}

  std::vector<TChange> Changes;
  std::vector<TCounts> Counts;
  std::string Human;

  void Run() {
    for (int kind = 0; kind < KindCount; ++kind) {
      std::vector<int32_t> xa, xb;
      for (size_t i = 0; i < MA.Objects().size(); ++i)
        if (MA.Object(int32_t(i)).Kind == kind) xa.push_back(int32_t(i));
      for (size_t i = 0; i < MB.Objects().size(); ++i)
        if (MB.Object(int32_t(i)).Kind == kind) xb.push_back(int32_t(i));
      std::vector<TNamed> na, nb;
      for (int32_t o : xa) na.push_back(MA.Object(o));
      for (int32_t o : xb) nb.push_back(MB.Object(o));
      auto pairs = Match(na, nb, MA.Store(), MB.Store(), [](const TNamed& n) { return n.Id; },
                         [](const TNamed& n) { return n.Name; });
      for (auto [i, j] : pairs) {
        if (i < 0) AddedObject(xb[size_t(j)]);
        else if (j < 0) RemovedObject(xa[size_t(i)]);
        else BothObjects(xa[size_t(i)], xb[size_t(j)]);
      }
    }
    // The container's own streams count for no object.
    TCounts none;
    CurrentCounts = &none;
    Streams(nullptr, -1, -1);
  }

private:
  const TContents &A, &B;
  const TModel &MA, &MB;
  TDiffOptions Options;
  TCounts* CurrentCounts = nullptr;
  const TModel* CurrentModel = nullptr;
  int32_t CurrentObject = -1;
  std::string Current;  // "Документ Счет"


  void Add(const std::string& op, std::vector<std::string> path, TJson old, TJson now, const std::string& human,
           std::string hunks = std::string()) {
    Changes.push_back({op, std::move(path), std::move(old), std::move(now), std::move(hunks)});
    if (!Options.Stat) Human += human;
  }

  static std::string Mark(const std::string& op) { return op == "added" ? "+ " : op == "removed" ? "- " : "~ "; }

  // The object whose changes come next; its words and counts are made at its first change,
  // since most objects of a large configuration have none.
  void StartObject(const TModel& model, int32_t o) {
    CurrentModel = &model;
    CurrentObject = o;
    CurrentCounts = nullptr;
  }
  TCounts& Counted() {
    if (!CurrentCounts) {
      TCounts counts;
      counts.Name = Cur();
      counts.Kind = CurrentObject >= 0 ? CurrentModel->Object(CurrentObject).Kind : 0;
      Counts.push_back(counts);
      CurrentCounts = &Counts.back();
    }
    return *CurrentCounts;
  }
  const std::string& Cur() {
    if (CurrentCounts) return Counted().Name;
    Current = CurrentObject >= 0 ? ObjectWords(*CurrentModel, CurrentObject) : std::string();
    return Current;
  }

  TJson Brief(const TModel& model, int32_t o) {
    return TJson{{"id", U(model.Object(o).Id)}, {"name", U(model.Object(o).Name)}};
  }

  // With --full: the object whole, as show --json has it, its streams beside.
  TJson Whole(const TContents& contents, int32_t o) {
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

  void Whole(const TContents& contents, int32_t o, const std::string& op) {
    const TModel& model = *contents.Model;
    std::vector<std::string> path{KindEnglish(model.Object(o).Kind), U(model.Object(o).Name)};
    size_t items = 0;
    for (const TPart& part : model.Object(o).Parts) items += model.Items(part).size();
    (op == "added" ? Counted().Added : Counted().Removed) += items;
    Counted().State = op == "added" ? "добавлен" : "удален";
    std::string human = Mark(op) + Cur() + "\n";
    if (Options.Full) {
      std::string text;
      ObjectText(contents, o, text);
      for (std::string_view line : SplitLines(text)) human += "    " + std::string(line) + "\n";
    }
    TJson value = Options.Full ? Whole(contents, o) : Brief(model, o);
    if (op == "added") Add(op, path, nullptr, std::move(value), human);
    else Add(op, path, std::move(value), nullptr, human);
  }

  void AddedObject(int32_t o) {
    StartObject(MB, o);
    Whole(B, o, "added");
  }
  void RemovedObject(int32_t o) {
    StartObject(MA, o);
    Whole(A, o, "removed");
  }

  void BothObjects(int32_t x, int32_t y) {
    StartObject(MB, y);
    const TObject &ox = MA.Object(x), &oy = MB.Object(y);
    const std::string kind = KindEnglish(oy.Kind), name = U(oy.Name);
    if (ox.Name != oy.Name) {
      ++Counted().Changed;
      Add("renamed", {kind, name}, U(ox.Name), name, "~ " + ObjectWords(MA, x) + " → " + U(oy.Name) + "\n");
    }
    // The object's own facts, by key; they all come from its text and its Refers lists.
    if (MA.Store().TextAt(ox.Position) != MB.Store().TextAt(oy.Position) || !SameRefers(ox, oy)) Facts(x, y, kind, name);
    Parts(x, y, kind, name);
    Streams(&ox, x, y);
  }

  static bool SameRefers(const TObject& x, const TObject& y) {
    if (x.Refers.size() != y.Refers.size()) return false;
    for (size_t i = 0; i < x.Refers.size(); ++i)
      if (x.Refers[i].Part != y.Refers[i].Part || x.Refers[i].Item != y.Refers[i].Item || x.Refers[i].Ids != y.Refers[i].Ids)
        return false;
    return true;
  }

  void Facts(int32_t x, int32_t y, const std::string& kind, const std::string& name) {
    std::vector<TFact> fx = ObjectFacts(MA, x), fy = ObjectFacts(MB, y);
    std::map<std::string, const TFact*> byKey;
    for (const TFact& f : fx) byKey[f.Key] = &f;
    for (const TFact& f : fy) {
      auto found = byKey.find(f.Key);
      if (found == byKey.end()) {
        ++Counted().Added;
        Add("added", {kind, name, f.Key}, nullptr, f.Raw, "+ " + Cur() + ": " + f.Label + ": " + f.Value + "\n");
      } else {
        if (found->second->Value != f.Value) {
          ++Counted().Changed;
          Add("changed", {kind, name, f.Key}, found->second->Raw, f.Raw,
              "~ " + Cur() + ": " + f.Label + "\n    было:  " + found->second->Value + "\n    стало: " + f.Value + "\n");
        }
        byKey.erase(found);
      }
    }
    for (const TFact& f : fx)
      if (byKey.count(f.Key)) {
        ++Counted().Removed;
        Add("removed", {kind, name, f.Key}, f.Raw, nullptr, "- " + Cur() + ": " + f.Label + ": " + f.Value + "\n");
      }
  }

  void Parts(int32_t x, int32_t y, const std::string& kind, const std::string& name) {
    // Sub-sections by tag, a repeated tag taken in order.
    std::multimap<std::string_view, const TPart*> tags;
    for (const TPart& part : MA.Object(x).Parts) tags.emplace(part.Tag, &part);
    static const std::vector<TItem> none;
    for (const TPart& part : MB.Object(y).Parts) {
      auto found = tags.find(part.Tag);
      std::vector<TItem> before;
      if (found != tags.end()) {
        const TPart& old = *found->second;
        tags.erase(found);
        if (SameItems(old, part)) continue;
        before = MA.Items(old);
      }
      Items(part.Tag, before, MB.Items(part), kind, name);
    }
    for (const auto& [tag, part] : tags) Items(tag, MA.Items(*part), none, kind, name);
  }

  // The same identifiers with the same texts in the same order: most parts of most objects.
  bool SameItems(const TPart& x, const TPart& y) const {
    const std::vector<int32_t> px = MA.ItemPositions(x), py = MB.ItemPositions(y);
    if (px.size() != py.size()) return false;
    for (size_t k = 0; k < px.size(); ++k)
      if (MA.Store().IdAt(px[k]) != MB.Store().IdAt(py[k]) || MA.Store().TextAt(px[k]) != MB.Store().TextAt(py[k]))
        return false;
    return true;
  }

  void Items(std::string_view tag, const std::vector<TItem>& a, const std::vector<TItem>& b, const std::string& kind,
             const std::string& name) {
    const std::string part = Cur() + ": " + PartWordsOf(tag);
    auto pairs = Match(a, b, MA.Store(), MB.Store(), [](const TItem& i) { return i.Id; },
                       [](const TItem& i) { return i.Name; });
    for (auto [i, j] : pairs) {
      if (i < 0) {
        const TItem& item = b[size_t(j)];
        ++Counted().Added;
        const std::string value = ItemValue(MB, item);
        Add("added", {kind, name, U(tag), U(item.Name)}, nullptr, ItemJson(MB, item),
            "+ " + part + ": " + U(item.Name) + (value.empty() ? "" : ": " + value) + "\n");
      } else if (j < 0) {
        const TItem& item = a[size_t(i)];
        ++Counted().Removed;
        const std::string value = ItemValue(MA, item);
        Add("removed", {kind, name, U(tag), U(item.Name)}, ItemJson(MA, item), nullptr,
            "- " + part + ": " + U(item.Name) + (value.empty() ? "" : ": " + value) + "\n");
      } else {
        const TItem &x = a[size_t(i)], &y = b[size_t(j)];
        // Same text, same item: a referenced object's new name is that object's change.
        if (MA.Store().TextAt(x.Position) == MB.Store().TextAt(y.Position)) continue;
        const std::string vx = ItemValue(MA, x), vy = ItemValue(MB, y);
        const bool renamed = x.Name != y.Name;
        if (!renamed && vx == vy) continue;
        ++Counted().Changed;
        std::string human = "~ " + part + ": " + U(x.Name) + (renamed ? " → " + U(y.Name) : "") + "\n";
        if (vx != vy) human += "    было:  " + vx + "\n    стало: " + vy + "\n";
        Add(renamed ? "renamed" : "changed", {kind, name, U(tag), U(y.Name)}, ItemJson(MA, x), ItemJson(MB, y), human);
      }
    }
  }

  static const char* KindWord(TStreamKind kind) {
    return kind == TStreamKind::Module ? "module" : kind == TStreamKind::Form ? "form" : "other";
  }

  static TJson StreamJson(const TPlacedStream& s) {
    TJson json{{"path", s.Stream->Path}, {"kind", KindWord(s.Kind)}, {"place", s.Words},
               {"digest", Digest(s.Stream->Bytes)}, {"size", s.Stream->Bytes.size()}};
    if (s.Kind == TStreamKind::Module && TextOfStream(s).Damaged) json["damaged"] = true;
    return json;
  }

  // The streams of an object on both sides (x, y), or the container's own (object null),
  // matched by their place.
  void Streams(const TObject* object, int32_t x, int32_t y) {
    std::map<std::string, std::vector<const TPlacedStream*>> before;
    for (const TPlacedStream* s : A.StreamsOf(object ? x : -1)) before[s->Key].push_back(s);
    std::vector<std::pair<const TPlacedStream*, const TPlacedStream*>> pairs;
    for (const TPlacedStream* s : B.StreamsOf(object ? y : -1)) {
      auto& list = before[s->Key];
      const TPlacedStream* old = nullptr;
      if (!list.empty()) old = list.front(), list.erase(list.begin());
      pairs.emplace_back(old, s);
    }
    for (auto& [key, list] : before)
      for (const TPlacedStream* s : list) pairs.emplace_back(s, nullptr);
    for (auto [sa, sb] : pairs) {
      const TPlacedStream& any = sb ? *sb : *sa;
      if (sa && sb && sa->Stream->Bytes == sb->Stream->Bytes) continue;
      std::vector<std::string> path;
      if (object) path = {KindEnglish(MB.Object(y).Kind), U(MB.Object(y).Name)};
      path.push_back("streams");
      path.push_back(any.Stream->Path);
      const std::string owner = (object ? Cur() : OwnerWords(sb ? B : A, any)) + ": " + any.Words;
      const std::string op = !sa ? "added" : !sb ? "removed" : "changed";
      TJson old = sa ? StreamJson(*sa) : TJson(), now = sb ? StreamJson(*sb) : TJson();
      if (any.Kind == TStreamKind::Module) {
        const TStreamText ta = sa ? TextOfStream(*sa) : TStreamText(), tb = sb ? TextOfStream(*sb) : TStreamText();
        if (!ta.Damaged && !tb.Damaged) {
          if (sa && sb && ta.Text == tb.Text) continue;  // compressed anew, the same text
          TLineDiff lines = DiffLines(SplitLines(ta.Text), SplitLines(tb.Text));
          Counted().LinesAdded += lines.Added;
          Counted().LinesRemoved += lines.Removed;
          ++Counted().Changed;
          std::string human = Mark(op) + owner + "\n";
          for (std::string_view line : SplitLines(lines.Hunks)) human += "    " + std::string(line) + "\n";
          Add(op, path, std::move(old), std::move(now), human, lines.Hunks);
          continue;
        }
        ++Counted().Changed;
        const TStreamText& bad = tb.Damaged ? tb : ta;
        Add(op, path, std::move(old), std::move(now),
            Mark(op) + owner + ": " + (tb.Damaged ? "поврежден" : "был поврежден") + " (" + bad.Why + ")\n");
        continue;
      }
      ++Counted().Changed;
      std::string human = Mark(op) + owner;
      if (any.Kind == TStreamKind::Other)
        human += ": " + (sa ? DigestWords(*sa->Stream) : std::string("нет")) + " → " + (sb ? DigestWords(*sb->Stream) : std::string("нет"));
      Add(op, path, std::move(old), std::move(now), human + "\n");
    }
  }
};

std::string Count(size_t n) { return std::to_string(n); }

std::string StatText(const std::vector<TCounts>& counts) {
  std::string text;
  TCounts total;
  size_t added = 0, removed = 0, changed = 0;
  for (const TCounts& c : counts) {
    if (!c.Added && !c.Removed && !c.Changed && c.State.empty()) continue;
    text += c.Name + ": ";
    if (!c.State.empty()) text += c.State + ", ";
    text += "+" + Count(c.Added) + " -" + Count(c.Removed) + " ~" + Count(c.Changed);
    if (c.LinesAdded || c.LinesRemoved) text += ", строк модулей +" + Count(c.LinesAdded) + " -" + Count(c.LinesRemoved);
    text += "\n";
    (c.State == "добавлен" ? added : c.State == "удален" ? removed : changed) += 1;
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
    if (!c.Added && !c.Removed && !c.Changed && c.State.empty()) continue;
    objects.push_back(TJson{{"kind", KindEnglish(c.Kind)}, {"object", c.Name},
                            {"state", c.State == "добавлен" ? "added" : c.State == "удален" ? "removed" : "changed"},
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
  if (!LoadContents(left, a, error) || !LoadContents(right, b, error)) return false;
  TComparison comparison(a, b, options);
  comparison.Run();
  std::vector<TChange>& changes = comparison.Changes;
  different = !changes.empty();
  if (options.Stat) {
    out = options.Json ? JsonText(StatJson(comparison.Counts), 2) + "\n" : StatText(comparison.Counts);
    return true;
  }
  if (!options.Json) {
    out = std::move(comparison.Human);
    return true;
  }
  // By path, element by element; UTF-8 bytes order as code points do.
  std::stable_sort(changes.begin(), changes.end(), [](const TChange& x, const TChange& y) { return x.Path < y.Path; });
  TJson list = TJson::array();
  for (TChange& c : changes) {
    TJson entry{{"op", c.Op}, {"path", c.Path}, {"old", std::move(c.Old)}, {"new", std::move(c.New)}};
    if (!c.Hunks.empty()) entry["diff"] = c.Hunks;
    list.push_back(std::move(entry));
  }
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
