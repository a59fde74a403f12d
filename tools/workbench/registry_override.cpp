#include "tools/workbench/registry_override.h"

namespace workbench {

namespace {

// The one instance whose values Ctrl+C restores.
RegistryOverrides* ActiveOverrides = nullptr;

bool ReadRaw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD* type, std::vector<BYTE>* data) {
  HKEY k;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  bool ok = RegQueryValueExW(k, name.c_str(), nullptr, type, nullptr, &size) == ERROR_SUCCESS;
  if (ok) {
    data->resize(size);
    ok = RegQueryValueExW(k, name.c_str(), nullptr, type, data->data(), &size) == ERROR_SUCCESS;
    data->resize(size);
  }
  RegCloseKey(k);
  return ok;
}

bool WriteRaw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const BYTE* data, DWORD size) {
  HKEY k;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = RegSetValueExW(k, name.c_str(), 0, type, data, size) == ERROR_SUCCESS;
  RegCloseKey(k);
  return ok;
}

bool RemoveRaw(HKEY root, const std::wstring& key, const std::wstring& name) {
  HKEY k;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return true;
  LONG r = RegDeleteValueW(k, name.c_str());
  RegCloseKey(k);
  return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

}  // namespace

RegistryOverrides::RegistryOverrides() {
  InitializeCriticalSection(&lock_);
  ActiveOverrides = this;
  // Undone in the destructor.
  SetConsoleCtrlHandler(OnConsoleBreak, TRUE);
}

RegistryOverrides::~RegistryOverrides() {
  SetConsoleCtrlHandler(OnConsoleBreak, FALSE);
  Restore();
  if (ActiveOverrides == this) ActiveOverrides = nullptr;
  DeleteCriticalSection(&lock_);
}

bool RegistryOverrides::Set(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring* text) {
  EnterCriticalSection(&lock_);
  bool known = false;
  for (const Saved& s : saved_) known = known || (s.root == root && s.key == key && s.name == name);
  if (!known) {
    Saved s{root, key, name, false, 0, {}};
    s.existed = ReadRaw(root, key, name, &s.type, &s.data);
    saved_.push_back(s);
  }
  bool ok = text ? WriteRaw(root, key, name, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                            static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t)))
                 : RemoveRaw(root, key, name);
  LeaveCriticalSection(&lock_);
  return ok;
}

int RegistryOverrides::Restore() {
  EnterCriticalSection(&lock_);
  int restored = 0;
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    bool ok = it->existed ? WriteRaw(it->root, it->key, it->name, it->type, it->data.data(),
                                     static_cast<DWORD>(it->data.size()))
                          : RemoveRaw(it->root, it->key, it->name);
    if (ok) ++restored;
  }
  saved_.clear();
  LeaveCriticalSection(&lock_);
  return restored;
}

std::wstring RegistryOverrides::Read(HKEY root, const std::wstring& key, const std::wstring& name) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!ReadRaw(root, key, name, &type, &data)) return L"none";
  if (type == REG_DWORD && data.size() == 4) return std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return L"\"" + text + L"\"";
}

BOOL WINAPI RegistryOverrides::OnConsoleBreak(DWORD) {
  if (ActiveOverrides) ActiveOverrides->Restore();
  return FALSE;  // and let the process end as it would have
}

}  // namespace workbench
