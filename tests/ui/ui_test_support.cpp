#include "tests/ui/ui_test_support.h"

#include <commctrl.h>

#include <utility>

namespace ui_testing {

void InitCommonControlsAsTheHostDoes() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
}

void DrawWhole(HWND dialog) {
  ShowWindow(dialog, SW_SHOWNORMAL);
  UpdateWindow(dialog);
}

void FillWindowDcCache() {
  HWND parent = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
  std::vector<std::pair<HWND, HDC>> drawn;
  for (int i = 0; i < 64; ++i) {
    HWND child = CreateWindowW(L"STATIC", L"", WS_CHILD, i, 0, 1, 1, parent, nullptr, nullptr, nullptr);
    drawn.emplace_back(child, GetDC(child));
  }
  for (const auto& window : drawn) ReleaseDC(window.first, window.second);
  DestroyWindow(parent);
}

std::vector<DWORD> PaintedPixels(HWND control, int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  GdiFlush();
  std::vector<DWORD> pixels(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + width * height);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
  return pixels;
}

std::vector<COLORREF> ShownPixels(HWND window, const RECT& area) {
  std::vector<COLORREF> pixels;
  HDC dc = GetDC(window);
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) pixels.push_back(GetPixel(dc, x, y));
  }
  ReleaseDC(window, dc);
  return pixels;
}

int Differences(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
  int count = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) count += a[i] != b[i];
  return count;
}

ObjectCounts CountObjects() {
  const testing_support::ResourceCounts c = testing_support::CurrentResourceCounts();
  ObjectCounts counts;
  counts.gdi = static_cast<int>(c.gdi);
  counts.windows = static_cast<int>(c.user);
  counts.kernel = static_cast<int>(c.handles);
  return counts;
}

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[512] = {};
  GetDlgItemTextW(dialog, id, text, 512);
  return text;
}

std::vector<ListItem> ListItems(HWND dialog, int list_id) {
  std::vector<ListItem> items;
  const LRESULT count = SendDlgItemMessageW(dialog, list_id, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    SendDlgItemMessageW(dialog, list_id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back({text, SendDlgItemMessageW(dialog, list_id, CB_GETITEMDATA, i, 0)});
  }
  return items;
}

std::wstring SelectedText(HWND dialog, int list_id) {
  const LRESULT selection = SendDlgItemMessageW(dialog, list_id, CB_GETCURSEL, 0, 0);
  if (selection == CB_ERR) return L"(none)";
  wchar_t text[256] = {};
  SendDlgItemMessageW(dialog, list_id, CB_GETLBTEXT, selection, reinterpret_cast<LPARAM>(text));
  return text;
}

void Choose(HWND dialog, int list_id, int32_t code) {
  HWND list = GetDlgItem(dialog, list_id);
  const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (SendMessageW(list, CB_GETITEMDATA, i, 0) != code) continue;
    SendMessageW(list, CB_SETCURSEL, i, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(list_id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    return;
  }
  ADD_FAILURE() << "list " << list_id << " does not offer action " << code;
}

void Type(HWND dialog, int field_id, const std::wstring& text) {
  HWND field = GetDlgItem(dialog, field_id);
  SendMessageW(field, EM_SETSEL, 0, -1);
  if (text.empty()) SendMessageW(field, WM_CHAR, VK_BACK, 0);
  for (wchar_t c : text) SendMessageW(field, WM_CHAR, c, 0);
}

void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

namespace {
struct WindowSearch {
  HWND owner;
  const wchar_t* title;
  HWND found;
};
BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  if (search->owner && (GetWindow(window, GW_OWNER) != search->owner || !IsWindowVisible(window))) return TRUE;
  if (search->title) {
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    if (wcscmp(title, search->title) != 0) return TRUE;
  }
  search->found = window;
  return FALSE;
}
HWND FindThreadWindow(HWND owner, const wchar_t* title) {
  WindowSearch search = {owner, title, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
}  // namespace

HWND OwnedPopup(HWND dialog) { return FindThreadWindow(dialog, nullptr); }

HWND ThreadWindowTitled(const wchar_t* title) { return FindThreadWindow(nullptr, title); }

void CountOpens(CHyperLink& link, const std::wstring& count_file) {
  link.SetTarget((standin::ProgramFolder() + L"open_probe.exe").c_str());
  link.SetParameters((L"\"" + count_file + L"\"").c_str());
}

int OpensCounted(standin::StandInHost& host, const std::wstring& count_file, int expected) {
  auto counted = [&] { return static_cast<int>(testing_support::ReadFileBytes(count_file).size()); };
  host.PumpUntil([&] { return counted() >= expected; }, 20000);
  host.PumpFor(500);
  return counted();
}

}  // namespace ui_testing

void OptionsDialogTest::SetUp() {
  HostTest::SetUp();
  ui_testing::InitCommonControlsAsTheHostDoes();
  ini = folder.File(L"winamp.ini");
  host.SetIniPath(testing_support::ToAnsi(ini));
  live.SetIniLocation(ini.c_str());
}

int OptionsDialogTest::RunDialog(const std::function<void(COptionsDlg&, HWND)>& step) {
  COptionsDlg dialog(&live, GetModuleHandleW(nullptr));
  host.After(1, [&] {
    if (!dialog.Window) {
      ADD_FAILURE() << "the options dialog is not up";
      return;
    }
    step(dialog, dialog.Window);
  });
  const UINT_PTR guard = host.After(10000, [&] {
    ADD_FAILURE() << "the options dialog was left open";
    if (!dialog.Window) return;
    if (HWND box = ui_testing::OwnedPopup(dialog.Window)) EndDialog(box, IDNO);
    EndDialog(dialog.Window, -2);
  });
  const int result = RunOptionsDialog(GetModuleHandleW(nullptr), host.Window(), &dialog);
  host.Cancel(guard);
  EXPECT_EQ(nullptr, dialog.Window) << "Window is cleared at WM_DESTROY";
  return result;
}
