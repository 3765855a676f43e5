#include "recordingstream.h"

#include <QIODevice>
#include <QtEndian>

namespace RecordingStream {

void prepare(QDataStream &stream)
{
    stream.setVersion(StreamVersion);
    stream.setByteOrder(QDataStream::BigEndian);
    stream.setFloatingPointPrecision(QDataStream::DoublePrecision);
}

} // namespace RecordingStream

namespace {

// Lists and texts grow by at most this much before the bytes for it have
// arrived, so a stored count can never make us reserve more than the data holds.
constexpr int ReadStep = 64 * 1024;

// Clears the status before a list and puts an earlier error back afterwards,
// the way the stream's own container readers behave.
class ListStatusGuard
{
public:
    explicit ListStatusGuard(QDataStream &stream) : m_stream(stream), m_old(stream.status())
    {
        if (!stream.device() || !stream.device()->isTransactionStarted())
            stream.resetStatus();
    }
    ~ListStatusGuard()
    {
        if (m_old != QDataStream::Ok) {
            m_stream.resetStatus();
            m_stream.setStatus(m_old);
        }
    }
    ListStatusGuard(const ListStatusGuard &) = delete;
    ListStatusGuard &operator=(const ListStatusGuard &) = delete;

private:
    QDataStream &m_stream;
    const QDataStream::Status m_old;
};

bool ok(const QDataStream &in)
{
    return in.status() == QDataStream::Ok;
}

void skipRest(QDataStream &in)
{
    if (QIODevice *dev = in.device()) {
        while (dev->skip(1 << 20) > 0) {
        }
    }
}

// Damaged data: what follows cannot be trusted, so none of it is read.
void markCorrupt(QDataStream &in)
{
    in.setStatus(QDataStream::ReadCorruptData);
    skipRest(in);
}

// True when the device is known to hold fewer than `bytes` more bytes; the
// rest is then consumed so later fields read as zero, as after a short read.
bool knownShort(QDataStream &in, qint64 bytes)
{
    QIODevice *dev = in.device();
    if (!dev || dev->isSequential() || bytes <= dev->bytesAvailable())
        return false;
    skipRest(in);
    in.setStatus(QDataStream::ReadPastEnd);
    return true;
}

// A list count: -1 when it could not be read or cannot be a count.
qint32 readCount(QDataStream &in)
{
    qint32 n = 0;
    in >> n;
    if (!ok(in))
        return -1;
    if (n < 0) {
        markCorrupt(in);
        return -1;
    }
    return n;
}

// Reads `count` elements with `readElement`, keeping none if one fails.
template <typename List, typename ReadElement>
void readList(QDataStream &in, List &list, ReadElement readElement)
{
    list.clear();
    ListStatusGuard guard(in);
    const qint32 n = readCount(in);
    for (qint32 i = 0; i < n; ++i) {
        typename List::value_type element;
        readElement(in, element);
        if (!ok(in)) {
            list.clear();
            return;
        }
        list.append(element);
    }
}

void readText(QDataStream &in, QString &text)
{
    text.clear();
    quint32 bytes = 0;
    in >> bytes;
    if (!ok(in))
        return;
    if (bytes == 0xFFFFFFFFu) {
        text = QString();
        return;
    }
    if (bytes == 0) {
        text = QLatin1String(""); // empty, not null: written back as it came
        return;
    }
    if (bytes & 1u) {
        markCorrupt(in);
        return;
    }
    if (knownShort(in, bytes))
        return;
    const int length = static_cast<int>(bytes / 2);
    int done = 0;
    while (done < length) {
        const int block = qMin(length - done, ReadStep);
        text.resize(done + block);
        char *dest = reinterpret_cast<char *>(text.data() + done);
        if (in.readRawData(dest, block * 2) != block * 2) {
            text.clear();
            in.setStatus(QDataStream::ReadPastEnd);
            return;
        }
        done += block;
    }
    ushort *chars = reinterpret_cast<ushort *>(text.data());
    if (in.byteOrder() == QDataStream::BigEndian)
        qFromBigEndian<ushort>(chars, length, chars);
    else
        qFromLittleEndian<ushort>(chars, length, chars);
}

void readSpectrum(QDataStream &in, RfSpectrumScan &spectrum)
{
    spectrum.clear();
    ListStatusGuard guard(in);
    const qint32 n = readCount(in);
    if (n <= 0 || knownShort(in, n))
        return;
    int done = 0;
    while (done < n) {
        const int block = qMin(n - done, ReadStep);
        spectrum.resize(done + block);
        char *dest = reinterpret_cast<char *>(spectrum.data()) + done;
        if (in.readRawData(dest, block) != block) {
            spectrum.clear();
            in.setStatus(QDataStream::ReadPastEnd);
            return;
        }
        done += block;
    }
}

// A colour as the stream writes it: spec, alpha, three components, padding.
// The stream's own reader takes any spec byte, and a QColor with a spec it
// does not know misbehaves later, so the spec is checked first.
void readColor(QDataStream &in, QColor &color)
{
    char raw[11];
    if (in.readRawData(raw, sizeof raw) != int(sizeof raw)) {
        in.setStatus(QDataStream::ReadPastEnd);
        return;
    }
    const qint8 spec = static_cast<qint8>(raw[0]);
    if (spec < QColor::Invalid || spec > QColor::ExtendedRgb) {
        markCorrupt(in);
        return;
    }
    QDataStream colorStream(QByteArray::fromRawData(raw, sizeof raw));
    colorStream.setVersion(in.version());
    colorStream.setByteOrder(in.byteOrder());
    colorStream >> color;
}

void readWifiApInfo(QDataStream &in, WifiApInfo &ap)
{
    readText(in, ap.bssid);
    readText(in, ap.ssid);
    in >> ap.rssi >> ap.frequency >> ap.width;
    if (ok(in))
        readColor(in, ap.color);
}

void readSample(QDataStream &in, RfSpectrumSample &sample)
{
    in >> sample.timeStamp;
    if (!ok(in))
        return;
    readSpectrum(in, sample.spectrum);
    if (!ok(in))
        return;
    readList(in, sample.wifiNetworks, readWifiApInfo);
}

void readTimeEvent(QDataStream &in, TimeEvent &event)
{
    in >> event.time;
    readText(in, event.text);
}

void readSpectroLabel(QDataStream &in, SpectroLabel &label)
{
    double x = 0;
    double y = 0;
    in >> x >> y;
    label.position = QPointF(x, y);
    readText(in, label.text);
}

void readInterval(QDataStream &in, QwtInterval &interval)
{
    double minimum = 0;
    double maximum = 0;
    qint32 flags = 0;
    in >> minimum >> maximum >> flags;
    interval.setInterval(minimum, maximum, QwtInterval::BorderFlags(flags));
}

void writeInterval(QDataStream &out, const QwtInterval &interval)
{
    out << interval.minValue() << interval.maxValue() << qint32(interval.borderFlags());
}

void writeSample(QDataStream &out, const RfSpectrumSample &sample)
{
    const qint32 points = sample.spectrum.size();
    out << qint64(sample.timeStamp) << points;
    // One block per sweep: per-level operator<< is several times slower.
    out.writeRawData(reinterpret_cast<const char *>(sample.spectrum.constData()), points);
    out << qint32(sample.wifiNetworks.size());
    for (const WifiApInfo &ap : sample.wifiNetworks) {
        out << ap.bssid << ap.ssid << qint32(ap.rssi) << qint32(ap.frequency) << qint32(ap.width)
            << ap.color;
    }
}

} // namespace

