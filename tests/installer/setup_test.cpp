// The setup, run silently as scripted installs and these tests do: it finds the player's folder,
// refuses one without the player, closes a running player before it replaces the plug-in, and
// its uninstaller takes away exactly what it added.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "quillary_version.h"
#include "tests/common/test_support.h"

using testing_support::FileExists;
using testing_support::PluginDllPath;
using testing_support::ReadFileBytes;
using testing_support::ScopedRegistryValue;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

namespace {

const wchar_t kOurEntry[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillary";
const wchar_t kPlayerEntry[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Winamp";
const wchar_t kPlayerClass[] = L"Winamp v1.x";
const wchar_t kUninstallerName[] = L"quillary-uninstall.exe";
const DWORD kRunTimeoutMs = 60000;

// Size and checksum of a file's bytes: compared like the bytes, printed in a line on failure.
std::string Fingerprint(const std::string& bytes) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : bytes) hash = (hash ^ c) * 16777619u;
  char text[48];
  snprintf(text, sizeof(text), "%u bytes, FNV-1a %08x", static_cast<unsigned>(bytes.size()), hash);
  return text;
}

std::string FileFingerprint(const std::wstring& path) {
  return FileExists(path) ? Fingerprint(ReadFileBytes(path)) : "no file";
}

std::wstring SetupPath() { return standin::ProgramFolder() + L"quillary-setup.exe"; }

bool WaitUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(10);
  }
  return true;
}

BOOL CALLBACK FindMainWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<std::pair<DWORD, HWND>*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == search->first && IsWindowVisible(window) && !GetWindow(window, GW_OWNER)) search->second = window;
  return TRUE;
}

