#include "cli/FoundFileFields.h"

#include "cli/JsonText.h"

namespace salvoran::cli {

std::string_view OriginName(FileOrigin origin) {
  switch (origin) {
    case FileOrigin::Found: return "found";
    case FileOrigin::Carved: return "carved";
    case FileOrigin::Mft: break;
  }
  return "mft";
}

std::string FilePath(const FoundFile& file) { return FilePath(file.Folder, ToUtf8(file.Data.FileName)); }

std::string FilePath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  return path += name;
}

void AppendStreamList(std::string& out, const std::vector<NamedStream>& streams) {
  out += '[';
  for (size_t i = 0; i < streams.size(); ++i) {
    out += i == 0 ? "{\"name\": " : ", {\"name\": ";
    AppendJsonString(out, ToUtf8(streams[i].Name));
    out += ", \"size\": " + std::to_string(streams[i].Size) + "}";
  }
  out += ']';
}

}  // namespace salvoran::cli
