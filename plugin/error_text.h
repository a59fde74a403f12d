// The system's text for an error code, in one block: a header of two 32-bit fields (code,
// length) directly before the characters.
//
// Classes in this file:
//   ErrorText  - owner of one such text.
#pragma once

#include <windows.h>

class ErrorText {
 public:
  // FormatMessageW's text for the code; empty when the system has none or the block
  // cannot be allocated.
  explicit ErrorText(DWORD error_code);
  ErrorText(const ErrorText&) = delete;
  ErrorText& operator=(const ErrorText&) = delete;
  ~ErrorText();

  // Never null: an empty holder reads as "".
  const wchar_t* Text() const { return chars_ ? chars_ : L""; }
  DWORD Code() const;
  LONG Length() const;

 private:
  struct Header {
    DWORD code;
    LONG length;
  };
  Header* GetHeader() const { return reinterpret_cast<Header*>(chars_) - 1; }

  wchar_t* chars_ = nullptr;
};
