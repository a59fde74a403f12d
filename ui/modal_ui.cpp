#include "ui/modal_ui.h"

#include "support/error_text.h"
#include "ui/resource.h"

int ModalUiDepth = 0;

namespace {

void LoadText(HINSTANCE module, UINT id, wchar_t (&buffer)[100]) {
  if (LoadStringW(module, id, buffer, 100) <= 0) buffer[0] = L'\0';
}

}  // namespace

void ReportFailedIniWrite(HWND owner, HINSTANCE module, UINT headline_id, const wchar_t* path, DWORD error) {
  wchar_t caption[100];
  wchar_t headline[100];
  wchar_t no_path[100];
  LoadText(module, IDS_PLUGIN_NAME, caption);
  LoadText(module, headline_id, headline);
  LoadText(module, IDS_SAVE_NO_PATH, no_path);
  ErrorText reason(error);
  // Inserted texts are not searched for inserts again: a '%' in the path stays as it is.
  const DWORD_PTR parts[] = {reinterpret_cast<DWORD_PTR>(headline), reinterpret_cast<DWORD_PTR>(path ? path : no_path),
                             reinterpret_cast<DWORD_PTR>(reason.Text())};
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                 path ? L"%1\n%2\n\n%3" : L"%1\n%2", 0, 0, reinterpret_cast<wchar_t*>(&text), 0,
                 reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(parts)));
  ModalUiScope up;
  // Without memory (or past the 64 KiB FormatMessageW can make) the headline alone.
  MessageBoxW(owner, text ? text : headline, caption, MB_OK | MB_ICONWARNING);
  LocalFree(text);
}
