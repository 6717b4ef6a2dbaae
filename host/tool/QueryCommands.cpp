// The model's commands as people and scripts see them: Russian lines, or JSON with --json.
#include <algorithm>
#include <tuple>

#include "host/tool/Commands.h"
#include "host/tool/Queries.h"
#include "platform/Text.h"

namespace {
std::string U(std::string_view ansi) { return AnsiToUtf8(ansi); }

const char* const StandardNote =
    "Стандартные реквизиты платформы (код, наименование, номер, дата и подобные) не входят в описание "
    "конфигурации, поэтому ostrak их не знает.\n";

std::unique_ptr<TModel> Load(const std::string& path, int& status) {
  TModelResult result = LoadModel(path);
  if (!result.Model) {
    Err("ostrak: " + result.Error + "\n");
    status = ExitFailed;
  }
  return std::move(result.Model);
}

std::string Quoted(std::string_view ansi) { return JsonString(U(ansi)); }

std::string PlaceWords(const TModel& model, int32_t object, std::string_view part, std::string_view item) {
  std::string text = ObjectWords(model, object);
  if (!part.empty()) text += ": " + PartWordsOf(part);
  if (!item.empty()) text += ": " + U(item);
  return text;
}

// Several objects of different kinds under one name: say which to write.
bool OneObject(const TModel& model, const TNameQuery& query, const std::vector<int32_t>& found, int32_t& object) {
  object = found.back();
  for (int32_t o : found)
    if (model.Object(o).Kind != model.Object(object).Kind) {
      std::string choices;
      for (int32_t c : found) choices += " " + KindRussian(model.Object(c).Kind) + "." + U(model.Object(c).Name);
      Err("ostrak: several objects are named " + U(query.Segments.front()) + "; write one of:" + choices + "\n");
      return false;
    }
  return true;
}

bool OneSegment(const TNameQuery& query, const std::string& name) {
  if (query.Segments.size() == 1 && !query.Segments.front().empty()) return true;
  Err("ostrak: " + name + ": write Name or Kind.Name (the kind as EnumObjects takes it, e.g. Справочник or REFERENCE)\n");
  return false;
}

int Summary(const TModel& model, bool json) {
  std::vector<int> counts(KindCount, 0);
  for (const TObject& object : model.Objects()) ++counts[size_t(object.Kind)];
  std::string task;
  for (const TObject& object : model.Objects())
    if (object.Kind == 0) {
      task = U(object.Name);
      break;
    }
  if (json) {
    TJson kinds = TJson::array();
    for (int k = 0; k < KindCount; ++k) kinds.push_back(TJson{{"kind", KindEnglish(k)}, {"count", counts[size_t(k)]}});
    Out(JsonText(TJson{{"name", task}, {"objects", model.Objects().size()}, {"kinds", std::move(kinds)}}, 2) + "\n");
    return ExitOk;
  }
  std::string text = "Конфигурация" + (task.empty() ? std::string() : " " + task) + ": объектов " +
                     std::to_string(model.Objects().size()) + "\n";
  for (int k = 0; k < KindCount; ++k)
    if (counts[size_t(k)]) text += "  " + KindRussian(k) + ": " + std::to_string(counts[size_t(k)]) + "\n";
  Out(text);
  return ExitOk;
}

std::string ShowText(const TModel& model, int32_t index) {
  const TObject& object = model.Object(index);
  std::string text = ObjectWords(model, index) + "\n";
  auto line = [&](const std::string& label, const std::string& value) { text += "  " + label + ": " + value + "\n"; };
  line("идентификатор", U(object.Id));
  if (!object.Comment.empty()) line("комментарий", Quoted(object.Comment));
  if (!object.Synonym.empty()) line("синоним", Quoted(object.Synonym));
  if (object.Typed) line("тип", TypeWords(model, object.Type));
  if (object.Kind == 5) {
    if (object.Owner >= 0) line("владелец", ObjectWords(model, object.Owner));
    std::string owned;
    for (int32_t o : object.Owned) owned += (owned.empty() ? "" : ", ") + U(model.Object(o).Name);
    if (!owned.empty()) line("подчиненные справочники", owned);
  }
  // The fields a typed object's type already showed are not repeated.
  const size_t skip = object.Typed ? std::min<size_t>(4, object.Fields.size()) : 0;
  if (object.Fields.size() > skip) {
    std::string fields;
    for (size_t i = skip; i < object.Fields.size(); ++i) fields += (i > skip ? ", " : "") + Quoted(object.Fields[i]);
    line("поля " + std::to_string(4 + skip) + "-" + std::to_string(3 + object.Fields.size()), fields);
  }
  for (const TPart& part : object.Parts) {
    const std::string words = PartWordsOf(part.Tag);
    text += "  " + (words == U(part.Tag) ? words : words + " (" + U(part.Tag) + ")") + ":";
    const std::vector<TItem> items = model.Items(part);
    text += items.empty() ? " нет\n" : "\n";
    for (const TItem& item : items) {
      const std::string rest = ItemWords(model, item, &item.Type);
      text += "    " + U(item.Name) + " (" + U(item.Id) + ")" + (rest.empty() ? "" : ": " + rest) + "\n";
    }
  }
  for (const TRefersList& list : object.Refers) {
    std::string where = "Refers";
    if (!list.Part.empty()) where += " (" + PartWordsOf(list.Part) + (list.Item.empty() ? "" : ": " + U(list.Item)) + ")";
    std::string names;
    for (size_t i = 0; i < list.Ids.size(); ++i)
      names += (i ? ", " : "") + (list.Objects[i] >= 0 ? ObjectWords(model, list.Objects[i]) : U(list.Ids[i]) + " (нет такого объекта)");
    line(where, names.empty() ? "пусто" : names);
  }
  return text;
}

TJson Place(const TModel& model, int32_t object, std::string_view part, std::string_view item) {
  return TJson{{"kind", KindEnglish(model.Object(object).Kind)}, {"object", U(model.Object(object).Name)},
               {"part", U(part)}, {"item", U(item)}};
}
}  // namespace

