// The system's text for an error code, in a reference-counted block: a header of three
// 32-bit fields (count, code, length) directly before the characters.
//
// Classes in this file:
//   ErrorText  - holder of one such text; copies share the block.
#pragma once

#include <windows.h>

class ErrorText {
 public:
  // FormatMessageW's text for the code; empty when the system has none or the block
  // cannot be allocated.
  explicit ErrorText(DWORD error_code);
  ErrorText(const ErrorText& other);
  ErrorText& operator=(const ErrorText& other);
  ~ErrorText();

  // Never null: an empty holder reads as "".
  const wchar_t* Text() const { return chars_ ? chars_ : L""; }
  DWORD Code() const;
  LONG Length() const;
  LONG ReferenceCount() const;

 private:
  struct Header {
    LONG references;
    DWORD code;
    LONG length;
  };
  Header* GetHeader() const { return reinterpret_cast<Header*>(chars_) - 1; }
  void Release();

  wchar_t* chars_ = nullptr;
};
