// The whole configuration as the dump shows it, read only through the script functions, and
// the text and difference views built on it.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "host/tool/Commands.h"

using TJson = nlohmann::ordered_json;

// Loads DIR or a container file and reads everything the functions tell about it: objects by
// kind, documents, catalogues, registers, enumerations. False, with the exit status, when it
// cannot be loaded (the reasons are on standard error).
bool ReadConfiguration(const TSessionOptions& options, const std::string& path, TJson& out, int& status);

// JSON text as the tool prints it: UTF-8, nothing escaped that need not be.
std::string JsonText(const TJson& value, int indent = -1);

// The configuration as lines of text, one fact a line, each naming its object.
std::vector<std::string> TextLines(const TJson& configuration);
// Pieces of those lines, shared with the difference view.
std::string KindLabel(const std::string& kind);            // "DOCUMENT" -> "Документ"
std::string PartLabel(const std::string& part);            // "head" -> "шапка", as the dump names lists
std::string AttributeText(const TJson& item);              // "тип 11, синоним \"...\", ссылка X"
std::string TypeText(const TJson& type);                   // "тип 11"
std::string SettingsText(const TJson& settings);           // "8, 100, 3, 1, 2, 0, 0"
std::string InternalText(const TJson& internal);           // "внутреннее представление \"...\""
