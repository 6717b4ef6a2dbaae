// kalamos.dll loaded with LoadLibrary, driven as the host drives it, and freed again, a
// thousand times in one process. Every cycle must give the same answers and leave the
// library unloaded; the process's private memory must stay flat, since whatever one cycle
// leaks (a runtime pool, a class factory, a string) would pile up in a long-running host.
//
//   unload_tests [gtest options]
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/Session.h"
#include "methods/Functions.h"
#include "tests/support/ContainerBuilder.h"
#include "tests/support/TempDir.h"
#include "Version.h"

using namespace kalamos;

namespace {

constexpr int Cycles = 1000;
constexpr int WarmUp = 100;
// Private memory may wander by a few heap pages; a leak of even 300 bytes a cycle
// would pass this over the measured 900 cycles.
constexpr size_t AllowedGrowth = 256 * 1024;

std::wstring ProgramDir() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, length);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

// Committed private memory of the process, counted region by region: GetProcessMemoryInfo
// leaves PrivateUsage at 0 under Wine, and every heap's pages show here on any Windows.
size_t PrivateBytes() {
  size_t total = 0;
  MEMORY_BASIC_INFORMATION region = {};
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
  }
  return total;
}

std::string Narrow(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  return out;
}

// One host's life with the component: load the library, create, Init, Load, list the
// documents, fail a call (the report path), Done, Release, unload. The names listed, or
// a text saying what went wrong.
std::string OneCycle(const std::string& dllPath, const std::string& baseDir) {
  std::string names;
  {
    TSessionOptions options;
    options.Source = TComponentSource::Library;
    options.DllPath = dllPath;
    TSession host(options);
    if (host.Start() != S_OK) return "start: " + host.StartError();
    if (!host.Load(baseDir)) return "Load failed";
    for (;;) {
      TCallOutcome outcome;
      if (host.Call(MethodEnumObjects, {TVariant::Utf8("DOCUMENT"), TVariant()}, outcome) != S_OK)
        return "EnumObjects failed";
      if (outcome.Return.AsInt() != 1) break;
      names += outcome.Params[1].ToUtf8() + ";";
    }
    TCallOutcome refused;
    if (host.Call(MethodEnumValues, {TVariant::Utf8("Nothing"), TVariant()}, refused) != E_FAIL)
      return "EnumValues did not fail";
    if (host.Log().Reports().size() != 1) return "no report of the failed call";
  }
  // The session freed the library: nothing may keep it loaded.
  if (GetModuleHandleW(KALAMOS_DLL_FILE_W) != nullptr) return KALAMOS_DLL_FILE " is still loaded";
  return names;
}

TEST(Unload, AThousandLoadsAndFreesKeepWorkingWithFlatMemory) {
  TTempDir dir;
  ASSERT_EQ(S_OK, WriteContainer(dir, "{\"Documents\",\r\n{\"120\",\"Invoice\",\"\"},\r\n{\"130\",\"Order\",\"\"}}\r\n}"));
  const std::string dll = Narrow(ProgramDir() + KALAMOS_DLL_FILE_W);
  ASSERT_EQ(GetModuleHandleW(KALAMOS_DLL_FILE_W), nullptr);

  size_t before = 0;
  for (int cycle = 1; cycle <= Cycles; ++cycle) {
    std::string answer = OneCycle(dll, dir.Utf8());
    ASSERT_EQ(answer, "Order;Invoice;") << "cycle " << cycle;
    if (cycle == WarmUp) before = PrivateBytes();
  }
  size_t after = PrivateBytes();
  std::printf("private memory after %d cycles: %zu bytes, after %d: %zu bytes\n", WarmUp, before, Cycles, after);
  EXPECT_LE(after, before + AllowedGrowth)
      << "private memory grew by " << (after - before) << " bytes over " << (Cycles - WarmUp) << " cycles";
}

}  // namespace
