#include "recordingstream.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

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

// One history read from one stream.
class HistoryReader
{
public:
    explicit HistoryReader(QDataStream &in) : m_in(in)
    {
        // The size is asked once: on a file each question is a system call,
        // and asking per sweep made opening several times slower.
        QIODevice *dev = in.device();
        if (dev && !dev->isSequential())
            m_end = dev->size();
    }

    void read(RfSpectrumHistory &history)
    {
        readInterval(history.frequencyInterval);
        readInterval(history.amplitudeInterval);
        readSamples(history.samples);
        readList(history.timeEvents, &HistoryReader::readTimeEvent);
        readList(history.spectroLabels, &HistoryReader::readSpectroLabel);
        readText(history.projectInfo.projectName);
        readText(history.projectInfo.projectId);
        readText(history.projectInfo.scanLocation);
        readText(history.projectInfo.technicianName);
    }

private:
    bool ok() const { return m_in.status() == QDataStream::Ok; }

    void skipRest()
    {
        if (QIODevice *dev = m_in.device()) {
            while (dev->skip(1 << 20) > 0) {
            }
        }
    }

    // Damaged data: what follows cannot be trusted, so none of it is read.
    void markCorrupt()
    {
        m_in.setStatus(QDataStream::ReadCorruptData);
        skipRest();
    }

    // True when the device is known to hold fewer than `bytes` more bytes; the
    // rest is then consumed so later fields read as zero, as after a short read.
    bool knownShort(qint64 bytes)
    {
        if (m_end < 0)
            return false;
        QIODevice *dev = m_in.device();
        if (bytes <= m_end - dev->pos())
            return false;
        skipRest();
        m_in.setStatus(QDataStream::ReadPastEnd);
        return true;
    }

    // A list count: -1 when it could not be read or cannot be a count.
    qint32 readCount()
    {
        qint32 n = 0;
        m_in >> n;
        if (!ok())
            return -1;
        if (n < 0) {
            markCorrupt();
            return -1;
        }
        return n;
    }

    // Reads the stored count of elements, keeping none if one fails.
    template <typename List, typename Element>
    void readList(List &list, void (HistoryReader::*readElement)(Element &))
    {
        list.clear();
        ListStatusGuard guard(m_in);
        const qint32 n = readCount();
        for (qint32 i = 0; i < n; ++i) {
            Element element;
            (this->*readElement)(element);
            if (!ok()) {
                list.clear();
                return;
            }
            list.append(element);
        }
    }

