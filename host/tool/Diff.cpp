#include <algorithm>
#include <functional>
#include <map>

#include "host/tool/Configuration.h"

namespace {
using TPath = std::vector<std::string>;

struct TChange {
  std::string Op;  // "added", "removed", "changed"
  TPath Path;
  TJson Old, New;
};

// A list's items by name; a name repeated within the list is numbered from its second
// occurrence on, in list order ("Цена", "Цена#2"), so that order never counts as a change.
using TNamed = std::map<std::string, TJson>;
TNamed ByName(const TJson& list, const std::function<std::string(const TJson&)>& nameOf) {
  TNamed named;
  std::map<std::string, int> seen;
  for (const TJson& item : list) {
    std::string name = nameOf(item);
    int occurrence = ++seen[name];
    named.emplace(occurrence == 1 ? name : name + "#" + std::to_string(occurrence), item);
  }
  return named;
}

std::string NameField(const TJson& item) { return item["name"].get<std::string>(); }
std::string FirstField(const TJson& item) { return item[0].get<std::string>(); }
std::string Itself(const TJson& item) { return item.get<std::string>(); }

// Each side's items are kept packed (MessagePack keeps every byte of every text) beside
// their names and unpacked a pair at a time: two large configurations held as whole trees
// do not fit in a 32-bit process.
class TPackedSink : public TConfigurationSink {
public:
  explicit TPackedSink(TJson& out) : Out(out) { Out = TJson::object(); }
  void Objects(TJson objects) override { Out["objects"] = std::move(objects); }
  void Open(const std::string& section) override { Section = &(Out[section] = TJson::array()); }
  void Item(TJson item) override {
    TJson packed = TJson::object();
    packed["name"] = item["name"];
    packed["packed"] = TJson::binary(TJson::to_msgpack(item));
    Section->push_back(std::move(packed));
  }

private:
  TJson& Out;
  TJson* Section = nullptr;
};

TJson Unpacked(const TJson& item) { return TJson::from_msgpack(item["packed"].get_binary()); }

class TDiff {
public:
  std::vector<TChange> Changes;

  // Items on one side only are added or removed; items on both whose values differ are
  // changed. valueOf gives what old/new carry; without it they are null and nothing changes.
  void Lists(const TPath& prefix, const TNamed& a, const TNamed& b,
             const std::function<TJson(const TJson&)>& valueOf = nullptr) {
    auto value = [&](const TJson& item) { return valueOf ? valueOf(item) : TJson(); };
    for (const auto& [name, item] : a) {
      auto other = b.find(name);
      if (other == b.end())
        Add("removed", prefix, name, value(item), TJson());
      else if (valueOf && value(item) != value(other->second))
        Add("changed", prefix, name, value(item), value(other->second));
    }
    for (const auto& [name, item] : b)
      if (a.find(name) == a.end()) Add("added", prefix, name, TJson(), value(item));
  }

