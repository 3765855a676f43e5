#include "nl80211backend.h"

#include "wifilog.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <cstring>
#include <linux/nl80211.h>
#include <net/if.h>
#include <netlink/genl/ctrl.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>
#include <netlink/netlink.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

namespace {

QByteArray messageBytes(nl_msg *msg)
{
    const nlmsghdr *header = nlmsg_hdr(msg);
    return QByteArray(reinterpret_cast<const char *>(header), int(header->nlmsg_len));
}

// State of one request on the command socket, filled by the callbacks.
struct Transaction
{
    quint32 seq = 0;
    int status = 1; //!< 1 running, 0 done, < 0 errno
    bool interrupted = false;
    QList<Nl80211Message> *answers = nullptr;
};

// A message left over from an earlier request (one given up on) is not part
// of this answer; skipping it keeps the two apart.
int onSequence(nl_msg *msg, void *arg)
{
    return nlmsg_hdr(msg)->nlmsg_seq == static_cast<Transaction *>(arg)->seq ? NL_OK : NL_SKIP;
}

int onValid(nl_msg *msg, void *arg)
{
    auto *t = static_cast<Transaction *>(arg);
    if (t->answers)
        t->answers->append(parseNl80211Message(messageBytes(msg)));
    return NL_OK;
}

// A dump that fails after it started ends in NLMSG_DONE carrying the error.
int onFinish(nl_msg *msg, void *arg)
{
    auto *t = static_cast<Transaction *>(arg);
    const nlmsghdr *header = nlmsg_hdr(msg);
    int error = 0;
    if (header->nlmsg_len >= NLMSG_LENGTH(sizeof(int)))
        memcpy(&error, nlmsg_data(header), sizeof(int));
    t->status = error < 0 ? error : 0;
    return NL_SKIP;
}

int onAck(nl_msg *, void *arg)
{
    static_cast<Transaction *>(arg)->status = 0;
    return NL_STOP;
}

int onError(sockaddr_nl *, nlmsgerr *err, void *arg)
{
    static_cast<Transaction *>(arg)->status = err->error < 0 ? err->error : -EIO;
    return NL_STOP;
}

int onInterrupted(nl_msg *, void *arg)
{
    static_cast<Transaction *>(arg)->interrupted = true;
    return NL_OK; // read on to NLMSG_DONE so nothing is left for the next request
}

// Notifications carry sequence number 0 and no port: they answer no request.
int acceptAnySequence(nl_msg *, void *)
{
    return NL_OK;
}

int onEvent(nl_msg *msg, void *arg)
{
    static_cast<QList<Nl80211Message> *>(arg)->append(parseNl80211Message(messageBytes(msg)));
    return NL_OK;
}

bool interfaceIsUp(const QString &name)
{
    const QByteArray bytes = name.toLocal8Bit();
    ifreq request = {};
    if (bytes.isEmpty() || bytes.size() >= IFNAMSIZ)
        return false;
    memcpy(request.ifr_name, bytes.constData(), size_t(bytes.size()));
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags & IFF_UP);
    close(fd);
    return up;
}

// Anything still queued on the command socket belongs to a request given up
// on; a datagram read into a short buffer is dropped whole.
void drain(nl_sock *sock)
{
    char discard[64];
    while (recv(nl_socket_get_fd(sock), discard, sizeof discard, MSG_DONTWAIT) >= 0) {
    }
}

const char *const nmService = "org.freedesktop.NetworkManager";

void requestScanOverDBus(const QString &ifname, int timeoutMs,
                         const Nl80211Backend::NetworkManagerAnswer &answer)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return answer(QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
                      QStringLiteral("no system bus"));
    QDBusMessage find = QDBusMessage::createMethodCall(
        QLatin1String(nmService), QStringLiteral("/org/freedesktop/NetworkManager"),
        QLatin1String(nmService), QStringLiteral("GetDeviceByIpIface"));
    find << ifname;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(find, timeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [answer, timeoutMs](QDBusPendingCallWatcher *w) {
                         w->deleteLater();
                         const QDBusPendingReply<QDBusObjectPath> device = *w;
                         if (device.isError())
                             return answer(device.error().name(), device.error().message());
                         QDBusMessage scan = QDBusMessage::createMethodCall(
                             QLatin1String(nmService), device.value().path(),
                             QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless"),
                             QStringLiteral("RequestScan"));
                         scan << QVariantMap();
                         auto *scanWatcher = new QDBusPendingCallWatcher(
                             QDBusConnection::systemBus().asyncCall(scan, timeoutMs));
                         QObject::connect(scanWatcher, &QDBusPendingCallWatcher::finished,
                                          [answer](QDBusPendingCallWatcher *sw) {
                                              sw->deleteLater();
                                              const QDBusPendingReply<> reply = *sw;
                                              if (reply.isError())
                                                  return answer(reply.error().name(),
                                                                reply.error().message());
                                              answer(QString(), QString());
                                          });
                     });
}

} // namespace

