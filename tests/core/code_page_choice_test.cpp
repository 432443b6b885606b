// The code page of the table files' text: by default the Windows code page
// of the user's locale, or the one --codepage names; every character the
// code page has no form for is reported. The locale reaches the command line
// through a child process's own environment, never this process's.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "TestSupport.h"
#include "common/CodePageChoice.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

EnvironmentLookup Environment(std::map<std::string, std::string> variables) {
  return [variables = std::move(variables)](const char* name) -> const char* {
    const auto found = variables.find(name);
    return found == variables.end() ? nullptr : found->second.c_str();
  };
}

unsigned CodePageOf(const char* locale) {
  return WindowsAnsiCodePageOfLocale(locale).value_or(9999);
}

TEST(CodePageChoice, LocaleComesFromLcAllThenLcCtypeThenLang) {
  EXPECT_EQ(TextLocaleName(Environment({})), "C");
  EXPECT_EQ(TextLocaleName(Environment({{"LANG", "pl_PL.UTF-8"}})), "pl_PL.UTF-8");
  EXPECT_EQ(TextLocaleName(Environment({{"LANG", "pl_PL.UTF-8"}, {"LC_CTYPE", "el_GR.UTF-8"}})),
            "el_GR.UTF-8");
  EXPECT_EQ(TextLocaleName(Environment(
                {{"LANG", "pl_PL.UTF-8"}, {"LC_CTYPE", "el_GR.UTF-8"}, {"LC_ALL", "tr_TR"}})),
            "tr_TR");
  // An empty variable counts as not set.
  EXPECT_EQ(TextLocaleName(Environment({{"LANG", "ru_RU.UTF-8"}, {"LC_ALL", ""}})), "ru_RU.UTF-8");
}

TEST(CodePageChoice, WindowsCodePageOfEachLocale) {
  EXPECT_EQ(CodePageOf("pl_PL.UTF-8"), 1250u);
  EXPECT_EQ(CodePageOf("cs_CZ"), 1250u);
  EXPECT_EQ(CodePageOf("ru_RU.UTF-8"), 1251u);
  EXPECT_EQ(CodePageOf("uk_UA.KOI8-U"), 1251u);
  EXPECT_EQ(CodePageOf("el_GR.UTF-8"), 1253u);
  EXPECT_EQ(CodePageOf("tr_TR.ISO-8859-9"), 1254u);
  EXPECT_EQ(CodePageOf("he_IL"), 1255u);
  EXPECT_EQ(CodePageOf("ar_EG.UTF-8"), 1256u);
  EXPECT_EQ(CodePageOf("lt_LT"), 1257u);
  EXPECT_EQ(CodePageOf("vi_VN"), 1258u);
  EXPECT_EQ(CodePageOf("th_TH.UTF-8"), 874u);
  // Script and territory: Serbian is Cyrillic unless the locale says Latin;
  // Uzbek and Azerbaijani are Latin (Turkish code page) unless it says
  // Cyrillic; Punjabi is written in Arabic script in Pakistan only.
  EXPECT_EQ(CodePageOf("sr_RS.UTF-8"), 1251u);
  EXPECT_EQ(CodePageOf("sr_RS.UTF-8@latin"), 1250u);
  EXPECT_EQ(CodePageOf("sr_ME"), 1251u);
  EXPECT_EQ(CodePageOf("uz_UZ.UTF-8"), 1254u);
  EXPECT_EQ(CodePageOf("uz_UZ.UTF-8@cyrillic"), 1251u);
  EXPECT_EQ(CodePageOf("az_AZ.UTF-8"), 1254u);
  EXPECT_EQ(CodePageOf("kk_KZ.UTF-8"), 1251u);
  EXPECT_EQ(CodePageOf("be_BY.UTF-8"), 1251u);
  EXPECT_EQ(CodePageOf("pa_PK.UTF-8"), 1256u);
  EXPECT_EQ(CodePageOf("pa_IN.UTF-8"), 0u);
  EXPECT_EQ(CodePageOf("zh_TW.UTF-8"), 950u);
  EXPECT_EQ(CodePageOf("zh_CN.GB18030"), 936u);
  EXPECT_EQ(CodePageOf("ja_JP.UTF-8"), 932u);
  // No Windows counterpart, not a language, or the C locale: nothing.
  EXPECT_EQ(CodePageOf("be_BY.UTF-8@latin"), 9999u);
  EXPECT_EQ(CodePageOf("C"), 9999u);
  EXPECT_EQ(CodePageOf("POSIX"), 9999u);
  EXPECT_EQ(CodePageOf("C.UTF-8"), 9999u);
  EXPECT_EQ(CodePageOf("de_DE@euro"), 9999u);  // Western: 1252 like anything unknown
}

