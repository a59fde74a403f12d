// A stand-in for the host player: a window of class "Winamp v1.x" that answers the host's
// queries and records the commands it receives. The tests and the workbench share it.
//
// Classes in this file:
//   StandInHost  - the host window, its answers, its records and message pumping.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace standin {

// The host's side of its window protocol, as the player defines it.
namespace proto {
constexpr LPARAM QueryPlayingState = 104;
constexpr LPARAM QueryLength = 105;
constexpr LPARAM QueryIniPath = 334;       // the ANSI copy of the path
constexpr LPARAM QueryIniPathWide = 1334;  // the wide path (players from 5.58 on)
constexpr LPARAM QueryDialogParent = 619;
constexpr LPARAM QueryRegisterMessage = 65536;
constexpr LPARAM QueryPlaylistLength = 124;    // the number of tracks in the playlist
constexpr LPARAM QueryPlaylistPosition = 125;  // the current track's place, counted from 0
constexpr LPARAM QueryStopAfterCurrent = 658;  // players from 5.58 on: 0 while armed, 1 while not

constexpr WPARAM PreviousTrack = 40044;
constexpr WPARAM Play = 40045;
constexpr WPARAM Pause = 40046;
constexpr WPARAM Stop = 40047;
constexpr WPARAM NextTrack = 40048;
constexpr WPARAM StopWithFade = 40147;
constexpr WPARAM StopAfterCurrent = 40157;

constexpr int Stopped = 0;
constexpr int Playing = 1;
constexpr int Paused = 3;

// What the player answers to a query it does not know.
constexpr LRESULT UnknownQueryAnswer = 1;

// First id the player hands out for a registered message name.
constexpr LRESULT FirstMessageSelector = 65537;
}  // namespace proto

// In the command record WM_CLOSE stands as this value; command ids never are this small.
constexpr unsigned CloseCommand = WM_CLOSE;

constexpr wchar_t HostWindowClass[] = L"Winamp v1.x";
constexpr int DefaultPlaylistLength = 12;
constexpr wchar_t TaskWindowClass[] = L"Quillary stand-in tasks";

// Readable names for logs and test messages: "pause", "close", "playing"; an unknown
// command id gives an empty name.
const wchar_t* CommandName(unsigned command);
const wchar_t* PlayStateName(int state);

struct HostEvent {
  enum class Kind {
    Query,          // WM_USER: a query (or a message the plug-in posted to itself there)
    Command,        // WM_COMMAND
    Close,          // WM_CLOSE
    SessionChange,  // WM_WTSSESSION_CHANGE
    Timer,          // WM_TIMER other than the host's own scheduled tasks
    Registered,     // a registered window message (0xC000 to 0xFFFF)
  };
  Kind kind;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT answer;  // what the host returned
  double seconds;  // since the host window was created
};

class StandInHost {
 public:
  StandInHost();
  ~StandInHost();
  StandInHost(const StandInHost&) = delete;
  StandInHost& operator=(const StandInHost&) = delete;

