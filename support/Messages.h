#pragma once

#include <string_view>

// The fixed messages of the scan and of recovery, beside the string table: one place for every
// text the user reads, so that no copy of a message can drift from the others.
namespace salvoran::messages {

inline constexpr std::string_view OpenToScanFailed = "Fail to open the driver to scan: ";
inline constexpr std::string_view OpenToRecoverFailed = "Fail to open the driver to reovery: ";
inline constexpr std::string_view ReadDriveFailed = "Fail to read data from drive:";
inline constexpr std::string_view NotNtfs = "The current version only support NTFS drive!";
inline constexpr std::string_view ReadMftFailed = "Read MFT:";
inline constexpr std::string_view InvalidMftRecord = "Invalid MFT record!";
inline constexpr std::string_view UnsupportedMft =
    "The current version does not support sparse, encrypted and compressed MFT";
inline constexpr std::string_view MftWithoutRuns =
    "The MFT's own record has no data runs; the volume cannot be scanned.";
inline constexpr std::string_view BadRecordSignature = "Invalid File Record 1!";
inline constexpr std::string_view BadRecordFixup = "Invalid File Record 2!";
inline constexpr std::string_view RecordTaken =
    "Could not recovery the file you selected as the space already taken by another file!";
inline constexpr std::string_view NoDataAttribute = "Error : Unable to get any DataType information";
inline constexpr std::string_view RunReadFailed = "Failed to read run Data.";
// Follow RunReadFailed where the source could not give some of the file's bytes:
// " Bytes 0 to 32767 of the file could not be read from the source."
inline constexpr std::string_view UnreadableBytes = " Bytes ";
inline constexpr std::string_view UnreadableBytesTo = " to ";
inline constexpr std::string_view UnreadableBytesEnd = " of the file could not be read from the source.";
inline constexpr std::string_view CompressedDataDamaged =
    "The file's compressed content is damaged and cannot be decompressed.";
inline constexpr std::string_view EncryptedContent =
    "The file is encrypted: its content cannot be read without its owner's key.";
inline constexpr std::string_view DataSizeBeyondClusters =
    "The file's record is damaged: its size is larger than the clusters allocated to it.";
inline constexpr std::string_view DataSizeBeyondNtfs =
    "The file's record is damaged: its size is larger than any file NTFS can hold on this volume.";
inline constexpr std::string_view DataExtentsGap =
    "The file's record is damaged: the pieces of its data do not join up.";
inline constexpr std::string_view ExtensionReused =
    "Part of the file's record has been taken by another file, so its content cannot be restored whole.";
inline constexpr std::string_view ExtensionUnreadable =
    "Part of the file's record is missing or could not be read, so its content cannot be restored whole.";
inline constexpr std::string_view AttributeListTooLarge =
    "The file's record is damaged: its attribute list is larger than NTFS allows.";
inline constexpr std::string_view NoSuchStream = "The file has no stream of that name.";
// Follows "N of its M clusters" in a restore's warning about a file other files have taken from.
inline constexpr std::string_view OverwrittenWarning =
    "are in use by other files now: what was restored there is theirs, not this file's.";
// Follows "bytes 0 to 32767" in a warning about a file restored with --keep-going.
inline constexpr std::string_view CarvedPastSource = "The carved file reaches past the end of the source.";
inline constexpr std::string_view ZeroedWarning = "could not be read from the source and were restored as zeros.";
inline constexpr std::string_view CannotCreateFile = "Cannot create file";
inline constexpr std::string_view CannotCreateFolder = "Cannot create folder";
// The folder a restore that keeps folders puts the files under whose upper folders are unknown.
inline constexpr std::string_view UnknownFolderName = "(path unknown)";

// A damaged boot sector or MFT head, and the copy NTFS keeps of it that was read instead.
inline constexpr std::string_view RepairedBootSector =
    "The volume's boot sector is damaged: its backup copy at the volume's end was used.";
inline constexpr std::string_view RepairedMftHead =
    "The first records of the volume's MFT are damaged: their copies in the MFT mirror were used.";
// After the message that says why the MFT in use could not be scanned.
inline constexpr std::string_view DeepScanWithoutMft =
    "The deep scan goes on: it reads the whole source for the records that are left.";

// recover --id: the found files asked for cannot all be placed without reading the whole source.
inline constexpr std::string_view IdNeedsDeepScan =
    "Some of the files asked for are not where their MFT was thought to lie: the whole source is read to find them.";

// An E01 image whose set of segment files is not whole.
inline constexpr std::string_view EwfIncomplete =
    "The E01 image is incomplete or damaged: a segment file is missing or cut short. Segments found: ";
inline constexpr std::string_view EwfSegmentsThrough = " to ";

// Why a device the user may not read could not be opened through udisks2 either.
inline constexpr std::string_view UdisksUnavailable = "No udisks2 service is there to open the device for you.";
inline constexpr std::string_view UdisksRefused = "udisks2 did not open the device: ";
inline constexpr std::string_view UdisksUnknownDevice = "udisks2 does not know the device.";
inline constexpr std::string_view DiskGroupAdvice =
    "Run the program as a member of the \"disk\" group, or as root.";

}  // namespace salvoran::messages
