// The three registry values the watch reads, as data of every type and length: a number or
// the value's default comes back, and nothing beyond the data is ever taken into account.
#include <vector>

#include "reactions/screensaver_watch.h"
#include "tests/common/test_support.h"
#include "tests/reliability/reliability.h"

using reliability::Figure;
using reliability::Random;

namespace {

constexpr wchar_t ScratchKey[] = L"Software\\Quillary tests\\registry input";
constexpr int32_t Default = 5;

// What the data stands for: a text of at most four characters up to its first zero (leading
// blanks, one sign, digits up to the first other character; none give 0), a DWORD that fits
// a signed 32-bit number, or else the default.
int32_t Expected(DWORD type, const std::vector<BYTE>& data) {
  if (type == REG_DWORD && data.size() == 4) {
    DWORD n = data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24;
    return n <= 0x7FFFFFFF ? static_cast<int32_t>(n) : Default;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return Default;
  if (data.size() > 10) return Default;  // larger than the reader's five characters
  std::vector<wchar_t> text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    if (c == L'\0') break;
    text.push_back(c);
  }
  if (text.size() >= 5) return Default;
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  int32_t n = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) n = n * 10 + (text[i] - L'0');
  return negative ? -n : n;
}

std::vector<BYTE> RandomData(Random& r, DWORD type, size_t length) {
  static const wchar_t pieces[] = L"0123456789 -+\tx\u00e4\0";
  std::vector<BYTE> data(length);
  const bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
  for (size_t i = 0; i + 1 < length; i += 2) {
    wchar_t c = text ? pieces[r.Below(sizeof(pieces) / sizeof(pieces[0]))] : static_cast<wchar_t>(r.Next());
    data[i] = static_cast<BYTE>(c & 0xFF);
    data[i + 1] = static_cast<BYTE>(c >> 8);
  }
  if (length % 2) data[length - 1] = static_cast<BYTE>(r.Below(2) ? '7' : r.Next());
  return data;
}

// How many bytes the value holds, to be sure it is what the case wrote.
DWORD StoredSize() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, ScratchKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return MAXDWORD;
  DWORD size = 0;
  const LONG r = RegQueryValueExW(key, L"number", nullptr, nullptr, nullptr, &size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS ? size : MAXDWORD;
}

}  // namespace

TEST(RegistryInput, EveryTypeAndLengthGivesANumberOrTheDefault) {
  const DWORD types[] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY, REG_DWORD, REG_QWORD, REG_NONE};
  testing_support::ScopedRegistryValue value(HKEY_CURRENT_USER, ScratchKey, L"number");
  Random r(5150);
  int cases = 0, numbers = 0;
  for (int round = 0; round < 12 * reliability::Scale(); ++round) {
    for (DWORD type : types) {
      for (size_t length = 0; length <= 64; ++length) {
        std::vector<BYTE> data = RandomData(r, type, length);
        ASSERT_TRUE(value.SetRaw(type, data.empty() ? nullptr : data.data(), static_cast<DWORD>(length)));
        ASSERT_EQ(length, StoredSize()) << "type " << type << ": the value holds other bytes than given";
        const int32_t read = ReadRegistryNumber(HKEY_CURRENT_USER, ScratchKey, L"number", Default);
        ASSERT_EQ(Expected(type, data), read) << "type " << type << ", " << length << " bytes, round " << round;
        ++cases;
        if (read != Default) ++numbers;
      }
    }
  }
  // The missing value and the missing key give the default as well.
  value.Remove();
  EXPECT_EQ(Default, ReadRegistryNumber(HKEY_CURRENT_USER, ScratchKey, L"number", Default));
  EXPECT_EQ(Default, ReadRegistryNumber(HKEY_CURRENT_USER, L"Software\\Quillary tests\\no such key", L"x", Default));
  Figure("registry input: %d values of 7 types and 0 to 64 bytes, %d read as a number", cases, numbers);
}