  // Objects of one section present on both sides, each pair handed to compare.
  void Both(const TJson& a, const TJson& b, const std::function<void(const std::string&, const TJson&, const TJson&)>& compare) {
    TNamed right = ByName(b, NameField);
    for (const auto& [name, item] : ByName(a, NameField)) {
      auto other = right.find(name);
      if (other != right.end()) compare(name, Unpacked(item), Unpacked(other->second));
    }
  }

private:
  void Add(const std::string& op, TPath path, const std::string& name, TJson old, TJson now) {
    path.push_back(name);
    Changes.push_back({op, std::move(path), std::move(old), std::move(now)});
  }
};

std::vector<TChange> Compare(const TJson& a, const TJson& b) {
  TDiff diff;
  for (const auto& [kind, names] : a["objects"].items())
    diff.Lists({"objects", kind}, ByName(names, Itself), ByName(b["objects"].value(kind, TJson::array()), Itself));

  auto itself = [](const TJson& item) { return item; };
  diff.Both(a["documents"], b["documents"], [&](const std::string& name, const TJson& x, const TJson& y) {
    for (const char* part : {"head", "table"})
      diff.Lists({"documents", name, part}, ByName(x[part], NameField), ByName(y[part], NameField), itself);
  });
  diff.Both(a["catalogues"], b["catalogues"], [&](const std::string& name, const TJson& x, const TJson& y) {
    diff.Lists({"catalogues", name, "attributes"}, ByName(x["attributes"], NameField),
               ByName(y["attributes"], NameField), itself);
    diff.Lists({"catalogues", name, "owned"}, ByName(x["owned"], Itself), ByName(y["owned"], Itself));
    if (x["settings"] != y["settings"])
      diff.Changes.push_back({"changed", {"catalogues", name, "settings"}, x["settings"], y["settings"]});
  });
  auto typeCode = [](const TJson& pair) { return pair[1]; };
  diff.Both(a["registers"], b["registers"], [&](const std::string& name, const TJson& x, const TJson& y) {
    for (const char* part : {"dimensions", "resources"})
      diff.Lists({"registers", name, part}, ByName(x[part], FirstField), ByName(y[part], FirstField), typeCode);
  });
  auto internal = [](const TJson& value) { return value["internal"]; };
  diff.Both(a["enumerations"], b["enumerations"], [&](const std::string& name, const TJson& x, const TJson& y) {
    diff.Lists({"enumerations", name, "values"}, ByName(x["values"], NameField), ByName(y["values"], NameField),
               internal);
  });

  // By path, element by element; UTF-8 bytes order as code points do, and a path comes
  // before its extensions.
  std::stable_sort(diff.Changes.begin(), diff.Changes.end(),
                   [](const TChange& x, const TChange& y) { return x.Path < y.Path; });
  return diff.Changes;
}

// One change for people, in the words of `ostrak text`.
std::string Human(const TChange& c) {
  static const std::map<std::string, std::string> sections = {
      {"documents", "DOCUMENT"}, {"catalogues", "REFERENCE"}, {"registers", "REGISTER"}, {"enumerations", "ENUM"}};
  const char* mark = c.Op == "added" ? "+ " : c.Op == "removed" ? "- " : "~ ";
  if (c.Path[0] == "objects") return mark + KindLabel(c.Path[1]) + " " + c.Path[2] + "\n";

  const std::string& part = c.Path[2];
  std::string line = mark + KindLabel(sections.at(c.Path[0])) + " " + c.Path[1] + ": " + PartLabel(part);
  if (c.Path.size() > 3) line += ": " + c.Path[3];
  auto describe = [&](const TJson& value) -> std::string {
    if (part == "settings") return SettingsText(value);
    if (part == "dimensions" || part == "resources") return TypeText(value);
    if (part == "values") return InternalText(value);
    return AttributeText(value);
  };
  if (part == "owned") return line + "\n";
  if (c.Op == "changed") return line + "\n    было:  " + describe(c.Old) + "\n    стало: " + describe(c.New) + "\n";
  return line + ": " + describe(c.Op == "added" ? c.New : c.Old) + "\n";
}
}  // namespace

int RunDiff(const TSessionOptions& options, const std::string& left, const std::string& right, bool json) {
  TJson a, b;
  TPackedSink leftSink(a), rightSink(b);
  int status = ExitOk;
  // As diff does: 2 for trouble, whatever the reason.
  if (!ReadConfiguration(options, left, leftSink, status) || !ReadConfiguration(options, right, rightSink, status))
    return ExitTrouble;
  std::vector<TChange> changes = Compare(a, b);
  if (json) {
    TJson out = TJson::array();
    for (const TChange& c : changes) out.push_back(TJson{{"op", c.Op}, {"path", c.Path}, {"old", c.Old}, {"new", c.New}});
    Out(JsonText(out, 2) + "\n");
  } else {
    // People read the objects that came and went first, then what changed inside the others.
    std::stable_partition(changes.begin(), changes.end(), [](const TChange& c) { return c.Path[0] == "objects"; });
    std::string text;
    for (const TChange& c : changes) text += Human(c);
    Out(text);
  }
  return changes.empty() ? ExitOk : ExitFailed;
}
