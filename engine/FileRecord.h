#pragma once

#include <cstdint>

#include "engine/ByteView.h"

namespace salvoran {

inline constexpr uint16_t RecordInUse = 0x0001;
inline constexpr uint16_t RecordIsDirectory = 0x0002;

// Checks the "FILE" signature and undoes the update-sequence protection in place, one stride
// of bytesPerSector bytes at a time. Throws EngineError "Invalid File Record 1!" for a wrong
// signature and "Invalid File Record 2!" for a torn stride or an update-sequence array that
// does not fit the record.
void ApplyFixups(MutableByteView record, uint32_t bytesPerSector);

// The record's flags word: in use, directory. Only a record whose whole word is 0 is free.
uint16_t RecordFlags(ByteView record);

}  // namespace salvoran
