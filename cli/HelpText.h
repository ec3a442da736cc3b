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
  1  recover: some of the files could not be restored (the others were), or
     with --keep-going were restored with stretches the source could not give;
     cat: the file could not be read whole
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
  salvoran cat disk.img --record 70 | less
  salvoran scan formatted.img --deep       also the files of a lost or old MFT

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
  salvoran info disk.img --deep

Prints, one a line, the boot sector's figures (bytes per sector and per cluster,
file record size, clusters), where the Master File Table (MFT) lies and how many
records it holds. For a disk with a partition table, the table comes first, one
partition a line: its number, its offset in bytes, its size, whether it holds
NTFS, and its label; the figures follow for its only NTFS partition or the one
--partition names. "Repaired from:" says which copy stood in for a damaged
boot sector or MFT head (see 'salvoran scan --help').

With --deep, the whole source is then read once for NTFS boot sectors, and
every volume they name is listed, whether a partition table names it or not:
its offset in bytes from the source's start, its size, its cluster size,
whether its primary boot sector and its backup (in its last sector) are whole
or only one of them, and its label when its $Volume record can be read.)help";

inline constexpr std::string_view InfoDeep = "Then read the whole source for the NTFS volumes in it";

inline constexpr std::string_view Drives = "List the machine's fixed NTFS volumes";
inline constexpr std::string_view DrivesFooter = R"help(Example:
  salvoran drives

Prints one device path a line: the fixed disks and partitions whose file system
is NTFS. Removable, optical and RAM disks are left out; an image file needs no
listing, scan it directly.)help";

inline constexpr std::string_view Scan = "List the deleted files of a volume";
inline constexpr std::string_view ScanJson = "Print one JSON document instead of the listing";
inline constexpr std::string_view ScanSummary = "Print only the counts of records and files";
inline constexpr std::string_view ScanCsv = "Print one CSV row per file, with the fields of --json";
inline constexpr std::string_view ScanDeep = "Then read the whole source for files outside the MFT";
inline constexpr std::string_view ScanBodyfile = "Print a body file for The Sleuth Kit's mactime";
inline constexpr std::string_view FilterName = "Only files whose name matches GLOB (letter case ignored)";
inline constexpr std::string_view FilterFolder = "Only files whose original folder matches GLOB";
inline constexpr std::string_view FilterCategory = "Only files of this category; repeatable";
inline constexpr std::string_view FilterExtension = "Only files with this extension (jpg or .jpg); repeatable";
inline constexpr std::string_view FilterMinSize = "Only files of at least SIZE bytes (K, M, G: 1024s)";
inline constexpr std::string_view FilterMaxSize = "Only files of at most SIZE bytes";
inline constexpr std::string_view FilterModifiedAfter = "Only files modified at or after DATE";
inline constexpr std::string_view FilterModifiedBefore = "Only files modified before DATE";
inline constexpr std::string_view FilterIntact =
    "Only files none of whose clusters another file has taken or the volume cannot tell of";
inline constexpr std::string_view ScanFooter = R"help(Examples:
  salvoran scan /dev/sdb1
  salvoran scan disk.img --summary
  salvoran scan disk.img --json | jq '.files[] | select(.size > 1000000)'
  salvoran scan disk.img --partition 5
  salvoran scan disk.img --name '*.jpg' --folder '/Users/*' --intact
  salvoran scan disk.img --modified-after 2024-05-01 --min-size 1M --csv > files.csv
  salvoran scan disk.img --bodyfile > body.txt && mactime -b body.txt -d
  salvoran scan formatted.img --deep --json > found.json

A disk with several NTFS partitions is not scanned: they are listed instead
(number, offset, size, label) for --partition to choose one.

A volume whose boot sector cannot be read or is damaged is read through its
backup in the volume's last sector; MFT records 0 to 3 that fail their checks
are read from their copies in the MFT mirror ($MFTMirr). A line on stderr says
so, and the JSON's volume carries "repaired_from".

