// The shipped DLL in the stand-in host, in the orders in which the player really calls
// it: the host must keep working whatever happens to the plug-in.
#include "tests/common/test_support.h"

#include <commctrl.h>
#include <wtsapi32.h>

#include <functional>

#include "host/host_api.h"
#include "tests/reliability/reliability.h"
#include "ui/resource.h"

using standin::HostEvent;
using standin::PluginLoader;
using standin::UninstallOutcome;
using testing_support::FileExists;
using testing_support::PluginDllPath;
using testing_support::ReadFileBytes;
using testing_support::ToAnsi;
using testing_support::WriteFileBytes;
namespace proto = standin::proto;

namespace {

const wchar_t UninstallBox[] =
    L"Quillary|Sollen die Einstellungen von Quillary auch aus der Konfigurationsdatei von Winamp entfernt werden?|No";

// Answers each question box of this thread with `answer` once it is up (it sets its default
// button after its activation, hence the timer), and notes its caption, text and default.
struct BoxAnswerer {
  explicit BoxAnswerer(int button) {
    answer = button;
    boxes.clear();
    hook = SetWindowsHookExW(WH_CBT, Proc, nullptr, GetCurrentThreadId());
  }
  ~BoxAnswerer() { UnhookWindowsHookEx(hook); }
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    HWND box = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && box != last && GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO)) {
      last = box;
      SetTimer(nullptr, 0, 1, Answer);
    }
    return CallNextHookEx(hook, code, wParam, lParam);
  }
  static void CALLBACK Answer(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    wchar_t caption[64] = {}, text[256] = {};
    GetWindowTextW(last, caption, 64);
    GetDlgItemTextW(last, 0xFFFF, text, 256);
    const bool no_default = (GetWindowLongW(GetDlgItem(last, IDNO), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    boxes.push_back(std::wstring(caption) + L"|" + text + (no_default ? L"|No" : L"|Yes"));
    PostMessageW(last, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(last, answer)));
  }
  static std::vector<std::wstring> boxes;
  static int answer;
  static HWND last;
  static HHOOK hook;
};
std::vector<std::wstring> BoxAnswerer::boxes;
int BoxAnswerer::answer = 0;
HWND BoxAnswerer::last = nullptr;
HHOOK BoxAnswerer::hook = nullptr;

BOOL CALLBACK FindOptionsDialog(HWND window, LPARAM found) {
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  if (wcscmp(title, L"\"Quillary\" - Einstellungen") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

class DllTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ini = folder.File(L"winamp.ini");
    host.SetIniPath(testing_support::ToAnsi(ini));
  }
  void Start(const std::wstring& dll = PluginDllPath()) {
    ASSERT_TRUE(plugin.Load(dll)) << plugin.Error();
    ASSERT_EQ(0, plugin.Init(host.Window()));
  }
  void Stop() {
    plugin.Quit();
    plugin.Unload();
  }
  // What the lock rule posts to a playing host: what the settings say, or the default pause.
  unsigned CommandAtLock() {
    host.ClearRecords();
    host.SetPlayState(proto::Playing);
    SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
    host.WaitForCommands(1, 1000);
    return host.Commands().empty() ? 0 : host.Commands()[0];
  }
  int CallUninstall() {
    using Uninstall = int(__cdecl*)(HINSTANCE, HWND, int);
    auto uninstall = reinterpret_cast<Uninstall>(
        reinterpret_cast<void*>(GetProcAddress(plugin.Module(), standin::UninstallExportName)));
    return uninstall ? uninstall(plugin.Module(), host.Window(), 0) : -1;
  }
  static bool DllMapped() { return GetModuleHandleW(L"gen_corvane.dll") != nullptr; }
  LONG_PTR HostProcedure() { return GetWindowLongPtrW(host.Window(), GWLP_WNDPROC); }

  // Everything a host window receives after the plug-in is gone: session changes, both
  // reaction timers, the screen saver selector and an ordinary message with a result.
  void ExpectHostStillWorks() {
    host.SetMessageHandler([](UINT message, WPARAM, LPARAM, LRESULT* result) {
      if (message != WM_APP + 1) return false;
      *result = 77;
      return true;
    });
    host.ClearRecords();
    host.SetPlayState(standin::proto::Playing);
    for (WPARAM code : {WTS_SESSION_LOCK, WTS_SESSION_UNLOCK, WTS_CONSOLE_DISCONNECT, WTS_CONSOLE_CONNECT})
      SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, code, 1);
    SendMessageW(host.Window(), WM_TIMER, DelayTimer, 0);
    SendMessageW(host.Window(), WM_TIMER, GraceTimer, 0);
    SendMessageW(host.Window(), WM_USER, 0, standin::proto::FirstMessageSelector);
    EXPECT_EQ(77, SendMessageW(host.Window(), WM_APP + 1, 0, 0));
    host.PumpFor(50);
    EXPECT_EQ(4u, host.CountEvents(HostEvent::Kind::SessionChange));
    EXPECT_EQ(2u, host.CountEvents(HostEvent::Kind::Timer));
    EXPECT_EQ(1u, host.CountQueries(standin::proto::FirstMessageSelector));
    EXPECT_TRUE(host.Commands().empty()) << "a plug-in that has quit reacts to nothing";
  }

  testing_support::TempFolder folder;
  std::wstring ini;
  PluginLoader plugin;
};

}  // namespace

