// What goes through the component: a session loaded with a configuration, the script
// functions called as a script calls them, and the whole configuration read through them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/Session.h"
#include "host/tool/answers/Answer.h"
#include "host/tool/answers/Json.h"
#include "host/tool/ground/Ground.h"

namespace kalamos {

struct TCallRequest {
  std::string Directory;
  std::string Function;
  std::vector<std::string> Args;  // UTF-8
  std::vector<int> TextArgs;      // 1-based argument numbers forced to text
};

// What call prints: the text lines, or with --json {"function", "result", "outputs",
// "items", "reports"}; a listing is walked to its end, one member of items per item.
// Status ExitFailed when the component failed (Reports say why), ExitUsage with Error for
// people when the call was misspelt.
struct TCallAnswer : TAnswer {
  std::vector<TErrorReport> Reports;
};
// Calls a function in a session whose directory is loaded, as call does.
TCallAnswer CallFunction(TSession& session, const TCallRequest& request);
int RunCall(const TSessionOptions& options, const TCallRequest& request, bool json);
// DIR may also be a container file of any name (see StartAndLoad).
int RunDump(const TSessionOptions& options, const std::string& path);

// Starts the session and loads the directory, or a container file of any name (through a
// temporary directory in which it is vellum.md), or a folder unpack wrote. Says nothing:
// error gets the component's reports as "code: text" lines and, on failure, a last line
// without a newline saying what is wrong.
bool StartAndLoad(TSession& session, const std::string& path, std::string& error);
// The component's reports as "code: text" lines; those of the error log, taken from it.
std::string ReportsText(const std::vector<TErrorReport>& reports);
std::string TakeReportsText(TSession& session);
// Prints what StartAndLoad(session, path, error) said (the reports, and on failure why, after
// "ostrak: ") to standard error; the exit status.
int PrintLoaded(const std::string& said, bool loaded);

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
// kind, documents, catalogues, registers, enumerations. Says nothing: said gets what
// StartAndLoad says (the component's reports; on failure, last, why). False when it cannot be
// loaded; the sink has then been given nothing.
bool ReadConfiguration(const TSessionOptions& options, const std::string& path, TConfigurationSink& sink,
                       std::string& said);

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

}  // namespace kalamos
