#pragma once

#include "nl80211parser.h"
#include "wifiscanbackend.h"

#include <QList>

#include <functional>

class QSocketNotifier;
struct nl_msg;
struct nl_sock;

// Scans through the kernel's nl80211 interface on a station interface.
// Notifications (scan results, aborted scans, adapters coming and going)
// arrive on a socket of their own, subscribed before any scan is asked for
// and watched on the GUI thread, so no result can slip by and nothing needs
// a lock.
//
// Triggering a scan needs CAP_NET_ADMIN; without it the scan is asked of
// NetworkManager, and when that is refused for good, the scans the system
// runs anyway still bring results. Only the 2.4 GHz channels are scanned, so
// the adapter does not leave its channel for other bands every few seconds.
class Nl80211Backend : public WifiScanBackend
{
    Q_OBJECT
public:
    //! A D-Bus call that brings no answer in this time counts as a refusal.
    static constexpr int DefaultNetworkManagerTimeoutMs = 5000;
    //! A dump the kernel marks interrupted is read again at most this often.
    static constexpr int MaxDumpRetries = 3;

    //! Answer to a scan request made of NetworkManager: an empty error name
    //! means accepted.
    using NetworkManagerAnswer =
        std::function<void(const QString &errorName, const QString &message)>;
    //! Asks NetworkManager to scan on an interface and calls the answer once.
    using NetworkManagerRequest =
        std::function<void(const QString &ifname, const NetworkManagerAnswer &answer)>;

    explicit Nl80211Backend(QObject *parent = nullptr);
    ~Nl80211Backend() override;

    bool isAvailable() const override { return m_everFound; }
    void requestScan() override;
    QString surveyStatus() const override { return m_status; }
    QStringList adapters() const override { return m_adapters; }
    QString adapter() const override { return m_ifname; }
    void setAdapter(const QString &name) override;
    void setPassiveScan(bool passive) override { m_passive = passive; }

    QString interfaceName() const { return m_ifname; }
    //! Replaces the D-Bus call to NetworkManager (tests).
    void setNetworkManagerRequest(NetworkManagerRequest request)
    {
        m_networkManager = std::move(request);
    }
    void setNetworkManagerTimeoutMs(int ms) { m_networkManagerTimeoutMs = ms; }

    //! True for NetworkManager refusals that pass by themselves: the device
    //! is busy, activating or asked too often.
    static bool isPassingRefusal(const QString &errorName, const QString &message);

private:
    enum class TriggerPath
    {
        Kernel,         //!< NL80211_CMD_TRIGGER_SCAN
        NetworkManager, //!< RequestScan over D-Bus
        Passive         //!< wait for the system's own scans
    };

    bool open();
    //! Dumps the interfaces and picks the one to scan on.
    void chooseAdapter();
    //! Sends `msg` (consumed) on the command socket and reads its whole
    //! answer; returns 0 or a negative errno from the kernel or libnl.
    //! `interrupted` tells whether a dump was marked inconsistent.
    int transact(nl_msg *msg, QList<Nl80211Message> *answers, bool *interrupted = nullptr);
    int trigger();
    void onEventsReadable();
    void fetchResults();
    void requestScanFromNetworkManager();
    void onNetworkManagerAnswer(quint64 call, const QString &errorName, const QString &message);
    void updateStatus();

    nl_sock *m_command = nullptr;
    nl_sock *m_events = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    int m_family = -1;
    qint64 m_ifindex = -1;
    QString m_ifname;
    QString m_preferred; //!< the adapter the user chose
    QStringList m_adapters;
    bool m_everFound = false;
    bool m_passive = false;
    bool m_withChannel14 = true; //!< dropped once an adapter refuses it
    QString m_status;
    TriggerPath m_path = TriggerPath::Kernel;
    NetworkManagerRequest m_networkManager;
    int m_networkManagerTimeoutMs = DefaultNetworkManagerTimeoutMs;
    bool m_networkManagerPending = false;
    quint64 m_networkManagerCall = 0;
};
