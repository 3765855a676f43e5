#pragma once

#include "nl80211parser.h"
#include "wifiscanbackend.h"

#include <QList>

class QSocketNotifier;
struct nl_msg;
struct nl_sock;

// Scans through the kernel's nl80211 interface on the first station
// interface. Scan notifications arrive on a socket of their own, subscribed
// before any scan is asked for and watched on the GUI thread, so no result
// can slip by and nothing needs a lock.
//
// Triggering a scan needs CAP_NET_ADMIN; without it the scan is asked of
// NetworkManager, and when that is refused too, the scans the system runs
// anyway still bring results.
class Nl80211Backend : public WifiScanBackend
{
    Q_OBJECT
public:
    explicit Nl80211Backend(QObject *parent = nullptr);
    ~Nl80211Backend() override;

    bool isAvailable() const override { return m_ifindex > 0; }
    void requestScan() override;

    QString interfaceName() const { return m_ifname; }

private:
    enum class TriggerPath
    {
        Kernel,         //!< NL80211_CMD_TRIGGER_SCAN
        NetworkManager, //!< RequestScan over D-Bus
        Passive         //!< wait for the system's own scans
    };

    bool open();
    //! Sends `msg` (consumed) on the command socket and reads every answer;
    //! returns 0 or a negative errno from the kernel or libnl.
    int transact(nl_msg *msg, QList<Nl80211Message> *answers);
    void onEventsReadable();
    void fetchResults();
    void requestScanFromNetworkManager();

    nl_sock *m_command = nullptr;
    nl_sock *m_events = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    int m_family = -1;
    qint64 m_ifindex = -1;
    QString m_ifname;
    TriggerPath m_path = TriggerPath::Kernel;
};
