#pragma once

#include <QVector>
#include <QtGlobal>

//! One sweep: a signed dBm level per frequency point, lowest frequency first;
//! -128 means no data. Handed on exactly as the scanner sent it; QVector<qint8>
//! is a built-in meta-type container, so the alias needs no declaration of its own.
using RfSpectrumScan = QVector<qint8>;

//! The level that stands for "no data" in a sweep.
constexpr qint8 NoDataLevel = -128;
