// JSON as the tool writes it: one type, one text form, in every answer.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <string_view>

namespace kalamos {

class TOut;
using TJson = nlohmann::ordered_json;

// JSON text as the tool prints it: UTF-8, nothing escaped that need not be.
std::string JsonText(const TJson& value, int indent = -1);
// The same for one text, without the library's serializer where nothing needs escaping.
std::string JsonString(const std::string& text);
// As JsonText(value, 2) prints value when it stands indent spaces in, appended to out.
void AppendPrettyJson(const TJson& value, size_t indent, std::string& out);
// JsonString(U(ansi)) of 1251 text, made in one pass when nothing needs escaping.
std::string Quoted(std::string_view ansi);
void AppendQuoted(std::string& out, std::string_view ansi);
void AppendQuoted(TOut& out, std::string_view ansi);

// JSON Schema, as text: the pieces the shapes of the answers are described with, where they
// are made, and the MCP tools' schemas from those.
namespace schema {
inline const std::string Text = R"({"type": "string"})";
inline const std::string Whole = R"({"type": "integer"})";
inline const std::string TextOrNull = R"({"type": ["string", "null"]})";
inline const std::string Texts = R"({"type": "array", "items": {"type": "string"}})";
inline std::string Object(const std::string& members, const std::string& required) {
  return R"({"type": "object", "properties": {)" + members + R"(}, "required": [)" + required + "]}";
}
inline std::string ArrayOf(const std::string& item) { return R"({"type": "array", "items": )" + item + "}"; }
inline std::string Nullable(const std::string& object) { return R"({"anyOf": [)" + object + R"(, {"type": "null"}]})"; }
}  // namespace schema

}  // namespace kalamos