--deep: after the MFT, the whole source (the whole disk, whatever --partition
names) is read once, in large blocks, for two things. NTFS boot sectors: a
volume that no partition table names any more is found. And MFT records that
no MFT in use describes: the old MFT of a quick-formatted volume, the records
left of a volume whose MFT head or boot sectors are lost, the MFT of a lost
partition. Their files are listed with their names, folders, sizes and times,
whether they were deleted or not when that MFT was current, and restore like
the others. Where a volume's boot sectors are gone, its cluster size and start
come from the records themselves: the runs of the MFT's own record, or the
sizes their attributes tell. Files appear as the read goes on; on a terminal,
stderr shows the bytes read and the files found so far.

The same read carves: in the clusters the volume's bitmap marks free (the
whole source, a sector at a time, when the volume cannot be scanned), files
of these types are found by their content and checked against their own
structure: JPEG, PNG, GIF, BMP, PDF, ZIP (docx, xlsx, pptx, odt, epub, jar,
...), MP3, WAV, AVI, MP4, MOV, M4A. A carved file that shares a cluster with
a listed file is dropped, so none repeats one; the rest are listed after the
read as "carved-00012345.jpg" (its first cluster), or with a photo's date
first ("2021-06-13_14-22-05_carved-00003761.jpg", also its modified time),
in no folder. The summary (with --summary, or on stderr after the listing)
says how many were carved and how many candidates were dropped, by type and
reason. A photo broken into pieces is not joined: only whole files are listed.

The listing has a heading per category with its count, such as
"Document Files(3)", under which each deleted file has a line of five columns:
  RECORD     MFT record number: what 'salvoran recover --record' takes; for a
             file found by --deep, its id (f... or c...), which 'recover --id'
             takes, and the line ends with "[Found]" or "[Carved]"
  CREATED    creation time, local time
  MODIFIED   time of the last change, local time
  SIZE       size of the content, in Bytes, KB, MB or GB
  PATH       the folder the file was deleted from and its name on the volume:
             "/Users/ann/notes.txt"; "2019/notes.txt" when the folders above
             2019 are unknown (their records now belong to other files);
             "notes.txt" alone when not even its folder is known
A file whose clusters other files have taken since ends its line with
"[Partly overwritten: 32 of 64 clusters in use]" or "[Overwritten: ...]"; one
some of whose clusters the volume cannot tell of (past the end of its cluster
bitmap or of a cut image) with "[Unknown: 8 of 64 clusters]".

Filters (also for 'recover --all', which then restores exactly the files
that scan lists with the same filters): --name and --folder take shell
patterns (*, ?, [abc]; letter case ignored; in --folder, * also matches /);
--category takes Graphics, Music, Video, Document, Html or Other; --ext an
extension; --min-size and --max-size a size in bytes, or with K, M or G
(1024, 1024^2, 1024^3); --modified-after and --modified-before an ISO date
or date-time in local time (2024-05-01, 2024-05-01T13:30, or UTC with a
final Z: 2024-05-01T13:30:00Z); --intact keeps files none of whose clusters
is in use or unknown. Given several filters, a file must pass them all; a filter given
several times (--ext jpg --ext png) passes any of its values.

