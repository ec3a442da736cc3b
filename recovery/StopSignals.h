#pragma once

namespace salvoran {

// From here on Ctrl+C (SIGINT), SIGTERM and SIGHUP ask the restore to stop instead of killing the
// process: the copy under way stops at its next chunk and removes its temporary file, so nothing
// half-written stays. A second such signal, for a copy stuck on a dead disk, removes the
// unfinished file at once and ends the process with status 128 + the signal's number. wakeFd,
// when not -1, gets one byte per signal, for an event loop to notice.
void InstallStopSignals(int wakeFd = -1);

// A file-size limit (ulimit -f) then fails the write that passes it (EFBIG) instead of killing
// the process, so one file fails and the others are still restored.
void IgnoreFileSizeSignal();

}  // namespace salvoran
