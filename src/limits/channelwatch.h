#pragma once

#include "limitline.h"

#include <QJsonObject>
#include <QString>

//! A Wi-Fi channel or KiVo ID watched for how busy it is: it alarms when the
//! share of sweeps with any bin in the range above `levelDbm` over the last
//! minute exceeds `dutyPercent`. A watch read from a file or the dialog names
//! its channel (`target`, `channel`); the range follows from it.
struct ChannelWatch
{
    enum Target
    {
        Range,       //!< lowMHz..highMHz as set
        WifiChannel, //!< 2.4 GHz Wi-Fi channel 1..14, centre +- 10 MHz
        KivoId       //!< a KiVo ID of the table, its occupied range
    };

    QString label;
    LimitBand band = LimitBand::Band2400;
    double lowMHz = 0;
    double highMHz = 0;
    double levelDbm = -70;
    double dutyPercent = 50;
    double holdSeconds = 2;
    double clearSeconds = 2;
    bool enabled = true;
    Target target = Range;
    int channel = 0; //!< the Wi-Fi channel or the KiVo ID

    //! Aims the watch at a Wi-Fi channel or KiVo ID; false, unchanged, for
    //! a channel or ID that does not exist.
    bool setTarget(Target target, int channel);
    //! "Wi-Fi 6", "KiVo ID 24010", or the range in MHz.
    QString targetText() const;
    //! Reads targetText()'s forms ("wifi 6", "kivo 24010" too); false with
    //! the reason otherwise.
    bool setTargetText(const QString &text, QString *error);

    bool operator==(const ChannelWatch &o) const;
    bool operator!=(const ChannelWatch &o) const { return !(*this == o); }
};

namespace LimitFile {

constexpr int MaxWatches = 64;

//! One "watches" item: {"name", "band", "wifiChannel" | "kivoId", "percent",
//! "levelDbm", "holdSeconds", "clearSeconds", "enabled"}; "band", "levelDbm",
//! the durations and "enabled" are optional. On failure `error` names the key.
bool readWatch(const QJsonObject &o, ChannelWatch *watch, QString *error);
QJsonObject watchToJson(const ChannelWatch &watch);

} // namespace LimitFile
