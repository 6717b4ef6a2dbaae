// JSON-RPC 2.0 as the tool's servers speak it (mcp one message a line, lsp framed by
// Content-Length): the error codes and the two shapes of a response.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "host/tool/answers/Json.h"

namespace kalamos::rpc {

constexpr int ParseError = -32700, InvalidRequest = -32600, MethodNotFound = -32601, InvalidParams = -32602,
              InternalError = -32603;

inline TJson Failure(const TJson& id, int code, const std::string& message) {
  return TJson{{"jsonrpc", "2.0"}, {"id", id}, {"error", TJson{{"code", code}, {"message", message}}}};
}

inline TJson Success(const TJson& id, TJson result) {
  return TJson{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

// A text for people cut to a length a message can carry.
inline std::string Shown(std::string_view text, size_t most = 60) {
  if (text.size() <= most) return std::string(text);
  size_t cut = most;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // not inside a UTF-8 letter
  return std::string(text.substr(0, cut)) + "...";
}

// How deep a JSON text's arrays and objects nest (strings looked past). The library copies and
// compares values recursively: a message nested a hundred thousand deep would end the server.
inline size_t NestingDepth(std::string_view text) {
  size_t depth = 0, most = 0;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '\\') ++i;
      else if (c == '"') quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == '[' || c == '{') {
      most = std::max(most, ++depth);
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return most;
}
constexpr size_t NestingMost = 64;

}  // namespace kalamos::rpc
