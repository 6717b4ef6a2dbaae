// The model's commands as people and scripts see them: Russian lines, or JSON with --json.
#include <algorithm>
#include <functional>
#include <tuple>

#include "host/tool/answers/QueryCommands.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/answers/Contents.h"
#include "host/tool/answers/Queries.h"
#include "platform/Text.h"

namespace kalamos {

namespace {
const char* const StandardNote =
    "Стандартные реквизиты платформы (код, наименование, номер, дата и подобные) не входят в описание "
    "конфигурации, поэтому ostrak их не знает.\n";

std::unique_ptr<TModel> LoadOrSay(const std::string& path, int& status) {
  std::string error;
  std::unique_ptr<TModel> model = LoadModel(path, error);
  if (!model) {
    Err("ostrak: " + error + "\n");
    status = ExitFailed;
  }
  return model;
}

std::string PlaceWords(const TModel& model, int32_t object, std::string_view part, std::string_view item) {
  std::string text = ObjectWords(model, object);
  if (!part.empty()) text += ": " + PartWordsOf(part);
  if (!item.empty()) text += ": " + U(item);
  return text;
}

// Several objects of different kinds under one name: say which to write.
bool OneObject(const TModel& model, const TNameQuery& query, const std::vector<int32_t>& found, int32_t& object,
               std::string& error) {
  object = found.back();
  for (int32_t o : found)
    if (model.Object(o).Kind != model.Object(object).Kind) {
      std::string choices;
      for (int32_t c : found) choices += " " + KindRussian(model.Object(c).Kind) + "." + U(model.Object(c).Name);
      error = Say("several objects are named ", "имя носят несколько объектов: ") + U(query.Segments.front()) +
              Say("; write one of:", "; напишите одно из:") + choices;
      return false;
    }
  return true;
}

bool OneSegment(const TNameQuery& query, const std::string& name, std::string& error) {
  if (query.Segments.size() == 1 && !query.Segments.front().empty()) return true;
  error = name + Say(": write Name or Kind.Name (the kind as EnumObjects takes it, e.g. Справочник or REFERENCE)",
                     ": пишите Имя или Вид.Имя (вид — как его принимает ПеречислитьОбъекты, например Справочник или REFERENCE)");
  return false;
}

// The object's facts as text and diff have them, with what only show tells beside them: the
// catalogues a catalogue owns, a journal's documents, and the parts with their items.
std::string ShowText(const TModel& model, int32_t index) {
  const TObject& object = model.Object(index);
  std::string text = ObjectWords(model, index) + "\n";
  auto line = [&](const std::string& label, const std::string& value) { text += "  " + label + ": " + value + "\n"; };
  auto names = [&](const std::vector<int32_t>& objects) {
    std::string list;
    for (int32_t o : objects) list += (list.empty() ? "" : ", ") + U(model.Object(o).Name);
    return list;
  };
  // Parts and their items, and below an item its own parts (a plan's accounts), indented.
  std::function<void(const std::vector<TPart>&, const std::string&)> parts = [&](const std::vector<TPart>& list,
                                                                                  const std::string& indent) {
    for (size_t p = 0; p < list.size(); ++p) {
      const TPart& part = list[p];
      const std::string words = PartLabel(part, p);
      // Known words with the tag beside them, for people who know the tags.
      text += indent + (KnownPartWords(part.Tag).empty() ? words : words + " (" + U(part.Tag) + ")") + ":";
      const std::vector<TItem> items = model.Items(part);
      text += items.empty() ? " нет\n" : "\n";
      if (HoldsReferences(part.Tag)) {
        for (const TItem& item : items) text += indent + "  " + IdWords(model, model.Tree().FirstField(item.Node)) + "\n";
        continue;
      }
      for (size_t k = 0; k < items.size(); ++k) {
        const TItem& item = items[k];
        const std::string rest = ItemWords(model, item, item.Id.empty() ? nullptr : &item.Type);
        text += indent + "  " + U(ItemLabel(item, k)) + (item.Id.empty() ? "" : " (" + U(item.Id) + ")") +
                (rest.empty() ? "" : ": " + rest) + "\n";
        parts(model.PartsOf(item.Node), indent + "    ");
      }
    }
  };
  // What only show tells goes before the object's own fields; the parts after them, before
  // its reference lists.
  auto related = [&] {
    if (object.Kind == KindReference && !object.Owned.empty()) line("подчиненные справочники", names(object.Owned));
    if (!object.Documents.empty()) line("документы", names(object.Documents));
  };
  const std::vector<TFact> facts = ObjectFacts(model, index, false);
  size_t at = 0;
  for (; at < facts.size() && facts[at].Key != "fields" && facts[at].Key.rfind("refers", 0) != 0; ++at)
    line(facts[at].Label, facts[at].Value);
  related();
  for (; at < facts.size() && facts[at].Key.rfind("refers", 0) != 0; ++at) line(facts[at].Label, facts[at].Value);
  parts(object.Parts, "  ");
  for (; at < facts.size(); ++at) line(facts[at].Label, facts[at].Value);
  return text;
}

}  // namespace

int32_t OneObjectNamed(const TModel& model, const std::string& name, TAnswer& refusal) {
  TNameQuery query = ParseName(name);
  std::string error;
  if (!OneSegment(query, name, error)) return refusal = Refused(ExitUsage, error), -1;
  std::vector<int32_t> found = ResolveObjects(model, query, error);
  // An object without a name (the accounting object in real files) answers to its kind.
  if (found.empty() && query.Kind < 0) {
    const int kind = KindOfName(query.Segments.front());
    for (size_t o = 0; kind >= 0 && o < model.Objects().size(); ++o)
      if (model.Object(int32_t(o)).Kind == kind && model.Object(int32_t(o)).Name.empty()) found.push_back(int32_t(o));
    if (found.size() == 1) return found.front();
    if (kind >= 0 && found.empty())
      error += Say("; the objects of the kind: ostrak list DIR ", "; объекты этого вида: ostrak list КАТАЛОГ ") + U(query.Segments.front());
    found.clear();
  }
  int32_t object = -1;
  if (found.empty() || !OneObject(model, query, found, object, error)) return refusal = Refused(ExitFailed, error), -1;
  return object;
}

TAnswer AnswerSummary(const TModel& model) {
  std::vector<int> counts(KindCount, 0);
  for (const TObject& object : model.Objects()) ++counts[size_t(object.Kind)];
  std::string task;
  for (const TObject& object : model.Objects())
    if (object.Kind == KindTask) {
      task = U(object.Name);
      break;
    }
  TAnswer answer;
  TJson kinds = TJson::array();
  for (int k = 0; k < KindCount; ++k) kinds.push_back(TJson{{"kind", KindEnglish(k)}, {"count", counts[size_t(k)]}});
  answer.Json = TJson{{"name", task}, {"objects", model.Objects().size()}, {"kinds", std::move(kinds)}};
  answer.Text = "Конфигурация" + (task.empty() ? std::string() : " " + task) + ": объектов " +
                std::to_string(model.Objects().size()) + "\n";
  for (int k = 0; k < KindCount; ++k)
    if (counts[size_t(k)]) answer.Text += "  " + KindRussian(k) + ": " + std::to_string(counts[size_t(k)]) + "\n";
  return answer;
}

TAnswer AnswerShow(const TModel& model, const std::string& name) {
  TAnswer answer;
  const int32_t object = OneObjectNamed(model, name, answer);
  if (object < 0) return answer;
  answer.Json = ShowJson(model, object);
  answer.Text = ShowText(model, object);
  return answer;
}

TAnswer AnswerList(const TModel& model, const std::string& kindName) {
  // Without a kind, every kind: the configuration's objects in its order.
  const int kind = kindName.empty() ? -1 : KindOfName(Utf8ToAnsi(kindName));
  if (!kindName.empty() && kind < 0) {
    std::string kinds;
    for (int k = 0; k < KindCount; ++k) kinds += std::string(k ? ", " : "") + KindRussian(k) + " (" + KindEnglish(k) + ")";
    return Refused(ExitUsage, Say("no kind named ", "нет вида ") + kindName + Say("; the kinds: ", "; виды: ") + kinds);
  }
  TAnswer answer;
  TJson objects = TJson::array();
  std::string lines;
  std::vector<size_t> counts(KindCount, 0);
  for (int k = 0; k < KindCount; ++k) {
    if (kind >= 0 && k != kind) continue;
    std::string block;
    for (const TObject& object : model.Objects()) {
      if (object.Kind != k) continue;
      ++counts[size_t(k)];
      objects.push_back(TJson{{"kind", KindEnglish(k)}, {"id", U(object.Id)}, {"name", U(object.Name)},
                              {"comment", U(object.Comment)}, {"synonym", U(object.Synonym)}});
      const std::string rest = ItemWords(model, object, nullptr);
      block += "  " + (object.Name.empty() ? std::string("(без имени)") : U(object.Name)) + " (" + U(object.Id) + ")" +
               (rest.empty() ? "" : ": " + rest) + "\n";
    }
    // Every kind that has objects, and the one asked for even when it has none.
    if (counts[size_t(k)] || k == kind) lines += KindRussian(k) + ": объектов " + std::to_string(counts[size_t(k)]) + "\n" + block;
  }
  answer.Json = std::move(objects);
  answer.Text = std::move(lines);
  return answer;
}

TAnswer AnswerFind(const TModel& model, const std::string& text) {
  if (text.empty()) return Refused(ExitUsage, Say("find: TEXT is empty", "find: пустой ТЕКСТ"));
  std::vector<TFindMatch> matches = FindText(model, Utf8ToAnsi(text));
  TAnswer answer;
  answer.Json = TJson::array();
  for (const TFindMatch& m : matches) {
    TJson entry = PlaceJson(model, m.Object, m.Part, m.Item);
    entry["field"] = m.Field;
    entry["text"] = U(m.Text);
    answer.Json.push_back(std::move(entry));
    const std::string field = m.Field == std::string("name") ? "имя" : m.Field == std::string("synonym") ? "синоним" : "комментарий";
    answer.Text += PlaceWords(model, m.Object, m.Part, m.Item) + ": " + field + " " + Quoted(m.Text) + "\n";
  }
  answer.Status = matches.empty() ? ExitFailed : ExitOk;
  return answer;
}

TAnswer AnswerRefs(const TModel& model, const std::string& name, size_t offset, size_t limit, size_t* total) {
  TNameQuery query = ParseName(name);
  std::string error;
  if (!OneSegment(query, name, error)) return Refused(ExitUsage, error);
  std::vector<int32_t> targets = ResolveObjects(model, query, error);
  if (targets.empty()) return Refused(ExitFailed, error);
  TAnswer answer;
  answer.Json = TJson::array();
  // One target's uses come sorted, and a window needs only its own; several targets need one
  // order over all, so they are made whole and cut after.
  const bool one = targets.size() == 1;
  size_t count = 0;
  for (int32_t target : targets) {
    answer.Text += ObjectWords(model, target) + " (" + U(model.Object(target).Id) + "):\n";
    std::vector<TRefUse> uses = FindUses(model, target);
    count += uses.size();
    if (uses.empty()) answer.Text += "  ссылок нет\n";
    const size_t first = one ? std::min(offset, uses.size()) : 0;
    const size_t end = one ? first + std::min(limit, uses.size() - first) : uses.size();
    for (size_t i = first; i < end; ++i) {
      const TRefUse& use = uses[i];
      TJson entry = PlaceJson(model, use.Object, use.Part, use.Item);
      entry["how"] = use.How;
      entry["to"] = ObjectRefJson(model, target);
      answer.Json.push_back(std::move(entry));
      const std::string how = use.How == std::string("type")      ? "тип"
                              : use.How == std::string("owner")   ? "подчиненный справочник"
                              : use.How == std::string("journal") ? "журнал документа"
                                                                  : "список Refers";
      answer.Text += "  " + PlaceWords(model, use.Object, use.Part, use.Item) + " (" + how + ")\n";
    }
  }
  if (total) *total = count;
  if (!one) {
    auto key = [](const TJson& e) {
      auto text = [](const TJson& v) -> const std::string& { return v.get_ref<const std::string&>(); };
      return std::tie(text(e["kind"]), text(e["object"]), text(e["part"]), text(e["item"]), text(e["how"]),
                      text(e["to"]["kind"]), text(e["to"]["name"]));
    };
    std::stable_sort(answer.Json.begin(), answer.Json.end(), [&](const TJson& a, const TJson& b) { return key(a) < key(b); });
    if (offset > 0 || limit < answer.Json.size()) {
      TJson page = TJson::array();
      for (size_t i = offset; i < answer.Json.size() && i - offset < limit; ++i) page.push_back(std::move(answer.Json[i]));
      answer.Json = std::move(page);
    }
  }
  return answer;
}

std::string PathMisspelt(const std::string& attributePath) {
  TNameQuery query = ParseName(attributePath);
  if (std::any_of(query.Segments.begin(), query.Segments.end(), [](const std::string& s) { return s.empty(); }))
    return attributePath + Say(": write Kind.Name.Attribute[.Attribute...]", ": пишите Вид.Имя.Реквизит[.Реквизит...]");
  return {};
}

TAnswer AnswerPath(const TModel& model, const std::string& attributePath) {
  if (std::string error = PathMisspelt(attributePath); !error.empty()) return Refused(ExitUsage, error);
  TNameQuery query = ParseName(attributePath);
  const TPathResult result = ResolvePath(model, query);
  TAnswer answer;
  TJson steps = TJson::array();
  for (const TPathStep& step : result.Steps) {
    const TItem& item = step.Item;
    TJson ref = TypeRefJson(model, item.Type);
    steps.push_back(TJson{{"name", U(item.Name)}, {"kind", KindEnglish(model.Object(step.Object).Kind)},
                          {"object", U(model.Object(step.Object).Name)}, {"part", U(step.Part)},
                          {"type", U(item.Type.Letter)}, {"length", item.Type.Length},
                          {"precision", item.Type.Precision}, {"ref", std::move(ref)}});
  }
  answer.Json = TJson{{"found", result.Found}, {"steps", std::move(steps)},
                      {"missing", result.Found ? TJson() : TJson(result.Missing)}, {"candidates", result.Candidates}};
  std::string& text = answer.Text;
  text = attributePath + "\n";
  for (const TPathStep& step : result.Steps)
    text += "  " + U(step.Item.Name) + ": " + TypeWords(model, step.Item.Type) + " (" +
            (step.Part.empty() ? ObjectWords(model, step.Object) + ": общий реквизит"
                               : PlaceWords(model, step.Object, step.Part, {})) + ")\n";
  if (!result.Found) {
    std::string why;
    if (result.Ambiguous) {
      why = "объекты разных видов носят это имя, напишите вид:";
    } else if (result.Dead && result.Steps.empty()) {
      why = "у объекта " + ObjectWords(model, model.ObjectsNamed(query.Segments.front(), query.Kind).back()) +
            " нет реквизитов";
    } else if (result.Dead) {
      why = "у типа " + TypeWords(model, result.Steps.back().Item.Type) + " нет реквизитов";
    } else if (result.Steps.empty() && model.ObjectsNamed(query.Segments.front(), query.Kind).empty()) {
      why = "нет такого объекта";
    } else {
      const int32_t in = result.Steps.empty() ? model.ObjectsNamed(query.Segments.front(), query.Kind).back()
                                              : result.Steps.back().Item.Type.RefObject;
      why = "нет такого реквизита у " + ObjectWords(model, in);
    }
    std::string candidates;
    for (const std::string& c : result.Candidates) candidates += (candidates.empty() ? "" : ", ") + c;
    if (!candidates.empty()) why += result.Ambiguous ? " " + candidates : "; ближайшие: " + candidates;
    text += "  " + result.Missing + ": " + why + "\n";
    if (!result.Ambiguous && !result.Dead) text += StandardNote;
  }
  answer.Status = result.Found ? ExitOk : ExitFailed;
  return answer;
}

TAnswer AnswerId(const TModel& model, const std::string& id) {
  const TLocation where = model.Locate(Utf8ToAnsi(id));
  TAnswer answer;
  answer.Json = TJson{{"found", where.Found}, {"kind", nullptr}, {"object", nullptr}, {"part", nullptr}, {"item", nullptr}};
  answer.Status = where.Found ? ExitOk : ExitFailed;
  if (!where.Found) {
    answer.Text = id + ": нет такого идентификатора\n";
    return answer;
  }
  answer.Json["kind"] = where.Kind >= 0 ? TJson(KindEnglish(where.Kind)) : TJson("");
  answer.Json["object"] = where.Object >= 0 ? U(model.Object(where.Object).Name) : std::string();
  answer.Json["part"] = U(where.Part);
  answer.Json["item"] = U(where.Item);
  std::string text;
  if (where.Object >= 0) text = NodeWords(model, where.Node);
  else if (where.Kind >= 0) text = "раздел " + KindRussian(where.Kind);
  else text = "вне разделов конфигурации";
  answer.Text = id + ": " + text + "\n";
  return answer;
}

int RunShow(const std::string& path, const std::string& name, bool json) {
  if (!name.empty()) {
    std::string error;
    if (!OneSegment(ParseName(name), name, error)) return PrintAnswer(Refused(ExitUsage, error), json);
  }
  int status = ExitOk;
  std::unique_ptr<TModel> model = LoadOrSay(path, status);
  if (!model) return status;
  return PrintAnswer(name.empty() ? AnswerSummary(*model) : AnswerShow(*model, name), json);
}

int RunFind(const std::string& path, const std::string& text, bool json) {
  if (text.empty()) return PrintAnswer(Refused(ExitUsage, Say("find: TEXT is empty", "find: пустой ТЕКСТ")), json);
  int status = ExitOk;
  std::unique_ptr<TModel> model = LoadOrSay(path, status);
  if (!model) return status;
  return PrintAnswer(AnswerFind(*model, text), json);
}

int RunRefs(const std::string& path, const std::string& name, bool json) {
  std::string error;
  if (!OneSegment(ParseName(name), name, error)) return PrintAnswer(Refused(ExitUsage, error), json);
  int status = ExitOk;
  std::unique_ptr<TModel> model = LoadOrSay(path, status);
  if (!model) return status;
  return PrintAnswer(AnswerRefs(*model, name), json);
}

int RunPath(const std::string& path, const std::string& attributePath, bool json) {
  if (std::string error = PathMisspelt(attributePath); !error.empty()) return PrintAnswer(Refused(ExitUsage, error), json);
  int status = ExitOk;
  std::unique_ptr<TModel> model = LoadOrSay(path, status);
  if (!model) return status;
  return PrintAnswer(AnswerPath(*model, attributePath), json);
}

int RunList(const std::string& path, const std::string& kind, bool json) {
  int status = ExitOk;
  std::unique_ptr<TModel> model = LoadOrSay(path, status);
  if (!model) return status;
  TAnswer answer = AnswerList(*model, kind);
  if (answer.Error.empty()) answer.Json = TJson{{"objects", std::move(answer.Json)}};
  return PrintAnswer(answer, json);
}

int RunId(const std::string& path, const std::string& id, bool json) {
  int status = ExitOk;
  std::unique_ptr<TModel> model = LoadOrSay(path, status);
  if (!model) return status;
  return PrintAnswer(AnswerId(*model, id), json);
}

}  // namespace kalamos
