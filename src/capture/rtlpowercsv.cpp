#include "rtlpowercsv.h"

#include "capturelog.h"
#include "pointgrid.h"
#include "savefile.h"

#include <QDateTime>
#include <QFile>

#include <cmath>
#include <cstring>
#include <limits>

Q_LOGGING_CATEGORY(lcCapture, "orvanel.capture", QtInfoMsg)

namespace RtlPowerCsv {

namespace {

// Values an amplitude byte can hold; -128 is "no data".
constexpr int MinLevel = -127;
constexpr int MaxLevel = 127;
constexpr qint8 NoData = -128;

constexpr double MHz = 1e6;

void appendNumber(QByteArray &out, double v)
{
    if (v == std::floor(v) && std::abs(v) < 1e15)
        out += QByteArray::number(static_cast<qint64>(v));
    else
        out += QByteArray::number(v, 'f', 2);
}

struct Row
{
    qint64 timeMs = 0;
    double lowHz = 0;
    double stepHz = 0;
    QList<QByteArray> fields; //!< all columns; values from index 6
};

bool parseTime(const QByteArray &date, const QByteArray &time, qint64 *ms)
{
    const QDate d = QDate::fromString(QString::fromLatin1(date), QStringLiteral("yyyy-MM-dd"));
    const int dot = time.indexOf('.');
    const QByteArray hms = dot < 0 ? time : time.left(dot);
    QTime t = QTime::fromString(QString::fromLatin1(hms), QStringLiteral("HH:mm:ss"));
    if (!d.isValid() || !t.isValid())
        return false;
    if (dot >= 0) {
        // Any number of fraction digits (hackrf_sweep writes microseconds).
        QByteArray frac = time.mid(dot + 1).left(3);
        for (char c : frac)
            if (c < '0' || c > '9')
                return false;
        while (frac.size() < 3)
            frac += '0';
        t = t.addMSecs(frac.toInt());
    }
    *ms = QDateTime(d, t, Qt::LocalTime).toMSecsSinceEpoch();
    return true;
}

bool parseRow(const QByteArray &line, Row *row)
{
    row->fields = line.split(',');
    if (row->fields.size() < 7)
        return false;
    for (QByteArray &f : row->fields)
        f = f.trimmed();
    bool okLow = false, okStep = false;
    row->lowHz = row->fields.at(2).toDouble(&okLow);
    row->stepHz = row->fields.at(4).toDouble(&okStep);
    if (!okLow || !okStep || !std::isfinite(row->lowHz) || !std::isfinite(row->stepHz) ||
        row->lowHz < 0 || !(row->stepHz > 0))
        return false;
    return parseTime(row->fields.at(0), row->fields.at(1), &row->timeMs);
}

qint8 level(const QByteArray &field)
{
    bool ok = false;
    const double v = field.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < MinLevel || v > MaxLevel)
        return NoData;
    return static_cast<qint8>(std::lround(v));
}

//! Calls `each` for every usable row, in file order; counts the others.
template <class F> void forEachRow(const QByteArray &text, int *skipped, F each)
{
    int pos = 0;
    Row row;
    while (pos < text.size()) {
        int end = text.indexOf('\n', pos);
        if (end < 0)
            end = text.size();
        const QByteArray line = text.mid(pos, end - pos).trimmed();
        pos = end + 1;
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (parseRow(line, &row))
            each(row);
        else
            ++*skipped;
    }
}

} // namespace

bool isCsvFileName(const QString &filePath)
{
    return filePath.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}

namespace {

//! Writes rows of one history: the grid columns and the date-time text are
//! made once (per second for the time), the values straight into the buffer.
class RowWriter
{
public:
    explicit RowWriter(const QwtInterval &frequencyInterval) : m_interval(frequencyInterval) {}

