#include "tools/standin/standin_host.h"

#include <wtsapi32.h>

#include <utility>

namespace standin {

namespace {

bool IsRegisteredMessage(UINT message) { return message >= 0xC000 && message <= 0xFFFF; }

}  // namespace

const wchar_t* CommandName(unsigned command) {
  switch (command) {
    case proto::PreviousTrack:
      return L"previous";
    case proto::Play:
      return L"play";
    case proto::Pause:
      return L"pause";
    case proto::Stop:
      return L"stop";
    case proto::NextTrack:
      return L"next";
    case proto::StopWithFade:
      return L"stop-with-fade";
    case proto::StopAfterCurrent:
      return L"stop-after-current";
    case CloseCommand:
      return L"close";
    default:
      return L"";
  }
}

const wchar_t* PlayStateName(int state) {
  switch (state) {
    case proto::Playing:
      return L"playing";
    case proto::Paused:
      return L"paused";
    default:
      return L"stopped";
  }
}

StandInHost::StandInHost() {
  QueryPerformanceFrequency(&frequency_);
  QueryPerformanceCounter(&start_);
}

StandInHost::~StandInHost() { Destroy(); }

bool StandInHost::Create(HINSTANCE instance, bool visible, const wchar_t* title) {
  if (window_) return true;
  if (!instance) instance = GetModuleHandleW(nullptr);

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExW(instance, HostWindowClass, &wc)) {
    wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = HostWindowClass;
    if (!RegisterClassExW(&wc)) return false;
  }

  // The player's other windows (its preferences, above all) run the tasks: their messages
  // never pass the main window's procedure, of which a plug-in's subclass is part.
  WNDCLASSEXW tasks = {};
  tasks.cbSize = sizeof(tasks);
  if (!GetClassInfoExW(instance, TaskWindowClass, &tasks)) {
    tasks = {};
    tasks.cbSize = sizeof(tasks);
    tasks.lpfnWndProc = TaskWindowProc;
    tasks.hInstance = instance;
    tasks.lpszClassName = TaskWindowClass;
    if (!RegisterClassExW(&tasks)) return false;
  }
  task_window_ = CreateWindowExW(0, TaskWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (!task_window_) return false;
  SetWindowLongPtrW(task_window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  QueryPerformanceCounter(&start_);
  DWORD style = visible ? (WS_OVERLAPPEDWINDOW | WS_VISIBLE) : WS_OVERLAPPED;
  window_ = CreateWindowExW(0, HostWindowClass, title, style, CW_USEDEFAULT, CW_USEDEFAULT, 480, 360, nullptr, nullptr,
                            instance, this);
  if (window_) return true;
  Destroy();
  return false;
}

void StandInHost::Destroy() {
  if (task_window_) {
    for (auto& task : tasks_) KillTimer(task_window_, task.first);
    DestroyWindow(task_window_);
    task_window_ = nullptr;
  }
  tasks_.clear();
  if (!window_) return;
  DestroyWindow(window_);  // WM_NCDESTROY clears window_
  window_ = nullptr;
}

void StandInHost::SetIniPath(const std::string& ansi_path) {
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi_path.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 1 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, ansi_path.c_str(), -1, &wide[0], n);
  SetWideIniPath(wide);
}

void StandInHost::SetWideIniPath(const std::wstring& path) {
  ini_path_ = path;
  ini_null_ = false;
  // The player converts once, to the ANSI code page; what does not fit becomes '?'.
  const int n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
  ini_path_ansi_.assign(n > 1 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, &ini_path_ansi_[0], n, nullptr, nullptr);
}

void StandInHost::SetStream(bool on) {
  if (on) {
    if (length_ != -1) track_length_ = length_;
    length_ = -1;
  } else if (length_ == -1) {
    length_ = track_length_;
  }
}

void StandInHost::EndOfTrack() {
  if (play_state_ != proto::Playing) return;
  if (stop_after_current_) {
    stop_after_current_ = false;
    play_state_ = proto::Stopped;
  } else {
    StartTrack(track_ + 1);
  }
}

void StandInHost::StartTrack(int track) {
  track_ = track;
  play_state_ = proto::Playing;
  stop_after_current_ = false;
}

void StandInHost::SetMessageSelectorAnswer(LRESULT fixed_answer) {
  fixed_selector_ = true;
  selector_answer_ = fixed_answer;
}

void StandInHost::UseAssignedMessageSelectors() { fixed_selector_ = false; }

std::vector<unsigned> StandInHost::Commands() const {
  std::vector<unsigned> commands;
  for (const HostEvent& e : events_) {
    if (e.kind == HostEvent::Kind::Command) commands.push_back(LOWORD(e.wParam));
    if (e.kind == HostEvent::Kind::Close) commands.push_back(CloseCommand);
  }
  return commands;
}

size_t StandInHost::CountQueries(LPARAM selector) const {
  size_t n = 0;
  for (const HostEvent& e : events_) {
    if (e.kind == HostEvent::Kind::Query && e.lParam == selector) ++n;
  }
  return n;
}

size_t StandInHost::CountEvents(HostEvent::Kind kind) const {
  size_t n = 0;
  for (const HostEvent& e : events_) {
    if (e.kind == kind) ++n;
  }
  return n;
}

double StandInHost::Now() const {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency_.QuadPart);
}

