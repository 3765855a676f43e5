#include "scanjournal.h"

#include "capturelog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <sys/stat.h>

namespace ScanJournal {

namespace {

constexpr int RecordOverhead = 4 + 1 + 4; // length, type, CRC

// Slicing by eight: an 8-hour journal is about 300 MB to check.
struct CrcTable
{
    quint32 v[8][256];
    CrcTable()
    {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            v[0][i] = c;
        }
        for (int t = 1; t < 8; ++t)
            for (int i = 0; i < 256; ++i)
                v[t][i] = (v[t - 1][i] >> 8) ^ v[0][v[t - 1][i] & 0xFF];
    }
};

void appendU32(QByteArray &out, quint32 v)
{
    char b[4];
    qToBigEndian(v, b);
    out.append(b, 4);
}

void appendF64(QByteArray &out, double v)
{
    quint64 bits;
    static_assert(sizeof bits == sizeof v, "double is 64 bits");
    memcpy(&bits, &v, sizeof v);
    char b[8];
    qToBigEndian(bits, b);
    out.append(b, 8);
}

void appendText(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    appendU32(out, quint32(utf8.size()));
    out += utf8;
}

//! Bounds-checked reads over one record's payload.
class Cursor
{
public:
    Cursor(const char *data, qint64 size) : m_p(data), m_end(data + size) {}
    bool atEnd() const { return m_p == m_end; }
    qint64 left() const { return m_end - m_p; }
    bool bytes(qint64 n, const char **out)
    {
        if (n < 0 || n > left())
            return false;
        *out = m_p;
        m_p += n;
        return true;
    }
    template <class T> bool number(T *v)
    {
        const char *p = nullptr;
        if (!bytes(sizeof(T), &p))
            return false;
        *v = qFromBigEndian<T>(p);
        return true;
    }
    bool f64(double *v)
    {
        quint64 bits = 0;
        if (!number(&bits))
            return false;
        memcpy(v, &bits, sizeof bits);
        return true;
    }
    bool text(QString *s)
    {
        quint32 n = 0;
        const char *p = nullptr;
        if (!number(&n) || !bytes(qint64(n), &p))
            return false;
        *s = QString::fromUtf8(QByteArray::fromRawData(p, int(n)));
        return true;
    }

private:
    const char *m_p;
    const char *m_end;
};

bool readHeader(Cursor c, RfSpectrumHistory &h)
{
    double f0, f1, a0, a1;
    ProjectInfoData info;
    if (!c.f64(&f0) || !c.f64(&f1) || !c.f64(&a0) || !c.f64(&a1) || !c.text(&info.projectName) ||
        !c.text(&info.projectId) || !c.text(&info.scanLocation) || !c.text(&info.technicianName))
        return false;
    h.frequencyInterval = QwtInterval(f0, f1);
    h.amplitudeInterval = QwtInterval(a0, a1);
    h.projectInfo = info;
    return true;
}

bool readSweeps(Cursor c, RfSpectrumSampleList &samples)
{
    while (!c.atEnd()) {
        qint64 t = 0;
        quint16 n = 0;
        const char *p = nullptr;
        if (!c.number(&t) || !c.number(&n) || !c.bytes(n, &p))
            return false;
        samples.append(RfSpectrumSample());
        RfSpectrumSample &sample = samples.last();
        sample.timeStamp = t;
        sample.spectrum.resize(n);
        memcpy(sample.spectrum.data(), p, n);
    }
    return true;
}

} // namespace