    void append(QByteArray &out, const RfSpectrumSample &sample)
    {
        const int n = sample.spectrum.size();
        if (n != m_points) {
            const PointGrid grid = PointGrid::forHistory(m_interval, n);
            m_columns = ", ";
            appendNumber(m_columns, grid.startHz);
            m_columns += ", ";
            appendNumber(m_columns, grid.startHz + n * grid.stepHz);
            m_columns += ", ";
            appendNumber(m_columns, grid.stepHz);
            m_columns += ", 1";
            m_points = n;
        }
        const qint64 second = sample.timeStamp - ((sample.timeStamp % 1000) + 1000) % 1000;
        if (second != m_second || m_dateTime.isEmpty()) {
            m_second = second;
            m_dateTime = QDateTime::fromMSecsSinceEpoch(second, Qt::LocalTime)
                             .toString(QStringLiteral("yyyy-MM-dd, HH:mm:ss."))
                             .toLatin1();
        }
        const int ms = int(sample.timeStamp - second);
        const int start = out.size();
        out.resize(start + m_dateTime.size() + 3 + m_columns.size() + n * 6 + 1);
        char *p = out.data() + start;
        memcpy(p, m_dateTime.constData(), size_t(m_dateTime.size()));
        p += m_dateTime.size();
        *p++ = char('0' + ms / 100);
        *p++ = char('0' + ms / 10 % 10);
        *p++ = char('0' + ms % 10);
        memcpy(p, m_columns.constData(), size_t(m_columns.size()));
        p += m_columns.size();
        for (qint8 v : sample.spectrum) {
            *p++ = ',';
            *p++ = ' ';
            if (v == NoData) {
                memcpy(p, "nan", 3);
                p += 3;
                continue;
            }
            int x = v;
            if (x < 0) {
                *p++ = '-';
                x = -x;
            }
            if (x >= 100)
                *p++ = char('0' + x / 100);
            if (x >= 10)
                *p++ = char('0' + x / 10 % 10);
            *p++ = char('0' + x % 10);
        }
        *p++ = '\n';
        out.truncate(int(p - out.constData()));
    }

private:
    QwtInterval m_interval;
    int m_points = -1;
    QByteArray m_columns; //!< ", low, high, step, samples"
    qint64 m_second = 0;
    QByteArray m_dateTime; //!< "yyyy-MM-dd, HH:mm:ss." of m_second
};

} // namespace

QByteArray exportRow(const RfSpectrumSample &sample, const QwtInterval &frequencyInterval)
{
    QByteArray out;
    RowWriter(frequencyInterval).append(out, sample);
    return out;
}

bool exportSamples(QIODevice &device, const RfSpectrumSampleList &samples,
                   const QwtInterval &frequencyInterval, QString *errorText)
{
    RowWriter writer(frequencyInterval);
    QByteArray chunk;
    chunk.reserve((1 << 20) + 8192);
    for (const RfSpectrumSample &s : samples) {
        writer.append(chunk, s);
        if (chunk.size() < (1 << 20))
            continue;
        if (device.write(chunk) != chunk.size()) {
            if (errorText)
                *errorText = device.errorString();
            return false;
        }
        chunk.resize(0);
    }
    if (!chunk.isEmpty() && device.write(chunk) != chunk.size()) {
        if (errorText)
            *errorText = device.errorString();
        return false;
    }
    return true;
}

bool exportFile(const QString &filePath, const RfSpectrumSampleList &samples,
                const QwtInterval &frequencyInterval, QString *errorText)
{
    SaveFile file(filePath);
    if (!file.open()) {
        if (errorText)
            *errorText = file.reason();
        return false;
    }
    // exportSamples() says itself why it stopped.
    if (!exportSamples(file.device(), samples, frequencyInterval, errorText)) {
        file.cancel();
        return false;
    }
    if (!file.commit()) {
        if (errorText)
            *errorText = file.reason();
        return false;
    }
    return true;
}