    // `hint`, when given, is the text this one probably repeats (the same
    // network in the previous sweep): an equal text then shares its storage
    // instead of allocating its own.
    void readText(QString &text, const QString *hint = nullptr)
    {
        text.clear();
        quint32 bytes = 0;
        m_in >> bytes;
        if (!ok())
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
            markCorrupt();
            return;
        }
        if (knownShort(bytes))
            return;
        const int length = static_cast<int>(bytes / 2);
        if (length <= ReadStep) {
            readShortText(text, length, hint);
            return;
        }
        int done = 0;
        while (done < length) {
            const int block = qMin(length - done, ReadStep);
            if (done == 0)
                text.reserve(block); // exact, where resize() would round up
            text.resize(done + block);
            char *dest = reinterpret_cast<char *>(text.data() + done);
            if (m_in.readRawData(dest, block * 2) != block * 2) {
                text.clear();
                m_in.setStatus(QDataStream::ReadPastEnd);
                return;
            }
            done += block;
        }
        ushort *chars = reinterpret_cast<ushort *>(text.data());
        if (m_in.byteOrder() == QDataStream::BigEndian)
            qFromBigEndian<ushort>(chars, length, chars);
        else
            qFromLittleEndian<ushort>(chars, length, chars);
    }

    void readShortText(QString &text, int length, const QString *hint)
    {
        m_scratch.resize(length);
        char *dest = reinterpret_cast<char *>(m_scratch.data());
        if (m_in.readRawData(dest, length * 2) != length * 2) {
            m_in.setStatus(QDataStream::ReadPastEnd);
            return;
        }
        ushort *chars = m_scratch.data();
        if (m_in.byteOrder() == QDataStream::BigEndian)
            qFromBigEndian<ushort>(chars, length, chars);
        else
            qFromLittleEndian<ushort>(chars, length, chars);
        if (hint && hint->size() == length &&
            std::memcmp(hint->utf16(), chars, size_t(length) * 2) == 0)
            text = *hint;
        else
            text = QString(reinterpret_cast<const QChar *>(chars), length);
    }

    void readSpectrum(RfSpectrumScan &spectrum)
    {
        spectrum.clear();
        ListStatusGuard guard(m_in);
        const qint32 n = readCount();
        if (n <= 0 || knownShort(n))
            return;
        int done = 0;
        while (done < n) {
            const int block = qMin(n - done, ReadStep);
            // Exact for the first block: resize() alone rounds a 501-point sweep
            // up to 1 KiB, nearly doubling the memory of an opened recording.
            if (done == 0)
                spectrum.reserve(block);
            spectrum.resize(done + block);
            char *dest = reinterpret_cast<char *>(spectrum.data()) + done;
            if (m_in.readRawData(dest, block) != block) {
                spectrum.clear();
                m_in.setStatus(QDataStream::ReadPastEnd);
                return;
            }
            done += block;
        }
    }

    // After the two texts a network has a fixed part: rssi, frequency and
    // width (int32 each), then the colour as the stream writes it: spec,
    // alpha, three components, padding (int8 + 5 x uint16). Read in one go:
    // field by field it took most of the time of opening a 2.4 GHz recording.
    void readWifiApInfo(WifiApInfo &ap, const WifiApInfo *hint)
    {
        readText(ap.bssid, hint ? &hint->bssid : nullptr);
        readText(ap.ssid, hint ? &hint->ssid : nullptr);
        if (!ok())
            return;
        uchar raw[FixedNetworkSize];
        if (m_in.readRawData(reinterpret_cast<char *>(raw), FixedNetworkSize) != FixedNetworkSize) {
            m_in.setStatus(QDataStream::ReadPastEnd);
            return;
        }
        const bool big = m_in.byteOrder() == QDataStream::BigEndian;
        const auto i32 = [&](int at) {
            return big ? qFromBigEndian<qint32>(raw + at) : qFromLittleEndian<qint32>(raw + at);
        };
        const auto u16 = [&](int at) {
            return big ? qFromBigEndian<quint16>(raw + at) : qFromLittleEndian<quint16>(raw + at);
        };
        ap.rssi = i32(0);
        ap.frequency = i32(4);
        ap.width = i32(8);
        // The stream's own reader takes any colour kind, and a QColor of a
        // kind it does not know misbehaves later, so that byte is checked here.
        const qint8 spec = static_cast<qint8>(raw[12]);
        if (spec < QColor::Invalid || spec > QColor::ExtendedRgb) {
            markCorrupt();
            return;
        }
        // Component for component what the stream's reader stores.
        ap.color = QColor(QColor::Spec(spec), u16(13), u16(15), u16(17), u16(19), u16(21));
    }

    // `previous` is the sample before this one, if any: its networks are the
    // likely content of this sample's list.
    void readSample(RfSpectrumSample &sample, const RfSpectrumSample *previous)
    {
        m_in >> sample.timeStamp;
        if (!ok())
            return;
        readSpectrum(sample.spectrum);
        if (!ok())
            return;
        WifiScan &networks = sample.wifiNetworks;
        networks.clear();
        ListStatusGuard guard(m_in);
        const qint32 n = readCount();
        const WifiScan *hints = previous ? &previous->wifiNetworks : nullptr;
        for (qint32 i = 0; i < n; ++i) {
            WifiApInfo ap;
            readWifiApInfo(ap, hints && i < hints->size() ? &hints->at(i) : nullptr);
            if (!ok()) {
                networks.clear();
                return;
            }
            networks.append(ap);
        }
        // A live page carries one Wi-Fi scan forward from sweep to sweep, and
        // its samples share that list. Share it again, so an opened recording
        // takes the memory it took live instead of one copy per sweep.
        if (hints && !networks.isEmpty() && networks == *hints)
            networks = *hints;
    }

    void readSamples(RfSpectrumSampleList &samples)
    {
        samples.clear();
        ListStatusGuard guard(m_in);
        const qint32 n = readCount();
        for (qint32 i = 0; i < n; ++i) {
            RfSpectrumSample sample;
            readSample(sample, samples.isEmpty() ? nullptr : &samples.constLast());
            if (!ok()) {
                samples.clear();
                return;
            }
            samples.append(sample);
        }
    }

    void readTimeEvent(TimeEvent &event)
    {
        m_in >> event.time;
        readText(event.text);
    }

    void readSpectroLabel(SpectroLabel &label)
    {
        double x = 0;
        double y = 0;
        m_in >> x >> y;
        label.position = QPointF(x, y);
        readText(label.text);
    }

    void readInterval(QwtInterval &interval)
    {
        double minimum = 0;
        double maximum = 0;
        qint32 flags = 0;
        m_in >> minimum >> maximum >> flags;
        interval.setInterval(minimum, maximum, QwtInterval::BorderFlags(flags));
    }

    static constexpr int FixedNetworkSize = 3 * 4 + 1 + 5 * 2;
    QDataStream &m_in;
    qint64 m_end = -1;         //!< device size when known, -1 for sequential devices
    QVector<ushort> m_scratch; //!< a short text's characters on their way in
};

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
    HistoryReader(in).read(history);
    return in;
}
