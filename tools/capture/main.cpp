// orvanel-capture: records the scanner's sweeps without a display, for a
// scanner left at a venue or a capture started from a script.
#include "capturealarms.h"
#include "capturesession.h"
#include "devicecomms.h"
#include "dialogseam.h"
#include "pointgrid.h"
#include "rfspectrumhistory.h"
#include "venuenode.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QSysInfo>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

void fail(const QString &message)
{
    std::fprintf(stderr, "orvanel-capture: %s\n", qPrintable(message));
}

//! The port as the program finds it: the one scanner that describes itself
//! as "Orvanel". Empty with a message when there is none or more than one.
QString findPort(QString *error)
{
    const QStringList ports = DeviceComms::findDevicePorts(QStringLiteral("Orvanel"));
    if (ports.size() == 1)
        return ports.constFirst();
    *error = ports.isEmpty()
                 ? QStringLiteral("Unable to find any Orvanel device! (name one with --port)")
                 : QStringLiteral("several scanners found (%1): choose one with --port")
                       .arg(ports.join(QStringLiteral(", ")));
    return QString();
}

//! The node's broker and metrics parts as the options ask; null with a
//! message when an address or a secret file is unusable.
std::unique_ptr<VenueNode> startNode(const CaptureOptions &options, const QString &port,
                                     QString *error)
{
    QString name = options.node;
    if (name.isEmpty())
        name = QSysInfo::machineHostName().section(QLatin1Char('.'), 0, 0);
    if (!isValidNodeName(name))
        name = QStringLiteral("orvanel");
    auto node = std::make_unique<VenueNode>(name);
    const QVariantMap p = options.scanParameters();
    node->setPlan(options.band, p.value(QStringLiteral("FStart")).toDouble(),
                  p.value(QStringLiteral("FStep")).toDouble(), PointGrid::pointCount(p));
    node->setDevice(port);
    const VenueNodeOptions v{options.publishUrl, options.mqttUserFile, options.mqttPasswordFile,
                             options.mqttCaFile, options.metricsAddress};
    if (!node->start(v, QProcessEnvironment::systemEnvironment(), error))
        return nullptr;
    return node;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwell"));
    QCoreApplication::setApplicationName(QStringLiteral("orvanel-capture"));

    CaptureOptions options;
    QString error;
    if (!options.parse(app.arguments().mid(1), &error)) {
        fail(error);
        fail(QStringLiteral("try --help"));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(CaptureOptions::helpText()), stdout);
        return 0;
    }
    if (!options.inputPath.isEmpty())
        return CaptureSession::surveyFile(options);
    QString port = options.port;
    if (port.isEmpty()) {
        port = findPort(&error);
        if (port.isEmpty()) {
            fail(error);
            return 1;
        }
    }

    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();

    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        fail(QStringLiteral("cannot create the signal pipe"));
        return 1;
    }
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    int exitCode = 1;
    {
        DeviceComms device;
        device.setPortName(port);
        CaptureSession session(options, &device, ::isatty(STDOUT_FILENO) == 1);
        // The session's failures come as message boxes; here they are
        // messages on stderr and a non-zero exit.
        DialogSeam::setHandler([&session](const DialogSeam::Request &r) -> QVariant {
            if (r.kind == DialogSeam::Request::Message)
                session.deviceFailed(r.text);
            return r.kind == DialogSeam::Request::Message ? QVariant(r.defaultButton) : QVariant();
        });
        QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(&signalNotifier, &QSocketNotifier::activated, &session, [&session] {
            char buf[16];
            while (::read(signalPipe[0], buf, sizeof buf) > 0) {
            }
            session.requestStop();
        });
        QObject::connect(&session, &CaptureSession::finished, &app, [&exitCode](int code) {
            exitCode = code;
            QCoreApplication::quit();
        });
        std::unique_ptr<VenueNode> venue;
        if (options.isNode()) {
            venue = startNode(options, port, &error);
            if (!venue) {
                fail(error);
                return 2;
            }
            VenueNode *node = venue.get();
            QObject::connect(&device, &DeviceComms::connectedChanged, node, [node](bool c) {
                node->setState(c ? NodeStatus::Connected : NodeStatus::Offline);
            });
            QObject::connect(&device, &DeviceComms::scanningChanged, node, [node, &device](bool s) {
                node->setState(s                    ? NodeStatus::Scanning
                               : device.connected() ? NodeStatus::Connected
                                                    : NodeStatus::Offline);
            });
            QObject::connect(&session, &CaptureSession::sweepTaken, node, &VenueNode::addSweep);
            if (CaptureAlarms *alarms = session.alarms())
                QObject::connect(alarms, &CaptureAlarms::alarmRaised, node,
                                 [node](const AlarmEvent &e) { node->addAlarmEvents({e}); });
        }
        std::fprintf(stdout, "capturing %d MHz from %s\n", options.band, qPrintable(port));
        std::fflush(stdout);
        QMetaObject::invokeMethod(&session, &CaptureSession::start, Qt::QueuedConnection);
        app.exec();
        DialogSeam::setHandler(nullptr);
        // Leaves the scanner idle: one disconnect, then the thread ends.
        device.shutdown();
        if (venue)
            venue->stop(); // "offline", in place of the last will
    }
    return exitCode;
}
