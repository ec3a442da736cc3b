// What salvoran tells of itself: its version, help that shows each command with examples, its
// output fields and exit codes, and the diagnostic trace only when asked for.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/TempDir.h"

namespace salvoran::test {
namespace {

using Json = nlohmann::json;

// The commands that the overview lists under "Commands:".
std::vector<std::string> ListedCommands(const std::string& overview) {
  std::vector<std::string> commands;
  std::istringstream lines(overview.substr(overview.find("\nCommands:\n") + 1));
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line) && !line.empty()) commands.push_back(line.substr(2, line.find(' ', 2) - 2));
  return commands;
}

// Every key of a JSON document, objects inside arrays included.
void CollectKeys(const Json& value, std::set<std::string>& keys) {
  if (value.is_object()) {
    for (const auto& [key, member] : value.items()) {
      keys.insert(key);
      CollectKeys(member, keys);
    }
  } else if (value.is_array()) {
    for (const Json& element : value) CollectKeys(element, keys);
  }
}

void ExpectHelpNamesEveryKey(const std::string& command, const std::string& jsonOutput) {
  const std::string help = RunSalvoran({command, "--help"}).Out;
  std::set<std::string> keys;
  CollectKeys(Json::parse(jsonOutput), keys);
  ASSERT_FALSE(keys.empty());
  for (const std::string& key : keys) {
    EXPECT_TRUE(std::regex_search(help, std::regex("\\b" + key + "\\b"))) << command << " --help lacks " << key;
  }
}

TEST(CliHelp, PrintsTheVersion) {
  const CommandResult version = RunSalvoran({"--version"});
  EXPECT_EQ(version.ExitCode, 0);
  EXPECT_TRUE(std::regex_match(version.Out, std::regex(R"(salvoran \d+\.\d+\.\d+\n)"))) << version.Out;
}

TEST(CliHelp, EveryCommandShowsAnExampleAndTheExitCodes) {
  const CommandResult overview = RunSalvoran({"--help"});
  ASSERT_EQ(overview.ExitCode, 0);
  const std::vector<std::string> commands = ListedCommands(overview.Out);
  EXPECT_EQ(commands, (std::vector<std::string>{"info", "drives", "scan", "recover", "cat"}));
  for (const std::string& command : commands) {
    const CommandResult help = RunSalvoran({command, "--help"});
    EXPECT_EQ(help.ExitCode, 0) << command;
    EXPECT_NE(help.Out.find("\n  salvoran " + command), std::string::npos) << help.Out;
    EXPECT_NE(help.Out.find("Exit status:\n  0  "), std::string::npos) << help.Out;
  }
}

// Help that names every field --json writes: a new field cannot go unexplained.
TEST(CliHelp, ExplainsEveryJsonField) {
  const std::string image = TestImagePath("demo").string();
  const CommandResult scan = RunSalvoran({"scan", image, "--json"});
  ASSERT_EQ(scan.ExitCode, 0) << scan.Err;
  ExpectHelpNamesEveryKey("scan", scan.Out);

  const TempDir output;
  const std::string record = std::to_string(Json::parse(scan.Out)["files"][0]["record"].get<int64_t>());
  const CommandResult recover =
      RunSalvoran({"recover", image, "--record", record, "--record", "1", "--output", output.Path().string(), "--json"});
  ASSERT_EQ(recover.ExitCode, 1) << recover.Err;
  ExpectHelpNamesEveryKey("recover", recover.Out);
}

// Warnings and errors always reach stderr; the "Corvath:" trace only with --debug, which may
// stand before or after the command.
TEST(CliDiagnostics, TraceLinesOnlyWithDebug) {
  const std::string image = TestImagePath("demo").string();
  const CommandResult plain = RunSalvoran({"scan", image});
  ASSERT_EQ(plain.ExitCode, 0);
  EXPECT_EQ(plain.Err, "");
  for (const auto& arguments : {std::vector<std::string>{"scan", image, "--debug"},
                                std::vector<std::string>{"--debug", "scan", image}}) {
    const CommandResult traced = RunSalvoran(arguments);
    EXPECT_EQ(traced.ExitCode, 0);
    EXPECT_EQ(traced.Out, plain.Out);
    EXPECT_NE(traced.Err.find("Corvath:File Record:1024\n"), std::string::npos) << traced.Err;
  }
  const CommandResult failed = RunSalvoran({"scan", TestImagePath("fat32").string()});
  EXPECT_EQ(failed.ExitCode, 2);
  EXPECT_EQ(failed.Err, "The current version only support NTFS drive!\n");
}

}  // namespace
}  // namespace salvoran::test
