// The command line as a GNU tool: help per command, usage errors that name
// what is wrong (exit status 2), keywords in any case, counted nouns.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestSupport.h"

namespace mdbtokvt {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out, err;
};

class CommandLineUsage : public testing::Test {
 protected:
  CliRun Run(const std::string& args) {
    const fs::path out = scratch.path() / "out.txt", err = scratch.path() / "err.txt";
    const int raw =
        std::system((std::string(MDBTOKVT_CLI) + " " + args + " >" +
                     test::ShellQuote(out.string()) + " 2>" + test::ShellQuote(err.string()))
                        .c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::ReadFile(out), test::ReadFile(err)};
  }
  // A usage error: status 2, the message on stderr's first line and where
  // to find the help on the second, nothing on stdout.
  void ExpectUsageError(const std::string& args, const std::string& message,
                        const std::string& helpCommand) {
    SCOPED_TRACE(args);
    const CliRun r = Run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "mdbtokvt-cli: " + message + "\nTry 'mdbtokvt-cli " + helpCommand +
                         "--help' for more information.\n");
  }
  std::string Sample() const { return test::ShellQuote(test::TestData("fixtures/sample.abk")); }

  test::TempFolder scratch, folder;
};

TEST_F(CommandLineUsage, EachCommandPrintsItsOwnHelpAndSucceeds) {
  for (const char* command : {"convert", "dump", "verify"}) {
    SCOPED_TRACE(command);
    for (const std::string& args :
         {std::string(command) + " --help", std::string(command) + " a -h extra --bogus",
          std::string("help ") + command}) {
      const CliRun r = Run(args);
      EXPECT_EQ(r.status, 0) << args;
      EXPECT_EQ(r.out.rfind(std::string("Usage: mdbtokvt-cli ") + command + " ", 0), 0u) << r.out;
      EXPECT_EQ(r.err, "");
    }
  }
  const CliRun whole = Run("--help");
  EXPECT_EQ(whole.status, 0);
  EXPECT_NE(whole.out.find("mdbtokvt-cli COMMAND --help"), std::string::npos);
  EXPECT_EQ(Run("--version").out.rfind("mdbtokvt-cli ", 0), 0u);
}

TEST_F(CommandLineUsage, UsageErrorsNameWhatIsWrong) {
  const std::string sample = Sample(), out = test::ShellQuote(folder.str());
  ExpectUsageError("convert " + sample + " " + out + " extra",
                   "convert: unexpected argument 'extra'", "convert ");
  ExpectUsageError("convert " + sample, "convert: missing OUTDIR", "convert ");
  ExpectUsageError("convert", "convert: missing SOURCE and OUTDIR", "convert ");
  ExpectUsageError("dump", "dump: missing FILE.KVT", "dump ");
  ExpectUsageError("verify a b", "verify: unexpected argument 'b'", "verify ");
  ExpectUsageError("verify a --bogus=1", "verify: unknown option '--bogus'", "verify ");
  ExpectUsageError("convert a b --edition", "convert: option '--edition' needs a value",
                   "convert ");
  ExpectUsageError("convert a b --edition lumens",
                   "convert: unknown edition 'lumens' (lumen, vireo, sentel, quorra, or their rows "
                   "0 to 3)",
                   "convert ");
  ExpectUsageError("dump a --format xml", "dump: unknown format 'xml' (text, csv or json)",
                   "dump ");
  ExpectUsageError("--version extra", "--version: unexpected argument 'extra'", "");
  ExpectUsageError("--help extra", "--help: unexpected argument 'extra'", "");
  ExpectUsageError("", "no command given", "");
  ExpectUsageError("frobnicate", "unknown command 'frobnicate'", "");
  ExpectUsageError("--frobnicate", "unknown option '--frobnicate'", "");
  // After "--", what looks like an option is an argument.
  ExpectUsageError("verify a -- --edition", "verify: unexpected argument '--edition'", "verify ");
}

TEST_F(CommandLineUsage, KeywordsInAnyCaseAndCountedNouns) {
  const std::string out = test::ShellQuote(folder.str());
  const CliRun converted = Run("convert " + Sample() + " " + out + " --edition VIREO");
  ASSERT_EQ(converted.status, 0) << converted.err;
  EXPECT_NE(converted.out.find("TERMTAB.KVT: 6 records\n"), std::string::npos) << converted.out;
  const CliRun json =
      Run("dump " + test::ShellQuote((folder.path() / "TERMTAB.KVT").string()) + " --format JSON");
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out.rfind("{", 0), 0u);
  EXPECT_EQ(
      Run("dump " + test::ShellQuote((folder.path() / "TERMTAB.KVT").string()) + " --format=Csv")
          .status,
      0);

  // One record: singular, in every command.
  const CliRun single =
      Run("convert " + test::ShellQuote(test::TestData("fixtures/numeric-columns.mdb")) + " " +
          out + " --edition 1");
  ASSERT_EQ(single.status, 0) << single.err;
  EXPECT_NE(single.out.find("GROUPTAB.KVT: 1 record\n"), std::string::npos) << single.out;
  EXPECT_EQ(Run("verify " + out).out,
            "7 services, 5 receivers, 1 group: the table files fit "
            "together\n");
  const CliRun dumped = Run("dump " + test::ShellQuote((folder.path() / "GROUPTAB.KVT").string()));
  EXPECT_NE(dumped.out.find(", 1 record of 16548 bytes (500 member slots)\n"), std::string::npos)
      << dumped.out;
}

TEST_F(CommandLineUsage, DumpOfAFolderSaysItIsAFolder) {
  const CliRun r = Run("dump " + test::ShellQuote(folder.str()));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error 75: Path/File access error: " + folder.str() +
                       " is a folder, not a table file\n");
}

}  // namespace
}  // namespace mdbtokvt
