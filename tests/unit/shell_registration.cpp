// Self-registration's decisions against a registry double: what goes where and in which
// order, when a refused machine-wide write sends the entries to the person's own classes,
// what removal leaves for the other build, and which DllInstall command lines are taken.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "shell/Registration.h"

using namespace kalamos;

namespace {

std::string Narrow(const WideString& text) { return std::string(text.begin(), text.end()); }
WideString Wide(const std::string& text) { return WideString(text.begin(), text.end()); }

const char* Name(TClassesRoot root) { return root == TClassesRoot::Machine ? "machine" : "user"; }
int Index(TClassesRoot root) { return root == TClassesRoot::Machine ? 0 : 1; }

const std::string Clsid = "{6E1A3D52-9C47-4B0E-8F21-5A7C3B9D0E14}";
const std::string ClassKey = "CLSID\\" + Clsid;
const std::string ServerKey = ClassKey + "\\InprocServer32";
const std::string Module = "\"C:\\Program Files\\kalamos\\kalamos.dll\"";

// The five entries as "key=value", in the order they must be written.
std::vector<std::string> Entries(const std::string& module) {
  return {ClassKey + "=Q9Scholion", ServerKey + "=" + module, "AddIn.kalamos=Q9Scholion",
          "AddIn.kalamos\\Clsid=" + Clsid, ClassKey + "\\ProgID=AddIn.kalamos"};
}

// Two classes roots of one view. Like the real registry it will not delete a key that still
// has subkeys, so removal in the wrong order leaves keys behind.
class TFakeRegistry final : public TClassesRegistry {
public:
  TWriteStatus Write(TClassesRoot root, const TRegistryEntry& entry) override {
    const int at = Index(root);
    if (Refusal[at] && Writes[at] >= RefuseFrom[at]) return *Refusal[at];
    ++Writes[at];
    Keys[at][Narrow(entry.Key)] = Narrow(entry.Value);
    Log.push_back(std::string("write ") + Name(root) + " " + Narrow(entry.Key) + "=" + Narrow(entry.Value));
    return TWriteStatus::Written;
  }
  void Delete(TClassesRoot root, const WideString& key) override {
    auto& keys = Keys[Index(root)];
    const std::string name = Narrow(key);
    for (const auto& [other, value] : keys)
      if (other.rfind(name + "\\", 0) == 0) return;
    keys.erase(name);
  }
  bool OtherViewHas(TClassesRoot root, const WideString& key) override {
    Log.push_back(std::string("other view ") + Name(root) + " " + Narrow(key));
    return OtherView[Index(root)].count(Narrow(key)) > 0;
  }

  // Writes to root from the n-th on (0-based) end with status.
  void Refuse(TClassesRoot root, size_t from, TWriteStatus status = TWriteStatus::Denied) {
    RefuseFrom[Index(root)] = from;
    Refusal[Index(root)] = status;
  }
  // "key=value" of every key under root, in the order they were written.
  std::vector<std::string> Held(TClassesRoot root) const {
    std::vector<std::string> held;
    for (const std::string& line : Log) {
      const std::string prefix = std::string("write ") + Name(root) + " ";
      if (line.rfind(prefix, 0) != 0) continue;
      const std::string entry = line.substr(prefix.size());
      const std::string key = entry.substr(0, entry.find('='));
      const auto& keys = Keys[Index(root)];
      if (keys.count(key) && key + "=" + keys.at(key) == entry) held.push_back(entry);
    }
    return held;
  }

