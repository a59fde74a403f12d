// The workbench's script language and command line: what each line means, and that a
// mistake is caught, with its line, before anything runs.
#include <gtest/gtest.h>

#include "tools/workbench/options.h"
#include "tools/workbench/script.h"

using workbench::DialogButton;
using workbench::ExitMode;
using workbench::Op;
using workbench::Options;
using workbench::ParseScript;
using workbench::RegistryValue;
using workbench::Script;
using workbench::ScriptLine;

namespace {

ScriptLine ParseOne(const std::wstring& text) {
  Script script = ParseScript(text);
  EXPECT_TRUE(script.Ok()) << "\"" << testing::PrintToString(text)
                           << "\": " << (script.errors.empty() ? "" : testing::PrintToString(script.errors[0]));
  EXPECT_EQ(1u, script.lines.size());
  return script.lines.empty() ? ScriptLine() : script.lines[0];
}

std::wstring FirstError(const std::wstring& text) {
  Script script = ParseScript(text);
  return script.errors.empty() ? std::wstring() : script.errors[0];
}

}  // namespace

TEST(ScriptParser, SceneAndSessionLines) {
  struct Case {
    const wchar_t* text;
    Op op;
    int number;
    bool flag;
  } cases[] = {
      {L"play", Op::Play, 0, false},         {L"  PAUSE\t", Op::Pause, 0, false},
      {L"stop", Op::Stop, 0, false},         {L"stream on", Op::Stream, 0, true},
      {L"Stream OFF", Op::Stream, 0, false}, {L"track end", Op::TrackEnd, 0, false},
      {L"lock", Op::Session, 7, false},      {L"unlock", Op::Session, 8, false},
      {L"connect", Op::Session, 1, false},   {L"disconnect", Op::Session, 2, false},
      {L"session 5", Op::Session, 5, false}, {L"screensaver on", Op::ScreenSaver, 0, true},
      {L"load", Op::Load, 0, false},
  };
  for (const Case& c : cases) {
    ScriptLine line = ParseOne(c.text);
    EXPECT_EQ(c.op, line.op) << testing::PrintToString(c.text);
    EXPECT_EQ(c.number, line.number_arg) << testing::PrintToString(c.text);
    EXPECT_EQ(c.flag, line.flag) << testing::PrintToString(c.text);
  }
}

TEST(ScriptParser, ValuesKeepTheirTextAndQuotesMeanEmpty) {
  ScriptLine ini = ParseOne(L"ini play_only_when_paused_or_stopped  a b  c");
  EXPECT_EQ(Op::Ini, ini.op);
  EXPECT_EQ(L"play_only_when_paused_or_stopped", ini.key);
  EXPECT_EQ(L"a b  c", ini.value) << "inner spacing is kept";
  EXPECT_EQ(L"a#b", ParseOne(L"ini k a#b").value) << "a '#' inside a word is no comment";
  EXPECT_EQ(L"", ParseOne(L"ini k \"\"").value);
  EXPECT_EQ(L"-5", ParseOne(L"ini unlock_delay -5  # out of range on purpose").value);

  ScriptLine grace = ParseOne(L"registry grace 12345");
  EXPECT_EQ(Op::Registry, grace.op);
  EXPECT_EQ(RegistryValue::GracePeriod, grace.registry);
  EXPECT_EQ(L"12345", grace.value);
  EXPECT_FALSE(grace.flag);
  ScriptLine removed = ParseOne(L"registry secure none");
  EXPECT_EQ(RegistryValue::Secure, removed.registry);
  EXPECT_TRUE(removed.flag) << "none removes the value";
  EXPECT_EQ(RegistryValue::NoAutoReturn, ParseOne(L"registry noautoreturn 1").registry);

  EXPECT_EQ(L"Hello, world", ParseOne(L"echo Hello, world   # said").value);
}

TEST(ScriptParser, TimesAndTheDialog) {
  EXPECT_DOUBLE_EQ(2.5, ParseOne(L"wait 2.5").seconds);
  EXPECT_DOUBLE_EQ(0, ParseOne(L"wait 0").seconds);
  EXPECT_DOUBLE_EQ(600, ParseOne(L"wait 600").seconds);

  ScriptLine config = ParseOne(L"config");
  EXPECT_EQ(Op::Config, config.op);
  EXPECT_EQ(DialogButton::None, config.button);
  EXPECT_EQ(DialogButton::Ok, ParseOne(L"config OK").button);
  ScriptLine cancel = ParseOne(L"config cancel after 1.5");
  EXPECT_EQ(DialogButton::Cancel, cancel.button);
  EXPECT_DOUBLE_EQ(1.5, cancel.seconds);

  EXPECT_EQ(ExitMode::Normal, ParseOne(L"exit").exit_mode);
  EXPECT_EQ(ExitMode::Logoff, ParseOne(L"exit logoff").exit_mode);
  EXPECT_EQ(ExitMode::Uninstall, ParseOne(L"exit uninstall").exit_mode);
}