bool StandInHost::PumpPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the owner's own loop
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

bool StandInHost::PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (!PumpPending()) return done();
    if (done()) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeout_ms) return done();
    // Wake for any message, including posted ones and timers; a short cap keeps
    // conditions that change without a message (another thread's work) noticed.
    DWORD wait = timeout_ms - elapsed;
    if (wait > 10) wait = 10;
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

void StandInHost::PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

bool StandInHost::WaitForCommands(size_t count, DWORD timeout_ms) {
  return PumpUntil([&] { return Commands().size() >= count; }, timeout_ms);
}

void StandInHost::PostBackToBack(const std::vector<Notification>& notifications, DWORD ms) {
  for (const Notification& n : notifications) PostMessageW(window_, n.message, n.wParam, n.lParam);
  PumpFor(ms);
}

UINT_PTR StandInHost::After(DWORD ms, std::function<void()> task) {
  UINT_PTR id = next_task_id_;
  next_task_id_ = next_task_id_ >= LastTaskTimer ? FirstTaskTimer : next_task_id_ + 1;
  tasks_[id] = std::move(task);
  SetTimer(task_window_, id, ms ? ms : 1, nullptr);
  return id;
}

void StandInHost::Cancel(UINT_PTR task) {
  if (tasks_.erase(task) && task_window_) KillTimer(task_window_, task);
}

LRESULT CALLBACK StandInHost::TaskWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<StandInHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message != WM_TIMER || !self) return DefWindowProcW(hwnd, message, wParam, lParam);
  KillTimer(hwnd, wParam);
  auto it = self->tasks_.find(wParam);
  if (it != self->tasks_.end()) {
    std::function<void()> task = std::move(it->second);
    self->tasks_.erase(it);
    task();
  }
  return 0;
}

LRESULT CALLBACK StandInHost::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    static_cast<StandInHost*>(cs->lpCreateParams)->window_ = hwnd;
  }
  auto* self = reinterpret_cast<StandInHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (self) self->window_ = nullptr;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->Handle(message, wParam, lParam);
}

