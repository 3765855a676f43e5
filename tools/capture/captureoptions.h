#pragma once

#include "channelwatch.h"
#include "limitline.h"
#include "projectinfodata.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

//! orvanel-capture's command line.
struct CaptureOptions
{
    QString port;            //!< empty: find the scanner as the program does
    int band = 2400;         //!< 2400 or 900
    qint64 durationMs = 0;   //!< 0: until SIGINT or SIGTERM
    int rbw = -1;            //!< register value, used when 32..255
    double fStepKHz = -1;    //!< used when positive
    QString outPath;         //!< the recording, ".vozi" appended when missing
    QString csvPath;         //!< also rtl_power CSV when set
    ProjectInfoData project; //!< stored in the recording
    bool survey = false;     //!< print channel utilization, the recommendation, bursts
    QString reportPath;      //!< also the survey report as HTML when set
    QString inputPath;       //!< a recording or CSV to survey instead of capturing
    QString publishUrl;      //!< mqtt[s]://HOST[:PORT]/PREFIX to publish to
    QString node;            //!< this node's name under the prefix
    QString mqttUserFile;    //!< secrets come from files or the environment only
    QString mqttPasswordFile;
    QString mqttCaFile;
    QString metricsAddress;        //!< [ADDR:]PORT to serve /metrics on
    QString limitsPath;            //!< limit lines to raise alarms from
    QVector<LimitLine> limits;     //!< read from limitsPath while parsing
    QVector<ChannelWatch> watches; //!< the same file's channel watches
    QString onAlarm;               //!< command run for every alarm start and end
    bool help = false;

    //! A node publishes or serves metrics; it need not record.
    bool isNode() const { return !publishUrl.isEmpty() || !metricsAddress.isEmpty(); }

    //! False with a message on a bad or missing option.
    bool parse(const QStringList &arguments, QString *error);

    //! The band's parameter set with --rbw and --fstep applied.
    QVariantMap scanParameters() const;

    //! "90", "90s", "10m", "1h", "1h30m" -> milliseconds; -1 when not a
    //! positive duration.
    static qint64 parseDuration(const QString &text);

    static QString helpText();
};