// Uninstall from the preferences: quit, then the DLL is freed while the host runs on.
TEST_F(DllTest, QuitThenUnloadGivesTheHostItsWindowBack) {
  LONG_PTR own = HostProcedure();
  Start();
  EXPECT_NE(own, HostProcedure());
  plugin.Quit();
  EXPECT_EQ(own, HostProcedure());
  plugin.Unload();
  EXPECT_FALSE(DllMapped());
  ExpectHostStillWorks();
}

// Windows log-off: quit while the window still exists; the DLL stays mapped.
TEST_F(DllTest, QuitWhileTheWindowLivesLeavesItUntouched) {
  LONG_PTR own = HostProcedure();
  Start();
  plugin.Quit();
  EXPECT_EQ(own, HostProcedure());
  ExpectHostStillWorks();
}

// Normal exit: the host destroys its main window first and calls quit afterwards.
TEST_F(DllTest, QuitAfterTheWindowIsGoneIsHarmless) {
  Start();
  host.Destroy();
  plugin.Quit();
  plugin.Unload();
  EXPECT_FALSE(DllMapped());
}

TEST_F(DllTest, QuitCancelsAnArmedReactionTimer) {
  testing_support::WriteFileBytes(ini, "[gen_corvane]\r\nlock_action=1\r\nlock_delay=1\r\n");
  host.SetPlayState(standin::proto::Playing);
  Start();
  SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
  plugin.Quit();
  EXPECT_EQ(std::vector<UINT_PTR>(),
            testing_support::TimersStillSet(host.Window(), {DelayTimer, GraceTimer, RegistrationRetryTimer}));
  plugin.Unload();
  host.PumpFor(1300);
  EXPECT_TRUE(host.Commands().empty());
  EXPECT_EQ(0u, host.CountEvents(HostEvent::Kind::Timer)) << "the delay timer was killed, not left to fire";
}

namespace {
WNDPROC Covered = nullptr;
LRESULT CALLBACK Covering(HWND w, UINT m, WPARAM wp, LPARAM lp) { return CallWindowProcW(Covered, w, m, wp, lp); }
}  // namespace

// A second init in the same process while HostWindowProc is still in the window's chain:
// after a free without quit that the watch's worker outlived, and after a quit that had to
// leave it under another subclass. A second subclass would make the window recurse.
TEST_F(DllTest, ASecondInitOnTheSameWindowOnlyTurnsTheHookBackOn) {
  auto one_lock_pauses = [this](const char* after) {
    host.ClearRecords();
    host.SetPlayState(standin::proto::Playing);
    SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
    host.PumpFor(50);
    EXPECT_EQ(std::vector<unsigned>{40046}, host.Commands()) << after;
  };
  Start();
  plugin.Unload();
  ASSERT_TRUE(DllMapped()) << "held by the watch's worker";
  Start();
  one_lock_pauses("a free without quit");
  plugin.Quit();
  plugin.Unload();
  EXPECT_FALSE(DllMapped());

  Start();
  Covered = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(host.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Covering)));
  plugin.Quit();
  plugin.Unload();
  ASSERT_TRUE(DllMapped()) << "pinned under the other subclass";
  Start();
  one_lock_pauses("a quit under another subclass");
  plugin.Quit();
}