// A program the test started; ended (by its handle) if it is still running at the end.
class Child {
 public:
  bool Start(std::wstring command_line) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    return CreateProcessW(nullptr, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_) != 0;
  }
  ~Child() {
    if (!pi_.hProcess) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  bool Ended() const { return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0; }
  // Its visible window without an owner, once it shows one.
  HWND MainWindow() const {
    std::pair<DWORD, HWND> search(pi_.dwProcessId, nullptr);
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
    return search.second;
  }
  // The exit code, or nothing when the program did not end in time.
  std::optional<DWORD> Wait(DWORD timeout_ms) {
    if (WaitForSingleObject(pi_.hProcess, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION pi_ = {};
};

// Runs a command line and waits for it. An NSIS setup started this way is waited for to its end.
std::optional<DWORD> RunCommand(const std::wstring& command_line) {
  Child child;
  if (!child.Start(command_line)) return std::nullopt;
  return child.Wait(kRunTimeoutMs);
}

// /D= must come last and unquoted, even with spaces in the path.
std::optional<DWORD> RunSetup(const std::wstring& args) { return RunCommand(L"\"" + SetupPath() + L"\" " + args); }

// Every file and folder under root, relative to it; folders end with a backslash.
std::set<std::wstring> ListTree(const std::wstring& root, const std::wstring& prefix = L"") {
  std::set<std::wstring> entries;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((root + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      entries.insert(prefix + name + L"\\");
      std::set<std::wstring> inner = ListTree(root + L"\\" + name, prefix + name + L"\\");
      entries.insert(inner.begin(), inner.end());
    } else {
      entries.insert(prefix + name);
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return entries;
}

// Whether the program's manifest (resource 1 of type RT_MANIFEST, which Windows reads when it
// starts the program) declares it DPI-aware, so that its pages are not stretched and blurred.
bool DeclaresDpiAwareness(const std::wstring& program) {
  HMODULE image = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC found = image ? FindResourceW(image, MAKEINTRESOURCEW(1), RT_MANIFEST) : nullptr;
  HGLOBAL loaded = found ? LoadResource(image, found) : nullptr;
  const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  const std::string manifest = text ? std::string(text, SizeofResource(image, found)) : std::string();
  if (image) FreeLibrary(image);
  const size_t setting = manifest.find("<dpiAware");
  return setting != std::string::npos && manifest.compare(manifest.find('>', setting), 6, ">true<") == 0;
}

std::set<std::wstring> With(std::set<std::wstring> entries, std::initializer_list<const wchar_t*> more) {
  entries.insert(more.begin(), more.end());
  return entries;
}

// A folder outside the temporary folder that a test makes, or that a faulty setup could make;
// removed at the end, so that a failure does not leak into the next test.
class RemovedAtEnd {
 public:
  explicit RemovedAtEnd(std::wstring path) : path_(std::move(path)) {}
  ~RemovedAtEnd() {
    std::wstring from = path_;
    from.push_back(L'\0');  // a double-terminated list
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
  }
  RemovedAtEnd(const RemovedAtEnd&) = delete;
  RemovedAtEnd& operator=(const RemovedAtEnd&) = delete;

 private:
  std::wstring path_;
};

// The setup's last resort, $PROGRAMFILES\Winamp.
std::wstring DefaultPlayerFolder() {
  wchar_t program_files[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, program_files);
  return std::wstring(program_files) + L"\\Winamp";
}

bool EntryExists() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOurEntry, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring EntryString(const wchar_t* name) {
  wchar_t text[1024] = {};
  DWORD size = sizeof(text) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kOurEntry, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
    return L"(missing)";
  return text;
}

std::optional<DWORD> EntryNumber(const wchar_t* name) {
  DWORD value = 0, size = sizeof(value);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kOurEntry, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

// A player install as its installers leave it: a folder with a space in its name (as under
// Program Files) holding Winamp.exe, which is the stand-in player.
class FakePlayer {
 public:
  explicit FakePlayer(bool with_player = true) : folder_(temp_.Path() + L"\\Winamp Player") {
    CreateDirectoryW(folder_.c_str(), nullptr);
    if (with_player) CopyFileW((standin::ProgramFolder() + L"quillary_fake_player.exe").c_str(), Exe().c_str(), TRUE);
  }
  const std::wstring& Folder() const { return folder_; }
  std::wstring Exe() const { return folder_ + L"\\Winamp.exe"; }
  std::wstring Plugins() const { return folder_ + L"\\Plugins"; }
  std::wstring Dll() const { return Plugins() + L"\\gen_corvane.dll"; }
  std::wstring Uninstaller() const { return Plugins() + L"\\" + kUninstallerName; }
  std::wstring Ini() const { return folder_ + L"\\winamp.ini"; }

  // What a user's player folder holds besides: another plug-in and settings, ours among them.
  void AddPluginsAndSettings() {
    CreateDirectoryW(Plugins().c_str(), nullptr);
    WriteFileBytes(Plugins() + L"\\gen_other.dll", "another plug-in");
    WriteFileBytes(Ini(), "[Winamp]\r\nvolume=200\r\n[gen_corvane]\r\nlock_action=1\r\nlock_delay=5\r\n");
  }
  // An earlier gen_corvane.dll: the shipped one with bytes appended, which still loads.
  std::string AddEarlierPlugin() {
    CreateDirectoryW(Plugins().c_str(), nullptr);
    std::string earlier = ReadFileBytes(PluginDllPath()) + "earlier version";
    WriteFileBytes(Dll(), earlier);
    return earlier;
  }

 private:
  TempFolder temp_;
  std::wstring folder_;
};

// The host's way of loading: LoadLibraryW, the export, header version 0x10, then init.
void ExpectLoadsAsThePlayerLoadsIt(const std::wstring& dll) {
  standin::StandInHost host;
  ASSERT_TRUE(host.Create());
  standin::PluginLoader plugin;
  ASSERT_TRUE(plugin.Load(dll)) << plugin.Error();
  EXPECT_EQ(0, plugin.Init(host.Window()));
  plugin.Quit();
  plugin.Unload();
}

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The setup would close any player window, the test's own included.
    ASSERT_EQ(nullptr, FindWindowW(kPlayerClass, nullptr)) << "a player window is open";
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kOurEntry);
    recorded_folder.Remove();
    install_location.Remove();
    uninstall_string.Remove();
  }
  void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kOurEntry); }

 public:
  // Where the player's installers record its folder; each put back as it was afterwards.
  ScopedRegistryValue recorded_folder{HKEY_CURRENT_USER, L"Software\\Winamp", L""};
  ScopedRegistryValue install_location{HKEY_LOCAL_MACHINE, kPlayerEntry, L"InstallLocation"};
  ScopedRegistryValue uninstall_string{HKEY_LOCAL_MACHINE, kPlayerEntry, L"UninstallString"};
};

// --- Finding the player --------------------------------------------------------------------------

struct Recorded {
  const char* name;
  // Records `player` (a folder with Winamp.exe) one way; `stale` is a folder without it.
  std::function<void(SetupTest&, const std::wstring& player, const std::wstring& stale)> record;
};

void PrintTo(const Recorded& recorded, std::ostream* os) { *os << recorded.name; }

class FindsPlayerTest : public SetupTest, public ::testing::WithParamInterface<Recorded> {};

TEST_P(FindsPlayerTest, SilentSetupPutsALoadablePluginIntoThePlayersFolder) {
  FakePlayer player;
  FakePlayer stale(false);
  GetParam().record(*this, player.Folder(), stale.Folder());

  EXPECT_EQ(0u, RunSetup(L"/S"));
  ASSERT_TRUE(FileExists(player.Dll()));
  EXPECT_EQ(FileFingerprint(PluginDllPath()), FileFingerprint(player.Dll()));
  EXPECT_EQ(std::set<std::wstring>{}, ListTree(stale.Folder()));
  ExpectLoadsAsThePlayerLoadsIt(player.Dll());
}

const Recorded kRecorded[] = {
    {"RecordedFolder",
     [](SetupTest& t, const std::wstring& p, const std::wstring&) { t.recorded_folder.SetString(p); }},
    {"QuotedInstallLocationWithBackslash",
     [](SetupTest& t, const std::wstring& p, const std::wstring&) {
       t.install_location.SetString(L"\"" + p + L"\\\"");
     }},
    {"QuotedUninstallStringWithArguments",
     [](SetupTest& t, const std::wstring& p, const std::wstring& stale) {
       t.uninstall_string.SetString(L"\"" + p + L"\\UninstWA.exe\" /log=" + stale + L"\\uninstall.log");
     }},
    {"UnquotedUninstallString", [](SetupTest& t, const std::wstring& p,
                                   const std::wstring&) { t.uninstall_string.SetString(p + L"\\UninstWA.exe"); }},
    // A player moved elsewhere leaves an outdated value behind; the next place still counts.
    {"OutdatedFolderIsPassedOver",
     [](SetupTest& t, const std::wstring& p, const std::wstring& stale) {
       t.recorded_folder.SetString(stale);
       t.install_location.SetString(stale);
       t.uninstall_string.SetString(L"\"" + p + L"\\UninstWA.exe\"");
     }},
};

INSTANTIATE_TEST_SUITE_P(Setup, FindsPlayerTest, ::testing::ValuesIn(kRecorded),
                         [](const ::testing::TestParamInfo<Recorded>& info) { return info.param.name; });

TEST_F(SetupTest, WithNothingRecordedTheProgramFilesFolderIsUsed) {
  const std::wstring folder = DefaultPlayerFolder();
  if (FileExists(folder)) GTEST_SKIP() << "a player folder exists under Program Files";
  RemovedAtEnd cleanup(folder);
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  CopyFileW((standin::ProgramFolder() + L"quillary_fake_player.exe").c_str(), (folder + L"\\Winamp.exe").c_str(), TRUE);

  EXPECT_EQ(0u, RunSetup(L"/S"));
  EXPECT_EQ(FileFingerprint(PluginDllPath()), FileFingerprint(folder + L"\\Plugins\\gen_corvane.dll"));
  ExpectLoadsAsThePlayerLoadsIt(folder + L"\\Plugins\\gen_corvane.dll");
}

// --- Refusing ------------------------------------------------------------------------------------

TEST_F(SetupTest, FolderWithoutThePlayerIsRefusedAndNothingIsWritten) {
  FakePlayer folder(false);
  folder.AddPluginsAndSettings();
  const std::set<std::wstring> before = ListTree(folder.Folder());

  EXPECT_EQ(2u, RunSetup(L"/S /D=" + folder.Folder()));
  EXPECT_EQ(before, ListTree(folder.Folder()));
  EXPECT_FALSE(EntryExists());
}

TEST_F(SetupTest, RecordedFolderWithoutThePlayerIsRefused) {
  const std::wstring fallback = DefaultPlayerFolder();
  ASSERT_FALSE(FileExists(fallback)) << "the default folder would be found";
  RemovedAtEnd cleanup(fallback);
  FakePlayer folder(false);
  recorded_folder.SetString(folder.Folder());

  EXPECT_EQ(2u, RunSetup(L"/S"));
  EXPECT_EQ(std::set<std::wstring>{}, ListTree(folder.Folder()));
  EXPECT_FALSE(FileExists(fallback));
  EXPECT_FALSE(EntryExists());
}

// A file that cannot be replaced must fail the run, not be skipped and reported as installed.
TEST_F(SetupTest, PluginFileInUseFailsTheSetup) {
  FakePlayer player;
  const std::string earlier = player.AddEarlierPlugin();
  HANDLE lock = CreateFileW(player.Dll().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);

  std::optional<DWORD> exit_code = RunSetup(L"/S /D=" + player.Folder());
  CloseHandle(lock);
  ASSERT_TRUE(exit_code.has_value());
  EXPECT_NE(0u, *exit_code);
  EXPECT_EQ(Fingerprint(earlier), FileFingerprint(player.Dll()));
  EXPECT_FALSE(FileExists(player.Uninstaller()));
  EXPECT_FALSE(EntryExists());
}

// --- A running player ----------------------------------------------------------------------------

TEST_F(SetupTest, RunningPlayerIsClosedBeforeThePluginIsReplaced) {
  FakePlayer player;
  const std::string earlier = player.AddEarlierPlugin();
  TempFolder logs;
  Child running;
  ASSERT_TRUE(running.Start(L"\"" + player.Exe() + L"\" " + logs.File(L"player.log")));
  ASSERT_TRUE(WaitUntil([] { return FindWindowW(kPlayerClass, L"Winamp (ready)") != nullptr; }, 20000))
      << "the stand-in player did not start";

  EXPECT_EQ(0u, RunSetup(L"/S /D=" + player.Folder()));
  EXPECT_TRUE(running.Ended()) << "the setup returned while the player still ran";
  EXPECT_EQ(0u, running.Wait(5000)) << "the player was not ended by its own close";
  // The player held the earlier plug-in until its very end.
  const std::string size = std::to_string(earlier.size());
  EXPECT_EQ("closed with plug-in of " + size + " bytes, ended with plug-in of " + size + " bytes",
            ReadFileBytes(logs.File(L"player.log")));
  EXPECT_EQ(FileFingerprint(PluginDllPath()), FileFingerprint(player.Dll()));
  EXPECT_EQ(nullptr, FindWindowW(kPlayerClass, nullptr));
}

// --- The pages a user sees ----------------------------------------------------------------------

// The visible child windows (of the setup's pages too) whose text holds `text`.
BOOL CALLBACK FindText(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<std::pair<const wchar_t*, std::vector<HWND>>*>(data);
  wchar_t shown[1024] = {};
  GetWindowTextW(child, shown, 1024);
  if (IsWindowVisible(child) && wcsstr(shown, search->first)) search->second.push_back(child);
  return TRUE;
}
std::vector<HWND> TextsHolding(HWND window, const wchar_t* text) {
  std::pair<const wchar_t*, std::vector<HWND>> search(text, {});
  EnumChildWindows(window, FindText, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

// Run as a user runs it, at 100 % and 150 %: once the plug-in is in place, the last page
// says once, as its own text, where the settings are in the player; "Fertigstellen" ends it.
TEST_F(SetupTest, LastPageSaysWhereTheSettingsAre) {
  for (DWORD dpi : {96, 144}) {
    FakePlayer player;
    Child setup;
    HWND window = nullptr;
    {
      // Read by the setup when it starts.
      ScopedRegistryValue pixels(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
      if (dpi != 96) {
        ASSERT_TRUE(pixels.SetRaw(REG_DWORD, &dpi, sizeof(dpi)));
      }
      ASSERT_TRUE(setup.Start(L"\"" + SetupPath() + L"\" /D=" + player.Folder()));
      WaitUntil([&] { return (window = setup.MainWindow()) != nullptr; }, 20000);
    }
    ASSERT_NE(nullptr, window) << "no setup window at " << dpi << " DPI";
    SendMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);  // "Installieren"
    WaitUntil([&] { return !TextsHolding(window, L"Konfigurieren").empty(); }, 30000);
    const std::vector<HWND> shown = TextsHolding(window, L"Konfigurieren");
    ASSERT_EQ(1u, shown.size()) << "at " << dpi << " DPI";
    wchar_t text[1024] = {};
    GetWindowTextW(shown[0], text, 1024);
    EXPECT_STREQ(
        L"Starten Sie Winamp; die Einstellungen von Quillary finden Sie unter Einstellungen (Strg+P) > "
        L"Plug-ins > General Purpose > Quillary > Konfigurieren.",
        text);
    SendMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);  // "Fertigstellen"
    EXPECT_EQ(0u, setup.Wait(kRunTimeoutMs));
    EXPECT_TRUE(FileExists(player.Dll()));
  }
}

// --- Uninstalling --------------------------------------------------------------------------------

TEST_F(SetupTest, UninstallerRemovesExactlyWhatTheSetupAdded) {
  FakePlayer player;
  player.AddPluginsAndSettings();
  const std::set<std::wstring> before = ListTree(player.Folder());
  const std::string settings = ReadFileBytes(player.Ini());

  ASSERT_EQ(0u, RunSetup(L"/S /D=" + player.Folder()));
  EXPECT_EQ(With(before, {L"Plugins\\gen_corvane.dll", L"Plugins\\quillary-uninstall.exe"}), ListTree(player.Folder()));
  EXPECT_TRUE(DeclaresDpiAwareness(SetupPath()));
  EXPECT_TRUE(DeclaresDpiAwareness(player.Uninstaller()));
  EXPECT_EQ(L"Quillary (Winamp-Plug-in)", EntryString(L"DisplayName"));
  EXPECT_EQ(L"" QUILLARY_VERSION_TEXT, EntryString(L"DisplayVersion"));
  EXPECT_EQ(L"Quillary-Team", EntryString(L"Publisher"));
  EXPECT_EQ(L"\"" + player.Uninstaller() + L"\"", EntryString(L"UninstallString"));
  EXPECT_EQ(L"\"" + player.Uninstaller() + L"\" /S", EntryString(L"QuietUninstallString"));
  const DWORD dll_kb = static_cast<DWORD>((ReadFileBytes(player.Dll()).size() + 1023) / 1024);
  const std::optional<DWORD> size_kb = EntryNumber(L"EstimatedSize");
  ASSERT_TRUE(size_kb.has_value());
  EXPECT_GT(*size_kb, dll_kb) << "the size counts the plug-in and the uninstaller";
  EXPECT_LT(*size_kb, dll_kb + 1024);

  // Run in place (_?=), the uninstaller cannot delete its own file; all else it added goes.
  EXPECT_EQ(0u, RunCommand(L"\"" + player.Uninstaller() + L"\" /S _?=" + player.Plugins()));
  EXPECT_EQ(With(before, {L"Plugins\\quillary-uninstall.exe"}), ListTree(player.Folder()));
  EXPECT_FALSE(EntryExists());
  EXPECT_EQ(settings, ReadFileBytes(player.Ini())) << "the user's settings belong to the user";
}

// The way Apps & features runs it: the uninstaller copies itself to %TEMP% and starts the copy,
// which does the work after the first one has ended, so the test waits for the work to show.
TEST_F(SetupTest, RegisteredUninstallCommandLeavesThePlayerFolderAsItWas) {
  FakePlayer player;
  const std::set<std::wstring> before = ListTree(player.Folder());
  ASSERT_EQ(0u, RunSetup(L"/S /D=" + player.Folder()));

  EXPECT_EQ(0u, RunCommand(EntryString(L"QuietUninstallString")));
  EXPECT_TRUE(WaitUntil([&] { return !EntryExists() && !FileExists(player.Plugins()); }, 30000));
  EXPECT_EQ(before, ListTree(player.Folder())) << "the Plugins folder the setup made goes with it";
}

TEST_F(SetupTest, UninstallerOfAnEarlierFolderKeepsTheCurrentEntry) {
  FakePlayer first;
  FakePlayer second;
  ASSERT_EQ(0u, RunSetup(L"/S /D=" + first.Folder()));
  ASSERT_EQ(0u, RunSetup(L"/S /D=" + second.Folder()));

  EXPECT_EQ(0u, RunCommand(L"\"" + first.Uninstaller() + L"\" /S _?=" + first.Plugins()));
  EXPECT_FALSE(FileExists(first.Dll()));
  EXPECT_EQ(second.Plugins(), EntryString(L"InstallLocation"));
  EXPECT_TRUE(FileExists(second.Dll()));
}

}  // namespace
