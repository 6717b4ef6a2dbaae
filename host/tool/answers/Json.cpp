#include "host/tool/answers/Json.h"

#include <cstdint>

#include "host/tool/answers/Answer.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/ground/Out.h"
#include "platform/Text.h"

namespace kalamos {

namespace {
// True when text is well-formed UTF-8 with nothing JSON escapes: then it prints as it is.
bool PrintsAsItIs(const std::string& text) {
  for (unsigned char c : text)
    if (c < 0x20 || c == '"' || c == '\\') return false;
  return IsValidUtf8(text);
}

void AppendString(const std::string& text, std::string& out) {
  if (!PrintsAsItIs(text)) {
    out += JsonText(TJson(text));
    return;
  }
  out += '"';
  out += text;
  out += '"';
}
}  // namespace

std::string JsonString(const std::string& text) {
  std::string out;
  AppendString(text, out);
  return out;
}

// As JsonText(value, 2) prints value when it stands indent spaces in; the common kinds
// directly, anything else by the library.
void AppendPrettyJson(const TJson& value, size_t indent, std::string& out) {
  switch (value.type()) {
    case TJson::value_t::object:
    case TJson::value_t::array: {
      const bool object = value.is_object();
      if (value.empty()) {
        out += object ? "{}" : "[]";
        return;
      }
      out += object ? "{\n" : "[\n";
      for (auto item = value.begin(); item != value.end(); ++item) {
        if (item != value.begin()) out += ",\n";
        out.append(indent + 2, ' ');
        if (object) {
          AppendString(item.key(), out);
          out += ": ";
        }
        AppendPrettyJson(*item, indent + 2, out);
      }
      out += '\n';
      out.append(indent, ' ');
      out += object ? '}' : ']';
      return;
    }
    case TJson::value_t::string:
      AppendString(value.get_ref<const std::string&>(), out);
      return;
    case TJson::value_t::number_integer:
      out += std::to_string(value.get<int64_t>());
      return;
    case TJson::value_t::number_unsigned:
      out += std::to_string(value.get<uint64_t>());
      return;
    case TJson::value_t::null:
      out += "null";
      return;
    default:
      out += JsonText(value, 2);
      return;
  }
}

std::string JsonText(const TJson& value, int indent) {
  return value.dump(indent, ' ', false, TJson::error_handler_t::replace);
}


// JsonString(U(text)) appended; a text with nothing to escape, nearly all, straight. The
// bytes to escape are the same in code page 1251 and in UTF-8.
void AppendQuoted(TOut& out, std::string_view ansi) {
  // Nearly every text has nothing to escape: converted at once, and again only when it has.
  if (!out.AppendPlainQuoted(ansi)) out += JsonString(U(ansi));
}

void AppendQuoted(std::string& out, std::string_view ansi) {
  const size_t start = out.size();
  out.resize(start + ansi.size() * 3 + 3);
  char* at = out.data() + start;
  *at++ = '"';
  const size_t n = PlainAnsiToUtf8Into(at, ansi);
  if (n == SIZE_MAX) {
    out.resize(start);
    out += JsonString(U(ansi));
    return;
  }
  at[n] = '"';
  out.resize(start + n + 2);
}

std::string Quoted(std::string_view ansi) {
  std::string text;
  AppendQuoted(text, ansi);
  return text;
}

TAnswer Refused(int status, std::string error) {
  TAnswer answer;
  answer.Status = status;
  answer.Error = std::move(error);
  return answer;
}

int PrintAnswer(const TAnswer& answer, bool json) {
  if (!answer.Error.empty()) {
    Err("ostrak: " + answer.Error + "\n");
    return answer.Status;
  }
  Out(json ? JsonText(answer.Json, 2) + "\n" : answer.Text);
  return answer.Status;
}

}  // namespace kalamos
