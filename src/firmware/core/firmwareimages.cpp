#include "firmwareimages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef ORVANEL_EMBEDDED_FIRMWARE
static void initEmbeddedImages()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(firmwareimages);
        return true;
    }();
    Q_UNUSED(done)
}
#endif

namespace FirmwareImages {

const char *const radioFileName = "7140_orvanel_radio.bin";
const char *const hostFileName = "7140_orvanel_host.dfu";

static QString findImage(const char *fileName)
{
    const QString dir = qEnvironmentVariable("ORVANEL_FIRMWARE_DIR");
    if (!dir.isEmpty()) {
        const QString path = QDir(dir).absoluteFilePath(QLatin1String(fileName));
        if (QFileInfo(path).isFile())
            return path;
    }
#ifdef ORVANEL_EMBEDDED_FIRMWARE
    initEmbeddedImages();
    const QString resource = QStringLiteral(":/firmwares/") + QLatin1String(fileName);
    if (QFile::exists(resource))
        return resource;
#endif
    return QString();
}

QString radioImagePath()
{
    return findImage(radioFileName);
}

QString hostImagePath()
{
    return findImage(hostFileName);
}

bool read(const QString &path, QByteArray *image, QString *error)
{
    const auto tr = [](const char *text) {
        return QCoreApplication::translate("FirmwareImages", text);
    };
    image->clear();
    if (path.isEmpty()) {
        *error = tr("This build carries no firmware images");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("Cannot read the firmware image %1: %2").arg(path, file.errorString());
        return false;
    }
    *image = file.readAll();
    if (image->isEmpty()) {
        *error = tr("The firmware image %1 is empty").arg(path);
        return false;
    }
    return true;
}

} // namespace FirmwareImages
