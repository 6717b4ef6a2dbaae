// Makes the machine's classes refuse the component's registration, as they refuse a person
// without an administrator's rights: the class key exists and grants everyone reading it
// and changing its permissions, nothing else. "unlock" gives the key back and deletes it,
// if it is still there.
// Works in the registry view of its own bitness, the view of the DLL under test.
// Usage: peruser_classes_lock lock|unlock
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>

namespace {

const wchar_t ClassKey[] = L"Software\\Classes\\CLSID\\{6E1A3D52-9C47-4B0E-8F21-5A7C3B9D0E14}";

bool SetAccess(HKEY key, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
  const LONG status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
  LocalFree(descriptor);
  return status == ERROR_SUCCESS;
}

int Fail(const char* what, LONG status) {
  std::printf("peruser_classes_lock: %s failed (%ld)\n", what, status);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool lock = argc == 2 && std::strcmp(argv[1], "lock") == 0;
  if (!lock && !(argc == 2 && std::strcmp(argv[1], "unlock") == 0)) {
    std::printf("usage: peruser_classes_lock lock|unlock\n");
    return 2;
  }
  HKEY key = nullptr;
  LONG status = lock ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, ClassKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_ALL_ACCESS, nullptr, &key, nullptr)
                     : RegOpenKeyExW(HKEY_LOCAL_MACHINE, ClassKey, 0, WRITE_DAC, &key);
  if (!lock && status == ERROR_FILE_NOT_FOUND) return 0;
  if (status != ERROR_SUCCESS) return Fail(lock ? "creating the class key" : "opening the class key", status);
  // KEY_READ | WRITE_DAC: no KEY_SET_VALUE, KEY_CREATE_SUB_KEY or DELETE.
  const bool set = SetAccess(key, lock ? L"D:P(A;;0x60019;;;WD)" : L"D:P(A;;KA;;;WD)");
  RegCloseKey(key);
  if (!set) return Fail("setting the key's permissions", 0);
  if (lock) {
    // The component's own first write must now be refused.
    status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, ClassKey, 0, KEY_WRITE, &key);
    if (status == ERROR_SUCCESS) {
      RegCloseKey(key);
      return Fail("refusing a write", 0);
    }
    return 0;
  }
  status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, ClassKey);
  return status == ERROR_SUCCESS ? 0 : Fail("deleting the class key", status);
}
