#include "tests/support/TempDir.h"

#include <random>
#include <stdexcept>
#include <system_error>

#include "platform/Text.h"

using namespace kalamos;

namespace {

std::string Utf8Of(const std::filesystem::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

} // namespace

TTempDir::TTempDir() {
  std::random_device entropy;
  std::mt19937_64 random((uint64_t(entropy()) << 32) ^ entropy());
  std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate = base / ("kalamos-" + std::to_string(random() % 1000000000000ull));
    std::error_code error;
    // create_directory answers false when the name is taken, so the directory is ours alone.
    if (std::filesystem::create_directory(candidate, error)) {
      Dir = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory in " + Utf8Of(base));
}

TTempDir::~TTempDir() {
  std::error_code error;
  std::filesystem::remove_all(Dir, error);
}

std::string TTempDir::Utf8() const { return Utf8Of(Dir); }
std::string TTempDir::Ansi() const { return Utf8ToAnsi(Utf8()); }
WideString TTempDir::Wide() const { return Utf8ToWide(Utf8()); }

std::string TTempDir::Utf8File(const std::string& name) const { return Utf8Of(Dir / PathFromUtf8(name)); }
std::string TTempDir::AnsiFile(const std::string& name) const { return Utf8ToAnsi(Utf8File(name)); }
WideString TTempDir::WideFile(const std::string& name) const { return Utf8ToWide(Utf8File(name)); }
