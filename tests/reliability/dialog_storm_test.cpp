// The options dialog opened and closed 500 times, each time with random input on its
// controls: what OK stores is always something the lists offer and in range, and no GDI
// object, window or handle is left behind.
#include <set>

#include "tests/reliability/reliability.h"
#include "tests/ui/ui_test_support.h"
#include "ui/resource.h"

using reliability::Figure;
using reliability::Random;
using namespace ui_testing;

namespace {

const int Lists[] = {IDC_LOCK_ACTION, IDC_UNLOCK_ACTION, IDC_LOGIN_ACTION};
const int Fields[] = {IDE_LOCK_DELAY, IDE_UNLOCK_DELAY, IDE_LOGIN_DELAY};
const int Boxes[] = {IDX_PLAY_ONLY_WHEN_PAUSED, IDX_ALWAYS_STOP_STREAMS, IDX_LOCK_ON_SCREENSAVER};
const wchar_t* const Texts[] = {L"", L"0", L"7", L"60", L"61", L"75", L"99", L"5x", L"-3", L"123"};

void RandomInput(Random& r, HWND dialog) {
  for (uint32_t n = 0, steps = r.Below(8); n < steps; ++n) {
    switch (r.Below(5)) {
      case 0:
      case 1: {
        const int list = Lists[r.Below(3)];
        const std::vector<ListItem> items = ListItems(dialog, list);
        if (!items.empty()) Choose(dialog, list, static_cast<int32_t>(items[r.Below(items.size())].code));
        break;
      }
      case 2: {
        const int field = Fields[r.Below(3)];
        Type(dialog, field, Texts[r.Below(sizeof(Texts) / sizeof(Texts[0]))]);
        if (r.Chance(50)) SendDlgItemMessageW(dialog, field, WM_KILLFOCUS, 0, 0);
        break;
      }
      case 3:
        Click(dialog, Boxes[r.Below(3)]);
        break;
      default: {
        // The up-down arrows, which wrap at 0 and 60.
        HWND field = GetDlgItem(dialog, Fields[r.Below(3)]);
        SendMessageW(field, WM_KEYDOWN, r.Chance(50) ? VK_UP : VK_DOWN, 0);
        break;
      }
    }
  }
}

bool Offered(int list, int32_t action) {
  static const std::set<int32_t> lock = {8, 1, 2, 3, 4}, unlock = {8, 5, 6}, login = {8, 1, 2, 3, 4, 7};
  const std::set<int32_t>& offered = list == IDC_LOCK_ACTION ? lock : list == IDC_UNLOCK_ACTION ? unlock : login;
  return offered.count(action) != 0;
}

}  // namespace

TEST_F(OptionsDialogTest, FiveHundredOpeningsWithRandomInput) {
  Random r(1031);
  int oks = 0, defaults = 0;
  auto open_and_close = [&](int defaults_answer) {
    RunDialog([&](COptionsDlg&, HWND dialog) {
      DrawWhole(dialog);
      RandomInput(r, dialog);
      if (defaults_answer || r.Chance(5)) {
        ++defaults;
        const int answer = defaults_answer ? defaults_answer : r.Chance(50) ? IDYES : IDNO;
        Later(1, [dialog, answer] { Click(OwnedPopup(dialog), answer); });
        Click(dialog, IDB_DEFAULTS);
      }
      switch (r.Below(4)) {
        case 0:
        case 1:
          ++oks;
          Click(dialog, IDOK);
          break;
        case 2:
          Click(dialog, IDCANCEL);
          break;
        default:
          SendMessageW(dialog, WM_CLOSE, 0, 0);
          break;
      }
    });
    const EventReaction* rules[] = {&live.lock, &live.unlock, &live.login};
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(Offered(Lists[i], rules[i]->action)) << "list " << Lists[i] << " stored " << rules[i]->action;
      ASSERT_GE(rules[i]->delay, 0);
      ASSERT_LE(rules[i]->delay, 60);
    }
  };

  // Wine keeps the first message box's fonts and icons, what the first reset paints and
  // what the first painting of each control makes, for the life of the process, so the
  // warm-up draws the dialog and answers the Defaults question both ways.
  for (int i = 0; i < 10; ++i) open_and_close(i == 0 ? IDNO : i == 1 ? IDYES : 0);
  FillWindowDcCache();
  host.PumpFor(100);
  const ObjectCounts before = CountObjects();
  const DWORD start = GetTickCount();
  const int openings = 500 * reliability::Scale();
  for (int i = 0; i < openings; ++i) {
    open_and_close(0);
    if (HasFatalFailure()) return;
  }
  const double seconds = (GetTickCount() - start) / 1000.0;
  host.PumpFor(100);
  const ObjectCounts after = CountObjects();

  // What OK last stored is what the file holds.
  ReactionSettings saved;
  saved.SetIniLocation(ini.c_str());
  saved.LoadFromIni();
  EXPECT_EQ(live.lock.action, saved.lock.action);
  EXPECT_EQ(live.unlock.delay, saved.unlock.delay);
  EXPECT_EQ(live.lock_on_screensaver, saved.lock_on_screensaver);

  Figure("dialog storm: %d openings in %.1f s, %d OK, %d Defaults; GDI %d -> %d, windows %d -> %d, handles %d -> %d",
         openings, seconds, oks, defaults, before.gdi, after.gdi, before.windows, after.windows, before.kernel,
         after.kernel);
  EXPECT_EQ(before.gdi, after.gdi);
  EXPECT_EQ(before.windows, after.windows);
  EXPECT_EQ(before.kernel, after.kernel);
}
