#pragma once

#include "projectinfodata.h"
#include "rfspectrumscan.h"
#include "wifiapinfo.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QPointF>
#include <QString>
#include <QVector>
#include <qwt_interval.h>

#include <limits>

//! later - earlier in ms, saturated at the ends of qint64: a damaged
//! recording can hold any time stamps, and their distance must not overflow.
inline qint64 timeSpanMs(qint64 later, qint64 earlier)
{
    qint64 span = 0;
    if (__builtin_sub_overflow(later, earlier, &span))
        return later < earlier ? std::numeric_limits<qint64>::min()
                               : std::numeric_limits<qint64>::max();
    return span;
}

//! One sweep in a band history.
struct RfSpectrumSample
{
    qint64 timeStamp = 0;    //!< ms since 1970-01-01 UTC, as delivered with the sweep
    RfSpectrumScan spectrum; //!< bin levels, dBm, -128 = no data
    WifiScan wifiNetworks;   //!< networks attached to this moment; empty on 900 MHz

    RfSpectrumSample() = default;
    RfSpectrumSample(qint64 t, const RfSpectrumScan &s, const WifiScan &w = WifiScan())
        : timeStamp(t), spectrum(s), wifiNetworks(w)
    {
    }

    //! All three fields equal (bin by bin, network by network).
    bool operator==(const RfSpectrumSample &o) const
    {
        return timeStamp == o.timeStamp && spectrum == o.spectrum && wifiNetworks == o.wifiNetworks;
    }
    bool operator!=(const RfSpectrumSample &o) const { return !(*this == o); }
};
Q_DECLARE_TYPEINFO(RfSpectrumSample, Q_MOVABLE_TYPE);
Q_DECLARE_METATYPE(RfSpectrumSample)

using RfSpectrumSampleList = QVector<RfSpectrumSample>;

//! A note pinned to a moment of the waterfall.
struct TimeEvent
{
    QDateTime time; //!< millisecond resolution, made from ms since the epoch
    QString text;

    TimeEvent() = default;
    TimeEvent(const QDateTime &t, const QString &s) : time(t), text(s) {}

    //! Equal when both the moment and the text are equal.
    bool operator==(const TimeEvent &o) const { return time == o.time && text == o.text; }
    bool operator!=(const TimeEvent &o) const { return !(*this == o); }
};
Q_DECLARE_METATYPE(TimeEvent)

//! A note pinned to a point of the spectrum plot.
struct SpectroLabel
{
    QPointF position; //!< x = frequency MHz, y = level dBm
    QString text;

    SpectroLabel() = default;
    SpectroLabel(const QPointF &p, const QString &s) : position(p), text(s) {}

    //! Equal texts and positions equal coordinate by coordinate under
    //! fuzzyEqual(); a label read back from a recording matches the one shown.
    bool operator==(const SpectroLabel &o) const;
    bool operator!=(const SpectroLabel &o) const { return !(*this == o); }

    //! |a - b| * 1e12 <= min(|a|, |b|); when either is exactly 0, |a - b| <= 1e-12.
    static bool fuzzyEqual(double a, double b);
};
Q_DECLARE_METATYPE(SpectroLabel)

//! A band page's whole record; recordings store these fields in this order.
struct RfSpectrumHistory
{
    QwtInterval frequencyInterval;     //!< MHz; default invalid (0, -1)
    QwtInterval amplitudeInterval;     //!< dBm; default invalid (0, -1)
    RfSpectrumSampleList samples;      //!< oldest first; time stamps never decrease
    QList<TimeEvent> timeEvents;       //!< in the order added
    QList<SpectroLabel> spectroLabels; //!< in the order added
    ProjectInfoData projectInfo;

    bool operator==(const RfSpectrumHistory &o) const
    {
        return frequencyInterval == o.frequencyInterval &&
               amplitudeInterval == o.amplitudeInterval && samples == o.samples &&
               timeEvents == o.timeEvents && spectroLabels == o.spectroLabels &&
               projectInfo == o.projectInfo;
    }
    bool operator!=(const RfSpectrumHistory &o) const { return !(*this == o); }
};
Q_DECLARE_METATYPE(RfSpectrumHistory)

//! Registers the history's value types (and "RfSpectrumScan", "WifiScan") for
//! queued connections and QSignalSpy. Safe to call more than once.
void registerSpectrumMetaTypes();
