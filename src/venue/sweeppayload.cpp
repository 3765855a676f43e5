#include "sweeppayload.h"

#include <QtEndian>

#include <cstring>

constexpr char SweepPayload::Magic[4];

QByteArray SweepPayload::encode() const
{
    if (levels.isEmpty() || levels.size() > MaxPoints)
        return QByteArray();
    QByteArray out(HeaderSize + levels.size(), Qt::Uninitialized);
    uchar *p = reinterpret_cast<uchar *>(out.data());
    std::memcpy(p, Magic, 4);
    p[4] = Version;
    p[5] = band;
    qToBigEndian<quint16>(quint16(levels.size()), p + 6);
    qToBigEndian<quint32>(firstHz, p + 8);
    qToBigEndian<quint32>(stepHz, p + 12);
    qToBigEndian<qint64>(timeStamp, p + 16);
    std::memcpy(p + HeaderSize, levels.constData(), size_t(levels.size()));
    return out;
}

bool SweepPayload::decode(const QByteArray &bytes, SweepPayload *out, QString *reason)
{
    const auto refuse = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (bytes.size() < HeaderSize)
        return refuse(QStringLiteral("%1 bytes, shorter than the %2-byte header")
                          .arg(bytes.size())
                          .arg(HeaderSize));
    const uchar *p = reinterpret_cast<const uchar *>(bytes.constData());
    if (std::memcmp(p, Magic, 4) != 0)
        return refuse(QStringLiteral("not a sweep (bad magic)"));
    if (p[4] != Version)
        return refuse(QStringLiteral("version %1, this program reads %2").arg(p[4]).arg(Version));
    if (p[5] != Band900 && p[5] != Band2400)
        return refuse(QStringLiteral("unknown band %1").arg(p[5]));
    const int count = qFromBigEndian<quint16>(p + 6);
    if (count == 0 || count > MaxPoints)
        return refuse(QStringLiteral("point count %1 outside 1..%2").arg(count).arg(MaxPoints));
    if (bytes.size() != HeaderSize + count)
        return refuse(QStringLiteral("%1 points announced, %2 bytes of levels carried")
                          .arg(count)
                          .arg(bytes.size() - HeaderSize));
    const quint32 step = qFromBigEndian<quint32>(p + 12);
    if (step == 0)
        return refuse(QStringLiteral("zero frequency step"));
    SweepPayload s;
    s.band = Band(p[5]);
    s.firstHz = qFromBigEndian<quint32>(p + 8);
    s.stepHz = step;
    s.timeStamp = qFromBigEndian<qint64>(p + 16);
    s.levels.resize(count);
    std::memcpy(s.levels.data(), p + HeaderSize, size_t(count));
    *out = std::move(s);
    return true;
}
