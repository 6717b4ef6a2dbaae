#include "host/Pack.h"

#include "platform/Storage.h"
#include "platform/Text.h"

namespace kalamos {

namespace {

void PutLittleEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

std::string PackStreamBytes(std::string_view text, int start) {
  static constexpr std::string_view kOpening = "{\r\n";
  uint64_t rest = kOpening.size() + text.size();
  if (start != 6 && start != 9) start = rest > 0xFFFF ? 9 : 6;
  bool padded = start == 9 && (rest & 0xFF) == '{';
  if (padded) ++rest;

  std::string bytes;
  bytes.reserve(static_cast<size_t>(rest) + 7);
  if (start == 6) {
    bytes.push_back(static_cast<char>(0xFF));
    PutLittleEndian(bytes, static_cast<uint32_t>(rest), 2);
  } else {
    bytes.append(3, static_cast<char>(0xFF));
    PutLittleEndian(bytes, static_cast<uint32_t>(rest), 4);
  }
  bytes.append(kOpening);
  bytes.append(text);
  if (padded) bytes.push_back('\n');
  return bytes;
}

HRESULT WriteConfigurationContainer(const WideString& fileName, const std::string& streamBytes) {
  return WriteCompoundFile(fileName, {{OLESTR("Metadata"), OLESTR("Main MetaData Stream"), streamBytes}});
}

HRESULT WriteConfigurationContainer(const std::string& utf8FileName, const std::string& streamBytes) {
  return WriteConfigurationContainer(Utf8ToWide(utf8FileName), streamBytes);
}

}  // namespace kalamos
