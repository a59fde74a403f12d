#include "support/error_text.h"

#include <cstring>
#include <new>

static_assert(sizeof(LONG) == 4 && sizeof(DWORD) == 4, "the header is three 32-bit fields");

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
    header->references = 1;
    header->code = error_code;
    header->length = static_cast<LONG>(length);
    chars_ = reinterpret_cast<wchar_t*>(header + 1);
    if (length) std::memcpy(chars_, system_text, sizeof(wchar_t) * length);
    chars_[length] = L'\0';
  }
  if (system_text) LocalFree(system_text);
}

ErrorText::ErrorText(const ErrorText& other) : chars_(other.chars_) {
  if (chars_) InterlockedIncrement(&GetHeader()->references);
}

ErrorText& ErrorText::operator=(const ErrorText& other) {
  if (chars_ != other.chars_) {
    if (other.chars_) InterlockedIncrement(&other.GetHeader()->references);
    Release();
    chars_ = other.chars_;
  }
  return *this;
}

ErrorText::~ErrorText() { Release(); }

DWORD ErrorText::Code() const { return chars_ ? GetHeader()->code : 0; }
LONG ErrorText::Length() const { return chars_ ? GetHeader()->length : 0; }
LONG ErrorText::ReferenceCount() const { return chars_ ? GetHeader()->references : 0; }

void ErrorText::Release() {
  if (!chars_) return;
  Header* header = GetHeader();
  chars_ = nullptr;
  if (InterlockedDecrement(&header->references) == 0) delete[] reinterpret_cast<char*>(header);
}
