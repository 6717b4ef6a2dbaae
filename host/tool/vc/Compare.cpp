// The comparison behind diff: what changed between two configurations, decided on what each
// writes (fields, identifiers, stream bytes and texts), never on the words for it.
#include "host/tool/vc/Compare.h"

#include <map>
#include <unordered_map>

namespace kalamos {

namespace {
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

TStep PartStep(const TPart* part, size_t index) {
  TStep step;
  if (part) step.Part = *part, step.Index = index;
  return step;
}

TStep ItemStep(const TItem& item, size_t index) {
  TStep step;
  step.IsItem = true, step.Item = item, step.Index = index;
  return step;
}

// What an item's value is made of: its fields after its identifier and name (all of them for
// an item without an identifier), nested lists passed over.
std::vector<std::string_view> ValueFields(const TModel& model, const TItem& item) {
  std::vector<std::string_view> fields = model.Tree().Fields(item.Node);
  if (!item.Id.empty()) fields.erase(fields.begin(), fields.begin() + std::min<size_t>(2, fields.size()));
  return fields;
}

// The identifiers of every reference list of a node, list by list; empty when it has none.
std::string RefersBasis(const TModel& model, int32_t node) {
  std::string basis;
  for (int32_t c = model.Tree().Node(node).FirstChild; c >= 0; c = model.Tree().Node(c).NextSibling) {
    if (!IsRefersList(model.Tree(), c)) continue;
    for (std::string_view id : model.RefersIds(c)) basis += id, basis += '\0';
    basis += '\1';
  }
  return basis;
}

// The lines of text with the words from at their starts put as to.
std::string Renamed(std::string_view text, const std::string& from, const std::string& to) {
  std::string out;
  for (std::string_view line : SplitLines(text)) {
    if (line.substr(0, from.size()) == from) out.append(to), line.remove_prefix(from.size());
    out.append(line).append("\n");
  }
  return out;
}

// Added, removed or changed, from what each side has (empty: nothing).
template <class T>
TChangeOp OpOf(const T& a, const T& b) {
  return a.empty() ? TChangeOp::Added : b.empty() ? TChangeOp::Removed : TChangeOp::Changed;
}

class TComparison {
public:
  TComparison(const TContents& a, const TContents& b, bool ignoreSpace)
      : A(a), B(b), MA(*a.Model), MB(*b.Model), IgnoreSpace(ignoreSpace) {}

  std::vector<TChange> Changes;

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
        X = i < 0 ? -1 : xa[size_t(i)];
        Y = j < 0 ? -1 : xb[size_t(j)];
        if (X < 0 || Y < 0) Add(X < 0 ? TChangeOp::Added : TChangeOp::Removed, TChangeOn::Object, {});
        else BothObjects();
      }
    }
    X = Y = -1;
    Streams();
  }