int RunShow(const std::string& path, const std::string& name, bool json) {
  int status = ExitOk;
  std::unique_ptr<TModel> model = Load(path, status);
  if (!model) return status;
  if (name.empty()) return Summary(*model, json);
  TNameQuery query = ParseName(name);
  if (!OneSegment(query, name)) return ExitUsage;
  std::string error;
  std::vector<int32_t> found = ResolveObjects(*model, query, error);
  if (found.empty()) {
    Err("ostrak: " + error + "\n");
    return ExitFailed;
  }
  int32_t object = -1;
  if (!OneObject(*model, query, found, object)) return ExitFailed;
  Out(json ? JsonText(ShowJson(*model, object), 2) + "\n" : ShowText(*model, object));
  return ExitOk;
}

int RunFind(const std::string& path, const std::string& text, bool json) {
  if (text.empty()) {
    Err("ostrak: find: TEXT is empty\n");
    return ExitUsage;
  }
  int status = ExitOk;
  std::unique_ptr<TModel> model = Load(path, status);
  if (!model) return status;
  std::vector<TFindMatch> matches = FindText(*model, Utf8ToAnsi(text));
  if (json) {
    TJson out = TJson::array();
    for (const TFindMatch& m : matches) {
      TJson entry = Place(*model, m.Object, m.Part, m.Item);
      entry["field"] = m.Field;
      entry["text"] = U(m.Text);
      out.push_back(std::move(entry));
    }
    Out(JsonText(out, 2) + "\n");
  } else {
    std::string lines;
    for (const TFindMatch& m : matches) {
      const std::string field = m.Field == std::string("name") ? "имя" : m.Field == std::string("synonym") ? "синоним" : "комментарий";
      lines += PlaceWords(*model, m.Object, m.Part, m.Item) + ": " + field + " " + Quoted(m.Text) + "\n";
    }
    Out(lines);
  }
  return matches.empty() ? ExitFailed : ExitOk;
}

int RunRefs(const std::string& path, const std::string& name, bool json) {
  int status = ExitOk;
  std::unique_ptr<TModel> model = Load(path, status);
  if (!model) return status;
  TNameQuery query = ParseName(name);
  if (!OneSegment(query, name)) return ExitUsage;
  std::string error;
  std::vector<int32_t> targets = ResolveObjects(*model, query, error);
  if (targets.empty()) {
    Err("ostrak: " + error + "\n");
    return ExitFailed;
  }
  if (json) {
    TJson out = TJson::array();
    for (int32_t target : targets)
      for (const TRefUse& use : FindUses(*model, target)) {
        TJson entry = Place(*model, use.Object, use.Part, use.Item);
        entry["how"] = use.How;
        entry["to"] = TJson{{"kind", KindEnglish(model->Object(target).Kind)}, {"name", U(model->Object(target).Name)}};
        out.push_back(std::move(entry));
      }
    auto key = [](const TJson& e) {
      return std::make_tuple(e["kind"].get<std::string>(), e["object"].get<std::string>(), e["part"].get<std::string>(),
                             e["item"].get<std::string>(), e["how"].get<std::string>(),
                             e["to"]["kind"].get<std::string>(), e["to"]["name"].get<std::string>());
    };
    std::stable_sort(out.begin(), out.end(), [&](const TJson& a, const TJson& b) { return key(a) < key(b); });
    Out(JsonText(out, 2) + "\n");
    return ExitOk;
  }
  std::string text;
  for (int32_t target : targets) {
    text += ObjectWords(*model, target) + " (" + U(model->Object(target).Id) + "):\n";
    std::vector<TRefUse> uses = FindUses(*model, target);
    if (uses.empty()) text += "  ссылок нет\n";
    for (const TRefUse& use : uses) {
      const std::string how = use.How == std::string("type")    ? "тип"
                              : use.How == std::string("owner") ? "подчиненный справочник"
                                                                : "список Refers";
      text += "  " + PlaceWords(*model, use.Object, use.Part, use.Item) + " (" + how + ")\n";
    }
  }
  Out(text);
  return ExitOk;
}

