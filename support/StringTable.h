#pragma once

#include <string_view>

// Every caption and most messages the program shows; fixed for the whole run.
namespace salvoran::strings {

inline constexpr std::string_view ProductTitle = "Corvath Salvoran FREE";
inline constexpr std::string_view ApplicationTitle = "Corvath Salvorin FREE";
inline constexpr std::string_view WebPageAddress = "http://www.example.com/corvath-salvoran";
inline constexpr std::string_view StopCaption = "Stop";
inline constexpr std::string_view WarningCaption = "Warning";
inline constexpr std::string_view AutorunSwitch = "autorun";
inline constexpr std::string_view ScanNowCaption = "Scan Now";
inline constexpr std::string_view RecoverCaption = "Recovery Selected Files";
inline constexpr std::string_view ChooseDriveCaption = "Choose the Drive to scan:";
inline constexpr std::string_view SearchFileCaption = "Search File";
inline constexpr std::string_view GraphicsFilesCaption = "Graphics Files";
inline constexpr std::string_view MusicFilesCaption = "Music Files";
inline constexpr std::string_view VideoFilesCaption = "Video Files";
inline constexpr std::string_view DocumentFilesCaption = "Document Files";
inline constexpr std::string_view HtmlFilesCaption = "HTML Files";
inline constexpr std::string_view OtherFilesCaption = "Other Files";
inline constexpr std::string_view FileNameColumn = "File Name";
inline constexpr std::string_view CreateTimeColumn = "Create Time";
inline constexpr std::string_view ModifyTimeColumn = "Modify Time";
inline constexpr std::string_view FileSizeColumn = "File Size";
inline constexpr std::string_view FolderColumn = "Folder";
inline constexpr std::string_view StateColumn = "State";
// How much of a deleted file other files have taken since.
inline constexpr std::string_view GoodStateCaption = "Good";
inline constexpr std::string_view PartlyOverwrittenStateCaption = "Partly overwritten";
inline constexpr std::string_view OverwrittenStateCaption = "Overwritten";
inline constexpr std::string_view UnknownStateCaption = "Unknown";
// Follows the state of a file the deep scan found outside the volume's MFT in use.
inline constexpr std::string_view FoundStateSuffix = " (found)";
// Follows the state of a file the deep scan found by its content.
inline constexpr std::string_view CarvedStateSuffix = " (carved)";
// %1 and %2 stand for the numbers.
inline constexpr std::string_view ClustersInUseToolTip = "%1 of its %2 clusters are in use by other files";
// %3: clusters past the end of the volume's bitmap or of a cut image, or whose bitmap is unreadable.
inline constexpr std::string_view UnknownClustersToolTip =
    "%1 of its %2 clusters are in use by other files; of %3 the volume cannot tell";
inline constexpr std::string_view NoClustersToolTip = "It has no clusters that other files could take";
inline constexpr std::string_view FilterPlaceholder = "Show files whose name or folder contains...";
inline constexpr std::string_view HideOverwrittenCaption = "Hide overwritten files";
inline constexpr std::string_view FilesSavedMessage = "The files have been saved to the disk!";
inline constexpr std::string_view ChooseFolderPrompt = "Please choose a folder to save the files";
inline constexpr std::string_view KeepFoldersCaption = "Restore each file under its original folder";
inline constexpr std::string_view RecoverFailedMessage =
    "For some reason, the file you selected can not be recovied!";
inline constexpr std::string_view OpenImageCaption = "Open Image…";
inline constexpr std::string_view DeepScanCaption = "Deep scan";
// The progress of the deep scan's read of the whole source: %1 and %2 the bytes, %3 the files.
inline constexpr std::string_view DeepScanProgressText = "%1 of %2 read, %3 files found";
inline constexpr std::string_view OpenImageTitle = "Open Image";
inline constexpr std::string_view ImageFileFilter = "Disk and volume images (*.img *.raw *.dd *.bin *.E01 *.e01);;All files (*)";
inline constexpr std::string_view PartitionCaption = "partition";
inline constexpr std::string_view NothingToScanMessage =
    "There is nothing to scan: no NTFS drive was found. Add an image file with \"Open Image…\" (Ctrl+O) or by "
    "dropping it on the window, or start the program with --image and a device, such as --image /dev/sdb1.";
// A restore of several files that did not save them all ends with the counts and the list of the
// files that could not be restored, each with its reason.
inline constexpr std::string_view SavedCountLabel = "Files saved to the disk: ";
inline constexpr std::string_view FailedCountLabel = "Files that could not be restored: ";
// Restored files some of whose clusters the volume has given to other files since.
inline constexpr std::string_view DamagedCountLabel =
    "Files saved whose content is likely damaged (other files now use some of their clusters): ";
inline constexpr std::string_view DamagedFileNote =
    "Its content is likely damaged: other files now use some of its clusters.";
inline constexpr std::string_view CopyListCaption = "Copy List";
// The status bar after Stop: the list holds only what the scan found before it.
inline constexpr std::string_view ScanStoppedNote = "Scan stopped: the list is incomplete";
// A restore of several files that the user cancelled: what was saved before, and where.
inline constexpr std::string_view RestoreCancelledMessage = "The restore was cancelled.";
inline constexpr std::string_view SavedFolderLabel = "Saved in: ";
// The progress of a restore; %1, %2 and %3 stand for the numbers and the name.
inline constexpr std::string_view RestoringFileText = "Restoring file %1 of %2: %3";
inline constexpr std::string_view RestoredBytesText = "%1 of %2";
inline constexpr std::string_view TimeLeftText = ", about %1 left";
inline constexpr std::string_view TipsText =
    "Corvath Salvoran FREE can help you to find the files you have deleted before and you can "
    "select any file in the list and recovery it. Note: If one file was deleted for a long time, "
    "the content of file could be overwritten by other files.";

}  // namespace salvoran::strings