LRESULT StandInHost::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (handler_ && handler_(message, wParam, lParam, &result)) {
    // A test's own answer; still recorded below when the message is one we track.
    if (message == WM_USER) Record(HostEvent::Kind::Query, message, wParam, lParam, result);
    if (message == WM_TIMER) Record(HostEvent::Kind::Timer, message, wParam, lParam, result);
    if (message == WM_WTSSESSION_CHANGE) Record(HostEvent::Kind::SessionChange, message, wParam, lParam, result);
    if (IsRegisteredMessage(message)) Record(HostEvent::Kind::Registered, message, wParam, lParam, result);
    return result;
  }

  switch (message) {
    case WM_USER:
      result = AnswerQuery(wParam, lParam);
      Record(HostEvent::Kind::Query, message, wParam, lParam, result);
      return result;
    case WM_COMMAND:
      // Simulated first, so that whoever watches the record sees the state it led to.
      if (simulate_) Simulate(LOWORD(wParam));
      Record(HostEvent::Kind::Command, message, wParam, lParam, 0);
      return 0;
    case WM_CLOSE:
      Record(HostEvent::Kind::Close, message, wParam, lParam, 0);
      if (close_destroys_) DestroyWindow(window_);
      return 0;
    case WM_WTSSESSION_CHANGE:
      Record(HostEvent::Kind::SessionChange, message, wParam, lParam, 0);
      return 0;
    case WM_TIMER:
      Record(HostEvent::Kind::Timer, message, wParam, lParam, 0);
      return 0;
    default:
      break;
  }
  if (IsRegisteredMessage(message)) {
    Record(HostEvent::Kind::Registered, message, wParam, lParam, 0);
    return 0;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT StandInHost::AnswerQuery(WPARAM wParam, LPARAM lParam) {
  switch (lParam) {
    case proto::QueryPlayingState:
      return play_state_;
    case proto::QueryLength:
      // The player answers the length in seconds for wParam 1 only.
      return wParam == 1 ? length_ : static_cast<LRESULT>(length_) * 1000;
    case proto::QueryIniPath:
      if (without_path_queries_) return proto::UnknownQueryAnswer;
      return ini_null_ ? 0 : reinterpret_cast<LRESULT>(ini_path_ansi_.c_str());
    case proto::QueryIniPathWide:
      if (without_path_queries_ || old_host_) return proto::UnknownQueryAnswer;
      return ini_null_ ? 0 : reinterpret_cast<LRESULT>(ini_path_.c_str());
    case proto::QueryPlaylistLength:
      return playlist_length_;
    case proto::QueryPlaylistPosition:
      return playlist_length_ > 0 ? track_ - 1 : 0;
    case proto::QueryStopAfterCurrent:  // inverted, so that an older player's 1 reads "not armed"
      if (old_host_ || without_path_queries_) return proto::UnknownQueryAnswer;
      return stop_after_current_ ? 0 : 1;
    case proto::QueryDialogParent:
      return dialog_parent_;
    case proto::QueryRegisterMessage: {
      if (fixed_selector_) return selector_answer_;
      const char* name = reinterpret_cast<const char*>(wParam);
      if (!name) return 0;
      auto it = selectors_.find(name);
      if (it != selectors_.end()) return it->second;
      LRESULT id = proto::FirstMessageSelector + static_cast<LRESULT>(selectors_.size());
      selectors_[name] = id;
      return id;
    }
    default:
      return proto::UnknownQueryAnswer;
  }
}

void StandInHost::Simulate(WPARAM command) {
  const bool loaded = play_state_ != proto::Stopped;
  switch (command) {
    case proto::Play:  // resumes when paused; otherwise starts the track anew
      if (play_state_ == proto::Paused) {
        play_state_ = proto::Playing;
      } else if (play_state_ == proto::Playing) {
        ++restarts_;
        StartTrack(track_);
      } else if (playlist_length_ == 0) {
        ++file_dialogs_;  // the player's modal "Open file(s)" instead
      } else {
        StartTrack(track_);
      }
      break;
    case proto::Pause:  // toggles between playing and paused; nothing when stopped
      if (play_state_ == proto::Playing) {
        play_state_ = proto::Paused;
      } else if (play_state_ == proto::Paused) {
        play_state_ = proto::Playing;
      }
      break;
    case proto::Stop:
    case proto::StopWithFade:  // the player fades inside its own handler, then stops
      play_state_ = proto::Stopped;
      break;
    case proto::NextTrack:  // stopped, it only moves the position
    case proto::PreviousTrack:
      if (command == proto::NextTrack) {
        ++track_;
      } else if (track_ > 1) {
        --track_;
      }
      if (loaded) StartTrack(track_);
      break;
    case proto::StopAfterCurrent:
      if (loaded) stop_after_current_ = !stop_after_current_;
      break;
    default:
      break;
  }
}

void StandInHost::Record(HostEvent::Kind kind, UINT message, WPARAM wParam, LPARAM lParam, LRESULT answer) {
  HostEvent e{kind, message, wParam, lParam, answer, Now()};
  events_.push_back(e);
  if (observer_) observer_(e);
}

}  // namespace standin