// The road a user sees first: lock pauses a playing host, unlock resumes it two seconds later.
TEST_F(DllTest, LockPausesAndUnlockResumesAfterTwoSeconds) {
  host.SetSimulation(true);
  host.SetPlayState(standin::proto::Playing);
  Start();
  SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
  ASSERT_TRUE(host.WaitForCommands(1, 1000));
  EXPECT_EQ(std::vector<unsigned>{40046}, host.Commands());
  EXPECT_EQ(standin::proto::Paused, host.PlayState());

  double unlocked = host.Now();
  SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 1);
  ASSERT_TRUE(host.WaitForCommands(2, 4000));
  double resumed = host.Events().back().seconds;
  EXPECT_EQ((std::vector<unsigned>{40046, 40045}), host.Commands());
  EXPECT_GE(resumed - unlocked, 1.9);
  EXPECT_EQ(standin::proto::Playing, host.PlayState());
  plugin.Quit();
}

// Settings that make the lock rule stop instead of pause, and keep the watch off.
const char StoredSettings[] = "[gen_corvane]\r\nlock_action=2\r\nlock_on_screensaver=0\r\n";

// The player's wide path (query 1334) reaches a settings folder outside the ANSI code page,
// whose ANSI copy (query 334) names no file. An older player, or an answer that is no path,
// leaves the ANSI copy, which serves a folder inside the code page.
TEST_F(DllTest, WideIniPathFindsSettingsOutsideTheAnsiCodePage) {
  const std::wstring folder_name = folder.File(L"\u0416\u0443\u0440\u043d\u0430\u043b");
  ASSERT_TRUE(CreateDirectoryW(folder_name.c_str(), nullptr));
  const std::wstring wide_ini = folder_name + L"\\winamp.ini";
  ASSERT_TRUE(WriteFileBytes(wide_ini, StoredSettings));
  ASSERT_NE(std::string::npos, ToAnsi(wide_ini).find('?')) << "the folder must lie outside the code page";
  host.SetWideIniPath(wide_ini);
  Start();
  EXPECT_EQ(0u, host.CountQueries(proto::QueryIniPath)) << "the ANSI copy is not asked for";
  EXPECT_EQ(proto::Stop, CommandAtLock());
  Stop();

  host.SetOldHost(true);
  host.ClearRecords();
  Start();
  EXPECT_EQ(1u, host.CountQueries(proto::QueryIniPath));
  EXPECT_EQ(proto::Pause, CommandAtLock()) << "the '?' path names no file: the defaults hold";
  Stop();
  host.SetOldHost(false);

  ASSERT_TRUE(WriteFileBytes(ini, StoredSettings));
  host.SetIniPath(ToAnsi(ini));
  static const wchar_t empty[] = L"";
  for (LRESULT answer : {LRESULT(0), LRESULT(1), LRESULT(42), reinterpret_cast<LRESULT>(empty)}) {
    host.SetMessageHandler([answer](UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
      if (message != WM_USER || lParam != proto::QueryIniPathWide) return false;
      *result = answer;
      return true;
    });
    host.ClearRecords();
    Start();
    EXPECT_EQ(1u, host.CountQueries(proto::QueryIniPath)) << "answer " << answer;
    EXPECT_EQ(proto::Stop, CommandAtLock()) << "answer " << answer;
    Stop();
  }
}

// The player reads the name of query 65536 as ANSI. A wide name reads as its first letter,
// so the selector would be shared with every plug-in whose name starts with "g".
TEST_F(DllTest, ScreenSaverSelectorIsTheOneOfItsAnsiName) {
  const LRESULT other =
      SendMessageW(host.Window(), WM_USER, reinterpret_cast<WPARAM>(L"gen_other"), proto::QueryRegisterMessage);
  Start();
  ASSERT_EQ(1u, host.AssignedSelectors().count("gen_corvane_screensaver"));
  const LRESULT ours = host.AssignedSelectors().at("gen_corvane_screensaver");
  EXPECT_NE(other, ours);
  host.ClearRecords();
  SendMessageW(host.Window(), WM_USER, 0, other);
  EXPECT_EQ(1u, host.CountQueries(other)) << "another plug-in's message reaches the host";
  Stop();
}

