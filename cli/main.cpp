#include <CLI/CLI.hpp>

#include "cli/Commands.h"
#include "cli/HelpText.h"
#include "cli/SourceChoice.h"
#include "support/Diagnostics.h"
#include "udisks/UdisksPluginFallback.h"

using namespace salvoran::cli;

namespace {

// A command's own text, then the exit codes every command shares.
std::string CommandFooter(std::string_view text) {
  return std::string(text) + "\n\n" + std::string(help::ExitStatus);
}

CLI::App* AddCommand(CLI::App& app, const char* name, std::string_view description, std::string_view footer) {
  CLI::App* command = app.add_subcommand(name, std::string(description));
  command->footer(CommandFooter(footer));
  command->group("Commands");
  return command;
}

void AddSource(CLI::App& command, std::string& source) {
  command.add_option("SOURCE", source, std::string(help::Source))->required()->type_name("");
}

void AddDeep(CLI::App& command, bool& deep, std::string_view help) { command.add_flag("--deep", deep, std::string(help)); }

void AddPartition(CLI::App& command, uint32_t& partition) {
  command.add_option("--partition", partition, std::string(help::Partition))
      ->check(CLI::PositiveNumber)
      ->type_name("N");
}

}  // namespace

int main(int argc, char** argv) {
  // A device the user may not read is asked of udisks2, which may ask the user to allow it.
  const salvoran::UdisksPluginFallback udisks(SALVORAN_UDISKS_PLUGIN);
  CLI::App app{std::string(help::Program), "salvoran"};
  app.get_formatter()->label("SUBCOMMAND", "COMMAND");
  app.get_formatter()->label("Positionals", "Arguments");
  app.require_subcommand(1);
  app.footer(CommandFooter(help::ProgramFooter));
  app.set_version_flag("--version", "salvoran " SALVORAN_VERSION, std::string(help::Version));
  bool debug = false;
  app.add_flag("--debug", debug, std::string(help::Debug));
  // Options of the program itself may also follow the command: "salvoran scan disk.img --debug".
  app.fallthrough();

  std::string source;
  uint32_t partition = NoPartitionGiven;
  bool deep = false;
  CLI::App* info = AddCommand(app, "info", help::Info, help::InfoFooter);
  AddSource(*info, source);
  AddPartition(*info, partition);
  AddDeep(*info, deep, help::InfoDeep);

  CLI::App* drives = AddCommand(app, "drives", help::Drives, help::DrivesFooter);

  CLI::App* scan = AddCommand(app, "scan", help::Scan, help::ScanFooter);
  AddSource(*scan, source);
  AddPartition(*scan, partition);
  bool json = false, summary = false, csv = false, bodyfile = false;
  const std::vector<CLI::Option*> formats = {scan->add_flag("--json", json, std::string(help::ScanJson)),
                                             scan->add_flag("--summary", summary, std::string(help::ScanSummary)),
                                             scan->add_flag("--csv", csv, std::string(help::ScanCsv)),
                                             scan->add_flag("--bodyfile", bodyfile, std::string(help::ScanBodyfile))};
  for (CLI::Option* format : formats) {
    for (CLI::Option* other : formats) {
      if (other != format) format->excludes(other);
    }
  }
  AddDeep(*scan, deep, help::ScanDeep);
  FileFilter scanFilter;
  AddFilterOptions(*scan, scanFilter);

  RecoverOptions recover;
  CLI::App* recoverCommand = AddCommand(app, "recover", help::Recover, help::RecoverFooter);
  AddSource(*recoverCommand, recover.Source);
  AddPartition(*recoverCommand, partition);
  CLI::Option* records =
      recoverCommand->add_option("--record", recover.Records, std::string(help::RecoverRecord))->type_name("N");
  CLI::Option* ids = recoverCommand->add_option("--id", recover.Ids, std::string(help::RecoverId))->type_name("ID");
  CLI::Option* all = recoverCommand->add_flag("--all", recover.All, std::string(help::RecoverAll));
  records->excludes(all);
  ids->excludes(all);
  AddDeep(*recoverCommand, recover.Deep, help::RecoverDeep);
  recoverCommand->add_option("--stream", recover.Stream, std::string(help::RecoverStream))
      ->needs(records)
      ->type_name("NAME");
  recoverCommand->add_option("--output", recover.OutputFolder, std::string(help::RecoverOutput))
      ->required()
      ->type_name("DIR");
  recoverCommand->add_flag("--json", recover.Json, std::string(help::RecoverJson));
  recoverCommand->add_flag("--force", recover.Force, std::string(help::RecoverForce));
  recoverCommand->add_flag("--keep-folders", recover.KeepFolders, std::string(help::RecoverKeepFolders));
  recoverCommand->add_flag("--keep-going", recover.KeepGoing, std::string(help::RecoverKeepGoing));
  AddFilterOptions(*recoverCommand, recover.Filter, all);

  CatOptions cat;
  CLI::App* catCommand = AddCommand(app, "cat", help::Cat, help::CatFooter);
  AddSource(*catCommand, cat.Source);
  AddPartition(*catCommand, partition);
  CLI::Option* catRecord =
      catCommand->add_option("--record", cat.Record, std::string(help::CatRecord))->type_name("N");
  CLI::Option* catId = catCommand->add_option("--id", cat.Id, std::string(help::CatId))->type_name("ID");
  catRecord->excludes(catId);
  AddDeep(*catCommand, cat.Deep, help::CatDeep);
  catCommand->add_option("--stream", cat.Stream, std::string(help::CatStream))->type_name("NAME");
  catCommand->add_flag("--force", cat.Force, std::string(help::CatForce));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? AllWell : UsageOrSourceError;
  }
  salvoran::EnableDebugTrace(debug);

  if (*info) return RunInfo(source, partition, deep);
  if (*drives) return RunDrives();
  if (*scan) {
    const ScanOutput output = json       ? ScanOutput::Json
                              : summary  ? ScanOutput::Summary
                              : csv      ? ScanOutput::Csv
                              : bodyfile ? ScanOutput::Bodyfile
                                         : ScanOutput::Listing;
    return RunScan(source, partition, output, scanFilter, deep);
  }
  if (*catCommand) {
    if (catRecord->count() == 0 && cat.Id.empty()) {
      std::fprintf(stderr, "cat: give --record N or --id ID\n");
      return UsageOrSourceError;
    }
    cat.Partition = partition;
    return RunCat(cat);
  }
  recover.Partition = partition;
  if (recover.Records.empty() && recover.Ids.empty() && !recover.All) {
    std::fprintf(stderr, "recover: give --record N or --id ID (one or more), or --all\n");
    return UsageOrSourceError;
  }
  return RunRecover(recover);
}
