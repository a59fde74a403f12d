#include "tests/common/test_support.h"

#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <vector>

namespace testing_support {

std::wstring PluginDllPath() { return standin::ProgramFolder() + L"gen_corvane.dll"; }

TempFolder::TempFolder() {
  wchar_t base[MAX_PATH];
  // Under Wine on Linux the tests' files go to memory: the private-profile functions
  // rewrite a whole file at every write, and the settings tests write tens of thousands.
  const DWORD memory = GetFileAttributesW(L"Z:\\dev\\shm");
  if (memory != INVALID_FILE_ATTRIBUTES && (memory & FILE_ATTRIBUTE_DIRECTORY)) {
    wcscpy(base, L"Z:\\dev\\shm\\");
  } else {
    GetTempPathW(MAX_PATH, base);
  }
  static unsigned counter = 0;
  for (;;) {
    wchar_t name[MAX_PATH];
    swprintf(name, MAX_PATH, L"%lsquillary-%lu-%lu-%u", base, GetCurrentProcessId(), GetTickCount(), ++counter);
    if (CreateDirectoryW(name, nullptr)) {
      path_ = name;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return;
  }
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  std::wstring from = path_;
  from.push_back(L'\0');  // SHFileOperation takes a double-terminated list
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(f, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(f);
  return bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

HANDLE HoldWithoutWriteSharing(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

std::string ToAnsi(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring ToWide(const std::string& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], n);
  return out;
}

ScopedRegistryValue::ScopedRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name)
    : root_(root), key_(key), name_(name) {
  HKEY k;
  if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return;
  DWORD size = 0;
  if (RegQueryValueExW(k, name_.c_str(), nullptr, &old_type_, nullptr, &size) == ERROR_SUCCESS) {
    old_data_.resize(size);
    if (RegQueryValueExW(k, name_.c_str(), nullptr, &old_type_, old_data_.data(), &size) == ERROR_SUCCESS) {
      had_value_ = true;
      old_data_.resize(size);
    }
  }
  RegCloseKey(k);
}

ScopedRegistryValue::~ScopedRegistryValue() {
  if (had_value_) {
    SetRaw(old_type_, old_data_.data(), static_cast<DWORD>(old_data_.size()));
  } else {
    Remove();
  }
}

bool ScopedRegistryValue::SetString(const std::wstring& text) {
  return SetRaw(REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool ScopedRegistryValue::SetRaw(DWORD type, const void* data, DWORD size) {
  HKEY k;
  if (RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) != ERROR_SUCCESS)
    return false;
  // For string types RegSetValueExW looks at the character after the data (and, for one
  // byte, the one before it) and stores a terminator it finds there as part of the value.
  // Non-zero guards on both sides keep what is stored exactly the bytes given.
  std::vector<BYTE> guarded(size + 4, 0xFF);
  if (size) std::memcpy(guarded.data() + 2, data, size);
  LONG r = RegSetValueExW(k, name_.c_str(), 0, type, data ? guarded.data() + 2 : nullptr, size);
  RegCloseKey(k);
  return r == ERROR_SUCCESS;
}

bool ScopedRegistryValue::Remove() {
  HKEY k;
  if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return true;
  LONG r = RegDeleteValueW(k, name_.c_str());
  RegCloseKey(k);
  return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

namespace {

void RemoveValue(HKEY root, const wchar_t* key_path, const wchar_t* name) {
  HKEY key;
  if (RegOpenKeyExW(root, key_path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name);
  RegCloseKey(key);
}

}  // namespace

void ResetStateThePluginReads() {
  RemoveValue(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"ScreenSaverIsSecure");
  RemoveValue(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"NoAutoReturnToWelcome");
  RemoveValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
              L"ScreenSaverGracePeriod");
  // Read by Wine when a process starts; removing it changes no process that runs already.
  RemoveValue(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
  SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, FALSE, nullptr, 0);
  // The colours a test's scheme changes hold for the whole Wine session, not the registry:
  // the registry's scheme comes back (a test killed before its clean-up leaves no black).
  const struct {
    int element;
    const wchar_t* name;
  } colours[] = {
      {COLOR_BTNFACE, L"ButtonFace"},    {COLOR_BTNTEXT, L"ButtonText"},        {COLOR_WINDOW, L"Window"},
      {COLOR_WINDOWTEXT, L"WindowText"}, {COLOR_HOTLIGHT, L"HotTrackingColor"}, {COLOR_GRAYTEXT, L"GrayText"}};
  for (const auto& colour : colours) {
    wchar_t text[16] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    int r, g, b;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Colors", colour.name, RRF_RT_REG_SZ, nullptr, text, &size) !=
            ERROR_SUCCESS ||
        swscanf(text, L"%d %d %d", &r, &g, &b) != 3) {
      continue;
    }
    const COLORREF stored = RGB(r, g, b);
    if (GetSysColor(colour.element) != stored) SetSysColors(1, &colour.element, &stored);
  }
}

std::vector<UINT_PTR> TimersStillSet(HWND window, std::initializer_list<UINT_PTR> ids) {
  std::vector<UINT_PTR> set;
  for (UINT_PTR id : ids) {
    if (KillTimer(window, id)) set.push_back(id);
  }
  return set;
}

ResourceCounts CurrentResourceCounts() {
  // Wine's GetGuiResources and GetProcessHandleCount answer 0, so every 16-bit handle value
  // is probed: Wine accepts a GDI object's or a window's handle with its upper word cleared,
  // and kernel handles are small multiples of four. Windows count when this process owns them.
  ResourceCounts counts;
  const DWORD self = GetCurrentProcessId();
  for (UINT_PTR value = 1; value <= 0xFFFF; ++value) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(value))) ++counts.gdi;
    DWORD owner = 0;
    HWND window = reinterpret_cast<HWND>(value);
    if (IsWindow(window) && GetWindowThreadProcessId(window, &owner) && owner == self) ++counts.user;
    DWORD flags;
    if (value % 4 == 0 && GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++counts.handles;
  }
  return counts;
}

}  // namespace testing_support
