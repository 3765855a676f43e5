#pragma once

#include "rfspectrumhistory.h"

#include <QByteArray>
#include <QString>

// The autosave journal: what a live page has scanned, appended every few
// seconds while scanning so a crash, a kill or a pulled cable loses little.
// The file is only ever appended to. It starts with a fixed magic and is a
// sequence of records
//   u32 payload length | u8 type | payload | u32 CRC-32 of type and payload
// (big-endian): a header (band interval, amplitude interval, project
// information), batches of sweeps (i64 time stamp, u16 point count, the
// points), and an end record written when the scan was stopped or saved.
// A record that is cut short or fails its CRC ends the reading: everything
// before it is recovered.
namespace ScanJournal {

inline const QByteArray Magic = QByteArrayLiteral("ORVJRNL1");
inline const QString FileSuffix = QStringLiteral(".journal");

enum RecordType : quint8
{
    HeaderRecord = 'H',
    SweepsRecord = 'S',
    EndRecord = 'E'
};

//! CRC-32 (IEEE 802.3, reflected, as zlib computes it).
quint32 crc32(const char *data, qint64 size, quint32 crc = 0);

//! Magic plus a header record for a history's intervals and project info.
QByteArray fileStart(const RfSpectrumHistory &header);
//! One sweep in a batch's payload; appended to `payload`.
void appendSweep(QByteArray &payload, qint64 timeStamp, const RfSpectrumScan &spectrum);
//! A complete record of `type` around `payload`.
QByteArray record(RecordType type, const QByteArray &payload);

struct Contents
{
    bool valid = false;        //!< the magic and a header were there
    bool ended = false;        //!< an end record was read: nothing to recover
    bool damaged = false;      //!< reading stopped at a cut or damaged record
    qint64 usableBytes = 0;    //!< bytes up to the last complete record
    RfSpectrumHistory history; //!< header fields and every recovered sweep
};

//! Reads journal bytes. Never trusts a length beyond the bytes present and
//! allocates nothing a length asks for before the bytes are there.
Contents read(const QByteArray &bytes);
//! read() of a file's contents (mapped, not copied).
Contents readFile(const QString &filePath);

//! $XDG_STATE_HOME/orvanel, or ~/.local/state/orvanel.
QString directory();
//! Creates directory() with mode 0700 (and tightens an existing one). False
//! with the reason when that fails.
bool ensureDirectory(QString *errorText);

} // namespace ScanJournal
