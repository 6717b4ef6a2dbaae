// The whole configuration as the dump shows it, read only through the script functions, and
// the text and difference views built on it.
#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <vector>

#include "host/tool/Commands.h"

namespace kalamos {

using TJson = nlohmann::ordered_json;

// Receives a configuration as it is read: the objects of every kind whole, then the sections
// "documents", "catalogues", "registers" and "enumerations" in that order, each opened (even
// when empty) and then given its items one by one, then the end. An item is handed over as
// soon as it is read, so that nobody need hold the whole configuration.
class TConfigurationSink {
public:
  virtual ~TConfigurationSink() = default;
  virtual void Objects(TJson objects) = 0;
  virtual void Open(const std::string& section) = 0;
  virtual void Item(TJson item) = 0;
  virtual void End() {}
};

// Loads DIR or a container file and reads everything the functions tell about it: objects by
// kind, documents, catalogues, registers, enumerations. False, with the exit status, when it
// cannot be loaded (the reasons are on standard error); the sink has then been given nothing.
bool ReadConfiguration(const TSessionOptions& options, const std::string& path, TConfigurationSink& sink,
                       int& status);

// Writes the dump's JSON text (the whole object as JsonText(out, 2) would print it, then a
// newline) piece by piece through write.
class TJsonWriter : public TConfigurationSink {
public:
  explicit TJsonWriter(const std::function<void(const std::string&)>& write);
  void Objects(TJson objects) override;
  void Open(const std::string& section) override;
  void Item(TJson item) override;
  void End() override;

private:
  void CloseSection();
  void Piece(const TJson& value, size_t indent);
  void Flush();
  std::function<void(const std::string&)> Write;
  std::string Buffer;
  bool InSection = false;
  size_t Items = 0;
};

// JSON text as the tool prints it: UTF-8, nothing escaped that need not be.
std::string JsonText(const TJson& value, int indent = -1);
// The same for one text, without the library's serializer where nothing needs escaping.
std::string JsonString(const std::string& text);
// JsonString(U(ansi)) of 1251 text, made in one pass when nothing needs escaping.
std::string Quoted(std::string_view ansi);
void AppendQuoted(std::string& out, std::string_view ansi);

}  // namespace kalamos