Import parse(const QByteArray &text)
{
    Import result;

    // First pass: which band the values reach into.
    double lowest = std::numeric_limits<double>::infinity();
    double highest = -lowest;
    int skipped = 0;
    forEachRow(text, &skipped, [&](const Row &row) {
        const int values = row.fields.size() - 6;
        lowest = std::min(lowest, row.lowHz);
        highest = std::max(highest, row.lowHz + values * row.stepHz);
    });
    if (!(lowest <= highest)) {
        result.errorText = QObject::tr("The file holds no rtl_power or hackrf_sweep rows");
        return result;
    }
    PointGrid grid;
    for (const double probe : {915.0, 2450.0}) {
        const PointGrid candidate = PointGrid::forBandContaining(probe);
        const double bandLow = candidate.frequencyHz(0) - candidate.stepHz / 2;
        const double bandHigh = candidate.frequencyHz(candidate.points - 1) + candidate.stepHz / 2;
        if (highest >= bandLow && lowest <= bandHigh) {
            grid = candidate;
            break;
        }
    }
    if (!grid.isValid()) {
        result.errorText = QObject::tr("The file covers %1 to %2 MHz, outside the 900 MHz and "
                                       "2.4 GHz bands")
                               .arg(lowest / MHz, 0, 'f', 3)
                               .arg(highest / MHz, 0, 'f', 3);
        return result;
    }

    // Second pass: rows of one time stamp make one sweep.
    RfSpectrumHistory &h = result.history;
    h.frequencyInterval = grid.bandInterval();
    h.amplitudeInterval = QwtInterval(-100, -30); // what a live page shows
    const RfSpectrumScan empty(grid.points, NoData);
    bool open = false;
    bool landed = false; //!< a value of the open sweep lay on the grid
    qint64 openTime = 0;
    RfSpectrumScan current;
    skipped = 0;
    auto closeSweep = [&] {
        if (!open || !landed)
            return;
        // Sample times never decrease in a history; an out-of-order row
        // keeps the time of the sweep before it.
        qint64 t = openTime;
        if (!h.samples.isEmpty() && t < h.samples.constLast().timeStamp)
            t = h.samples.constLast().timeStamp;
        h.samples.append(RfSpectrumSample(t, current));
        open = false;
    };
    forEachRow(text, &skipped, [&](const Row &row) {
        if (!open || row.timeMs != openTime) {
            closeSweep();
            open = true;
            openTime = row.timeMs;
            current = empty;
            landed = false;
        }
        bool rowLanded = false;
        const int values = row.fields.size() - 6;
        // A bin at least as wide as the point spacing covers every point in
        // [low, low + step); a narrower one may cover none, so it goes to the
        // point nearest its low edge. Overlaps keep the strongest value.
        const bool wide = row.stepHz >= grid.stepHz * (1 - 1e-9);
        for (int i = 0; i < values; ++i) {
            const double f = row.lowHz + i * row.stepHz;
            const double at = (f - grid.startHz) / grid.stepHz;
            double first = std::round(at);
            double last = first;
            if (wide) {
                first = std::ceil(at - 1e-6);
                last = std::ceil(at + row.stepHz / grid.stepHz - 1e-6) - 1;
            }
            first = std::max(first, 0.0);
            last = std::min(last, double(grid.points - 1));
            if (!(first <= last))
                continue;
            rowLanded = true;
            const qint8 v = level(row.fields.at(6 + i));
            for (int j = static_cast<int>(first); j <= static_cast<int>(last); ++j) {
                if (v > current[j])
                    current[j] = v;
            }
        }
        landed = landed || rowLanded;
        if (rowLanded)
            ++result.rowsUsed;
        else
            ++skipped;
    });
    closeSweep();
    result.rowsSkipped = skipped;
    if (h.samples.isEmpty()) {
        result.errorText = QObject::tr("No value of the file lies on the band's frequencies");
        return result;
    }
    result.ok = true;
    if (skipped > 0)
        qCWarning(lcCapture) << "CSV import skipped" << skipped << "unusable rows";
    return result;
}

Import importFile(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        Import result;
        result.errorText = file.errorString();
        return result;
    }
    // Mapped, not read: an hour of sweeps is tens of megabytes.
    const qint64 size = file.size();
    if (size > std::numeric_limits<int>::max()) {
        Import result;
        result.errorText = QObject::tr("The file is too large to import");
        return result;
    }
    if (uchar *mapped = size > 0 ? file.map(0, size) : nullptr) {
        const Import result =
            parse(QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), int(size)));
        file.unmap(mapped);
        return result;
    }
    return parse(file.readAll());
}

} // namespace RtlPowerCsv
