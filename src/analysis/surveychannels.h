#pragma once

#include <QString>
#include <QVector>
#include <qwt_interval.h>

//! A frequency range someone could put a link on: a Wi-Fi channel (20 MHz
//! around its centre), a ZigBee channel (2 MHz) or a KiVo ID's plan range.
struct SurveyChannel
{
    enum Kind
    {
        Wifi,
        ZigBee,
        KivoId
    };
    Kind kind = Wifi;
    int number = 0;     //!< channel number, or the KiVo ID
    double lowMHz = 0;  //!< lower edge
    double highMHz = 0; //!< upper edge
    int universes = 0;  //!< KiVo IDs only

    //! "Wi-Fi 6", "ZigBee 15", "KiVo ID 24310".
    QString name() const;
    //! "2427–2447 MHz", edges with up to 6 significant digits.
    QString rangeText() const;
};

//! Wi-Fi 1..14 and ZigBee 11..26 when `band` reaches into 2.4 GHz, then the
//! KiVo IDs whose range overlaps `band` in drawing order. Channels wholly
//! outside the band are left out.
QVector<SurveyChannel> surveyChannels(const QwtInterval &band);