Nl80211Backend::Nl80211Backend(QObject *parent) : WifiScanBackend(parent)
{
    m_networkManager = [this](const QString &ifname, const NetworkManagerAnswer &answer) {
        requestScanOverDBus(ifname, m_networkManagerTimeoutMs, answer);
    };
    if (!open())
        qCInfo(lcWifi) << "No nl80211 interface; Wi-Fi survey unavailable";
    else if (m_ifindex <= 0)
        qCInfo(lcWifi) << "No wireless station interface found yet";
    updateStatus();
}

Nl80211Backend::~Nl80211Backend()
{
    delete m_notifier;
    if (m_events)
        nl_socket_free(m_events);
    if (m_command)
        nl_socket_free(m_command);
}

bool Nl80211Backend::open()
{
    m_command = nl_socket_alloc();
    m_events = nl_socket_alloc();
    if (!m_command || !m_events || genl_connect(m_command) < 0 || genl_connect(m_events) < 0)
        return false;
    // A kernel that never answers must not freeze the window.
    const timeval patience{5, 0};
    setsockopt(nl_socket_get_fd(m_command), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    m_family = genl_ctrl_resolve(m_command, "nl80211");
    if (m_family < 0)
        return false;

    // Subscribe before the first trigger, or a fast scan's notification
    // could come before anybody listens. "config" tells of adapters that
    // come and go (a USB stick re-plugged gets a new index).
    const int scanGroup = genl_ctrl_resolve_grp(m_command, "nl80211", "scan");
    const int configGroup = genl_ctrl_resolve_grp(m_command, "nl80211", "config");
    if (scanGroup < 0 || nl_socket_add_membership(m_events, scanGroup) < 0)
        return false;
    if (configGroup < 0 || nl_socket_add_membership(m_events, configGroup) < 0)
        qCInfo(lcWifi) << "Adapters plugged in later are noticed at the next scan only";
    nl_socket_set_nonblocking(m_events);
    m_notifier = new QSocketNotifier(nl_socket_get_fd(m_events), QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &Nl80211Backend::onEventsReadable);
    chooseAdapter();
    return true;
}

void Nl80211Backend::chooseAdapter()
{
    QList<Nl80211Message> interfaces;
    nl_msg *dump = nlmsg_alloc();
    if (!dump || !genlmsg_put(dump, NL_AUTO_PORT, NL_AUTO_SEQ, m_family, 0, NLM_F_DUMP,
                              NL80211_CMD_GET_INTERFACE, 0)) {
        nlmsg_free(dump);
        return;
    }
    if (transact(dump, &interfaces) < 0)
        return;
    QStringList names;
    for (const Nl80211Message &m : qAsConst(interfaces))
        if (isScanInterface(m))
            names.append(m.ifname);
    const int chosen = chooseScanInterface(interfaces, m_preferred, interfaceIsUp);
    const qint64 ifindex = chosen >= 0 ? interfaces.at(chosen).ifindex : -1;
    const QString ifname = chosen >= 0 ? interfaces.at(chosen).ifname : QString();
    const bool changed = ifindex != m_ifindex || ifname != m_ifname || names != m_adapters;
    m_adapters = names;
    m_ifindex = ifindex;
    m_ifname = ifname;
    if (!changed)
        return;
    if (m_ifindex > 0)
        qCInfo(lcWifi).noquote() << "Wi-Fi survey on" << m_ifname << "index" << m_ifindex;
    else
        qCInfo(lcWifi) << "The Wi-Fi adapter is gone";
    updateStatus();
    if (m_ifindex > 0 && !m_everFound) {
        m_everFound = true;
        emit becameAvailable();
    }
}

void Nl80211Backend::setAdapter(const QString &name)
{
    m_preferred = name;
    if (m_family >= 0)
        chooseAdapter();
}

void Nl80211Backend::updateStatus()
{
    QString status;
    if (m_ifindex <= 0)
        status = tr("No Wi-Fi adapter");
    else if (m_path == TriggerPath::Kernel)
        status = tr("Scanning (%1)").arg(m_ifname);
    else if (m_path == TriggerPath::NetworkManager)
        status = tr("Scanning through NetworkManager");
    else
        status = tr("Passive: networks update when the system scans");
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged();
}

int Nl80211Backend::transact(nl_msg *msg, QList<Nl80211Message> *answers, bool *interrupted)
{
    Transaction t;
    t.answers = answers;
    nl_cb *cb = nl_cb_alloc(NL_CB_DEFAULT);
    if (!cb) {
        nlmsg_free(msg);
        return -ENOMEM;
    }
    nl_cb_set(cb, NL_CB_SEQ_CHECK, NL_CB_CUSTOM, onSequence, &t);
    nl_cb_set(cb, NL_CB_VALID, NL_CB_CUSTOM, onValid, &t);
    nl_cb_set(cb, NL_CB_FINISH, NL_CB_CUSTOM, onFinish, &t);
    nl_cb_set(cb, NL_CB_ACK, NL_CB_CUSTOM, onAck, &t);
    nl_cb_set(cb, NL_CB_DUMP_INTR, NL_CB_CUSTOM, onInterrupted, &t);
    nl_cb_err(cb, NL_CB_CUSTOM, onError, &t);
    drain(m_command);
    const int sent = nl_send_auto(m_command, msg);
    t.seq = nlmsg_hdr(msg)->nlmsg_seq;
    nlmsg_free(msg);
    if (sent < 0) {
        nl_cb_put(cb);
        return -EIO;
    }
    while (t.status > 0) {
        if (nl_recvmsgs(m_command, cb) < 0 && t.status > 0)
            t.status = -EIO;
    }
    nl_cb_put(cb);
    if (interrupted)
        *interrupted = t.interrupted;
    return t.status;
}

int Nl80211Backend::trigger()
{
    nl_msg *msg = nlmsg_alloc();
    if (!msg)
        return -ENOMEM;
    bool built =
        genlmsg_put(msg, NL_AUTO_PORT, NL_AUTO_SEQ, m_family, 0, 0, NL80211_CMD_TRIGGER_SCAN, 0) &&
        nla_put_u32(msg, NL80211_ATTR_IFINDEX, quint32(m_ifindex)) == 0;
    if (nlattr *frequencies =
            built ? nla_nest_start(msg, NL80211_ATTR_SCAN_FREQUENCIES) : nullptr) {
        const size_t channels = m_withChannel14 ? 14 : 13;
        for (size_t channel = 1; channel <= channels && built; ++channel)
            built = nla_put_u32(msg, int(channel), quint32(wifiChannelFrequencies[channel])) == 0;
        nla_nest_end(msg, frequencies);
    } else {
        built = false;
    }
    // Probe requests with the wildcard SSID find networks at once; without
    // them the adapter only listens for beacons.
    if (built && !m_passive) {
        nlattr *ssids = nla_nest_start(msg, NL80211_ATTR_SCAN_SSIDS);
        built = ssids && nla_put(msg, 1, 0, "") == 0;
        if (built)
            nla_nest_end(msg, ssids);
    }
    if (!built) {
        nlmsg_free(msg);
        return -EMSGSIZE;
    }
    return transact(msg, nullptr);
}

void Nl80211Backend::requestScan()
{
    if (m_ifindex <= 0)
        return emit scanFailed(QStringLiteral("no Wi-Fi adapter"));
    if (m_path == TriggerPath::NetworkManager)
        return requestScanFromNetworkManager();
    if (m_path == TriggerPath::Passive)
        return; // the system's next scan answers

    int status = trigger();
    if (status == -EINVAL && m_withChannel14) {
        // Channel 14 is not in every adapter's channel list.
        m_withChannel14 = false;
        status = trigger();
    }
    if (status == -EPERM || status == -EACCES) {
        qCInfo(lcWifi) << "Not allowed to trigger scans; asking NetworkManager instead";
        m_path = TriggerPath::NetworkManager;
        updateStatus();
        requestScanFromNetworkManager();
    } else if (status < 0) {
        // EBUSY (a scan already runs), ENETDOWN and the like: the caller retries.
        emit scanFailed(QStringLiteral("trigger refused: %1").arg(strerror(-status)));
    }
}

bool Nl80211Backend::isPassingRefusal(const QString &errorName, const QString &message)
{
    return errorName == QLatin1String("org.freedesktop.NetworkManager.Device.NotAllowed") ||
           message.contains(QLatin1String("not allowed"), Qt::CaseInsensitive) ||
           message.contains(QLatin1String("rate limit"), Qt::CaseInsensitive);
}

void Nl80211Backend::requestScanFromNetworkManager()
{
    // One call at a time: a bus that does not answer must not collect them.
    if (m_networkManagerPending)
        return;
    m_networkManagerPending = true;
    const quint64 call = ++m_networkManagerCall;
    QTimer::singleShot(m_networkManagerTimeoutMs, this, [this, call] {
        onNetworkManagerAnswer(call, QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
                               QStringLiteral("no answer in time"));
    });
    QPointer<Nl80211Backend> self(this);
    m_networkManager(m_ifname, [self, call](const QString &errorName, const QString &message) {
        if (self)
            self->onNetworkManagerAnswer(call, errorName, message);
    });
}

void Nl80211Backend::onNetworkManagerAnswer(quint64 call, const QString &errorName,
                                            const QString &message)
{
    if (!m_networkManagerPending || call != m_networkManagerCall)
        return; // answered already, or timed out
    m_networkManagerPending = false;
    if (errorName.isEmpty())
        return; // the results come with the kernel's notification
    if (isPassingRefusal(errorName, message)) {
        qCInfo(lcWifi).noquote() << "NetworkManager does not scan now (" + message +
                                        "); asking again at the next scan";
        emit scanFailed(QStringLiteral("NetworkManager: %1").arg(message));
        return;
    }
    qCInfo(lcWifi).noquote() << "NetworkManager does not scan for us (" + message +
                                    "); the system's own scans bring the results";
    m_path = TriggerPath::Passive;
    updateStatus();
}

void Nl80211Backend::onEventsReadable()
{
    QList<Nl80211Message> events;
    nl_cb *cb = nl_cb_alloc(NL_CB_DEFAULT);
    if (!cb)
        return;
    nl_cb_set(cb, NL_CB_SEQ_CHECK, NL_CB_CUSTOM, acceptAnySequence, nullptr);
    nl_cb_set(cb, NL_CB_VALID, NL_CB_CUSTOM, onEvent, &events);
    // Non-blocking: takes what is waiting, a bounded number of datagrams.
    for (int i = 0; i < 64 && nl_recvmsgs(m_events, cb) == 0; ++i) {
    }
    nl_cb_put(cb);

    bool newResults = false;
    bool adaptersChanged = false;
    for (const Nl80211Message &e : qAsConst(events)) {
        if (!e.valid)
            continue;
        if (e.command == NL80211_CMD_NEW_INTERFACE || e.command == NL80211_CMD_DEL_INTERFACE)
            adaptersChanged = true;
        if (e.ifindex != m_ifindex || m_ifindex <= 0)
            continue;
        if (e.command == NL80211_CMD_NEW_SCAN_RESULTS)
            newResults = true;
        else if (e.command == NL80211_CMD_SCAN_ABORTED)
            emit scanFailed(QStringLiteral("scan aborted"));
    }
    if (adaptersChanged)
        chooseAdapter();
    if (newResults && m_ifindex > 0)
        fetchResults();
}

void Nl80211Backend::fetchResults()
{
    QList<Nl80211Message> entries;
    int status = 0;
    bool interrupted = true;
    for (int attempt = 0; attempt <= MaxDumpRetries && interrupted && status == 0; ++attempt) {
        nl_msg *msg = nlmsg_alloc();
        if (!msg)
            return emit scanFailed(QStringLiteral("out of memory"));
        if (!genlmsg_put(msg, NL_AUTO_PORT, NL_AUTO_SEQ, m_family, 0, NLM_F_DUMP,
                         NL80211_CMD_GET_SCAN, 0) ||
            nla_put_u32(msg, NL80211_ATTR_IFINDEX, quint32(m_ifindex)) < 0) {
            nlmsg_free(msg);
            return emit scanFailed(QStringLiteral("results request does not fit a message"));
        }
        entries.clear();
        status = transact(msg, &entries, &interrupted);
    }
    if (status < 0)
        return emit scanFailed(
            QStringLiteral("reading the results failed: %1").arg(strerror(-status)));
    if (interrupted)
        return emit scanFailed(QStringLiteral("the results kept changing while read"));
    emit resultsReady(surveyFromScanDump(entries));
}
