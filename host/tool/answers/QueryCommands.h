// The commands that answer questions about the model: show, list, find, refs, path, id,
// module, grep. Each prints its answer and returns the exit status.
#pragma once

#include <cstdint>
#include <string>

namespace kalamos {

// The questions about the configuration model: one object or a summary; objects and items
// by a piece of a name, synonym or comment; where an object is used; an attribute path;
// an identifier.
int RunShow(const std::string& path, const std::string& name, bool json);
// The objects of one kind, or of every kind, in the configuration's order.
int RunList(const std::string& path, const std::string& kind, bool json);
int RunFind(const std::string& path, const std::string& text, bool json);
int RunRefs(const std::string& path, const std::string& name, bool json);
int RunPath(const std::string& path, const std::string& attributePath, bool json);
int RunId(const std::string& path, const std::string& id, bool json);
// The module texts of one object (empty: the global module), lines from..to; lines of every
// module holding a text.
int RunModule(const std::string& path, const std::string& object, int64_t from, int64_t to, bool json);
int RunGrep(const std::string& path, const std::string& text, bool json);

}  // namespace kalamos