int RunPath(const std::string& path, const std::string& attributePath, bool json) {
  TNameQuery query = ParseName(attributePath);
  if (query.Segments.front().empty() ||
      std::any_of(query.Segments.begin(), query.Segments.end(), [](const std::string& s) { return s.empty(); })) {
    Err("ostrak: " + attributePath + ": write Kind.Name.Attribute[.Attribute...]\n");
    return ExitUsage;
  }
  int status = ExitOk;
  std::unique_ptr<TModel> model = Load(path, status);
  if (!model) return status;
  const TPathResult result = ResolvePath(*model, query);
  if (json) {
    TJson steps = TJson::array();
    for (const TPathStep& step : result.Steps) {
      const TItem& item = step.Item;
      TJson ref = nullptr;
      if (item.Type.Refers())
        ref = item.Type.RefObject >= 0 ? TJson{{"kind", KindEnglish(model->Object(item.Type.RefObject).Kind)},
                                               {"name", U(model->Object(item.Type.RefObject).Name)}}
                                       : TJson{{"kind", ""}, {"name", ""}};
      steps.push_back(TJson{{"name", U(item.Name)}, {"kind", KindEnglish(model->Object(step.Object).Kind)},
                            {"object", U(model->Object(step.Object).Name)}, {"part", U(step.Part)},
                            {"type", U(item.Type.Letter)}, {"length", item.Type.Length},
                            {"precision", item.Type.Precision}, {"ref", std::move(ref)}});
    }
    Out(JsonText(TJson{{"found", result.Found}, {"steps", std::move(steps)},
                       {"missing", result.Found ? TJson() : TJson(result.Missing)}, {"candidates", result.Candidates}},
                 2) + "\n");
    return result.Found ? ExitOk : ExitFailed;
  }
  std::string text = attributePath + "\n";
  for (const TPathStep& step : result.Steps)
    text += "  " + U(step.Item.Name) + ": " + TypeWords(*model, step.Item.Type) + " (" +
            PlaceWords(*model, step.Object, step.Part, {}) + ")\n";
  if (!result.Found) {
    std::string why;
    if (result.Ambiguous) {
      why = "объекты разных видов носят это имя, напишите вид:";
    } else if (result.Dead) {
      why = "у типа " + TypeWords(*model, result.Steps.back().Item.Type) + " нет реквизитов";
    } else if (result.Steps.empty() && model->ObjectsNamed(query.Segments.front(), query.Kind).empty()) {
      why = "нет такого объекта";
    } else {
      const int32_t in = result.Steps.empty() ? model->ObjectsNamed(query.Segments.front(), query.Kind).back()
                                              : result.Steps.back().Item.Type.RefObject;
      why = "нет такого реквизита у " + ObjectWords(*model, in);
    }
    std::string candidates;
    for (const std::string& c : result.Candidates) candidates += (candidates.empty() ? "" : ", ") + c;
    if (!candidates.empty()) why += result.Ambiguous ? " " + candidates : "; ближайшие: " + candidates;
    text += "  " + result.Missing + ": " + why + "\n";
    if (!result.Ambiguous && !result.Dead) text += StandardNote;
  }
  Out(text);
  return result.Found ? ExitOk : ExitFailed;
}

int RunId(const std::string& path, const std::string& id, bool json) {
  int status = ExitOk;
  std::unique_ptr<TModel> model = Load(path, status);
  if (!model) return status;
  const TLocation where = model->Locate(Utf8ToAnsi(id));
  if (json) {
    TJson out = TJson{{"found", where.Found}, {"kind", nullptr}, {"object", nullptr}, {"part", nullptr}, {"item", nullptr}};
    if (where.Found) {
      out["kind"] = where.Kind >= 0 ? TJson(KindEnglish(where.Kind)) : TJson("");
      out["object"] = where.Object >= 0 ? U(model->Object(where.Object).Name) : std::string();
      out["part"] = U(where.Part);
      out["item"] = U(where.Item);
    }
    Out(JsonText(out, 2) + "\n");
    return where.Found ? ExitOk : ExitFailed;
  }
  if (!where.Found) {
    Out(id + ": нет такого идентификатора\n");
    return ExitFailed;
  }
  std::string text;
  if (where.Object >= 0) text = PlaceWords(*model, where.Object, where.Part, where.Item);
  else if (where.Kind >= 0) text = "раздел " + KindRussian(where.Kind);
  else text = "вне разделов конфигурации";
  Out(id + ": " + text + "\n");
  return ExitOk;
}
