#include "support/error_text.h"

#include "tests/common/test_support.h"

TEST(ErrorText, HoldsTheSystemsTextBehindItsHeader) {
  ErrorText text(ERROR_ACCESS_DENIED);
  wchar_t expected[256] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0x400,
                 expected, 256, nullptr);
  ASSERT_NE(L'\0', expected[0]);
  EXPECT_STREQ(expected, text.Text());

  // The block: count, code and length lie directly before the characters.
  const LONG* header = reinterpret_cast<const LONG*>(text.Text()) - 3;
  EXPECT_EQ(1, header[0]);
  EXPECT_EQ(static_cast<LONG>(ERROR_ACCESS_DENIED), header[1]);
  EXPECT_EQ(static_cast<LONG>(wcslen(expected)), header[2]);
}

TEST(ErrorText, CodeWithoutTextGivesAnEmptyText) {
  ErrorText text(0x2000BEEF);  // a customer code the system has no text for
  EXPECT_STREQ(L"", text.Text());
  EXPECT_EQ(0, text.Length());
  EXPECT_EQ(0x2000BEEFu, text.Code());
}

TEST(ErrorText, CopiesShareOneCountedBlock) {
  ErrorText first(ERROR_FILE_NOT_FOUND);
  {
    ErrorText second(first);
    ErrorText third(ERROR_ACCESS_DENIED);
    third = first;
    EXPECT_EQ(first.Text(), second.Text());
    EXPECT_EQ(first.Text(), third.Text());
    EXPECT_EQ(3, first.ReferenceCount());
    third = third;  // self-assignment keeps the count
    EXPECT_EQ(3, first.ReferenceCount());
  }
  EXPECT_EQ(1, first.ReferenceCount());
}