TEST(CodePageChoice, DefaultFollowsTheLocale) {
  const CodePageChoice polish = CodePageOfLocale(Environment({{"LANG", "pl_PL.UTF-8"}}));
  EXPECT_EQ(polish.iconvName, "WINDOWS-1250");
  EXPECT_EQ(polish.Description(), "Windows-1250, from the locale pl_PL.UTF-8");
  EXPECT_EQ(polish.note, "");
  const CodePageChoice none = CodePageOfLocale(Environment({}));
  EXPECT_EQ(none.Description(), "Windows-1252, from the locale C");
  EXPECT_EQ(none.note, "");
  // A code page of more than one byte a character, or none at all: 1252,
  // and a line saying so.
  const CodePageChoice japanese = CodePageOfLocale(Environment({{"LC_ALL", "ja_JP.UTF-8"}}));
  EXPECT_EQ(japanese.iconvName, "WINDOWS-1252");
  EXPECT_EQ(japanese.note,
            "The locale ja_JP.UTF-8 has Windows code page 932, which is not single-byte; text "
            "is written in Windows-1252.");
  const CodePageChoice hindi = CodePageOfLocale(Environment({{"LANG", "hi_IN"}}));
  EXPECT_EQ(hindi.iconvName, "WINDOWS-1252");
  EXPECT_NE(hindi.note.find("no single-byte Windows code page"), std::string::npos);
}

TEST(CodePageChoice, NamedCodePages) {
  for (const char* name : {"1250", "cp1250", "CP1250", "windows-1250", "Windows-1250"}) {
    const auto choice = CodePageOfName(name, "from --codepage");
    ASSERT_TRUE(choice) << name;
    EXPECT_EQ(choice->iconvName, "WINDOWS-1250") << name;
    EXPECT_EQ(choice->Description(), "Windows-1250, from --codepage") << name;
  }
  EXPECT_EQ(CodePageOfName("874", "")->displayName, "Windows-874");
  EXPECT_EQ(CodePageOfName("850", "")->iconvName, "CP850");
  EXPECT_EQ(CodePageOfName("iso-8859-2", "")->displayName, "ISO-8859-2");
  EXPECT_EQ(CodePageOfName("KOI8-R", "")->iconvName, "KOI8-R");
  for (const char* refused : {"932", "cp936", "UTF-8", "65001", "windows-9999", "latin-42", "",
                              "WINDOWS-1252//TRANSLIT"}) {
    EXPECT_FALSE(CodePageOfName(refused, "")) << refused;
  }
}

// The command line with its own environment: LANG set to locale, LC_ALL
// and LC_CTYPE unset.
struct CliResult {
  int status;
  std::string out;
  std::string err;
};

CliResult RunCli(const std::string& locale, const std::string& args, const fs::path& scratch) {
  const fs::path out = scratch / "out.txt";
  const fs::path err = scratch / "err.txt";
  const std::string command = "env -u LC_ALL -u LC_CTYPE LANG=" + ShellQuote(locale) + " " +
                              MDBTOKVT_CLI + " " + args + " >" + ShellQuote(out.string()) + " 2>" +
                              ShellQuote(err.string());
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::ReadFile(out), test::ReadFile(err)};
}

// Cp1252.abk: Polish, French, German, CJK names and a telephone sign.
class LocaleConversion : public testing::Test {
 protected:
  CliResult Convert(const std::string& locale, const std::string& options = "") {
    return RunCli(locale,
                  "convert " + ShellQuote(test::TestData("fixtures/cp1252.abk")) + " " +
                      ShellQuote(out.str()) + " --report " + ShellQuote(ReportPath()) + " " +
                      options,
                  scratch.path());
  }
  std::string ReportPath() const { return (scratch.path() / "report.json").string(); }
  nlohmann::json Report() const { return nlohmann::json::parse(test::ReadFile(ReportPath())); }
  std::string Receivers() const { return test::ReadFile(out.path() / "USERTAB.KVT"); }
  test::TempFolder out, scratch;
};