  // Creates the host window on the calling thread. A visible window gets a caption and a
  // frame; otherwise it is a hidden top-level window, which is all a plug-in needs.
  bool Create(HINSTANCE instance = nullptr, bool visible = false, const wchar_t* title = L"Winamp");
  void Destroy();
  HWND Window() const { return window_; }
  // Moves the window, also to negative coordinates (a monitor left of or above the primary).
  void MoveTo(int x, int y) { SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE); }

  // --- Answers ---------------------------------------------------------------------------
  void SetPlayState(int state) { play_state_ = state; }
  int PlayState() const { return play_state_; }
  // Length in seconds of the current item for query 105; -1 makes it a stream.
  void SetLength(int seconds) { length_ = seconds; }
  int Length() const { return length_; }
  // A stream has no length (-1); switching back restores the track's own length.
  void SetStream(bool on);
  bool IsStream() const { return length_ == -1; }
  // The player keeps its INI path wide: query 1334 answers a pointer to it, query 334 one to
  // its ANSI copy, in which a character outside the code page reads '?'. SetIniPath takes an
  // ANSI path (in the code page, so both answers name the same file); SetWideIniPath any.
  // SetIniPathAnswerNull makes the host answer 0 to both, as one without a path would.
  void SetIniPath(const std::string& ansi_path);
  void SetWideIniPath(const std::wstring& path);
  void SetIniPathAnswerNull(bool null_answer) { ini_null_ = null_answer; }
  const std::wstring& IniPath() const { return ini_path_; }
  const std::string& AnsiIniPath() const { return ini_path_ansi_; }
  // An older player (before 5.58) knows neither query 1334 nor 658 and answers both 1.
  void SetOldHost(bool old) { old_host_ = old; }
  bool OldHost() const { return old_host_; }
  // A player before 2.90 has neither path query: it answers 1 to 334 and to 1334, no pointer,
  // and does not know query 658 either.
  void SetWithoutPathQueries(bool without) { without_path_queries_ = without; }
  bool WithoutPathQueries() const { return without_path_queries_; }
  // Answer to query 619 (0 means none, as the player answers without its preferences open).
  void SetDialogParentAnswer(LRESULT answer) { dialog_parent_ = answer; }
  // Answer to query 65536. By default the host behaves as the player: it reads the name as
  // ANSI and hands out one id per name, compared without regard to case, counting up from
  // 65537. A fixed answer (0 and 1 mean "none") replaces that.
  void SetMessageSelectorAnswer(LRESULT fixed_answer);
  void UseAssignedMessageSelectors();
  // With simulation on, commands change the playing state as the player would.
  void SetSimulation(bool on) { simulate_ = on; }
  // With this on, WM_CLOSE destroys the window as the player does; off, it is only recorded.
  void SetCloseDestroysWindow(bool on) { close_destroys_ = on; }
  int TrackNumber() const { return track_; }
  // Query 124's answer; with 0, play on a stopped player opens the player's file dialog.
  void SetPlaylistLength(int tracks) { playlist_length_ = tracks; }
  int PlaylistLength() const { return playlist_length_; }
  // How often play restarted a track that was already playing, and how often it opened the
  // file dialog for an empty playlist (with simulation on).
  int Restarts() const { return restarts_; }
  int FileDialogsOpened() const { return file_dialogs_; }
  // Stop-after-current, with simulation on: 40157 toggles it while a track is loaded, playing
  // or paused; every start of a track switches it off; a manual stop leaves it as it is.
  // Query 658 tells it on players from 5.58 on.
  bool StopAfterCurrentArmed() const { return stop_after_current_; }
  void SetStopAfterCurrentArmed(bool armed) { stop_after_current_ = armed; }
  // The current track plays to its end: the player stops when stop-after-current is armed
  // (and disarms it), otherwise it starts the next track. Only a playing track ends.
  void EndOfTrack();
  // Message names as the player compares them: ANSI, without regard to case.
  struct AnsiNameLess {
    bool operator()(const std::string& a, const std::string& b) const { return lstrcmpiA(a.c_str(), b.c_str()) < 0; }
  };
  // The ids this host handed out for message names (query 65536), by the name as it read it.
  const std::map<std::string, LRESULT, AnsiNameLess>& AssignedSelectors() const { return selectors_; }

  // An extra answer for any message: return true and set *result to take the message.
  using MessageHandler = std::function<bool(UINT, WPARAM, LPARAM, LRESULT*)>;
  void SetMessageHandler(MessageHandler handler) { handler_ = std::move(handler); }

  // --- Records ---------------------------------------------------------------------------
  const std::vector<HostEvent>& Events() const { return events_; }
  // WM_COMMAND ids in order of arrival, with CloseCommand for each WM_CLOSE.
  std::vector<unsigned> Commands() const;
  size_t CountQueries(LPARAM selector) const;
  size_t CountEvents(HostEvent::Kind kind) const;
  void ClearRecords() { events_.clear(); }
  // Called for every recorded event as it happens (the workbench logs through it).
  void SetObserver(std::function<void(const HostEvent&)> observer) { observer_ = std::move(observer); }
  // Seconds since the window was created.
  double Now() const;

  // --- Running ---------------------------------------------------------------------------
  // Dispatches every message waiting on this thread; false once WM_QUIT was seen.
  bool PumpPending();
  // Pumps messages until done() holds or the time runs out; returns done().
  bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms);
  void PumpFor(DWORD ms);
  bool WaitForCommands(size_t count, DWORD timeout_ms);
  // Windows queues notifications back to back: posts every one to the host window before
  // any is dispatched, then pumps for ms.
  struct Notification {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  static Notification SessionChange(WPARAM code) { return {WM_WTSSESSION_CHANGE, code, 1}; }
  void PostBackToBack(const std::vector<Notification>& notifications, DWORD ms);
  // Runs task on this thread after ms, from a timer, so it also runs inside modal loops (a
  // dialog the plug-in shows), but on a window of its own, as the player's preferences are:
  // a task never runs inside the main window's procedure. Returns the timer id.
  UINT_PTR After(DWORD ms, std::function<void()> task);
  // Drops a task that has not run yet.
  void Cancel(UINT_PTR task);

 private:
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK TaskWindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT AnswerQuery(WPARAM wParam, LPARAM lParam);
  void Simulate(WPARAM command);
  void StartTrack(int track);
  void Record(HostEvent::Kind kind, UINT message, WPARAM wParam, LPARAM lParam, LRESULT answer);

  HWND window_ = nullptr;
  HWND task_window_ = nullptr;
  int play_state_ = proto::Stopped;
  int length_ = 215;
  int track_length_ = 215;  // what a stream switched off returns to
  std::wstring ini_path_;
  std::string ini_path_ansi_;  // the copy query 334 points to, kept beside the wide path
  bool ini_null_ = false;
  bool old_host_ = false;
  bool without_path_queries_ = false;
  LRESULT dialog_parent_ = 0;
  bool fixed_selector_ = false;
  LRESULT selector_answer_ = 0;
  std::map<std::string, LRESULT, AnsiNameLess> selectors_;
  bool simulate_ = false;
  bool close_destroys_ = false;
  int track_ = 1;
  int playlist_length_ = DefaultPlaylistLength;
  int restarts_ = 0;
  int file_dialogs_ = 0;
  bool stop_after_current_ = false;
  MessageHandler handler_;
  std::vector<HostEvent> events_;
  std::function<void(const HostEvent&)> observer_;
  std::map<UINT_PTR, std::function<void()>> tasks_;
  UINT_PTR next_task_id_ = FirstTaskTimer;
  LARGE_INTEGER start_{};
  LARGE_INTEGER frequency_{};

  // The host's own scheduled tasks use timer ids from here on; the plug-in's are far away.
  static constexpr UINT_PTR FirstTaskTimer = 0x1000;
  static constexpr UINT_PTR LastTaskTimer = 0x1FFF;
};

}  // namespace standin