  std::map<std::string, std::string> Keys[2];
  std::map<std::string, bool> OtherView[2];
  std::vector<std::string> Log;

private:
  size_t Writes[2] = {0, 0};
  size_t RefuseFrom[2] = {0, 0};
  std::optional<TWriteStatus> Refusal[2];
};

TEST(Registration, GuidTextIsTheRegistryForm) {
  const GUID small = {0x0000ABCD, 0x00EF, 0x0A0B, {0x00, 0x01, 0xAB, 0xCD, 0xEF, 0x10, 0x02, 0xFF}};
  EXPECT_EQ(Narrow(GuidText(small)), "{0000ABCD-00EF-0A0B-0001-ABCDEF1002FF}");
  const GUID large = {0xFEDCBA98, 0xFFFF, 0x8000, {0xFF, 0xFE, 0xFD, 0xFC, 0xFB, 0xFA, 0xF9, 0xF8}};
  EXPECT_EQ(Narrow(GuidText(large)), "{FEDCBA98-FFFF-8000-FFFE-FDFCFBFAF9F8}");
}

TEST(Registration, MachineWideWhenAllowed) {
  TFakeRegistry registry;
  EXPECT_EQ(RegisterServer(registry, Wide(Module)), S_OK);
  EXPECT_EQ(registry.Held(TClassesRoot::Machine), Entries(Module));
  EXPECT_TRUE(registry.Keys[1].empty());
  // Registering again from elsewhere replaces the path and adds nothing.
  EXPECT_EQ(RegisterServer(registry, OLESTR("C:\\kalamos\\kalamos.dll")), S_OK);
  EXPECT_EQ(registry.Keys[0].size(), 5u);
  EXPECT_EQ(registry.Keys[0][ServerKey], "C:\\kalamos\\kalamos.dll");
}

// Refused at the first entry (nothing machine-wide) and part way (the entries written before
// stay): either way the person's classes get all five, in order, and the call succeeds.
TEST(Registration, RefusedMachineWideWriteFallsBackToTheUser) {
  for (size_t refusedAt : {0u, 1u, 4u}) {
    SCOPED_TRACE(refusedAt);
    TFakeRegistry registry;
    registry.Refuse(TClassesRoot::Machine, refusedAt);
    EXPECT_EQ(RegisterServer(registry, Wide(Module)), S_OK);
    const std::vector<std::string> all = Entries(Module);
    EXPECT_EQ(registry.Held(TClassesRoot::Machine), std::vector<std::string>(all.begin(), all.begin() + refusedAt));
    EXPECT_EQ(registry.Held(TClassesRoot::User), all);
  }
}

TEST(Registration, OtherFailuresStayFailures) {
  {
    SCOPED_TRACE("machine-wide write fails for another reason");
    TFakeRegistry registry;
    registry.Refuse(TClassesRoot::Machine, 1, TWriteStatus::Failed);
    EXPECT_EQ(RegisterServer(registry, Wide(Module)), E_FAIL);
    EXPECT_EQ(registry.Held(TClassesRoot::Machine), std::vector<std::string>{Entries(Module)[0]});
    EXPECT_TRUE(registry.Keys[1].empty());
  }
  {
    SCOPED_TRACE("the person's classes refuse too");
    TFakeRegistry registry;
    registry.Refuse(TClassesRoot::Machine, 0);
    registry.Refuse(TClassesRoot::User, 2);
    EXPECT_EQ(RegisterServer(registry, Wide(Module)), E_FAIL);
    EXPECT_EQ(registry.Held(TClassesRoot::User).size(), 2u);
  }
  {
    SCOPED_TRACE("no module path: no server entry, and no retry per user");
    TFakeRegistry registry;
    EXPECT_EQ(RegisterServer(registry, WideString()), E_FAIL);
    EXPECT_EQ(registry.Held(TClassesRoot::Machine), std::vector<std::string>{Entries("")[0]});
    EXPECT_TRUE(registry.Keys[1].empty());
    TFakeRegistry user;
    EXPECT_EQ(InstallServer(user, true, OLESTR("user"), WideString()), E_FAIL);
    EXPECT_TRUE(user.Keys[1].count(ServerKey) == 0);
  }
}

TEST(Registration, UnregisterRemovesMachineWideAndPersonalEntries) {
  TFakeRegistry registry;
  EXPECT_EQ(RegisterServer(registry, Wide(Module)), S_OK);
  EXPECT_EQ(InstallServer(registry, true, OLESTR("user"), Wide(Module)), S_OK);
  EXPECT_EQ(registry.Held(TClassesRoot::User), Entries(Module));
  EXPECT_EQ(UnregisterServer(registry), S_OK);
  EXPECT_TRUE(registry.Keys[0].empty());
  EXPECT_TRUE(registry.Keys[1].empty());
  // Nothing left to remove is still a success.
  EXPECT_EQ(UnregisterServer(registry), S_OK);
  EXPECT_EQ(InstallServer(registry, false, OLESTR("user"), WideString()), S_OK);
}

// The ProgID's keys are one for both builds; each root keeps them while the other bitness's
// class is registered there, and only there.
TEST(Registration, SharedProgIdStaysForTheOtherBuild) {
  TFakeRegistry registry;
  EXPECT_EQ(RegisterServer(registry, Wide(Module)), S_OK);
  EXPECT_EQ(InstallServer(registry, true, OLESTR("user"), Wide(Module)), S_OK);
  registry.OtherView[1][ServerKey] = true;
  registry.Log.clear();
  EXPECT_EQ(UnregisterServer(registry), S_OK);
  EXPECT_TRUE(registry.Keys[0].empty());
  EXPECT_EQ(registry.Keys[1], (std::map<std::string, std::string>{{"AddIn.kalamos", "Q9Scholion"},
                                                                   {"AddIn.kalamos\\Clsid", Clsid}}));
  // Asked about the server key, after this build's class keys are gone.
  EXPECT_EQ(registry.Log, (std::vector<std::string>{"other view machine " + ServerKey, "other view user " + ServerKey}));
}

TEST(Registration, InstallCommandLines) {
  const struct {
    const OLECHAR* Line;
    bool PerUser;
  } taken[] = {{nullptr, false},           {OLESTR(""), false},     {OLESTR("machine"), false},
               {OLESTR("MACHINE"), false}, {OLESTR("user"), true},  {OLESTR("User"), true}};
  for (const auto& line : taken) {
    SCOPED_TRACE(line.Line ? Narrow(line.Line) : "(null)");
    TFakeRegistry registry;
    EXPECT_EQ(InstallServer(registry, true, line.Line, Wide(Module)), S_OK);
    EXPECT_EQ(registry.Held(TClassesRoot::Machine).size(), line.PerUser ? 0u : 5u);
    EXPECT_EQ(registry.Held(TClassesRoot::User).size(), line.PerUser ? 5u : 0u);
    EXPECT_EQ(InstallServer(registry, false, line.Line, WideString()), S_OK);
    EXPECT_TRUE(registry.Keys[0].empty() && registry.Keys[1].empty());
  }

  const OLECHAR* refused[] = {OLESTR("users"), OLESTR("use"), OLESTR(" user"), OLESTR("user "),
                              OLESTR("machine,user"), OLESTR("/n"), OLESTR("usEr\t")};
  for (const OLECHAR* line : refused) {
    SCOPED_TRACE(Narrow(line));
    TFakeRegistry registry;
    EXPECT_EQ(InstallServer(registry, true, line, Wide(Module)), E_INVALIDARG);
    EXPECT_EQ(InstallServer(registry, false, line, WideString()), E_INVALIDARG);
    EXPECT_TRUE(registry.Log.empty());
  }
}

TEST(Registration, InstallTakesTheSameRoadsAsTheOtherEntryPoints) {
  {
    SCOPED_TRACE("install for the machine falls back as DllRegisterServer does");
    TFakeRegistry registry;
    registry.Refuse(TClassesRoot::Machine, 0);
    EXPECT_EQ(InstallServer(registry, true, OLESTR("machine"), Wide(Module)), S_OK);
    EXPECT_EQ(registry.Held(TClassesRoot::User), Entries(Module));
  }
  {
    SCOPED_TRACE("install for the user never touches the machine's classes");
    TFakeRegistry registry;
    registry.Refuse(TClassesRoot::User, 0);
    EXPECT_EQ(InstallServer(registry, true, OLESTR("user"), Wide(Module)), E_FAIL);
    EXPECT_TRUE(registry.Keys[0].empty());
  }
  {
    SCOPED_TRACE("removing for the user leaves the machine-wide registration");
    TFakeRegistry registry;
    EXPECT_EQ(RegisterServer(registry, Wide(Module)), S_OK);
    EXPECT_EQ(InstallServer(registry, true, OLESTR("user"), Wide(Module)), S_OK);
    EXPECT_EQ(InstallServer(registry, false, OLESTR("user"), WideString()), S_OK);
    EXPECT_EQ(registry.Held(TClassesRoot::Machine), Entries(Module));
    EXPECT_TRUE(registry.Keys[1].empty());
  }
}

}  // namespace
