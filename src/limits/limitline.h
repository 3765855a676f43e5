#pragma once

#include <QString>
#include <QVector>

#include <optional>

//! The two bands a limit line belongs to; named "2400" and "900" in files.
enum class LimitBand
{
    Band2400,
    Band900
};

//! Which trace a limit watches: the current sweep, or the maximum of the
//! last `maxSweeps` sweeps.
enum class LimitTrace
{
    Current,
    Max
};

struct LimitPoint
{
    double frequencyMHz = 0;
    double levelDbm = 0;

    bool operator==(const LimitPoint &o) const
    {
        return frequencyMHz == o.frequencyMHz && levelDbm == o.levelDbm;
    }
};

struct LimitLine
{
    static constexpr int MaxMaxSweeps = 100;

    QString name;
    LimitBand band = LimitBand::Band2400;
    QVector<LimitPoint> points; //!< sorted by frequency; equal frequencies make a step
    LimitTrace trace = LimitTrace::Current;
    int maxSweeps = 10; //!< sweeps the max trace covers, 1..MaxMaxSweeps
    double holdSeconds = 2;
    double clearSeconds = 2;
    bool enabled = true;

    //! The line's level at a frequency, or nothing outside its first and
    //! last point, where the line does not check anything.
    std::optional<double> levelAt(double frequencyMHz) const;

    bool operator==(const LimitLine &o) const;
    bool operator!=(const LimitLine &o) const { return !(*this == o); }
};

QString limitBandName(LimitBand band);
std::optional<LimitBand> limitBandFromName(const QString &name);
//! The band's frequency range in MHz, both ends included.
void limitBandRange(LimitBand band, double *lowMHz, double *highMHz);

//! The limit file, a small JSON document other tools may write:
//!   {"limits": [{"name": "Stage mask", "band": "2400",
//!                "points": [[2400.0, -50.0], [2500.0, -50.0]],
//!                "trace": "current", "holdSeconds": 2, "clearSeconds": 2}]}
//! Unknown keys are ignored. "enabled" and "maxSweeps" are optional. An
//! optional "watches" list holds channel watches (see channelwatch.h); a
//! file may hold only watches.
struct ChannelWatch;

namespace LimitFile {

constexpr int MaxLimits = 64;
constexpr int MaxPoints = 1024;
constexpr qint64 MaxFileBytes = 1024 * 1024;
constexpr double MaxSeconds = 3600;
constexpr double MinLevelDbm = -200;
constexpr double MaxLevelDbm = 50;

//! Reads a whole document. On a damaged one returns false, leaves `limits`
//! untouched and names the problem (which limit, which key) in `error`.
bool fromJson(const QByteArray &json, QVector<LimitLine> *limits, QString *error);
//! Also reads the watches; a damaged watch refuses the whole document.
bool fromJson(const QByteArray &json, QVector<LimitLine> *limits, QVector<ChannelWatch> *watches,
              QString *error);
QByteArray toJson(const QVector<LimitLine> &limits);
QByteArray toJson(const QVector<LimitLine> &limits, const QVector<ChannelWatch> &watches);

bool load(const QString &path, QVector<LimitLine> *limits, QString *error);
bool load(const QString &path, QVector<LimitLine> *limits, QVector<ChannelWatch> *watches,
          QString *error);
//! Replaces the file atomically; nobody but the owner may write it.
bool save(const QString &path, const QVector<LimitLine> &limits, QString *error);
bool save(const QString &path, const QVector<LimitLine> &limits,
          const QVector<ChannelWatch> &watches, QString *error);

} // namespace LimitFile
