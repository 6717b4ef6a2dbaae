// The dump's JSON is written object by object, mostly without the library's serializer; it
// must be byte for byte what the library prints for the whole configuration, whatever the
// texts hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/tool/component/Component.h"

using namespace kalamos;

namespace {

// Texts the shortcut must print as they are, or leave to the library.
const std::vector<std::string> Texts = {
    "", "Цена", "plain ASCII ~", "quote \" back \\ slash", "tab\tnewline\ncontrol\x01", "del \x7F",
    "bad \xC3\x28", "overlong \xC0\xAF", "surrogate \xED\xA0\x80", "emoji \xF0\x9F\x98\x80",
    "past U+10FFFF \xF4\x90\x80\x80", "cut \xE2\x82", "lone \x80", "E0 edge \xE0\x9F\xBF", "F0 edge \xF0\x8F\xBF\xBF",
};

TJson Attribute(const std::string& name, int64_t type) {
  return TJson{{"name", name}, {"type", type}, {"kind", name + "!"}, {"length", -15}, {"precision", 0u}, {"ref", ""}};
}

TEST(JsonWriter, PrintsWhatTheLibraryPrintsForTheWhole) {
  TJson objects = TJson::object();
  objects["DOCUMENT"] = TJson::array();
  for (const std::string& t : Texts) objects["DOCUMENT"].push_back(t);
  objects["EMPTY"] = TJson::array();
  std::vector<TJson> documents;
  for (size_t i = 0; i < Texts.size(); ++i) {
    TJson head = TJson::array();
    for (size_t j = 0; j <= i % 3; ++j) head.push_back(Attribute(Texts[(i + j) % Texts.size()], int64_t(j)));
    documents.push_back(TJson{{"name", Texts[i]}, {"head", head}, {"table", TJson::array()}});
  }
  const TJson odd = TJson{{"name", "odd"}, {"values", {nullptr, true, false, 1.5, 18446744073709551615u, -1}},
                          {"nested", {{"deeper", TJson::object()}, {"list", {TJson::array(), TJson::object()}}}}};

  std::string written;
  TJsonWriter writer([&](const std::string& piece) { written += piece; });
  writer.Objects(objects);
  writer.Open("documents");
  for (const TJson& d : documents) writer.Item(d);
  writer.Open("catalogues");
  writer.Open("registers");
  writer.Item(odd);
  writer.Open("enumerations");
  writer.End();

  TJson whole = TJson::object();
  whole["objects"] = objects;
  whole["documents"] = documents;
  whole["catalogues"] = TJson::array();
  whole["registers"] = TJson::array({odd});
  whole["enumerations"] = TJson::array();
  EXPECT_EQ(written, JsonText(whole, 2) + "\n");
}

TEST(JsonWriter, OneTextAsTheLibraryPrintsIt) {
  for (const std::string& t : Texts) EXPECT_EQ(JsonString(t), JsonText(TJson(t))) << t;
}

}  // namespace
