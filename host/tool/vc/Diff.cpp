// ostrak diff: two configurations compared object by object, matched by identifier first
// and then by name, so that a rename is one change and what changed inside it still shows.
#include <algorithm>
#include <map>
#include <unordered_map>

#include "host/tool/answers/Contents.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/vc/Vc.h"
#include "host/tool/ground/LineDiff.h"
#include "host/tool/answers/Queries.h"
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
  std::string Name;  // "Документ Счет", as people read it
  std::string Bare;  // "Счет", as the JSON answers name objects
  int Kind = 0;
  enum class TState { Both, Added, Removed } State = TState::Both;
  size_t Added = 0, Removed = 0, Changed = 0, LinesAdded = 0, LinesRemoved = 0;
};

// Identifier "0" stands on several lists of one object and says nothing about which is which.
bool RealId(std::string_view id) { return !id.empty() && id != "0"; }

// Pairs of a's and b's entries: by identifier first, then by name among the rest, a repeated
// name taken in order. -1 on a side means there is none.
template <class T, class Id, class Name>
std::vector<std::pair<int32_t, int32_t>> Match(const std::vector<T>& a, const std::vector<T>& b, Id idOf, Name nameOf) {
  std::vector<int32_t> ofA(a.size(), -1), ofB(b.size(), -1);
  std::unordered_map<std::string_view, int32_t> ids;
  for (size_t j = b.size(); j-- > 0;)
    if (RealId(idOf(b[j]))) ids[idOf(b[j])] = int32_t(j);
  for (size_t i = 0; i < a.size(); ++i) {
    if (!RealId(idOf(a[i]))) continue;
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
      auto pairs = Match(na, nb, [](const TNamed& n) { return n.Id; }, [](const TNamed& n) { return n.Name; });
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
      if (CurrentObject >= 0) counts.Bare = U(CurrentModel->Object(CurrentObject).Name);
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
    Counted().State = op == "added" ? TCounts::TState::Added : TCounts::TState::Removed;
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
    // Written alike, byte for byte: nothing of the description changed.
    if (MA.Tree().Raw(ox.Node) != MB.Tree().Raw(oy.Node)) {
      const size_t before = Changes.size();
      // The object's own facts, by key; they all come from its fields and its Refers lists.
      Facts(x, y, kind, name);
      Parts(MA.Object(x).Parts, MB.Object(y).Parts, Cur() + ": ", {kind, name}, false);
      // Whatever the comparison above has no words for still shows, as lines of text.
      if (Changes.size() == before) Lines(x, y, kind, name);
    }
    Streams(&ox, x, y);
  }

  void Lines(int32_t x, int32_t y, const std::string& kind, const std::string& name) {
    std::string tx, ty;
    DescriptionText(*A.Model, x, tx);
    DescriptionText(*B.Model, y, ty);
    if (tx == ty) return;
    TLineDiff lines = DiffLines(SplitLines(tx), SplitLines(ty));
    ++Counted().Changed;
    std::string human = "~ " + Cur() + "\n";
    for (std::string_view line : SplitLines(lines.Hunks)) human += "    " + std::string(line) + "\n";
    Add("changed", {kind, name, "description"}, tx, ty, human, lines.Hunks);
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
        // Decided on what the description writes: a referenced object's new name is that
        // object's change, not this one's.
        if (found->second->Basis != f.Basis) {
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

  // A part's key across versions: its tag, else its identifier, else its place.
  static std::string PartKey(const TPart& part, size_t index) {
    if (!part.Tag.empty()) return std::string(part.Tag);
    if (!part.Id.empty()) return "#" + std::string(part.Id);
    return "##" + std::to_string(index);
  }

  // Parts matched by key, a repeated key taken in order. prefix: the words before the part's
  // ("Документ Счет: "), path: the JSON path before it; deep below the first item level.
  void Parts(const std::vector<TPart>& pa, const std::vector<TPart>& pb, const std::string& prefix,
             const std::vector<std::string>& path, bool deep) {
    std::multimap<std::string, std::pair<const TPart*, size_t>> keys;
    for (size_t i = 0; i < pa.size(); ++i) keys.emplace(PartKey(pa[i], i), std::make_pair(&pa[i], i));
    for (size_t j = 0; j < pb.size(); ++j) {
      auto found = keys.find(PartKey(pb[j], j));
      if (found == keys.end()) {
        Part(nullptr, 0, &pb[j], j, prefix, path, deep);
        continue;
      }
      const auto [old, i] = found->second;
      keys.erase(found);
      if (MA.Tree().Raw(old->Node) != MB.Tree().Raw(pb[j].Node)) Part(old, i, &pb[j], j, prefix, path, deep);
    }
    for (const auto& [key, part] : keys) Part(part.first, part.second, nullptr, 0, prefix, path, deep);
  }

  static std::string Quoted(const std::vector<std::string_view>& fields) {
    std::string text;
    for (size_t i = 0; i < fields.size(); ++i) text += (i ? ", " : "") + JsonString(U(fields[i]));
    return text;
  }
  static TJson Raw(const std::vector<std::string_view>& fields) {
    TJson raw = TJson::array();
    for (std::string_view f : fields) raw.push_back(U(f));
    return raw;
  }

  // A value that is one line on each side: its fields, or a Refers list's words.
  void Value(const std::string& label, std::vector<std::string> path, const std::string& vx, const std::string& vy,
             TJson rx, TJson ry) {
    if (vx == vy) return;
    if (vx.empty()) {
      ++Counted().Added;
      Add("added", std::move(path), nullptr, std::move(ry), "+ " + label + ": " + vy + "\n");
    } else if (vy.empty()) {
      ++Counted().Removed;
      Add("removed", std::move(path), std::move(rx), nullptr, "- " + label + ": " + vx + "\n");
    } else {
      ++Counted().Changed;
      Add("changed", std::move(path), std::move(rx), std::move(ry),
          "~ " + label + "\n    было:  " + vx + "\n    стало: " + vy + "\n");
    }
  }

  std::vector<std::string_view> OwnFields(const TModel& model, const TPart* part) {
    if (!part) return {};
    std::vector<std::string_view> all = model.Tree().Fields(part->Node);
    if (!all.empty() && (!part->Tag.empty() || !part->Id.empty())) all.erase(all.begin());
    return all;
  }

  // The words of every "Refers" list of a node, in order.
  static std::string RefersOf(const TModel& model, int32_t node) {
    std::string words;
    for (int32_t c = model.Tree().Node(node).FirstChild; c >= 0; c = model.Tree().Node(c).NextSibling)
      if (IsRefersList(model.Tree(), c)) words += (words.empty() ? "" : "; ") + RefersWords(model, c);
    return words;
  }

  void Part(const TPart* x, size_t ix, const TPart* y, size_t iy, const std::string& prefix,
            const std::vector<std::string>& path, bool deep) {
    const TPart& any = y ? *y : *x;
    const std::string label = PartLabel(any, y ? iy : ix);
    const std::string words = prefix + label;
    std::vector<std::string> here = path;
    here.push_back(any.Tag.empty() ? label : U(any.Tag));
    const std::vector<std::string_view> fx = OwnFields(MA, x), fy = OwnFields(MB, y);
    std::vector<std::string> fieldsPath = here;
    fieldsPath.push_back("fields");
    Value(words + ": поля", fieldsPath, Quoted(fx), Quoted(fy), Raw(fx), Raw(fy));
    if (deep) {
      std::vector<std::string> refersPath = here;
      refersPath.push_back("refers");
      const std::string rx = x ? RefersOf(MA, x->Node) : "", ry = y ? RefersOf(MB, y->Node) : "";
      Value(words + ": ссылки", refersPath, rx, ry, rx, ry);
    }
    if (x && y && SameItems(*x, *y)) return;
    static const std::vector<TItem> none;
    Items(words, here, x ? MA.Items(*x) : none, y ? MB.Items(*y) : none, deep);
  }

  // The same items written alike in the same order: most parts of most objects.
  bool SameItems(const TPart& x, const TPart& y) const {
    const std::vector<int32_t> px = MA.ItemNodes(x), py = MB.ItemNodes(y);
    if (px.size() != py.size()) return false;
    for (size_t k = 0; k < px.size(); ++k)
      if (MA.Tree().Raw(px[k]) != MB.Tree().Raw(py[k])) return false;
    return true;
  }

  void Items(const std::string& part, const std::vector<std::string>& path, const std::vector<TItem>& a,
             const std::vector<TItem>& b, bool deep) {
    std::vector<std::string> labelsA, labelsB;
    for (size_t k = 0; k < a.size(); ++k) labelsA.push_back(ItemLabel(a[k], k));
    for (size_t k = 0; k < b.size(); ++k) labelsB.push_back(ItemLabel(b[k], k));
    auto pairs = Match(a, b, [](const TItem& i) { return i.Id; }, [](const TItem& i) { return i.Name; });
    for (auto [i, j] : pairs) {
      std::vector<std::string> here = path;
      if (i < 0) {
        const TItem& item = b[size_t(j)];
        ++Counted().Added;
        const std::string value = ItemValue(MB, item);
        here.push_back(U(labelsB[size_t(j)]));
        Add("added", here, nullptr, ItemJson(MB, item),
            "+ " + part + ": " + U(labelsB[size_t(j)]) + (value.empty() ? "" : ": " + value) + "\n");
        Below(nullptr, &item, part + ": " + U(labelsB[size_t(j)]) + ": ", here);
      } else if (j < 0) {
        const TItem& item = a[size_t(i)];
        ++Counted().Removed;
        const std::string value = ItemValue(MA, item);
        here.push_back(U(labelsA[size_t(i)]));
        Add("removed", here, ItemJson(MA, item), nullptr,
            "- " + part + ": " + U(labelsA[size_t(i)]) + (value.empty() ? "" : ": " + value) + "\n");
        Below(&item, nullptr, part + ": " + U(labelsA[size_t(i)]) + ": ", here);
      } else {
        const TItem &x = a[size_t(i)], &y = b[size_t(j)];
        // Written alike, same item: a referenced object's new name is that object's change.
        if (MA.Tree().Raw(x.Node) == MB.Tree().Raw(y.Node)) continue;
        const std::string &lx = labelsA[size_t(i)], &ly = labelsB[size_t(j)];
        here.push_back(U(ly));
        const std::string vx = ItemValue(MA, x), vy = ItemValue(MB, y);
        const bool renamed = lx != ly || x.Id != y.Id;
        // Decided on the fields as written; the words only show it.
        const bool valueChanged = ValueFields(MA, x) != ValueFields(MB, y);
        if (renamed || valueChanged) {
          ++Counted().Changed;
          auto shown = [](const std::string& label, const TItem& item) {
            return U(label) + (item.Id.empty() ? "" : " (" + U(item.Id) + ")");
          };
          std::string human = "~ " + part + ": " + shown(lx, x) + (renamed ? " → " + shown(ly, y) : "") + "\n";
          if (valueChanged) human += "    было:  " + vx + "\n    стало: " + vy + "\n";
          Add(renamed ? "renamed" : "changed", here, ItemJson(MA, x), ItemJson(MB, y), human);
        }
        if (deep) {
          std::vector<std::string> refersPath = here;
          refersPath.push_back("refers");
          const std::string rx = RefersOf(MA, x.Node), ry = RefersOf(MB, y.Node);
          Value(part + ": " + U(ly) + ": ссылки", refersPath, rx, ry, rx, ry);
        }
        Parts(MA.PartsOf(x.Node), MB.PartsOf(y.Node), part + ": " + U(ly) + ": ", here, true);
      }
    }
  }

  // What an item's value is made of: its fields after its identifier and name (all of them for
  // an item without an identifier), nested lists passed over.
  static std::vector<std::string_view> ValueFields(const TModel& model, const TItem& item) {
    std::vector<std::string_view> fields = model.Tree().Fields(item.Node);
    if (!item.Id.empty()) fields.erase(fields.begin(), fields.begin() + std::min<size_t>(2, fields.size()));
    return fields;
  }

  // What stands below an item that only one side has: its parts, every one added or removed.
  void Below(const TItem* x, const TItem* y, const std::string& prefix, const std::vector<std::string>& path) {
    static const std::vector<TPart> none;
    Parts(x ? MA.PartsOf(x->Node) : none, y ? MB.PartsOf(y->Node) : none, prefix, path, true);
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
      // Modules and forms by their text: a form's change shows as a module's does.
      if (any.Kind != TStreamKind::Other) {
        const TStreamText ta = sa ? TextOfStream(*sa) : TStreamText(), tb = sb ? TextOfStream(*sb) : TStreamText();
        if (!ta.Damaged && !tb.Damaged) {
          if (sa && sb && ta.Text == tb.Text) continue;  // compressed anew, the same text
          TLineDiff lines = DiffLines(SplitLines(ta.Text), SplitLines(tb.Text), 3, Options.IgnoreSpace);
          if (sa && sb && lines.Hunks.empty()) continue;  // blanks alone, with -w
          if (any.Kind == TStreamKind::Module) {
            Counted().LinesAdded += lines.Added;
            Counted().LinesRemoved += lines.Removed;
          }
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
