#pragma once

#include "rfspectrumhistory.h"

#include <QDataStream>

// The ".vozi" recording is one data stream of a band history: no magic, no
// header, no version field. Files from every release must stay readable, so
// the stream is pinned to version 19 (Qt 5.15), big-endian, 64-bit doubles.
namespace RecordingStream {

//! The stream version every recording is written and read with.
constexpr int StreamVersion = 19;

//! Puts `stream` into the recording's format (version, byte order, doubles).
void prepare(QDataStream &stream);

} // namespace RecordingStream

// The history's layout, field by field. Reading never trusts a stored count:
// every list is read element by element until the count is reached or the
// data ends, and a list whose element failed comes back empty. Before each
// list the stream's status is cleared (outside read transactions) and an
// earlier error is put back afterwards, so later fields are still attempted.
// Damaged data (a negative count, an odd text length, an unknown colour spec)
// ends the reading: the rest of the device is skipped, so every later field
// reads as zero or empty instead of as garbage.
// The operators leave version and byte order alone: call
// RecordingStream::prepare first (RecordingIo does).
QDataStream &operator<<(QDataStream &out, const RfSpectrumHistory &history);
QDataStream &operator>>(QDataStream &in, RfSpectrumHistory &history);