TEST(ScriptParser, Expectations) {
  EXPECT_EQ((std::vector<unsigned>{40046}), ParseOne(L"expect 40046").commands);
  EXPECT_EQ((std::vector<unsigned>{40047, 40048, 40045}), ParseOne(L"expect stop next play").commands);
  EXPECT_EQ((std::vector<unsigned>{40147, 40157, 16}),
            ParseOne(L"expect stop-with-fade stop-after-current close").commands);

  ScriptLine within = ParseOne(L"expect pause within 3");
  EXPECT_EQ((std::vector<unsigned>{40046}), within.commands);
  EXPECT_DOUBLE_EQ(3, within.seconds);
  EXPECT_LT(ParseOne(L"expect pause").seconds, 0) << "without within, an expect does not wait";

  ScriptLine nothing = ParseOne(L"expect nothing");
  EXPECT_EQ(Op::ExpectCommands, nothing.op);
  EXPECT_TRUE(nothing.commands.empty());

  ScriptLine state = ParseOne(L"expect state paused within 2");
  EXPECT_EQ(Op::ExpectState, state.op);
  EXPECT_EQ(3, state.number_arg);
  EXPECT_DOUBLE_EQ(2, state.seconds);
  EXPECT_EQ(1, ParseOne(L"expect state playing").number_arg);
  EXPECT_EQ(0, ParseOne(L"expect state stopped").number_arg);
  EXPECT_EQ(2, ParseOne(L"expect track 2").number_arg);

  ScriptLine ini = ParseOne(L"expect ini lock_action 1 within 0.5");
  EXPECT_EQ(Op::ExpectIni, ini.op);
  EXPECT_EQ(L"lock_action", ini.key);
  EXPECT_EQ(L"1", ini.value) << "within is no part of the value";
  EXPECT_EQ(L"", ParseOne(L"expect ini missing_key \"\"").value);
}

TEST(ScriptParser, MistakesNameTheirLineAndSayWhatIsWanted) {
  struct Case {
    const wchar_t* text;
    const wchar_t* wanted;  // part of the message
  } cases[] = {
      {L"lokc", L"unknown instruction \"lokc\""},
      {L"play now", L"takes nothing after it"},
      {L"stream maybe", L"takes on or off"},
      {L"track starts", L"track end"},
      {L"session x", L"session-change code"},
      {L"wait", L"wait takes seconds"},
      {L"wait -1", L"wait takes seconds"},
      {L"wait 2,5", L"wait takes seconds"},
      {L"wait 601", L"wait takes seconds"},
      {L"wait 2.", L"wait takes seconds"},
      {L"registry colour 1", L"not \"colour\""},
      {L"registry grace", L"registry takes"},
      {L"ini lonely_key", L"ini takes a key and a value"},
      {L"config maybe", L"config takes"},
      {L"config ok after", L"after SECONDS"},
      {L"config ok later 2", L"after SECONDS"},
      {L"expect", L"expect takes"},
      {L"expect nothing within 2", L"wait first"},
      {L"expect state sleeping", L"playing, paused or stopped"},
      {L"expect track 0", L"track number"},
      {L"expect paws", L"\"paws\" is no command"},
      {L"expect 0", L"\"0\" is no command"},
      {L"expect play within soon", L"within takes seconds"},
      {L"expect ini lock_action", L"a key and a value"},
      {L"exit now", L"normal, logoff or uninstall"},
  };
  for (const Case& c : cases) {
    std::wstring error = FirstError(std::wstring(L"\n") + c.text);
    EXPECT_EQ(0u, error.find(L"line 2: ")) << testing::PrintToString(error);
    EXPECT_NE(std::wstring::npos, error.find(c.wanted)) << testing::PrintToString(error);
  }
}

TEST(ScriptParser, EveryMistakeIsListedAndNoLineIsKeptHalfParsed) {
  Script script = ParseScript(L"play\nfoo\nlock\nwait x\r\n");
  ASSERT_EQ(2u, script.errors.size());
  EXPECT_EQ(0u, script.errors[0].find(L"line 2: "));
  EXPECT_EQ(0u, script.errors[1].find(L"line 4: "));
  EXPECT_FALSE(script.Ok());
}

TEST(ScriptParser, CommentsBlankLinesAndLineEndings) {
  Script script = ParseScript(L"# a comment\r\n\r\n   \t\r\n  play   # trailing\r\nlock");
  ASSERT_TRUE(script.Ok());
  ASSERT_EQ(2u, script.lines.size());
  EXPECT_EQ(4, script.lines[0].number) << "line numbers count the blank and comment lines";
  EXPECT_EQ(L"play", script.lines[0].text);
  EXPECT_EQ(5, script.lines[1].number);
  EXPECT_TRUE(ParseScript(L"").Ok());
}