// The player's road when the user removes the plug-in in its preferences: its confirmation,
// then the export, quit, FreeLibrary and the file deleted, here with the watch polling and a
// reaction timer armed. Only the plug-in's section leaves the INI file, and the host works on.
TEST_F(DllTest, UninstallFromThePreferencesRemovesTheDllAndOnlyItsSettings) {
  const std::wstring plugins = folder.File(L"Plugins");
  const std::wstring dll = plugins + L"\\gen_corvane.dll";
  ASSERT_TRUE(CreateDirectoryW(plugins.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(PluginDllPath().c_str(), dll.c_str(), FALSE));
  const std::string before = "[Winamp]\r\nvolume=200\r\n";
  const std::string after = "[in_mp3]\r\nbuffer=4\r\n";
  ASSERT_TRUE(WriteFileBytes(ini, before + "[gen_corvane]\r\nlock_delay=1\r\n" + after));
  host.SetPlayState(proto::Playing);
  const DWORD threads = reliability::ThreadCount();
  Start(dll);
  EXPECT_EQ(threads + 1, reliability::ThreadCount()) << "the screen saver watch polls";
  SendMessageW(host.Window(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);  // arms the pause in 1 s

  BoxAnswerer yes(IDYES);
  EXPECT_EQ(UninstallOutcome::Removed, plugin.Uninstall(host.Window(), true));
  EXPECT_EQ(std::vector<std::wstring>{UninstallBox}, BoxAnswerer::boxes) << "the question, No the default";
  // The worker holds the DLL while it lives: the file can go only once it has ended.
  EXPECT_FALSE(FileExists(dll));
  EXPECT_EQ(before + after, ReadFileBytes(ini));
  host.PumpFor(1200);
  EXPECT_TRUE(host.Commands().empty()) << "the armed pause went with quit";
  ExpectHostStillWorks();
}

// Asked only when there is something to remove (not before init, not twice after Yes, not
// after quit), and not at all while the options dialog's modal loop is on the stack.
TEST_F(DllTest, UninstallExportAsksOnlyWhenItMayAndThereIsSomethingToRemove) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&controls);
  const std::string host_section = "[Winamp]\r\nvolume=200\r\n";
  ASSERT_TRUE(WriteFileBytes(ini, host_section + "[gen_corvane]\r\nlock_on_screensaver=0\r\n"));
  BoxAnswerer answers(IDNO);
  ASSERT_TRUE(plugin.Load(PluginDllPath()));
  EXPECT_EQ(1, CallUninstall()) << "before init";
  ASSERT_EQ(0, plugin.Init(host.Window()));
  int during_config = -1;
  host.After(1, [&] {
    during_config = CallUninstall();
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindOptionsDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog) EndDialog(dialog, IDCANCEL);
  });
  plugin.Config();
  EXPECT_EQ(0, during_config);
  EXPECT_TRUE(BoxAnswerer::boxes.empty());

  EXPECT_EQ(1, CallUninstall());  // No
  BoxAnswerer::answer = IDYES;
  EXPECT_EQ(1, CallUninstall());
  EXPECT_EQ(host_section, ReadFileBytes(ini));
  EXPECT_EQ(1, CallUninstall());
  plugin.Quit();
  EXPECT_EQ(1, CallUninstall()) << "after quit";
  EXPECT_EQ(2u, BoxAnswerer::boxes.size()) << "asked after init, while the section was there";
  plugin.Unload();
}