QDataStream &operator<<(QDataStream &out, const RfSpectrumHistory &history)
{
    writeInterval(out, history.frequencyInterval);
    writeInterval(out, history.amplitudeInterval);
    out << qint32(history.samples.size());
    for (const RfSpectrumSample &sample : history.samples)
        writeSample(out, sample);
    out << qint32(history.timeEvents.size());
    for (const TimeEvent &event : history.timeEvents)
        out << event.time << event.text;
    out << qint32(history.spectroLabels.size());
    for (const SpectroLabel &label : history.spectroLabels)
        out << label.position.x() << label.position.y() << label.text;
    out << history.projectInfo.projectName << history.projectInfo.projectId
        << history.projectInfo.scanLocation << history.projectInfo.technicianName;
    return out;
}

QDataStream &operator>>(QDataStream &in, RfSpectrumHistory &history)
{
    readInterval(in, history.frequencyInterval);
    readInterval(in, history.amplitudeInterval);
    readList(in, history.samples, readSample);
    readList(in, history.timeEvents, readTimeEvent);
    readList(in, history.spectroLabels, readSpectroLabel);
    readText(in, history.projectInfo.projectName);
    readText(in, history.projectInfo.projectId);
    readText(in, history.projectInfo.scanLocation);
    readText(in, history.projectInfo.technicianName);
    return in;
}