--json prints one document with these fields:
  source              SOURCE as given
  volume              partition: number, offset and size in bytes on the
                      disk, or null for a volume on its own; then
                      bytes_per_sector, sectors_per_cluster,
                      bytes_per_cluster, file_record_size, record_count,
                      mft_offset (in bytes from the volume's start);
                      repaired_from: null, or which copy stood in for a
                      damaged original: "backup boot sector", "MFT mirror"
                      (both joined by " and ")
  files               one object per deleted file:
    record              MFT record number
    record_offset       byte offset of the record in the volume (add the
                        partition's offset, or a found file's volume_offset,
                        for its offset on the disk)
    name, extension     the file's name and its extension, full stop included
    category            Graphics, Music, Video, Document, Html or Other
    size                size of the content in bytes
    created, modified   UTC times, ISO 8601
    mft_modified        when the file's MFT record last changed, UTC
    accessed            the last access time, UTC
    folder              the folder it was deleted from, as PATH above shows it:
                        "/" or "/Users/ann" when every folder up to the root
                        is known, "2019/holiday" below a folder whose record
                        another file or folder has taken, "" when not even
                        the parent is known
    clusters            the clusters its content was allocated (holes not
                        counted; 0 for content kept inside its record)
    overwritten_clusters  how many of them the volume marks in use now: 0, the
                        content can come back whole; else that part of it
                        is now another file's
    unknown_clusters    how many of them the volume cannot tell of: past the
                        end of its cluster bitmap or of a cut image, or
                        where the bitmap cannot be read (0: none)
    encrypted           true when the content cannot be restored without the
                        owner's key
    origin              "mft": from the volume's MFT in use; "found": from a
                        record the deep scan found outside it; "carved":
                        found by its content (record and record_offset then
                        0 and its first byte in the source)
    id                  unique within the scan, what 'recover --id' takes:
                        "r70" for record 70 of the MFT in use; "f" and the
                        record's offset in the source in hexadecimal for a
                        found file ("f1a2b400"), followed by "@" and its
                        volume's offset when that is not 0 ("f11c00@100000");
                        "c", the offset of a carved file's first byte in the
                        source, "-" and its length, both hexadecimal
                        ("c3c0000-1f3a")
    volume_offset       a found file: where its volume starts, in bytes from
                        the start of the source; null for the others
    streams             only for files with named streams: one object per
                        stream, with its name and size
  records_scanned     MFT records looked at
  unreadable_records  records that could not be read and were skipped
                      (these two follow the files: each file is written
                      as the scan finds it)

--csv prints a header row, then one row per file with the same fields in the
same order (RFC 4180: fields with commas, quotes or line breaks in double
quotes; streams as their JSON list, empty when there are none). A name or
folder that a spreadsheet would run as a formula, one starting with =, +, -,
@, a tab or a carriage return, gets an apostrophe in front inside quotes:
"'=SUM(A1)". --json and --bodyfile keep it as it is.

--bodyfile prints The Sleuth Kit's body format (MD5|name|inode|mode|UID|GID|
size|atime|mtime|ctime|crtime), one line per file with its path and
" (deleted)" (" (found)" or " (carved)" and its id for a file of --deep), its record number and the
four times of $STANDARD_INFORMATION
in Unix seconds (ctime: the record's change), for a timeline with
'mactime -b FILE'. A | or control character in a name is written as \x7c,
\n, ...

While the scan runs on a terminal, stderr shows the records scanned, the rate
and the time left.)help";

inline constexpr std::string_view Recover = "Restore deleted files into a folder";
inline constexpr std::string_view RecoverRecord = "Record number (from scan) of a file; repeatable";
inline constexpr std::string_view RecoverId = "Id (from scan) of a file; repeatable";
inline constexpr std::string_view RecoverDeep = "With --all: restore the files a deep scan lists";
inline constexpr std::string_view RecoverAll = "Restore every file that scan lists";
inline constexpr std::string_view RecoverOutput = "Folder for the restored files; made if missing";
inline constexpr std::string_view RecoverJson = "Print one JSON document instead of the list";
inline constexpr std::string_view RecoverForce = "Allow an output folder on the source volume";
inline constexpr std::string_view RecoverStream = "Restore this named stream of each --record instead of its content";
inline constexpr std::string_view RecoverKeepFolders = "Put each file in its original folder, made below DIR";
inline constexpr std::string_view RecoverKeepGoing = "Restore unreadable stretches of a file as zeros, and list them";
inline constexpr std::string_view RecoverFooter = R"help(Examples:
  salvoran recover /dev/sdb1 --record 70 --record 71 --output ~/restored
  salvoran recover disk.img --all --output /mnt/usb/restored --json > done.json
  salvoran recover disk.img --record 81 --stream Zone.Identifier --output ~/restored
  salvoran recover formatted.img --id f1a2b400 --id r70 --output ~/restored
  salvoran recover formatted.img --deep --all --ext jpg --output ~/photos
  salvoran recover disk.img --all --ext jpg --intact --keep-folders --output ~/photos

Restored files never replace anything: a name already taken in the output
folder gets "name (2).ext", "name (3).ext" and so on, and names that are not
safe as file names are replaced. An output folder on the volume being recovered
from is refused, since writing there can overwrite the very data being
restored; --force allows it.