namespace {

// The session services' answer to the plug-in's registration, as the test sets it.
DWORD RegistrationError = ERROR_ACCESS_DENIED;
BOOL WINAPI RefuseRegistration(HWND, DWORD) {
  SetLastError(RegistrationError);
  return FALSE;
}

// A message box of ours on this thread (caption "Quillary"), or null; its caption and text.
BOOL CALLBACK FindBoxOfOurs(HWND window, LPARAM found) {
  wchar_t caption[64] = {};
  GetWindowTextW(window, caption, 64);
  if (!IsWindowVisible(window) || wcscmp(caption, L"Quillary") != 0 || !GetDlgItem(window, 0xFFFF)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}
HWND BoxOfOurs(std::wstring* shown = nullptr) {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindBoxOfOurs, reinterpret_cast<LPARAM>(&box));
  wchar_t text[1024] = {};
  if (shown) *shown = GetDlgItemTextW(box, 0xFFFF, text, 1024) ? std::wstring(L"Quillary|") + text : L"";
  return box;
}

}  // namespace

// The player's preferences stay usable under a box of ours. These tests do there what the
// player does: ask the export while the box is up, and remove the plug-in under it.
class BoxDllTest : public DllTest {
 protected:
  // Once a new box of ours is up (found from the host's timer, so inside the box's own
  // modal loop), runs `under` and then presses `button`.
  void UnderNextBox(int button, std::function<void()> under) {
    host.After(10, [this, button, under] {
      HWND box = BoxOfOurs(&shown);
      if (!box || box == handled) return UnderNextBox(button, under);
      handled = box;
      under();
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    });
  }
  // The export's answer; a question it should not have asked is answered No and noted.
  void AskToRemove() {
    BoxAnswerer no(IDNO);
    answers.push_back(CallUninstall());
    asked += BoxAnswerer::boxes.size();
  }
  void QuitAndFree() {
    plugin.Quit();
    plugin.Unload();
  }

  std::vector<int> answers;
  size_t asked = 0;
  std::wstring shown;
  HWND handled = nullptr;
};

// Removed under init's error box: the export declines, and after quit and FreeLibrary the box
// returns into code that is still mapped. Init then starts nothing for the host that quit it.
TEST_F(BoxDllTest, RemovalUnderTheStartupErrorBoxKeepsTheDllAndInitStopsThere) {
  const LONG_PTR own = HostProcedure();
  const DWORD threads = reliability::ThreadCount();
  ASSERT_TRUE(plugin.Load(PluginDllPath())) << plugin.Error();
  ASSERT_NE(nullptr, plugin.ReplaceImport("wtsapi32.dll", "WTSRegisterSessionNotification",
                                          reinterpret_cast<void*>(RefuseRegistration)));
  UnderNextBox(IDOK, [this] {
    AskToRemove();
    host.ClearRecords();
    QuitAndFree();
  });
  EXPECT_EQ(0, plugin.Init(host.Window()));
  EXPECT_EQ(std::vector<int>{0}, answers);
  EXPECT_EQ(0u, asked);
  EXPECT_TRUE(DllMapped());
  EXPECT_EQ(threads, reliability::ThreadCount()) << "no screen saver watch after quit";
  EXPECT_EQ(0u, host.CountEvents(HostEvent::Kind::Query)) << "no settings read after quit";
  EXPECT_EQ(own, HostProcedure());
  ExpectHostStillWorks();
}

