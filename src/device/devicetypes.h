#pragma once

#include "rfspectrumscan.h"

#include <QMetaType>
#include <QVector>
#include <QtGlobal>

//! One selectable resolution bandwidth of the radio.
struct RfParamsEntry
{
    double rbw = 0;  //!< resolution bandwidth as reported
    int ifValue = 0; //!< unsigned 16-bit
    int setting = 0; //!< unsigned 8-bit register setting

    bool operator==(const RfParamsEntry &o) const
    {
        return rbw == o.rbw && ifValue == o.ifValue && setting == o.setting;
    }
};

//! The radio's resolution-bandwidth table for one band.
struct RfParams
{
    int sweepCount = 0; //!< unsigned 16-bit
    QVector<RfParamsEntry> entries;

    bool operator==(const RfParams &o) const
    {
        return sweepCount == o.sweepCount && entries == o.entries;
    }
};

Q_DECLARE_METATYPE(RfParamsEntry)
Q_DECLARE_METATYPE(RfParams)

//! Registers the types that cross from the communication thread to the GUI
//! thread ("RfParams", "RfSpectrumScan" and its vector type). Call once at
//! start-up, before the first device session is made; calling it again is
//! harmless.
void registerDeviceMetaTypes();
