// Every user-visible text comes from the string table, so each must be exactly right.
#include "tests/common/test_support.h"
#include "ui/resource.h"

#include <cstring>
#include <string>

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
      {116, L"Die Einstellungen konnten nicht gespeichert werden."},
      {117, L"Winamp hat dem Plug-in keine Konfigurationsdatei genannt."},
      {118, L"Sollen die Einstellungen von Quillary auch aus der Konfigurationsdatei von Winamp entfernt werden?"},
      {119, L"Die Einstellungen konnten nicht aus der Konfigurationsdatei von Winamp entfernt werden."},
  };
  for (const auto& e : expected) {
    wchar_t buffer[100] = {};
    int n = LoadStringW(GetModuleHandleW(nullptr), e.id, buffer, 100);
    EXPECT_EQ(static_cast<int>(wcslen(e.text)), n) << "string " << e.id;
    EXPECT_STREQ(e.text, buffer) << "string " << e.id;
  }
}

namespace {

// Reads an extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items).
class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* data) : at_(data) {}
  WORD Word() { return Take<WORD>(); }
  DWORD Dword() { return Take<DWORD>(); }
  short Short() { return Take<short>(); }
  // A name, or "#n" for the ordinal n.
  std::wstring NameOrOrdinal() {
    if (Peek() == 0xFFFF) {
      Word();
      return L"#" + std::to_wstring(Word());
    }
    return Text();
  }
  std::wstring Text() {
    std::wstring text;
    while (WORD c = Word()) text.push_back(static_cast<wchar_t>(c));
    return text;
  }
  void AlignToDword(const BYTE* base) {
    while ((at_ - base) % 4) ++at_;
  }
  void Skip(size_t bytes) { at_ += bytes; }
  const BYTE* At() const { return at_; }

 private:
  template <typename T>
  T Take() {
    T value;
    memcpy(&value, at_, sizeof(value));
    at_ += sizeof(value);
    return value;
  }
  WORD Peek() const {
    WORD value;
    memcpy(&value, at_, sizeof(value));
    return value;
  }
  const BYTE* at_;
};

}  // namespace

