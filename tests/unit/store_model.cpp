// Random texts against a plain model of the store: recursive parse, sorted arrays kept by
// one insertion at a time, lookups that walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <random>

#include "platform/Text.h"
#include "tests/unit/store_util.h"

using namespace kalamos;

namespace {

struct TModel {
  struct TEntry {
    std::string Key, Link, Text;
  };
  int32_t LastAutoId = 32000;
  std::array<std::string, KindCount> SectionIds;
  std::vector<TEntry> Ids, Parents;
  std::string Buffer;
  size_t Position = 0;

  static size_t LowerBound(const std::vector<TEntry>& index, const std::string& key) {
    return size_t(std::lower_bound(index.begin(), index.end(), key,
                                   [](const TEntry& e, const std::string& k) { return CompareKeys(e.Key, k) < 0; }) -
                  index.begin());
  }

  std::string AddNode(const std::string& parent, std::string t) {
    if (!t.empty() && t.back() == ',') t.pop_back();
    std::string id, stored = t;
    const size_t comma = t.find(',');
    if (t.size() >= 2 && t[1] >= '0' && t[1] <= '9' && comma != std::string::npos) {
      id = comma >= 2 ? t.substr(1, comma - 2) : "";
      stored = t.substr(comma + 1);
    } else {
      id = std::to_string(++LastAutoId);
      const std::string inner = t.size() >= 2 ? t.substr(1, t.size() - 2) : "";
      for (int k = 0; parent == "32001" && k < KindCount; ++k) {
        if (inner == SectionTag(k) || (SectionAlias(k) && inner == SectionAlias(k))) {
          SectionIds[k] = id.substr(0, 5);
          break;
        }
      }
    }
    const size_t at = LowerBound(Ids, id);
    if (at < Ids.size() && CompareKeys(Ids[at].Key, id) == 0)
      Ids[at].Link = parent, Ids[at].Text = stored;
    else
      Ids.insert(Ids.begin() + at, {id, parent, stored});
    Parents.insert(Parents.begin() + LowerBound(Parents, parent), {parent, id, ""});
    return id;
  }

  void ParseList(const std::string& parent) {
    std::string text, childParent;
    while (Position < Buffer.size()) {
      const unsigned char c = Buffer[Position++];
      if (c == '{') {
        if (childParent.empty()) childParent = AddNode(parent, text);
        if (!childParent.empty()) {
          ParseList(childParent);
          text.clear();
        }
      } else if (c == '}') {
        if (!text.empty()) AddNode(parent, text);
        if (!parent.empty()) return;
      } else if (c >= 0x20) {
        text += char(c);
      }
    }
  }

  bool FindId(const std::string& id, int32_t& position) const {
    position = int32_t(LowerBound(Ids, id));
    return size_t(position) < Ids.size() && CompareKeys(Ids[position].Key, id) == 0;
  }

  bool FindChildByName(const std::string& parent, const std::string& name, int32_t& position) const {
    const size_t at = LowerBound(Parents, parent);
    if (at >= Parents.size() || CompareKeys(Parents[at].Key, parent) != 0) return false;
    size_t first = at, end = at + 1;
    while (first > 0 && Parents[first - 1].Key == parent) --first;
    while (end < Parents.size() && Parents[end].Key == parent) ++end;
    for (size_t k = first; k < end; ++k) {
      if (!FindId(Parents[k].Link, position)) continue;
      std::string text = Ids[position].Text;
      if (text.empty() || text.back() != ',') text += ',';
      const size_t comma = text.find(',');
      const std::string childName = comma >= 2 ? text.substr(1, comma - 2) : "";
      if (AnsiUpper(childName) == AnsiUpper(name)) return true;
    }
    return false;
  }
};

class TTextMaker {
public:
  explicit TTextMaker(uint32_t seed) : Random(seed) {
    for (const char* n : {"a", "A", "b", "Ёж", "ёж", "ЁЖ", "Документы", "x,y"}) Names.push_back(Utf8ToAnsi(n));
  }

  std::string Make() {
    std::string text;
    const int lists = Pick(6);
    for (int i = 0; i < lists; ++i) {
      if (i) text += Pick(4) ? ",\r\n" : "\"junk\"";
      List(text, 0);
    }
    if (Pick(2)) text += "\r\n}";
    if (Pick(4) == 0) text += Noise();
    return text;
  }

  const std::vector<std::string>& NamePool() const { return Names; }

private:
  int Pick(int n) { return int(Random() % uint32_t(n)); }

  std::string Id() {
    // Short and long digit strings on both sides of the nine digits the sort packs.
    static const char* const ids[] = {"1",        "12",        "1a",         "1A",        "120",
                                      "0",        "00",        "5",          "32001",     "32002",
                                      "99999999", "123456789", "999999999",  "1234567890", "000000000"};
    return ids[Pick(int(std::size(ids)))];
  }

  std::string Noise() {
    static const char* const bits[] = {"{", "}", ",", "\"", "\"5,", "\t", "\"7\"", "\"", "q"};
    std::string s;
    for (int i = Pick(4); i > 0; --i) s += bits[Pick(9)];
    return s;
  }

  void List(std::string& text, int depth) {
    text += '{';
    switch (Pick(6)) {
      case 0: text += "\"" + Id() + "\",\"" + Names[Pick(int(Names.size()))] + "\""; break;
      case 1: text += "\"" + std::string(Pick(3) ? SectionTag(Pick(KindCount)) : Pick(2) ? "DocNumDef" : "CalcVars") + "\""; break;
      case 2: text += "\"" + Names[Pick(int(Names.size()))] + "\",\"s\""; break;
      case 3: text += Noise(); break;
      default: break;
    }
    // Sometimes many children, so that named lookups leave the plain walk.
    const int children = depth >= 3 ? 0 : Pick(5) == 0 ? 10 + Pick(20) : Pick(4);
    for (int i = 0; i < children; ++i) {
      text += Pick(5) ? ",\r\n" : ",\"between\",";
      List(text, depth + 1);
    }
    if (Pick(5) == 0) text += ",\"after\"";
    if (Pick(12)) text += '}';
  }

