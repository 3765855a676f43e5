#include "nl80211backend.h"

#include "wifilog.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSocketNotifier>

#include <cstring>
#include <linux/nl80211.h>
#include <netlink/genl/ctrl.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>
#include <netlink/netlink.h>

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
    int status = 1; //!< 1 running, 0 done, < 0 errno
    QList<Nl80211Message> *answers = nullptr;
};

int onValid(nl_msg *msg, void *arg)
{
    auto *t = static_cast<Transaction *>(arg);
    if (t->answers)
        t->answers->append(parseNl80211Message(messageBytes(msg)));
    return NL_OK;
}

int onFinish(nl_msg *, void *arg)
{
    static_cast<Transaction *>(arg)->status = 0;
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

int onEvent(nl_msg *msg, void *arg)
{
    static_cast<QList<Nl80211Message> *>(arg)->append(parseNl80211Message(messageBytes(msg)));
    return NL_OK;
}

const char *const nmService = "org.freedesktop.NetworkManager";

} // namespace

Nl80211Backend::Nl80211Backend(QObject *parent) : WifiScanBackend(parent)
{
    if (!open()) {
        m_ifindex = -1;
        qCInfo(lcWifi) << "No wireless station interface found; Wi-Fi survey unavailable";
    }
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
    m_family = genl_ctrl_resolve(m_command, "nl80211");
    if (m_family < 0)
        return false;

    QList<Nl80211Message> interfaces;
    nl_msg *dump = nlmsg_alloc();
    if (!dump || !genlmsg_put(dump, NL_AUTO_PORT, NL_AUTO_SEQ, m_family, 0, NLM_F_DUMP,
                              NL80211_CMD_GET_INTERFACE, 0)) {
        nlmsg_free(dump);
        return false;
    }
    if (transact(dump, &interfaces) < 0)
        return false;
    for (const Nl80211Message &m : interfaces) {
        if (isScanInterface(m)) {
            m_ifindex = m.ifindex;
            m_ifname = m.ifname;
            break;
        }
    }
    if (m_ifindex <= 0)
        return false;

    // Subscribe before the first trigger, or a fast scan's notification
    // could come before anybody listens.
    const int group = genl_ctrl_resolve_grp(m_command, "nl80211", "scan");
    if (group < 0 || nl_socket_add_membership(m_events, group) < 0)
        return false;
    nl_socket_disable_seq_check(m_events);
    nl_socket_set_nonblocking(m_events);
    m_notifier = new QSocketNotifier(nl_socket_get_fd(m_events), QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &Nl80211Backend::onEventsReadable);
    qCInfo(lcWifi).noquote() << "Wi-Fi survey on" << m_ifname << "index" << m_ifindex;
    return true;
}

int Nl80211Backend::transact(nl_msg *msg, QList<Nl80211Message> *answers)
{
    Transaction t;
    t.answers = answers;
    nl_cb *cb = nl_cb_alloc(NL_CB_DEFAULT);
    if (!cb) {
        nlmsg_free(msg);
        return -ENOMEM;
    }
    nl_cb_set(cb, NL_CB_VALID, NL_CB_CUSTOM, onValid, &t);
    nl_cb_set(cb, NL_CB_FINISH, NL_CB_CUSTOM, onFinish, &t);
    nl_cb_set(cb, NL_CB_ACK, NL_CB_CUSTOM, onAck, &t);
    nl_cb_err(cb, NL_CB_CUSTOM, onError, &t);
    int sent = nl_send_auto(m_command, msg);
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
    return t.status;
}

