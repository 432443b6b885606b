// The JSON of the command line (the conversion report and dump --format
// json): a strict parser reads it whatever bytes the paths hold, and it has
// the fields the README documents, in the order they have always come in.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "TestSupport.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using test::ShellQuote;

// U+FFFD, which stands for each byte that is not UTF-8.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Runs the command line with the arguments (already quoted); returns the
// exit status, with stdout in *out.
int RunCli(const std::string& args, const fs::path& scratch, std::string* out = nullptr) {
  const fs::path outFile = scratch / "out.txt";
  const int raw = std::system((std::string(MDBTOKVT_CLI) + " " + args + " >" +
                               ShellQuote(outFile.string()) + " 2>/dev/null")
                                  .c_str());
  if (out != nullptr) *out = test::ReadFile(outFile);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::vector<std::string> Keys(const Json& object) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : object.items()) keys.push_back(key);
  return keys;
}

// A source and an output folder whose names hold bytes that are not UTF-8,
// beside a quote, a backslash, a line break and a control character.
class JsonOutput : public testing::Test {
 protected:
  void SetUp() override {
    source = dir.path() / "book\xFE\x01\n\".abk";
    outDir = dir.path() / "out\xFF\\";
    fs::copy_file(test::TestData("fixtures/sample.abk"), source);
    fs::create_directory(outDir);
  }
  std::string Cleaned(const fs::path& path) {
    std::string text = path.string();
    for (const char bad : {'\xFE', '\xFF'}) {
      for (size_t at = text.find(bad); at != std::string::npos; at = text.find(bad)) {
        text.replace(at, 1, kReplacement);
      }
    }
    return text;
  }
  test::TempFolder dir, scratch;
  fs::path source, outDir;
};

TEST_F(JsonOutput, ReportParsesStrictlyWithTheDocumentedFields) {
  const fs::path reportPath = scratch.path() / "report.json";
  ASSERT_EQ(RunCli("convert " + ShellQuote(source.string()) + " " + ShellQuote(outDir.string()) +
                       " --report " + ShellQuote(reportPath.string()),
                   scratch.path()),
            0);
  Json report;
  ASSERT_NO_THROW(report = Json::parse(test::ReadFile(reportPath)));
  EXPECT_EQ(Keys(report),
            (std::vector<std::string>{"source", "outputFolder", "editionRow", "memberLimit",
                                      "codePage", "sourceNotes", "outputNotes", "records",
                                      "truncatedGroups", "shortenedNames", "defaultedValues",
                                      "replacedCharacters", "unknownServices", "unknownMembers"}));
  EXPECT_EQ(report["sourceNotes"], Json::array());
  EXPECT_EQ(report["outputNotes"], Json::array());
  EXPECT_EQ(report["source"], Cleaned(source));
  EXPECT_EQ(report["outputFolder"], Cleaned(outDir));
  EXPECT_EQ(report["editionRow"], 0);
  EXPECT_EQ(report["memberLimit"], 32);
  EXPECT_EQ(report["records"],
            Json::object({{"TERMTAB.KVT", 6}, {"USERTAB.KVT", 45}, {"GROUPTAB.KVT", 4}}));
  EXPECT_EQ(report["truncatedGroups"],
            Json::array({Json::object(
                {{"group", "All Staff"}, {"sourceMembers", 40}, {"keptMembers", 32}})}));
  ASSERT_EQ(report["shortenedNames"].size(), 11u);
  EXPECT_EQ(report["shortenedNames"][0],
            Json::object({{"table", "TERMTAB.KVT"},
                          {"longName", "Bay Area Wireless Messaging Services"},
                          {"storedName", "Bay Area Wireless Messaging (1)"}}));
  ASSERT_FALSE(report["defaultedValues"].empty());
  for (const Json& d : report["defaultedValues"]) {
    EXPECT_EQ(Keys(d), (std::vector<std::string>{"table", "row", "column"}));
    EXPECT_TRUE(d["row"].is_number_integer());
  }
  EXPECT_TRUE(report["unknownServices"].is_array());
  EXPECT_TRUE(report["unknownMembers"].is_array());
}

TEST_F(JsonOutput, DumpParsesStrictlyForEveryTable) {
  ASSERT_EQ(RunCli("convert " + ShellQuote(source.string()) + " " + ShellQuote(outDir.string()),
                   scratch.path()),
            0);
  const std::vector<std::string> recordKeys[] = {
      {"name", "terminalAddress", "baudCode", "settingsCode", "maxMessageLength"},
      {"name", "pagerId", "serviceName"},
      {"name", "memberCount", "members"}};
  const char* kinds[] = {"service", "receiver", "group"};
  const char* files[] = {"TERMTAB.KVT", "USERTAB.KVT", "GROUPTAB.KVT"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(files[i]);
    const fs::path table = outDir / files[i];
    std::string text;
    ASSERT_EQ(
        RunCli("dump " + ShellQuote(table.string()) + " --format json", scratch.path(), &text), 0);
    Json dump;
    ASSERT_NO_THROW(dump = Json::parse(text));
    EXPECT_EQ(dump["file"], Cleaned(table));
    EXPECT_EQ(dump["kind"], kinds[i]);
    EXPECT_EQ(dump["schema"], "9.6.0");
    EXPECT_EQ(dump.contains("memberSlots"), i == 2);
    ASSERT_EQ(dump["records"].size(), dump["recordCount"].get<size_t>());
    EXPECT_EQ(Keys(dump["records"][0]), recordKeys[i]);
  }
}

}  // namespace
}  // namespace mdbtokvt
