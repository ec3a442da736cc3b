#pragma once

#include <string_view>

// What --help prints after a command's options: examples, what the output means and the exit
// codes. One block per command, so that a new option adds its lines beside the others; the manual
// page is made from the same help.
namespace salvoran::cli::help {

inline constexpr std::string_view Program = "salvoran: list the deleted files of an NTFS volume and restore them";

inline constexpr std::string_view Source = "A block device, or an image file (raw or E01); only ever read";
inline constexpr std::string_view Partition = "The partition to use, for a disk with a partition table";

inline constexpr std::string_view ExitStatus = R"help(Exit status:
  0  all went well
  1  recover: some of the files could not be restored (the others were)
  2  bad usage, or a source that cannot be opened or is not NTFS
  128 + N  recover: stopped by signal N (130 Ctrl+C, 143 SIGTERM, 129 SIGHUP);
     the file being written was removed)help";

inline constexpr std::string_view ProgramFooter = R"help(Examples:
  salvoran drives                          the machine's fixed NTFS volumes
  salvoran scan /dev/sdb1                  its deleted files, by category
  salvoran scan disk.img --json > files.json
  salvoran scan evidence.E01 --partition 2
  salvoran recover disk.img --record 70 --output ~/restored
  salvoran recover /dev/sdb1 --all --output /mnt/usb/restored

SOURCE, the volume to look at, is a block device or an image file: a raw image
made with dd, or an E01 image (name the .E01 file; .E02 and the rest are found
beside it). It is only ever read. A whole disk, or an image of one, is read
through its MBR or GPT partition table: its only NTFS partition, or the one
--partition names. A device you may not read (neither root nor in the disk
group) is opened read-only through udisks2, which may ask for your password.

'salvoran COMMAND --help' tells more: a command's output, fields and examples.)help";

inline constexpr std::string_view Info = "Print the volume's geometry, and a disk's partition table";
inline constexpr std::string_view InfoFooter = R"help(Examples:
  salvoran info /dev/sdb1
  salvoran info disk.img --partition 2

Prints, one a line, the boot sector's figures (bytes per sector and per cluster,
file record size, clusters), where the Master File Table (MFT) lies and how many
records it holds. For a disk with a partition table, the table comes first, one
partition a line: its number, its offset in bytes, its size, whether it holds
NTFS, and its label; the figures follow for its only NTFS partition or the one
--partition names.)help";

inline constexpr std::string_view Drives = "List the machine's fixed NTFS volumes";
inline constexpr std::string_view DrivesFooter = R"help(Example:
  salvoran drives

Prints one device path a line: the fixed disks and partitions whose file system
is NTFS. Removable, optical and RAM disks are left out; an image file needs no
listing, scan it directly.)help";

inline constexpr std::string_view Scan = "List the deleted files of a volume";
inline constexpr std::string_view ScanJson = "Print one JSON document instead of the listing";
inline constexpr std::string_view ScanSummary = "Print only the counts of records and files";
inline constexpr std::string_view ScanFooter = R"help(Examples:
  salvoran scan /dev/sdb1
  salvoran scan disk.img --summary
  salvoran scan disk.img --json | jq '.files[] | select(.size > 1000000)'
  salvoran scan disk.img --partition 5

A disk with several NTFS partitions is not scanned: they are listed instead
(number, offset, size, label) for --partition to choose one.

The listing has a heading per category with its count, such as
"Document Files(3)", under which each deleted file has a line of five columns:
  RECORD     MFT record number: what 'salvoran recover --record' takes
  CREATED    creation time, local time
  MODIFIED   time of the last change, local time
  SIZE       size of the content, in Bytes, KB, MB or GB
  NAME       the file's name on the volume

--json prints one document with these fields:
  source              SOURCE as given
  volume              partition: number, offset and size in bytes on the
                      disk, or null for a volume on its own; then
                      bytes_per_sector, sectors_per_cluster,
                      bytes_per_cluster, file_record_size, record_count,
                      mft_offset (in bytes from the volume's start)
  records_scanned     MFT records looked at
  unreadable_records  records that could not be read and were skipped
  files               one object per deleted file:
    record              MFT record number
    record_offset       byte offset of the record in the volume (add the
                        partition's offset for one on the disk)
    name, extension     the file's name and its extension, full stop included
    category            Graphics, Music, Video, Document, Html or Other
    size                size of the content in bytes
    created, modified   UTC times, ISO 8601
    encrypted           true when the content cannot be restored without the
                        owner's key
    streams             only for files with named streams: one object per
                        stream, with its name and size

While the scan runs on a terminal, stderr shows the records scanned, the rate
and the time left.)help";

inline constexpr std::string_view Recover = "Restore deleted files into a folder";
inline constexpr std::string_view RecoverRecord = "Record number (from scan) of a file; repeatable";
inline constexpr std::string_view RecoverAll = "Restore every file that scan lists";
inline constexpr std::string_view RecoverOutput = "Folder for the restored files; made if missing";
inline constexpr std::string_view RecoverJson = "Print one JSON document instead of the list";
inline constexpr std::string_view RecoverForce = "Allow an output folder on the source volume";
inline constexpr std::string_view RecoverStream = "Restore this named stream of each --record instead of its content";
inline constexpr std::string_view RecoverFooter = R"help(Examples:
  salvoran recover /dev/sdb1 --record 70 --record 71 --output ~/restored
  salvoran recover disk.img --all --output /mnt/usb/restored --json > done.json
  salvoran recover disk.img --record 81 --stream Zone.Identifier --output ~/restored

Restored files never replace anything: a name already taken in the output
folder gets "name (2).ext", "name (3).ext" and so on, and names that are not
safe as file names are replaced. An output folder on the volume being recovered
from is refused, since writing there can overwrite the very data being
restored; --force allows it.

A file is restored with what Windows would read: compressed content expanded,
zeros past the point it had been written to. A named stream restored with
--stream is written as "NAME_STREAM". An encrypted file, or one whose record
another file has partly taken since, fails with its reason.

Each file has a line, "restored RECORD PATH" on stdout or
"failed RECORD NAME: REASON" on stderr; a count of the files restored follows.

--json prints one document: "results", one object per file asked for:
  record    MFT record number
  name      the file's name on the volume
  path      where it was written
  ok        true when every byte was written
  error     why not, or null
and, when a signal stopped the restore, "interrupted": its name ("SIGINT").

Ctrl+C, SIGTERM or SIGHUP stop the restore: the file being written is removed,
the files done so far are listed, and a line on stderr says what was done. A
second signal ends a copy stuck on an unresponsive disk at once.

While files are written on a terminal, stderr shows the bytes restored, the
rate and the time left (with --all, the scan's progress comes first).)help";

inline constexpr std::string_view Debug = "Also write \"Corvath:\" diagnostic lines to stderr";
inline constexpr std::string_view Version = "Print the version and exit";

}  // namespace salvoran::cli::help