private:
  const TContents &A, &B;
  const TModel &MA, &MB;
  const bool IgnoreSpace;
  int32_t X = -1, Y = -1;  // the object on each side whose changes come now

  TChange& Add(TChangeOp op, TChangeOn on, std::vector<TStep> steps) {
    TChange& change = Changes.emplace_back();
    change.Op = op, change.On = on, change.ObjectA = X, change.ObjectB = Y, change.Steps = std::move(steps);
    return change;
  }

  void BothObjects() {
    const TObject &ox = MA.Object(X), &oy = MB.Object(Y);
    if (ox.Name != oy.Name) Add(TChangeOp::Renamed, TChangeOn::Name, {});
    // Written alike, byte for byte: nothing of the description changed.
    if (MA.Tree().Raw(ox.Node) != MB.Tree().Raw(oy.Node)) {
      const size_t before = Changes.size();
      Facts();
      Parts(ox.Parts, oy.Parts, {}, false);
      // Whatever the comparison above does not tell apart still shows, as lines of text; a
      // rename alone is its own change already.
      if (Changes.size() == before && !AlikeButNames(ox, oy)) Description();
    }
    Streams();
  }

  // The object's own facts, by key, on what the description writes: a referenced object's
  // new name is that object's change, not this one's.
  void Facts() {
    const std::vector<TFact> fx = ObjectFacts(MA, X, false), fy = ObjectFacts(MB, Y, false);
    std::map<std::string_view, const TFact*> byKey;
    for (const TFact& f : fx) byKey[f.Key] = &f;
    for (const TFact& f : fy) {
      auto found = byKey.find(f.Key);
      if (found == byKey.end()) {
        Add(TChangeOp::Added, TChangeOn::Fact, {}).Fact = f.Key;
        continue;
      }
      if (found->second->Basis != f.Basis) Add(TChangeOp::Changed, TChangeOn::Fact, {}).Fact = f.Key;
      byKey.erase(found);
    }
    for (const TFact& f : fx)
      if (byKey.count(f.Key)) Add(TChangeOp::Removed, TChangeOn::Fact, {}).Fact = f.Key;
  }

  // Whether two objects are written alike byte for byte but for their names.
  bool AlikeButNames(const TObject& x, const TObject& y) const {
    const std::string_view rx = MA.Tree().Raw(x.Node), ry = MB.Tree().Raw(y.Node);
    auto within = [](std::string_view raw, std::string_view field) {
      return field.data() >= raw.data() && field.data() + field.size() <= raw.data() + raw.size();
    };
    if (x.Name == y.Name || !within(rx, x.Name) || !within(ry, y.Name)) return rx == ry;
    const size_t at = size_t(x.Name.data() - rx.data()), bt = size_t(y.Name.data() - ry.data());
    return rx.substr(0, at) == ry.substr(0, bt) && rx.substr(at + x.Name.size()) == ry.substr(bt + y.Name.size());
  }

  void Description() {
    std::string tx, ty;
    DescriptionText(MA, X, tx);
    DescriptionText(MB, Y, ty);
    // Every line starts with the object's words: a rename, a change of its own, would
    // otherwise take every line with it. The old text stays as it was for scripts.
    const std::string shown =
        MA.Object(X).Name != MB.Object(Y).Name ? Renamed(tx, ObjectWords(MA, X), ObjectWords(MB, Y)) : tx;
    if (shown == ty) return;
    TChange& change = Add(TChangeOp::Changed, TChangeOn::Description, {});
    change.Texts = true;
    change.Lines = DiffLines(SplitLines(shown), SplitLines(ty));
    change.TextA = std::move(tx), change.TextB = std::move(ty);
  }

  // A part's key across versions: its tag, else its identifier, else its place.
  static std::string PartKey(const TPart& part, size_t index) {
    if (!part.Tag.empty()) return std::string(part.Tag);
    if (!part.Id.empty()) return "#" + std::string(part.Id);
    return "##" + std::to_string(index);
  }

  // Parts matched by key, a repeated key taken in order. steps: the way down to them; deep
  // below the first item level.
  void Parts(const std::vector<TPart>& pa, const std::vector<TPart>& pb, const std::vector<TStep>& steps, bool deep) {
    std::multimap<std::string, std::pair<const TPart*, size_t>> keys;
    for (size_t i = 0; i < pa.size(); ++i) keys.emplace(PartKey(pa[i], i), std::make_pair(&pa[i], i));
    for (size_t j = 0; j < pb.size(); ++j) {
      auto found = keys.find(PartKey(pb[j], j));
      if (found == keys.end()) {
        Part(nullptr, 0, &pb[j], j, steps, deep);
        continue;
      }
      const auto [old, i] = found->second;
      keys.erase(found);
      if (MA.Tree().Raw(old->Node) != MB.Tree().Raw(pb[j].Node)) Part(old, i, &pb[j], j, steps, deep);
    }
    for (const auto& [key, part] : keys) Part(part.first, part.second, nullptr, 0, steps, deep);
  }

  // The reference lists of a part or an item (x, y: its two sides).
  void Refers(const TStep& x, const TStep& y, const std::vector<TStep>& steps) {
    const std::string rx = x.Present() ? RefersBasis(MA, x.Node()) : "", ry = y.Present() ? RefersBasis(MB, y.Node()) : "";
    if (rx == ry) return;
    TChange& change = Add(OpOf(rx, ry), TChangeOn::Refers, steps);
    change.A = x, change.B = y;
  }

  void Part(const TPart* x, size_t ix, const TPart* y, size_t iy, std::vector<TStep> steps, bool deep) {
    const TStep sx = PartStep(x, ix), sy = PartStep(y, iy);
    steps.push_back(y ? sy : sx);
    const std::vector<std::string_view> fx = PartFields(MA, sx), fy = PartFields(MB, sy);
    if (fx != fy) {
      TChange& change = Add(OpOf(fx, fy), TChangeOn::Fields, steps);
      change.A = sx, change.B = sy;
    }
    if (deep) Refers(sx, sy, steps);
    if (x && y && SameItems(*x, *y)) return;
    static const std::vector<TItem> none;
    Items(steps, x ? MA.Items(*x) : none, y ? MB.Items(*y) : none, deep);
  }

  // The same items written alike in the same order: most parts of most objects.
  bool SameItems(const TPart& x, const TPart& y) const {
    const std::vector<int32_t> px = MA.ItemNodes(x), py = MB.ItemNodes(y);
    if (px.size() != py.size()) return false;
    for (size_t k = 0; k < px.size(); ++k)
      if (MA.Tree().Raw(px[k]) != MB.Tree().Raw(py[k])) return false;
    return true;
  }

  void Items(const std::vector<TStep>& steps, const std::vector<TItem>& a, const std::vector<TItem>& b, bool deep) {
    static const std::vector<TPart> none;
    for (auto [i, j] : Match(a, b, [](const TItem& i) { return i.Id; }, [](const TItem& i) { return i.Name; })) {
      std::vector<TStep> here = steps;
      if (i < 0 || j < 0) {
        // One side alone: the item, and every part below it, added or removed.
        const TItem& item = i < 0 ? b[size_t(j)] : a[size_t(i)];
        here.push_back(ItemStep(item, size_t(i < 0 ? j : i)));
        TChange& change = Add(i < 0 ? TChangeOp::Added : TChangeOp::Removed, TChangeOn::Item, here);
        (i < 0 ? change.B : change.A) = here.back();
        if (i < 0) Parts(none, MB.PartsOf(item.Node), here, true);
        else Parts(MA.PartsOf(item.Node), none, here, true);
        continue;
      }
      const TItem &x = a[size_t(i)], &y = b[size_t(j)];
      // Written alike, same item: a referenced object's new name is that object's change.
      if (MA.Tree().Raw(x.Node) == MB.Tree().Raw(y.Node)) continue;
      const TStep sx = ItemStep(x, size_t(i)), sy = ItemStep(y, size_t(j));
      here.push_back(sy);
      // An item without a name is called by its place.
      const bool renamed = x.Name != y.Name || (x.Name.empty() && i != j) || x.Id != y.Id;
      const bool valueChanged = ValueFields(MA, x) != ValueFields(MB, y);
      if (renamed || valueChanged) {
        TChange& change = Add(renamed ? TChangeOp::Renamed : TChangeOp::Changed, TChangeOn::Item, here);
        change.A = sx, change.B = sy, change.ValueChanged = valueChanged;
      }
      if (deep) Refers(sx, sy, here);
      Parts(MA.PartsOf(x.Node), MB.PartsOf(y.Node), here, true);
    }
  }

  // The streams of the objects X and Y, or the container's own (both -1), matched by their
  // place.
  void Streams() {
    std::map<std::string, std::vector<const TPlacedStream*>> before;
    for (const TPlacedStream* s : A.StreamsOf(X)) before[s->Key].push_back(s);
    std::vector<std::pair<const TPlacedStream*, const TPlacedStream*>> pairs;
    for (const TPlacedStream* s : B.StreamsOf(Y)) {
      auto& list = before[s->Key];
      const TPlacedStream* old = nullptr;
      if (!list.empty()) old = list.front(), list.erase(list.begin());
      pairs.emplace_back(old, s);
    }
    for (auto& [key, list] : before)
      for (const TPlacedStream* s : list) pairs.emplace_back(s, nullptr);
    for (auto [sa, sb] : pairs) {
      if (sa && sb && sa->Stream->Bytes == sb->Stream->Bytes) continue;
      TChange change;
      change.Op = !sa ? TChangeOp::Added : !sb ? TChangeOp::Removed : TChangeOp::Changed;
      change.On = TChangeOn::Stream, change.ObjectA = X, change.ObjectB = Y;
      change.StreamA = sa, change.StreamB = sb;
      // Modules and forms by their text: a form's change shows as a module's does.
      if ((sb ? sb : sa)->Kind != TStreamKind::Other) {
        const TStreamText ta = sa ? TextOfStream(*sa) : TStreamText(), tb = sb ? TextOfStream(*sb) : TStreamText();
        if (!ta.Damaged && !tb.Damaged) {
          if (sa && sb && ta.Text == tb.Text) continue;  // compressed anew, the same text
          change.Lines = DiffLines(SplitLines(ta.Text), SplitLines(tb.Text), 3, IgnoreSpace);
          if (sa && sb && change.Lines.Hunks.empty()) continue;  // blanks alone, with -w
          change.Texts = true;
        }
      }
      Changes.push_back(std::move(change));
    }
  }
};
}  // namespace

std::vector<std::string_view> PartFields(const TModel& model, const TStep& part) {
  if (!part.Present()) return {};
  std::vector<std::string_view> all = model.Tree().Fields(part.Part.Node);
  if (!all.empty() && (!part.Part.Tag.empty() || !part.Part.Id.empty())) all.erase(all.begin());
  return all;
}

std::vector<TChange> Compare(const TContents& a, const TContents& b, bool ignoreSpace) {
  TComparison comparison(a, b, ignoreSpace);
  comparison.Run();
  return std::move(comparison.Changes);
}

}  // namespace kalamos
