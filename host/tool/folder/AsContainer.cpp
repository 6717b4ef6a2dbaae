// An unpacked folder wherever a container stands: built into a temporary container, once for
// each state of its files (mcp asks again at every request), and removed when the tool ends.
#include <map>
#include <random>

#include "host/tool/ground/Ground.h"
#include "host/tool/folder/Folder.h"

namespace kalamos {

namespace fs = std::filesystem;

// Named, not anonymous: the tool's library is compiled as one unit.
namespace as_container {

struct TBuilt {
  std::string State, File;
};

class TBuilds {
public:
  ~TBuilds() {
    std::error_code ignored;
    for (const auto& [folder, built] : ByFolder) fs::remove(PathOf(built.File), ignored);
  }
  std::map<std::string, TBuilt> ByFolder;
};

TBuilds& Builds() {
  static TBuilds builds;
  return builds;
}

// Every file's name, size and time: what changes when anything in the folder does.
std::string StateOf(const fs::path& root) {
  std::string state;
  std::error_code code;
  for (auto item = fs::recursive_directory_iterator(root, code); !code && item != fs::recursive_directory_iterator();
       item.increment(code)) {
    if (!item->is_regular_file(code)) continue;
    const std::u8string name = item->path().u8string();
    state.append(name.begin(), name.end());
    state += '\n' + std::to_string(item->file_size(code)) + ' ' +
             std::to_string(item->last_write_time(code).time_since_epoch().count()) + '\n';
  }
  return state;
}

}  // namespace as_container
using namespace as_container;

bool FolderAsContainer(const std::string& folder, std::string& file, std::string& error) {
  const std::string state = StateOf(PathOf(folder));
  TBuilt& built = Builds().ByFolder[folder];
  if (!built.File.empty() && built.State == state) {
    file = built.File;
    return true;
  }
  if (built.File.empty()) {
    std::error_code code;
    const fs::path base = fs::temp_directory_path(code);
    if (code) return error = kalamos::Say("no temporary folder: ", "нет временной папки: ") + code.message(), false;
    std::random_device random;
    const std::u8string name = (base / ("ostrak-folder-" + std::to_string(random()) + ".md")).u8string();
    built.File.assign(name.begin(), name.end());
  }
  if (!BuildFolder(folder, built.File, error)) {
    built.State.clear();
    return false;
  }
  built.State = state;
  file = built.File;
  return true;
}

}  // namespace kalamos
