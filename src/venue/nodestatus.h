#pragma once

#include <QByteArray>
#include <QString>

//! What a node says about itself on PREFIX/NODE/status (retained JSON):
//!
//!   {"node": "stage-left", "device": "/dev/ttyACM0", "band": "2400",
//!    "plan": {"firstMHz": 2400, "stepKHz": 200, "points": 501},
//!    "version": "1.0.0", "state": "scanning", "time": 1765238400000}
//!
//! "state" is "scanning", "connected" (the scanner is there but not
//! sweeping) or "offline" (no scanner, the node's clean exit, or its last
//! will).
struct NodeStatus
{
    enum State
    {
        Offline,
        Connected,
        Scanning
    };

    QString node;
    QString device;
    QString band = QStringLiteral("2400"); //!< "2400" or "900"
    double firstMHz = 0;
    double stepKHz = 0;
    int points = 0;
    QString version;
    State state = Offline;
    qint64 time = 0; //!< ms since 1970-01-01 UTC when it was said

    static QString stateName(State state);

    QByteArray toJson() const;
    //! False with a reason when `json` is no status object with a known
    //! "state"; the other keys are optional for a reader (older or other
    //! publishers may leave them out). A bare "offline" reads as offline.
    static bool fromJson(const QByteArray &json, NodeStatus *out, QString *reason);
};

//! A node name usable as one topic level and a Prometheus label: 1..64 of
//! letters, digits, '-', '_' and '.'.
bool isValidNodeName(const QString &name);
