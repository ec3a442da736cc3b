#pragma once

#include <QDBusConnection>
#include <map>
#include <optional>
#include <string>

#include "engine/RawVolume.h"

namespace salvoran {

// Asks udisks2 for read-only descriptors of block devices this process may not open itself, as
// disk utilities do: udisks2 runs as root and asks polkit, which may ask the user to allow it.
class UdisksClient {
 public:
  explicit UdisksClient(QDBusConnection bus);
  ~UdisksClient();
  UdisksClient(const UdisksClient&) = delete;
  UdisksClient& operator=(const UdisksClient&) = delete;

  // A descriptor of the device open for reading only, owned by the caller, or why there is none.
  GrantedDescriptor OpenForReading(const std::string& devicePath);

 private:
  GrantedDescriptor AskUdisks(const std::string& devicePath);

  // A device node as it was when udisks2 opened it. A disk unplugged and another plugged in gets
  // a new node, even under the same name and number.
  struct NodeIdentity {
    unsigned long FileSystem = 0;
    unsigned long Inode = 0;
    unsigned long Device = 0;
    bool operator==(const NodeIdentity&) const = default;
  };
  struct Grant {
    int Descriptor = -1;
    NodeIdentity Node;
  };
  static std::optional<NodeIdentity> IdentityOf(const std::string& devicePath);

  QDBusConnection bus_;
  // One grant per device node for the client's life: recovery opens the volume again for every
  // file it restores, and each new request could ask the user again.
  std::map<std::string, Grant> granted_;
};

}  // namespace salvoran
