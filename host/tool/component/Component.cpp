#include "host/tool/component/Component.h"

#include <filesystem>
#include <random>
#include <system_error>

#include "host/tool/folder/Folder.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/model/Source.h"
#include "platform/Console.h"
#include "platform/Storage.h"

namespace kalamos {

namespace fs = std::filesystem;

namespace {
// A temporary directory in which a container file of any name is "vellum.md", since Load
// takes a directory: a link natively, a hard link or else a copy on Windows. Removed with
// everything in it when the object goes.
class TContainerDir {
public:
  ~TContainerDir() {
    std::error_code ignored;
    if (!Dir.empty()) fs::remove_all(Dir, ignored);
  }
  // False, with a message, when the directory or the link cannot be made.
  bool Make(const fs::path& file, std::string& error) {
    std::error_code code;
    fs::path base = fs::temp_directory_path(code);
    if (code) return Fail(Say("no temporary folder: ", "нет папки для временных файлов: ") + code.message(), error);
    std::random_device random;
    for (int attempt = 0; attempt < 100 && Dir.empty(); ++attempt) {
      fs::path candidate = base / ("ostrak-" + std::to_string(random()));
      if (fs::create_directory(candidate, code)) Dir = candidate;
    }
    if (Dir.empty()) return Fail(Say("cannot make a temporary folder in ", "не удается создать временную папку в ") + Utf8Of(base), error);
    fs::path target = fs::absolute(file, code);
    fs::path link = Dir / "vellum.md";
    LinkFile(target, link, code);
    if (code) return Fail(Say("cannot give ", "не удается дать ") + Utf8Of(file) + Say(" the name vellum.md: ", " имя vellum.md: ") + code.message(), error);
    return true;
  }
  std::string Directory() const { return Utf8Of(Dir); }

private:
  fs::path Dir;
  static bool Fail(const std::string& message, std::string& error) {
    error = message;
    return false;
  }
};
}  // namespace

std::string ReportsText(const std::vector<TErrorReport>& reports) {
  std::string text;
  for (const TErrorReport& report : reports) text += std::to_string(report.Code) + ": " + report.Description + "\n";
  return text;
}

std::string TakeReportsText(TSession& session) { return ReportsText(session.Log().TakeReports()); }

bool StartAndLoad(TSession& session, const std::string& path, std::string& error) {
  HRESULT hr = session.Start();
  if (FAILED(hr)) {
    error = session.StartError();
    return false;
  }
  std::string directory = path, shownFile;
  TContainerDir container;
  std::error_code code;
  TSource folder;
  if (IsUnpackedFolder(path)) {
    if (!FindSource(path, folder, error)) return false;
    if (!container.Make(PathOf(folder.File), error)) return false;
    directory = container.Directory();
    shownFile = path;
  } else if (fs::is_regular_file(PathOf(path), code)) {
    if (!container.Make(PathOf(path), error)) return false;
    directory = container.Directory();
    shownFile = path;
  }
  if (session.Load(directory, &hr)) {
    error = TakeReportsText(session);
    return true;
  }
  error = TakeReportsText(session) + DiagnoseDirectory(directory, shownFile);
  return false;
}

int PrintLoaded(const std::string& said, bool loaded) {
  if (loaded) {
    Err(said);
    return ExitOk;
  }
  // The component's reports stand as they are, what ostrak saw after them.
  const size_t last = said.rfind('\n');
  Err(last == std::string::npos ? "ostrak: " + said + "\n"
                                : said.substr(0, last + 1) + "ostrak: " + said.substr(last + 1) + "\n");
  return ExitFailed;
}

}  // namespace kalamos
