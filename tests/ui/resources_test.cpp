// Every user-visible text comes from the string table, so each must be exactly right.
#include "tests/common/test_support.h"
#include "ui/resource.h"

TEST(StringTable, HoldsTheGermanTexts) {
  const struct {
    UINT id;
    const wchar_t* text;
  } expected[] = {
      {104, L"Pause"},
      {105, L"Stopp"},
      {106, L"Stopp mit Ausblenden"},
      {107, L"Stopp nach aktuellem Titel"},
      {108, L"Wiedergabe starten/fortsetzen"},
      {109, L"N\u00e4chsten Titel wiedergeben"},
      {110, L"Winamp beenden"},
      {111, L"Nichts tun"},
      {112, L"Die Verz\u00f6gerung muss zwischen 0 und 60 Sekunden liegen."},
      {113, L"Sollen wirklich alle Einstellungen auf die Standardwerte zur\u00fcckgesetzt werden?"},
      {114, L"Quillary"},
      {115, L"Ung\u00fcltiger Wert"},
  };
  for (const auto& e : expected) {
    wchar_t buffer[100] = {};
    int n = LoadStringW(GetModuleHandleW(nullptr), e.id, buffer, 100);
    EXPECT_EQ(static_cast<int>(wcslen(e.text)), n) << "string " << e.id;
    EXPECT_STREQ(e.text, buffer) << "string " << e.id;
  }
}