TEST_F(LocaleConversion, PolishLocaleWritesWindows1250) {
  const CliResult r = Convert("pl_PL.UTF-8");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Code page: Windows-1250, from the locale pl_PL.UTF-8\n"), std::string::npos)
      << r.out;
  // L with stroke is A3 in Windows-1250, o acute F3.
  EXPECT_NE(Receivers().find("\xA3ukasz W\xF3jcik"), std::string::npos);
  const nlohmann::json report = Report();
  EXPECT_EQ(report["codePage"], "Windows-1250, from the locale pl_PL.UTF-8");
  for (const auto& replaced : report["replacedCharacters"]) {
    EXPECT_EQ(replaced["text"].get<std::string>().find("\xC5\x81ukasz"), std::string::npos);
  }
  // dump reads the names back through the same code page.
  const CliResult dump = RunCli(
      "pl_PL.UTF-8", "dump " + ShellQuote((out.path() / "USERTAB.KVT").string()), scratch.path());
  EXPECT_NE(dump.out.find("\"\xC5\x81ukasz W\xC3\xB3jcik\""), std::string::npos) << dump.out;
}

TEST_F(LocaleConversion, EveryLostCharacterIsReported) {
  const CliResult r = Convert("C");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Code page: Windows-1252, from the locale C\n"), std::string::npos);
  EXPECT_NE(r.out.find(", 11 characters written as ?\n"), std::string::npos) << r.out;
  EXPECT_NE(Receivers().find("?ukasz W\xF3jcik"), std::string::npos);
  const nlohmann::json report = Report();
  const nlohmann::json& replaced = report["replacedCharacters"];
  ASSERT_EQ(replaced.size(), 7u);
  EXPECT_EQ(replaced[4], nlohmann::json::object({{"table", "USERTAB.KVT"},
                                                 {"row", 12},
                                                 {"column", "ctName"},
                                                 {"text", "\xC5\x81ukasz W\xC3\xB3jcik"},
                                                 {"stored", "?ukasz W\xC3\xB3jcik"}}));
  // The long name of a shortening is the source's text, not its '?' form.
  bool sawKanji = false;
  for (const auto& s : report["shortenedNames"]) {
    if (s["longName"] == "\xE6\x9D\xB1\xE4\xBA\xAC Paging Operations Centre West Wing 7") {
      sawKanji = true;
      EXPECT_EQ(s["storedName"], "?? Paging Operations Centre (1)");
    }
  }
  EXPECT_TRUE(sawKanji);
}

TEST_F(LocaleConversion, GreekLocaleLosesTheLatinLetters) {
  // Windows-1253 has neither the Polish L nor o acute: two characters of
  // one value, one entry.
  const CliResult r = Convert("el_GR.UTF-8");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(Receivers().find("?ukasz W?jcik"), std::string::npos);
  bool found = false;
  const nlohmann::json report = Report();
  for (const auto& replaced : report["replacedCharacters"]) {
    if (replaced["row"] == 12 && replaced["table"] == "USERTAB.KVT" &&
        replaced["column"] == "ctName") {
      EXPECT_EQ(replaced["stored"], "?ukasz W?jcik");
      EXPECT_FALSE(found);
      found = true;
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(LocaleConversion, JapaneseLocaleFallsBackToWindows1252WithANote) {
  const CliResult r = Convert("ja_JP.UTF-8");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Code page: Windows-1252, from the locale ja_JP.UTF-8\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("\nThe locale ja_JP.UTF-8 has Windows code page 932, which is not "
                       "single-byte; text is written in Windows-1252.\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(Report()["sourceNotes"].size(), 1u);
}

TEST_F(LocaleConversion, CodePageOptionWinsOverTheLocale) {
  for (const char* form : {"1250", "cp1250", "WINDOWS-1250"}) {
    const CliResult r = Convert("el_GR.UTF-8", std::string("--codepage ") + form);
    ASSERT_EQ(r.status, 0) << form << ": " << r.err;
    EXPECT_NE(r.out.find("Code page: Windows-1250, from --codepage\n"), std::string::npos) << form;
    EXPECT_NE(Receivers().find("\xA3ukasz W\xF3jcik"), std::string::npos) << form;
  }
  for (const char* refused : {"932", "utf-8", "klingon"}) {
    const CliResult r = Convert("C", std::string("--codepage ") + refused);
    EXPECT_EQ(r.status, 2) << refused;
    EXPECT_NE(r.err.find("cp1250, windows-1250"), std::string::npos) << r.err;
  }
  const CliResult verify =
      RunCli("C", "verify " + ShellQuote(out.str()) + " --codepage 9999", scratch.path());
  EXPECT_EQ(verify.status, 2);
}

}  // namespace
}  // namespace mdbtokvt