void Nl80211Backend::requestScan()
{
    if (!isAvailable())
        return;
    if (m_path == TriggerPath::NetworkManager) {
        requestScanFromNetworkManager();
        return;
    }
    if (m_path == TriggerPath::Passive)
        return; // the system's next scan answers

    nl_msg *msg = nlmsg_alloc();
    if (!msg)
        return emit scanFailed(QStringLiteral("out of memory"));
    nlattr *ssids = nullptr;
    const bool built =
        genlmsg_put(msg, NL_AUTO_PORT, NL_AUTO_SEQ, m_family, 0, 0, NL80211_CMD_TRIGGER_SCAN, 0) &&
        nla_put_u32(msg, NL80211_ATTR_IFINDEX, quint32(m_ifindex)) == 0 &&
        (ssids = nla_nest_start(msg, NL80211_ATTR_SCAN_SSIDS)) != nullptr &&
        nla_put(msg, 1, 0, "") == 0; // one zero-length SSID: a wildcard scan
    if (!built) {
        nlmsg_free(msg);
        return emit scanFailed(QStringLiteral("scan request does not fit a message"));
    }
    nla_nest_end(msg, ssids);
    const int status = transact(msg, nullptr);
    if (status == -EPERM || status == -EACCES) {
        qCInfo(lcWifi) << "Not allowed to trigger scans; asking NetworkManager instead";
        m_path = TriggerPath::NetworkManager;
        requestScanFromNetworkManager();
    } else if (status < 0) {
        // EBUSY (a scan already runs) and the like: routine, the caller retries.
        emit scanFailed(QStringLiteral("trigger refused: %1").arg(strerror(-status)));
    }
}

void Nl80211Backend::requestScanFromNetworkManager()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    QDBusMessage find = QDBusMessage::createMethodCall(
        QLatin1String(nmService), QStringLiteral("/org/freedesktop/NetworkManager"),
        QLatin1String(nmService), QStringLiteral("GetDeviceByIpIface"));
    find << m_ifname;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(find), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> device = *w;
        auto refuse = [this](const QString &why) {
            qCInfo(lcWifi).noquote() << "NetworkManager does not scan for us (" + why +
                                            "); the system's own scans bring the results";
            m_path = TriggerPath::Passive;
        };
        if (device.isError())
            return refuse(device.error().message());
        QDBusMessage scan = QDBusMessage::createMethodCall(
            QLatin1String(nmService), device.value().path(),
            QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless"),
            QStringLiteral("RequestScan"));
        scan << QVariantMap();
        auto *scanWatcher =
            new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(scan), this);
        connect(scanWatcher, &QDBusPendingCallWatcher::finished, this,
                [refuse](QDBusPendingCallWatcher *sw) {
                    sw->deleteLater();
                    const QDBusPendingReply<> reply = *sw;
                    if (reply.isError())
                        refuse(reply.error().message());
                });
    });
}

void Nl80211Backend::onEventsReadable()
{
    QList<Nl80211Message> events;
    nl_cb *cb = nl_cb_alloc(NL_CB_DEFAULT);
    if (!cb)
        return;
    nl_cb_set(cb, NL_CB_VALID, NL_CB_CUSTOM, onEvent, &events);
    nl_recvmsgs(m_events, cb); // non-blocking: takes what is waiting
    nl_cb_put(cb);

    bool newResults = false;
    for (const Nl80211Message &e : events) {
        if (!e.valid || e.ifindex != m_ifindex)
            continue;
        if (e.command == NL80211_CMD_NEW_SCAN_RESULTS)
            newResults = true;
        else if (e.command == NL80211_CMD_SCAN_ABORTED)
            emit scanFailed(QStringLiteral("scan aborted"));
    }
    if (newResults)
        fetchResults();
}

void Nl80211Backend::fetchResults()
{
    nl_msg *msg = nlmsg_alloc();
    if (!msg)
        return;
    if (!genlmsg_put(msg, NL_AUTO_PORT, NL_AUTO_SEQ, m_family, 0, NLM_F_DUMP, NL80211_CMD_GET_SCAN,
                     0) ||
        nla_put_u32(msg, NL80211_ATTR_IFINDEX, quint32(m_ifindex)) < 0) {
        nlmsg_free(msg);
        return;
    }
    QList<Nl80211Message> entries;
    const int status = transact(msg, &entries);
    if (status < 0) {
        emit scanFailed(QStringLiteral("reading the results failed: %1").arg(strerror(-status)));
        return;
    }
    WifiScan results;
    for (const Nl80211Message &e : entries)
        if (e.bss)
            results.append(*e.bss);
    emit resultsReady(results);
}
