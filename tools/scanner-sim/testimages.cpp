#include "testimages.h"

#include "simbootloader.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

// Where the version sits, and the sector left erased.
constexpr int VersionOffset = 0x200;
constexpr int ErasedSector = 30;

QByteArray pseudoRandom(int size, quint32 seed)
{
    QByteArray out(size, 0);
    quint32 x = seed;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = static_cast<char>(x >> 24);
    }
    return out;
}

void appendLe(QByteArray *out, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out->append(static_cast<char>(v >> (8 * i)));
}

bool writeFile(const QString &path, const QByteArray &data, QString *error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

} // namespace

QByteArray TestImages::radioImage(const QByteArray &version)
{
    QByteArray image = pseudoRandom(RadioImageSize, 0x7140A5C3u);
    const QByteArray tag = SimBootloader::VersionMarker + version + '\0';
    image.replace(VersionOffset, tag.size(), tag);
    const int sector = SimBootloader::SectorSize;
    image.replace(ErasedSector * sector, sector, QByteArray(sector, char(0xFF)));
    return image;
}

QByteArray TestImages::hostImage()
{
    const quint32 address = 0x08000000;
    const QByteArray payload = pseudoRandom(2048, 0x0D5EFu);

    QByteArray element;
    appendLe(&element, address, 4);
    appendLe(&element, quint32(payload.size()), 4);
    element += payload;

    QByteArray target("Target");
    target.append(char(0));  // alternate setting
    appendLe(&target, 1, 4); // named
    QByteArray name("Orvanel emulator host image");
    name.resize(255); // zero-filled
    target += name;
    appendLe(&target, quint32(element.size()), 4);
    appendLe(&target, 1, 4); // one element
    target += element;

    QByteArray file("DfuSe");
    file.append(char(1)); // format version
    appendLe(&file, quint32(11 + target.size()), 4);
    file.append(char(1)); // one target
    file += target;

    appendLe(&file, 0xFFFF, 2); // bcdDevice: any
    appendLe(&file, 0x0000, 2); // idProduct and idVendor 0000: matches no real device
    appendLe(&file, 0x0000, 2);
    appendLe(&file, 0x011A, 2); // bcdDFU of a DfuSe file
    file += "UFD";
    file.append(char(16)); // suffix length
    // The suffix CRC is the CRC-32 register without its final inversion.
    appendLe(&file, ~SimBootloader::crc32(file.constData(), file.size()), 4);
    return file;
}

bool TestImages::write(const QString &dir, QString *error)
{
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("cannot create the directory %1").arg(dir);
        return false;
    }
    const QDir d(dir);
    return writeFile(d.filePath(QLatin1String(RadioFileName)), radioImage(), error) &&
           writeFile(d.filePath(QLatin1String(HostFileName)), hostImage(), error);
}
