#include "plugin/error_text.h"

#include <cstring>
#include <new>

static_assert(sizeof(LONG) == 4 && sizeof(DWORD) == 4, "the header is two 32-bit fields");

ErrorText::ErrorText(DWORD error_code) {
  wchar_t* system_text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error_code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&system_text), 1, nullptr);
  if (!system_text) length = 0;

  const size_t bytes = sizeof(Header) + sizeof(wchar_t) * (static_cast<size_t>(length) + 1);
  char* block = new (std::nothrow) char[bytes];
  if (block) {
    Header* header = reinterpret_cast<Header*>(block);
    header->code = error_code;
    header->length = static_cast<LONG>(length);
    chars_ = reinterpret_cast<wchar_t*>(header + 1);
    if (length) std::memcpy(chars_, system_text, sizeof(wchar_t) * length);
    chars_[length] = L'\0';
  }
  if (system_text) LocalFree(system_text);
}

ErrorText::~ErrorText() {
  if (chars_) delete[] reinterpret_cast<char*>(GetHeader());
}

DWORD ErrorText::Code() const { return chars_ ? GetHeader()->code : 0; }
LONG ErrorText::Length() const { return chars_ ? GetHeader()->length : 0; }
