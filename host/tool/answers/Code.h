// The code of a configuration's modules as the code layer understands it: procedures, calls
// and checks, with each module placed where the container keeps it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "code/ModuleSet.h"
#include "host/tool/answers/Contents.h"

namespace kalamos {

struct TCodeBase {
  code::TModuleSet Set;
  std::vector<const TPlacedStream*> Streams;  // the stream of each module of Set
  std::vector<int32_t> Objects;               // the object of each module (-1: the configuration's)
  code::TKnownObjects Known;                  // the configuration's objects, for the checks
  // For an unpacked folder: the file (relative to the folder) of each stream; answers then
  // name it as "file".
  std::map<std::string, std::string> Files;
};
// The files of an unpacked folder's streams, from its manifest; nothing for a container.
void ReadFolderFiles(const std::string& path, TCodeBase& base);
// Every module of the configuration that can be read (help texts are no code); the global
// module is the set's global one.
void BuildCode(const TContents& contents, TCodeBase& base);

// The procedures of the modules of one object (Name or Kind.Name; empty: every module):
// {"procedures": [{"stream", "kind", "object", "place", "name", "function", "export",
// "forward", "params": [{"name", "by_value", "default"}], "line", "end_line"}]}.
TAnswer AnswerProcedures(const TContents& contents, const TCodeBase& base, const std::string& object);
// Every call that reaches the global module's exported NAME, or with Kind.Object.NAME that
// object's procedure: {"calls": [{"stream", "kind", "object", "place", "line", "column", "in"}]}.
TAnswer AnswerCallers(const TContents& contents, const TCodeBase& base, const std::string& name);
// Structure faults and warnings of the modules of one object (empty: of every module):
// {"diagnostics": [{"stream", "kind", "object", "place", "line", "column", "severity", "code",
// "message", "name"}]}; status ExitFailed when there is any.
TAnswer AnswerCheck(const TContents& contents, const TCodeBase& base, const std::string& object);
// One procedure's text with line numbers and its header: NAME of the global module, or of
// the object's modules when object is given: {"stream", "kind", "object", "place",
// "signature", "comment", "line", "end_line", "lines"}.
TAnswer AnswerProcedure(const TContents& contents, const TCodeBase& base, const std::string& name,
                        const std::string& object);

int RunProcedures(const std::string& path, const std::string& object, bool json);
int RunCallers(const std::string& path, const std::string& name, bool json);
int RunCheck(const std::string& path, const std::string& object, bool json);

}  // namespace kalamos