// windres has its own ideas about class names and styles, so the compiled template is read
// back and compared with what the dialog is meant to be.
TEST(OptionsDialogTemplate, IsTheGermanExtendedTemplate102) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(IDD_OPTIONS),
                                MAKELANGID(LANG_GERMAN, SUBLANG_NEUTRAL));
  ASSERT_NE(nullptr, found) << "template 102 in language 0x0007";
  const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  TemplateReader r(base);
  EXPECT_EQ(1, r.Word());
  EXPECT_EQ(0xFFFF, r.Word());
  EXPECT_EQ(0u, r.Dword()) << "help id";
  EXPECT_EQ(0u, r.Dword()) << "extended style";
  EXPECT_EQ(0x80C800C8u, r.Dword()) << "style";
  const WORD count = r.Word();
  EXPECT_EQ(0, r.Short());
  EXPECT_EQ(0, r.Short());
  EXPECT_EQ(365, r.Short());
  EXPECT_EQ(292, r.Short());
  EXPECT_EQ(L"", r.NameOrOrdinal()) << "menu";
  EXPECT_EQ(L"", r.NameOrOrdinal()) << "class";
  EXPECT_EQ(L"\"Quillary\" - Einstellungen", r.Text());
  EXPECT_EQ(8, r.Word());
  EXPECT_EQ(400, r.Word());
  EXPECT_EQ(0x0100, r.Word()) << "not italic (low byte), character set 1 (high byte)";
  EXPECT_EQ(L"MS Shell Dlg", r.Text());

  const struct {
    DWORD id;
    const wchar_t* window_class;
    DWORD style;
    short x, y, cx, cy;
    const wchar_t* text;
  } expected[] = {
      {1039, L"#128", 0x50000007, 7, 42, 351, 126, L"Welche Aktion soll ausgef\u00fchrt werden wenn ..."},
      {1021, L"#130", 0x50020000, 18, 60, 114, 8, L"... der Computer gesperrt wird"},
      {1007, L"#133", 0x50210003, 18, 72, 136, 82, L""},
      {1020, L"#130", 0x50020000, 186, 60, 72, 8, L"Verz\u00f6gerung:"},
      {1011, L"#129", 0x50812080, 186, 72, 36, 12, L""},
      {1017, L"MSCTLS_UPDOWN32", 0x50000037, 210, 72, 12, 12, L""},
      {1022, L"#130", 0x50020000, 228, 74, 32, 8, L"Sekunden"},
      {1026, L"#130", 0x50020000, 18, 96, 136, 8, L"... sich ein anderer Benutzer anmeldet"},
      {1009, L"#133", 0x50210003, 18, 108, 136, 82, L""},
      {1027, L"#130", 0x50020000, 186, 96, 72, 8, L"Verz\u00f6gerung:"},
      {1012, L"#129", 0x50812080, 186, 108, 36, 12, L""},
      {1018, L"MSCTLS_UPDOWN32", 0x50000037, 210, 108, 11, 12, L""},
      {1028, L"#130", 0x50020000, 228, 110, 32, 8, L"Sekunden"},
      {1023, L"#130", 0x50020000, 18, 132, 114, 8, L"... der Computer entsperrt wird"},
      {1008, L"#133", 0x50210003, 18, 144, 136, 82, L""},
      {1024, L"#130", 0x50020000, 186, 132, 72, 8, L"Verz\u00f6gerung:"},
      {1013, L"#129", 0x50812080, 186, 144, 36, 12, L""},
      {1019, L"MSCTLS_UPDOWN32", 0x50000037, 210, 144, 11, 12, L""},
      {1025, L"#130", 0x50020000, 228, 146, 32, 8, L"Sekunden"},
      {1038, L"#128", 0x50000007, 7, 174, 351, 91, L"Weitere Optionen"},
      {1029, L"#128", 0x50010003, 18, 192, 330, 10,
       L"Die Wiedergabe nur starten, wenn Winamp von diesem Plug-in angehalten oder gestoppt wurde."},
      {1030, L"#128", 0x50012403, 18, 210, 330, 18,
       L"Die Wiedergabe von Streams immer stoppen anstatt nur zu pausieren.\nDiese Option verhindert "
       L"unn\u00fctzes Downloaden des Streams im Hintergrund."},
      {1031, L"#128", 0x50012003, 18, 234, 330, 12,
       L"Beim Start des Bildschirmschoners die gleiche Aktion wie beim Sperren des Computers ausf\u00fchren."},
      {1036, L"#130", 0x50020000, 29, 245, 318, 18,
       L"Damit diese Option funktioniert muss in den Bildschirmschoner-Einstellungen die \"Willkommenseite bei "
       L"Reaktivierung\" aktiviert sein."},
      {1037, L"#130", 0x50030000, 136, 253, 196, 8,
       L"(den Dialog f\u00fcr die Bildschirmschoner-Einstellungen anzeigen)"},
      {4, L"#128", 0x50010000, 7, 271, 95, 14, L"Standardeinstellungen"},
      {1, L"#128", 0x50010001, 254, 271, 50, 14, L"OK"},
      {2, L"#128", 0x50010000, 308, 271, 50, 14, L"Abbrechen"},
      {1002, L"#130", 0x50020000, 0, 0, 365, 34, L""},
      {1003, L"#130", 0x50020080, 7, 7, 175, 8, L"Quillary, Version 0.5"},
      {1005, L"#130", 0x50020000, 7, 18, 175, 8, L"\u00a9 2026 The Quillary developers"},
      {1004, L"#130", 0x50030002, 194, 18, 164, 8, L"https://quillary.example.org/"},
      {1006, L"#130", 0x50000010, 0, 34, 365, 1, L""},
  };
  ASSERT_EQ(sizeof(expected) / sizeof(expected[0]), count);
  for (const auto& e : expected) {
    r.AlignToDword(base);
    EXPECT_EQ(0u, r.Dword()) << "help id of " << e.id;
    EXPECT_EQ(0u, r.Dword()) << "extended style of " << e.id;
    EXPECT_EQ(e.style, r.Dword()) << "style of " << e.id;
    const short x = r.Short(), y = r.Short(), cx = r.Short(), cy = r.Short();
    EXPECT_EQ(e.x, x) << e.id;
    EXPECT_EQ(e.y, y) << e.id;
    EXPECT_EQ(e.cx, cx) << e.id;
    EXPECT_EQ(e.cy, cy) << e.id;
    EXPECT_EQ(e.id, r.Dword());
    // windres stores a named class upper-cased; window classes match regardless of case.
    EXPECT_EQ(e.window_class, r.NameOrOrdinal()) << "class of " << e.id;
    EXPECT_EQ(e.text, r.NameOrOrdinal()) << "text of " << e.id;
    r.Skip(r.Word());  // creation data
  }
}