TEST(ScriptParser, IniLinesComeBeforeThePluginLoadsAndExitComesLast) {
  // The scene may be set before the plug-in loads; ini lines with it.
  EXPECT_TRUE(ParseScript(L"play\nregistry grace 1\nscreensaver on\nini a 1\nstream on\nini b 2\nlock").Ok());

  EXPECT_NE(std::wstring::npos, FirstError(L"ini a 1\nlock\nini b 2").find(L"line 3: ini lines must come before"));
  EXPECT_NE(std::wstring::npos, FirstError(L"wait 1\nini b 2").find(L"it loads at line 1"));
  EXPECT_NE(std::wstring::npos, FirstError(L"load\nini b 2").find(L"line 2"));
  EXPECT_NE(std::wstring::npos, FirstError(L"lock\nload").find(L"line 2: the plug-in is already loaded (at line 1)"));
  EXPECT_NE(std::wstring::npos, FirstError(L"exit logoff\nplay").find(L"nothing may follow the exit at line 1"));
  EXPECT_TRUE(ParseScript(L"lock\nexit uninstall\n# done\n").Ok());
}

TEST(ScriptParser, OldHostComesFirstAndUninstallOnce) {
  EXPECT_TRUE(ParseOne(L"uninstall yes").flag);
  EXPECT_TRUE(ParseScript(L"old host\nuninstall no\nlock\nexpect nothing").Ok()) << "the player runs on";
  EXPECT_NE(std::wstring::npos, FirstError(L"uninstall").find(L"uninstall takes yes or no"));
  EXPECT_NE(std::wstring::npos, FirstError(L"lock\nold host").find(L"line 2: old host must come before"));
  EXPECT_NE(std::wstring::npos, FirstError(L"uninstall yes\nload").find(L"uninstalled at line 1"));
  EXPECT_TRUE(workbench::ParseOptions({L"--old-host", L"--demo"}).old_host);
}

TEST(ScriptParser, OnlyTheSceneRunsWithoutThePlugin) {
  for (Op op :
       {Op::Play, Op::Pause, Op::Stop, Op::Stream, Op::TrackEnd, Op::ScreenSaver, Op::Registry, Op::Ini, Op::Echo}) {
    EXPECT_FALSE(workbench::NeedsPlugin(op)) << static_cast<int>(op);
  }
  for (Op op :
       {Op::Load, Op::Session, Op::Wait, Op::Config, Op::ExpectCommands, Op::ExpectState, Op::ExpectIni, Op::Exit}) {
    EXPECT_TRUE(workbench::NeedsPlugin(op)) << static_cast<int>(op);
  }
}

TEST(ScriptParser, DemoIsAValidScriptOfTheTypicalRoad) {
  Script demo = ParseScript(workbench::DemoScript());
  ASSERT_TRUE(demo.Ok()) << testing::PrintToString(demo.errors);
  bool locks = false, unlocks = false, saver = false;
  for (const ScriptLine& line : demo.lines) {
    locks = locks || (line.op == Op::Session && line.number_arg == 7);
    unlocks = unlocks || (line.op == Op::Session && line.number_arg == 8);
    saver = saver || line.op == Op::ScreenSaver;
  }
  EXPECT_TRUE(locks && unlocks && saver);
}

TEST(ScriptText, DecodesUtf8AndDescribesCommands) {
  EXPECT_EQ(L"echo \u00fcber", workbench::DecodeScript("\xEF\xBB\xBF"
                                                       "echo \xC3\xBC"
                                                       "ber"));
  EXPECT_EQ(L"", workbench::DecodeScript("\xEF\xBB\xBF"));
  EXPECT_EQ(L"pause (40046), close (WM_CLOSE), 999", workbench::DescribeCommands({40046, 16, 999}));
  EXPECT_EQ(L"nothing", workbench::DescribeCommands({}));
}

TEST(CommandLine, ModesAndTheirArguments) {
  EXPECT_EQ(Options::Mode::Interactive, workbench::ParseOptions({}).mode);

  Options script = workbench::ParseOptions({L"--script", L"a.txt", L"--plugin", L"x.dll", L"--ini", L"y.ini"});
  EXPECT_TRUE(script.error.empty());
  EXPECT_EQ(Options::Mode::Script, script.mode);
  EXPECT_EQ(L"a.txt", script.script);
  EXPECT_EQ(L"x.dll", script.plugin);
  EXPECT_EQ(L"y.ini", script.ini);

  Options demo = workbench::ParseOptions({L"--window", L"--demo"});
  EXPECT_EQ(Options::Mode::Demo, demo.mode);
  EXPECT_TRUE(demo.window);
  EXPECT_EQ(Options::Mode::Help, workbench::ParseOptions({L"--help"}).mode);
  EXPECT_EQ(Options::Mode::PrintDemo, workbench::ParseOptions({L"--print-demo"}).mode);
}

TEST(CommandLine, MistakesAreRefused) {
  for (const std::vector<std::wstring>& args : std::vector<std::vector<std::wstring>>{
           {L"--script"}, {L"--demo", L"--script", L"a"}, {L"--print-demo", L"--window"}, {L"--bogus"}, {L"--ini"}}) {
    EXPECT_FALSE(workbench::ParseOptions(args).error.empty()) << testing::PrintToString(args);
  }
}
