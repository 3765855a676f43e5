#pragma once

#include "rfspectrumhistory.h"

#include <QByteArray>
#include <QString>

class QIODevice;

// rtl_power's CSV, the format other spectrum tools read and write: one row
//   date, time, Hz low, Hz high, Hz step, samples, dB, dB, ...
// per sweep (or per part of a sweep: a sweep wider than one hop comes as
// several rows with the same time stamp). hackrf_sweep writes the same
// columns, so one reader takes both.
namespace RtlPowerCsv {

//! The row of one sweep. Value i lies at Hz low + i * Hz step, which is where
//! the scanner measured point i, so readers that derive frequencies that way
//! place every point right; Hz high is Hz low + count * Hz step. Time is
//! local, with milliseconds (sweeps come many a second); "no data" is "nan".
QByteArray exportRow(const RfSpectrumSample &sample, const QwtInterval &frequencyInterval);

//! Every sample of `samples`, one row each, to `device`. False with the
//! system's reason when writing failed.
bool exportSamples(QIODevice &device, const RfSpectrumSampleList &samples,
                   const QwtInterval &frequencyInterval, QString *errorText = nullptr);

//! Writes the file atomically (an older file stays until the new one is
//! complete).
bool exportFile(const QString &filePath, const RfSpectrumSampleList &samples,
                const QwtInterval &frequencyInterval, QString *errorText = nullptr);

struct Import
{
    bool ok = false;
    QString errorText;         //!< why nothing could be imported
    RfSpectrumHistory history; //!< a band history on that band's point grid
    int rowsUsed = 0;
    int rowsSkipped = 0; //!< rows that were short, undated or had no usable frequencies
};

//! Reads rtl_power or hackrf_sweep CSV text. Rows with the same time stamp
//! form one sweep, in whatever order its sub-band rows come; the file must
//! reach into 902-928 MHz or 2400-2500 MHz and its values are placed on that
//! band's point grid: a bin gives its value to every point inside
//! [Hz low + i * Hz step, Hz low + (i + 1) * Hz step), a bin narrower than
//! the point spacing to the point nearest its low edge, and where bins meet
//! on a point the strongest value wins. Values that are not numbers or lie outside
//! -127..127 dB become "no data", as do points no value reached. Counts,
//! Hz high and the samples column are never trusted; nothing is sized from
//! the file.
Import parse(const QByteArray &text);

//! parse() of a file's contents; a file that cannot be read is an error.
Import importFile(const QString &filePath);

//! True when the file name ends in ".csv" (any case).
bool isCsvFileName(const QString &filePath);

} // namespace RtlPowerCsv
