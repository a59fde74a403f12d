// What a link test opens: writes the arguments it was started with, joined by '|', into
// the file named by its first argument, so the test sees what the shell passed on. A file
// of the same name with ".done" appended says that the result is complete. A first
// argument ending in ".count" instead gets one byte appended per start, so that a test sees
// how often a link opened.
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!args || count < 2) return 1;
  const std::wstring first = args[1];
  if (first.size() > 6 && first.compare(first.size() - 6, 6, L".count") == 0) {
    HANDLE file = CreateFileW(first.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    WriteFile(file, "x", 1, &written, nullptr);
    CloseHandle(file);
    return 0;
  }
  std::wstring text;
  for (int i = 2; i < count; ++i) text += (i > 2 ? L"|" : L"") + std::wstring(args[i]);
  // Written under another name and then renamed, so the test never reads half a file.
  const std::wstring target = args[1];
  const std::wstring partial = target + L".part";
  LocalFree(args);
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  std::string utf8(text.size() * 3 + 1, '\0');
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0],
                                         static_cast<int>(utf8.size()), nullptr, nullptr);
  DWORD written = 0;
  WriteFile(file, utf8.data(), static_cast<DWORD>(length), &written, nullptr);
  CloseHandle(file);
  if (!MoveFileW(partial.c_str(), target.c_str())) return 3;
  // Only now is the result readable: while the rename runs, the probe holds the file open
  // without sharing deletion, and a reader that opens it then gets a sharing violation.
  HANDLE done = CreateFileW((target + L".done").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (done == INVALID_HANDLE_VALUE) return 4;
  CloseHandle(done);
  return 0;
}
