#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host/tool/Commands.h"

namespace {
std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
}  // namespace

void Out(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void Err(const std::string& text) {
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

void PrintReports(TSession& session) {
  for (const TErrorReport& report : session.Log().TakeReports())
    Err(std::to_string(report.Code) + ": " + report.Description + "\n");
}

std::string DiagnoseDirectory(const std::string& directory) {
  std::error_code error;
  std::filesystem::path dir = PathOf(directory);
  if (directory.find_first_not_of(" \t\r\n") == std::string::npos) return "no directory given";
  if (!std::filesystem::exists(dir, error)) return directory + ": no such directory";
  if (!std::filesystem::is_directory(dir, error)) return directory + ": not a directory";
  std::filesystem::path file = dir / "vellum.md";
  std::string shown = directory + "/vellum.md";
  if (!std::filesystem::exists(file, error)) return shown + ": no such file";
  std::ifstream in(file, std::ios::binary);
  char head[8] = {};
  if (!in.read(head, sizeof head)) return shown + ": not a compound file";
  static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  for (int i = 0; i < 8; ++i)
    if (static_cast<unsigned char>(head[i]) != signature[i]) return shown + ": not a compound file";
  return shown + ": no readable configuration in the container (storage \"Metadata\", stream \"Main MetaData Stream\")";
}

bool StartAndLoad(TSession& session, const std::string& directory, int& status) {
  HRESULT hr = session.Start();
  if (FAILED(hr)) {
    Err("ostrak: " + session.StartError() + "\n");
    status = ExitFailed;
    return false;
  }
  if (session.Load(directory, &hr)) {
    PrintReports(session);
    return true;
  }
  PrintReports(session);
  Err("ostrak: " + DiagnoseDirectory(directory) + "\n");
  status = ExitFailed;
  return false;
}
