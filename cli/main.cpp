#include <CLI/CLI.hpp>

#include "cli/Commands.h"

using namespace salvoran::cli;

int main(int argc, char** argv) {
  CLI::App app{"salvoran: list the deleted files of an NTFS volume and restore them"};
  app.require_subcommand(1);

  std::string source;
  CLI::App* info = app.add_subcommand("info", "Print the volume's geometry");
  info->add_option("SOURCE", source, "Block device or image file")->required();

  CLI::App* drives = app.add_subcommand("drives", "List the machine's fixed NTFS volumes");

  CLI::App* scan = app.add_subcommand("scan", "List the deleted files of a volume");
  scan->add_option("SOURCE", source, "Block device or image file")->required();
  bool json = false, summary = false;
  CLI::Option* jsonFlag = scan->add_flag("--json", json, "Print one JSON document");
  scan->add_flag("--summary", summary, "Print only counts")->excludes(jsonFlag);

  RecoverOptions recover;
  CLI::App* recoverCommand = app.add_subcommand("recover", "Restore deleted files into a folder");
  recoverCommand->add_option("SOURCE", recover.Source, "Block device or image file")->required();
  CLI::Option* records = recoverCommand->add_option("--record", recover.Records, "MFT record number of a file to restore");
  CLI::Option* all = recoverCommand->add_flag("--all", recover.All, "Restore every listed file");
  records->excludes(all);
  recoverCommand->add_option("--output", recover.OutputFolder, "Folder to write the restored files to")->required();
  recoverCommand->add_flag("--json", recover.Json, "Print one JSON document");
  recoverCommand->add_flag("--force", recover.Force, "Allow an output folder on the source device");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? AllWell : UsageOrSourceError;
  }

  if (*info) return RunInfo(source);
  if (*drives) return RunDrives();
  if (*scan) return RunScan(source, json ? ScanOutput::Json : summary ? ScanOutput::Summary : ScanOutput::Listing);
  if (recover.Records.empty() && !recover.All) {
    std::fprintf(stderr, "recover: give --record N (one or more) or --all\n");
    return UsageOrSourceError;
  }
  return RunRecover(recover);
}
