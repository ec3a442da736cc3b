#pragma once

#include <cstdint>
#include <optional>

#include "engine/ByteView.h"

namespace salvoran {

inline constexpr uint16_t RecordInUse = 0x0001;
inline constexpr uint16_t RecordIsDirectory = 0x0002;

// NTFS protects every 512-byte block of a record, whatever the volume's sector size.
inline constexpr uint32_t UpdateSequenceStride = 512;

// Checks the "FILE" signature and undoes the update-sequence protection in place, one stride
// of UpdateSequenceStride bytes at a time. Throws EngineError "Invalid File Record 1!" for a
// wrong signature and "Invalid File Record 2!" for a torn stride or an update-sequence array
// that does not fit the record.
void ApplyFixups(MutableByteView record);

// The record's flags word: in use, directory. Only a record whose whole word is 0 is free.
uint16_t RecordFlags(ByteView record);

// The MFT index of the base record an extension record belongs to; 0 for a base record.
uint64_t BaseRecordIndex(ByteView record);

// The record's sequence number: raised each time the record is freed, and carried by every file
// reference to it, so a reference to an earlier owner of the record can be told apart.
uint16_t RecordSequence(ByteView record);

// The size of the record whose header starts the bytes, when that header is one NTFS writes:
// the "FILE" signature, one update-sequence entry per 512 bytes and the array before the first
// attribute, an allocated size of exactly that many bytes (a power of two from 512 to 64 KiB),
// and a used size that holds the first attribute's place and fits. Nothing otherwise: what a
// search of a whole disk takes for a record must be one.
std::optional<uint32_t> ClaimedRecordSize(ByteView record);

// The record's own MFT index, which records since NTFS 3.1 carry at 0x2C; nothing for an older
// record, whose update sequence lies where the field would be.
std::optional<uint32_t> RecordNumberField(ByteView record);

// A file reference (base-record field, attribute-list entry) without its sequence number.
inline constexpr uint64_t RecordIndexOfReference(uint64_t reference) { return reference & 0x0000'FFFF'FFFF'FFFFu; }
inline constexpr uint16_t SequenceOfReference(uint64_t reference) { return static_cast<uint16_t>(reference >> 48); }

}  // namespace salvoran