  std::mt19937 Random;
  std::vector<std::string> Names;
};

}  // namespace

TEST(StoreModel, RandomTextsAgreeWithThePlainModel) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    TTextMaker maker(seed);
    const std::string text = maker.Make();
    SCOPED_TRACE("seed " + std::to_string(seed) + ": " + text);
    auto store = StoreOf(text);
    TModel model;
    model.Buffer = text;
    model.ParseList("");

    ASSERT_EQ(store->LastAutoId, model.LastAutoId);
    ASSERT_EQ(store->SectionIds, model.SectionIds);
    ASSERT_EQ(store->IdCount(), int32_t(model.Ids.size()));
    for (int32_t i = 0; i < store->IdCount(); ++i) {
      const TModel::TEntry& e = model.Ids[i];
      ASSERT_EQ(store->IdAt(i), e.Key) << i;
      ASSERT_EQ(store->IdRecordAt(i).Link, e.Link) << i;
      ASSERT_EQ(store->TextAt(i), e.Text) << i;
    }
    ASSERT_EQ(store->ParentCount(), int32_t(model.Parents.size()));
    for (int32_t i = 0; i < store->ParentCount(); ++i) {
      ASSERT_EQ(store->ParentKeyAt(i), model.Parents[i].Key) << i;
      ASSERT_EQ(store->ChildIdAt(i), model.Parents[i].Link) << i;
      // The position found at load is the one a search finds.
      int32_t position = -1;
      ASSERT_TRUE(store->FindId(store->ChildIdAt(i), position)) << i;
      ASSERT_EQ(store->ChildPositionAt(i), position) << i;
    }

    std::set<std::string> parents{"", "32001", "32002", "1A", "zz"};
    for (const auto& e : model.Parents) parents.insert(e.Key);
    std::vector<std::string> names = maker.NamePool();
    names.insert(names.end(), {"", "DOCNUMDEF", "s", "\"junk"});
    for (const std::string& parent : parents) {
      for (const std::string& name : names) {
        int32_t expected = -7, actual = -7;
        const bool found = model.FindChildByName(parent, name, expected);
        ASSERT_EQ(store->FindChildByName(parent, name, actual), found) << parent << "/" << name;
        ASSERT_EQ(actual, expected) << parent << "/" << name;
      }
    }
  }
}

namespace {

// Thousands of lists of digit identifiers up to `digits` long, many repeated, nested up to
// three deep: enough for the sort's buckets and the parent index's passes to hold more than
// a few entries each, and for nodes of one identifier to sit under different parents.
std::string DigitText(uint32_t seed, int digits, int lists, const std::string& prefix = "") {
  std::mt19937 random(seed);
  auto pick = [&](uint32_t n) { return random() % n; };
  std::string text;
  std::vector<int> open;
  for (int i = 0; i < lists; ++i) {
    if (!open.empty() && (open.size() >= 3 || pick(3) == 0)) {
      text += "},";
      open.pop_back();
    }
    text += "{\"" + prefix;
    const int length = 1 + int(pick(uint32_t(digits)));
    for (int k = 0; k < length; ++k) text += char('0' + pick(10));
    text += "\",\"n" + std::to_string(i) + "\"";
    if (pick(4) == 0) {
      // A list with no identifier of its own: an automatic one.
      text += "},{\"t" + std::to_string(i) + "\"";
    }
    if (pick(2)) {
      text += ",";
      open.push_back(i);
    } else {
      text += "},";
    }
  }
  while (!open.empty()) {
    text += "}";
    open.pop_back();
  }
  return text;
}

}  // namespace

TEST(StoreModel, ManyDigitIdentifiersAgreeWithThePlainModel) {
  // The last: thousands of identifiers of one prefix, in the few sort buckets it spans.
  for (int digits : {3, 6, 9, 5}) {
    const std::string text = digits == 5 ? DigitText(5, 5, 3000, "12") : DigitText(uint32_t(digits), digits, 2500);
    SCOPED_TRACE("identifiers of up to " + std::to_string(digits) + " digits");
    auto store = StoreOf(text);
    TModel model;
    model.Buffer = text;
    model.ParseList("");
    ASSERT_EQ(store->LastAutoId, model.LastAutoId);
    ASSERT_EQ(store->IdCount(), int32_t(model.Ids.size()));
    // Repeated identifiers and more than one sort bucket are what this is about.
    ASSERT_LT(store->IdCount(), store->ParentCount() - 100);
    for (int32_t i = 0; i < store->IdCount(); ++i) {
      ASSERT_EQ(store->IdAt(i), model.Ids[i].Key) << i;
      ASSERT_EQ(store->IdRecordAt(i).Link, model.Ids[i].Link) << i;
      ASSERT_EQ(store->TextAt(i), model.Ids[i].Text) << i;
    }
    ASSERT_EQ(store->ParentCount(), int32_t(model.Parents.size()));
    for (int32_t i = 0; i < store->ParentCount(); ++i) {
      ASSERT_EQ(store->ParentKeyAt(i), model.Parents[i].Key) << i;
      ASSERT_EQ(store->ChildIdAt(i), model.Parents[i].Link) << i;
      int32_t position = -1;
      ASSERT_TRUE(store->FindId(store->ChildIdAt(i), position)) << i;
      ASSERT_EQ(store->ChildPositionAt(i), position) << i;
    }
  }
}