// The retry timer's error box, the Defaults question and the failed-save box decline the
// removal as the open dialog does. The retry timer's box shows from inside the host window's
// procedure: quit and FreeLibrary under it keep the DLL.
TEST_F(BoxDllTest, EveryBoxOfOursDeclinesRemovalAndTheRetryBoxOutlivesQuitAndFree) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&controls);
  host.SetIniPath(ToAnsi(folder.File(L"gone\\winamp.ini")));  // OK fails to save there
  const LONG_PTR own = HostProcedure();
  RegistrationError = RPC_S_INVALID_BINDING;  // the session services are not up yet
  ASSERT_TRUE(plugin.Load(PluginDllPath())) << plugin.Error();
  ASSERT_NE(nullptr, plugin.ReplaceImport("wtsapi32.dll", "WTSRegisterSessionNotification",
                                          reinterpret_cast<void*>(RefuseRegistration)));
  ASSERT_EQ(0, plugin.Init(host.Window()));
  host.After(1, [this] {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindOptionsDialog, reinterpret_cast<LPARAM>(&dialog));
    ASSERT_NE(nullptr, dialog);
    UnderNextBox(IDNO, [this] { AskToRemove(); });
    SendMessageW(GetDlgItem(dialog, IDB_DEFAULTS), BM_CLICK, 0, 0);
    UnderNextBox(IDOK, [this] { AskToRemove(); });
    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  });
  plugin.Config();
  EXPECT_EQ((std::vector<int>{0, 0}), answers) << "the Defaults question, the failed-save box";

  RegistrationError = ERROR_ACCESS_DENIED;  // the next retry gives up with the box
  bool removed = false;
  UnderNextBox(IDOK, [&] {
    AskToRemove();
    QuitAndFree();
    removed = true;
  });
  EXPECT_TRUE(host.PumpUntil([&] { return removed && !BoxOfOurs(); }, 5000));
  EXPECT_EQ((std::vector<int>{0, 0, 0}), answers);
  EXPECT_EQ(0u, asked);
  EXPECT_TRUE(DllMapped());
  EXPECT_EQ(own, HostProcedure());
  ExpectHostStillWorks();
}

// Another program holds the INI file open without write sharing: Yes to the question removes
// nothing, and the failed-save box, with a headline of its own, says so with the path and
// Windows' reason; the export still answers 1. The question and that box decline a second
// removal.
TEST_F(BoxDllTest, FailedRemovalOfTheSettingsIsReportedAndTheSectionStays) {
  const std::wstring odd = folder.File(L"Musik %1");  // no insert for the box's text
  ASSERT_TRUE(CreateDirectoryW(odd.c_str(), nullptr));
  ini = odd + L"\\winamp.ini";
  host.SetIniPath(ToAnsi(ini));
  const std::string contents = "[Winamp]\r\nvolume=200\r\n[gen_corvane]\r\nlock_delay=1\r\n";
  ASSERT_TRUE(WriteFileBytes(ini, contents));
  Start();
  std::wstring report;
  UnderNextBox(IDYES, [this, &report] {
    AskToRemove();
    UnderNextBox(IDOK, [this, &report] {
      AskToRemove();
      report = shown;
    });
  });
  const HANDLE holder = testing_support::HoldWithoutWriteSharing(ini);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  EXPECT_EQ(1, CallUninstall());
  CloseHandle(holder);
  wchar_t reason[256] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_SHARING_VIOLATION, 0x400,
                 reason, 256, nullptr);
  EXPECT_EQ(L"Quillary|Die Einstellungen konnten nicht aus der Konfigurationsdatei von Winamp entfernt werden.\r\n" +
                ini + L"\r\n\r\n" + reason,
            report);
  EXPECT_EQ((std::vector<int>{0, 0}), answers);
  EXPECT_EQ(0u, asked);
  EXPECT_EQ(contents, ReadFileBytes(ini));
  Stop();
}

// A dialog of the player's own (File > Open, its About box), opened from its main window,
// runs inside our subclass's call of the host's procedure. Removed from the preferences under
// it, the export declines: quit and FreeLibrary would leave that call returning into freed
// code. Once the dialog is closed, removal goes ahead.
TEST_F(BoxDllTest, RemovalUnderAPlayersOwnDialogIsDeclined) {
  constexpr WPARAM OpenFile = 40029;
  host.SetMessageHandler([this](UINT message, WPARAM wParam, LPARAM, LRESULT*) {
    if (message == WM_COMMAND && LOWORD(wParam) == OpenFile) {
      MessageBoxW(host.Window(), L"Datei öffnen", L"Winamp", MB_OK);
    }
    return false;
  });
  Start();
  host.After(10, [this] {
    AskToRemove();
    PostMessageW(FindWindowW(L"#32770", L"Winamp"), WM_COMMAND, IDOK, 0);
  });
  SendMessageW(host.Window(), WM_COMMAND, OpenFile, 0);
  EXPECT_EQ(std::vector<int>{0}, answers);
  AskToRemove();
  EXPECT_EQ((std::vector<int>{0, 1}), answers);
  EXPECT_EQ(0u, asked) << "no settings to ask about";
  Stop();
}
