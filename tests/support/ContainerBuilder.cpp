#include "tests/support/ContainerBuilder.h"

#include <fstream>

#include "host/Pack.h"
#include "platform/Storage.h"
#include "platform/Text.h"

using namespace kalamos;

HRESULT WriteContainer(const TTempDir& dir, std::string_view utf8Text, const TContainerOptions& options) {
  std::string text = Utf8ToCodePage(utf8Text, options.CodePage);
  return WriteContainerBytes(dir, PackStreamBytes(text, options.Start), options);
}

HRESULT WriteContainerBytes(const TTempDir& dir, const std::string& streamBytes, const TContainerOptions& options) {
  if (options.PlainFile) {
    std::ofstream out(dir.Path() / std::filesystem::path(std::u8string(options.FileName.begin(), options.FileName.end())),
                      std::ios::binary | std::ios::trunc);
    out.write(streamBytes.data(), static_cast<std::streamsize>(streamBytes.size()));
    return out.good() ? S_OK : E_FAIL;
  }
  TStorageEntry entry{OLESTR("Metadata"), OLESTR("Main MetaData Stream"), streamBytes};
  if (!options.WithMetadata)
    entry.storage.clear(); // the stream sits in the root, where nobody looks for it
  else if (!options.WithStream)
    entry = TStorageEntry{OLESTR("Metadata"), OLESTR("Other Stream"), streamBytes};
  return WriteCompoundFile(dir.WideFile(options.FileName), {entry});
}