quint32 crc32(const char *data, qint64 size, quint32 crc)
{
    static const CrcTable table;
    const auto &t = table.v;
    crc = ~crc;
    const auto *p = reinterpret_cast<const uchar *>(data);
    for (; size >= 8; size -= 8, p += 8) {
        const quint32 lo = crc ^ qFromLittleEndian<quint32>(p);
        const quint32 hi = qFromLittleEndian<quint32>(p + 4);
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (; size > 0; --size, ++p)
        crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

QByteArray record(RecordType type, const QByteArray &payload)
{
    QByteArray out;
    out.reserve(payload.size() + RecordOverhead);
    appendU32(out, quint32(payload.size()));
    out += char(type);
    out += payload;
    const quint32 crc = crc32(out.constData() + 4, payload.size() + 1);
    appendU32(out, crc);
    return out;
}

QByteArray fileStart(const RfSpectrumHistory &header)
{
    QByteArray payload;
    appendF64(payload, header.frequencyInterval.minValue());
    appendF64(payload, header.frequencyInterval.maxValue());
    appendF64(payload, header.amplitudeInterval.minValue());
    appendF64(payload, header.amplitudeInterval.maxValue());
    appendText(payload, header.projectInfo.projectName);
    appendText(payload, header.projectInfo.projectId);
    appendText(payload, header.projectInfo.scanLocation);
    appendText(payload, header.projectInfo.technicianName);
    return Magic + record(HeaderRecord, payload);
}

void appendSweep(QByteArray &payload, qint64 timeStamp, const RfSpectrumScan &spectrum)
{
    // A sweep is never longer than the point count field; the session drops
    // sweeps of unexpected length long before this.
    const int n = qMin(spectrum.size(), 0xFFFF);
    char head[10];
    qToBigEndian(timeStamp, head);
    qToBigEndian(quint16(n), head + 8);
    payload.append(head, sizeof head);
    payload.append(reinterpret_cast<const char *>(spectrum.constData()), n);
}

Contents read(const QByteArray &bytes)
{
    Contents out;
    if (!bytes.startsWith(Magic))
        return out;
    const char *const base = bytes.constData();
    const qint64 size = bytes.size();
    qint64 pos = Magic.size();
    out.usableBytes = pos;
    bool haveHeader = false;
    while (pos < size) {
        if (size - pos < RecordOverhead) {
            out.damaged = true;
            break;
        }
        const quint32 length = qFromBigEndian<quint32>(base + pos);
        if (qint64(length) > size - pos - RecordOverhead) {
            out.damaged = true;
            break;
        }
        const char *typeAndPayload = base + pos + 4;
        const quint32 stored = qFromBigEndian<quint32>(typeAndPayload + 1 + length);
        if (crc32(typeAndPayload, qint64(length) + 1) != stored) {
            out.damaged = true;
            break;
        }
        const Cursor payload(typeAndPayload + 1, length);
        const quint8 type = quint8(typeAndPayload[0]);
        bool ok = true;
        if (type == HeaderRecord && !haveHeader) {
            ok = haveHeader = readHeader(payload, out.history);
        } else if (type == SweepsRecord && haveHeader) {
            // A batch is written whole or not at all: on a bad sweep inside a
            // record that passed its CRC, keep none of the batch.
            const int before = out.history.samples.size();
            ok = readSweeps(payload, out.history.samples);
            if (!ok)
                out.history.samples.erase(out.history.samples.begin() + before,
                                          out.history.samples.end());
        } else if (type == EndRecord) {
            out.ended = true;
        } // other records are from a later version: skipped
        if (!ok) {
            out.damaged = true;
            break;
        }
        pos += RecordOverhead + length;
        out.usableBytes = pos;
    }
    out.valid = haveHeader;
    return out;
}

Contents readFile(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return Contents();
    const qint64 size = file.size();
    if (size <= 0 || size > std::numeric_limits<int>::max())
        return Contents();
    if (uchar *mapped = file.map(0, size)) {
        const Contents c =
            read(QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), int(size)));
        file.unmap(mapped);
        return c;
    }
    return read(file.readAll());
}

QString directory()
{
    QString base = QFile::decodeName(qgetenv("XDG_STATE_HOME"));
    // XDG base directories must be absolute: a relative one is ignored.
    if (base.isEmpty() || QFileInfo(base).isRelative())
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/orvanel");
}

bool ensureDirectory(QString *errorText)
{
    const QString dir = directory();
    if (!QDir().mkpath(dir)) {
        if (errorText)
            *errorText = QObject::tr("Cannot create %1").arg(dir);
        return false;
    }
    // What was scanned at a venue is nobody else's business.
    if (::chmod(QFile::encodeName(dir).constData(), 0700) != 0) {
        if (errorText)
            *errorText = QObject::tr("Cannot restrict %1 to its owner").arg(dir);
        return false;
    }
    return true;
}

} // namespace ScanJournal