With --keep-folders each file goes into a copy of the folder it was deleted
from (scan's folder field) made below the output folder: "/Users/ann" as
DIR/Users/ann; a file whose upper folders are unknown under
"DIR/(path unknown)", as "(path unknown)/2019" for "2019". Folders are made
and opened without following symbolic links: a name in the way that is a link
or a file gets "name (2)", so nothing is ever written outside DIR.

--all takes the filters of scan (see 'salvoran scan --help') and restores
just the files they let through; with --deep, of the files a deep scan lists.

--id takes the ids of a scan's listing: "r70" is --record 70; a found file's
id ("f1a2b400", "f11c00@100000") tells where its record lies, and only that
record and the records it needs (its folders, its extension records) are read
where its MFT is guessed to lie; when one of them is not there, the whole
source is read once, as scan --deep does, to place them. A carved file's id
("c3c0000-1f3a") is a range of the source: it is checked again against its
format there (so read twice) and restored as it stands, without a scan.

A file is restored with what Windows would read: compressed content expanded,
zeros past the point it had been written to, and its modification and access
times (its creation time too on an NTFS volume mounted through ntfs-3g). A
named stream restored with --stream is written as "NAME_STREAM". An encrypted
file, or one whose record another file has partly taken since, fails with its
reason. A file some of whose clusters other files have taken since is still
restored, as what is left may be wanted, and a line on stderr says so:
"warning RECORD PATH: N of its M clusters are in use by other files now ...".

Where the source cannot give some of a file's bytes (unreadable sectors, a
chunk of an E01 image that fails its checksum, an image cut short), the file
fails, naming the bytes: "Failed to read run Data. Bytes 0 to 32767 of the
file could not be read from the source." With --keep-going it is restored
with zeros there instead, and a line on stderr lists them: "warning RECORD
PATH: bytes 0 to 32767 could not be read from the source and were restored
as zeros."; the exit status is then 1.

Each file has a line, "restored RECORD PATH" on stdout or
"failed RECORD NAME: REASON" on stderr; a count of the files restored follows.

--json prints one document: "results", one object per file asked for:
  record    MFT record number
  id        the file's id, as scan lists it
  name      the file's name on the volume
  path      where it was written
  ok        true when every byte was written
  error     why not, or null
  overwritten_clusters  how many of its clusters other files hold now (0: the
            content came back as it was)
  damaged_ranges  with --keep-going, the stretches of the file the source
            could not give, restored as zeros: [{"offset": 0, "length":
            32768}], in bytes from the file's start; [] when none
and, when a signal stopped the restore, "interrupted": its name ("SIGINT").

Ctrl+C, SIGTERM or SIGHUP stop the restore: the file being written is removed,
the files done so far are listed, and a line on stderr says what was done. A
second signal ends a copy stuck on an unresponsive disk at once.

While files are written on a terminal, stderr shows the bytes restored, the
rate and the time left (with --all, the scan's progress comes first).)help";

inline constexpr std::string_view Cat = "Write one deleted file's content to stdout";
inline constexpr std::string_view CatRecord = "Record number (from scan) of the file";
inline constexpr std::string_view CatId = "Id (from scan) of the file: r70, or a carved file's c...";
inline constexpr std::string_view CatDeep = "Take the source whole, as scan --deep does";
inline constexpr std::string_view CatStream = "Write this named stream of the file instead of its content";
inline constexpr std::string_view CatForce = "Write binary content to a terminal too";
inline constexpr std::string_view CatFooter = R"help(Examples:
  salvoran cat disk.img --record 70 | less
  salvoran cat /dev/sdb1 --record 81 > harbor.jpg
  salvoran cat disk.img --record 81 --stream Zone.Identifier
  salvoran cat disk.img --deep --id c3c0000-1f3a > photo.jpg
  salvoran cat evidence.E01 --partition 2 --record 70 | sha256sum

Writes exactly what 'salvoran recover --record N' would restore, and nothing
else: compressed content expanded, zeros past the point Windows had written
and for holes of sparse files, the parts of several records joined. Nothing
is written to any disk, so the content can go straight into another program.
A file some of whose clusters other files have taken since gives what those
clusters hold now.

Content that does not read as text is not written to a terminal, where it
would only garble the screen: redirect it, or pass --force. On failure (the
record is no deleted file, the file is encrypted, a cluster cannot be read) a
line on stderr says why, "failed RECORD NAME: REASON", and the status is 1;
what was written to stdout before a read failed is the start of the file.)help";

inline constexpr std::string_view Debug = "Also write \"Corvath:\" diagnostic lines to stderr";
inline constexpr std::string_view Version = "Print the version and exit";

}  // namespace salvoran::cli::help
