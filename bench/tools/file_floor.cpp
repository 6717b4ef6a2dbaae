// The floor under `ostrak unpack`: makes the folders of a tree and writes files of the same
// sizes (bytes of no meaning), as plainly as the system allows, so that unpack's time can be
// set against the system's own work. Prints the time of the making alone.
//   bench_file_floor TREE TARGET
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s TREE TARGET\n", argv[0]);
    return 2;
  }
  const fs::path tree = argv[1], target = argv[2];
  // The tree is listed first: only the making is the floor.
  std::vector<std::string> folders;
  std::vector<std::pair<std::string, uintmax_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(tree)) {
    const std::string relative = entry.path().lexically_relative(tree).string();
    if (entry.is_directory()) folders.push_back(relative);
    else files.emplace_back(relative, entry.file_size());
  }
  static char bytes[1 << 16];
  const auto start = std::chrono::steady_clock::now();
  if (::mkdir(target.c_str(), 0755) != 0) return std::perror("mkdir"), 1;
  for (const std::string& folder : folders)
    if (::mkdir((target / folder).c_str(), 0755) != 0) return std::perror(folder.c_str()), 1;
  for (const auto& [file, size] : files) {
    const int fd = ::open((target / file).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return std::perror(file.c_str()), 1;
    for (uintmax_t left = size; left > 0;) {
      const size_t piece = left < sizeof bytes ? size_t(left) : sizeof bytes;
      if (::write(fd, bytes, piece) != ssize_t(piece)) return std::perror(file.c_str()), 1;
      left -= piece;
    }
    ::close(fd);
  }
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("%zu folders and %zu files made in %.0f ms\n", folders.size(), files.size(), ms);
  return 0;
}
