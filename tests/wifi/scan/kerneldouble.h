#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>

#include <optional>

// The kernel's side of nl80211, below libnl. While a KernelDouble exists,
// every generic-netlink socket the process opens is one end of a local
// socket pair: the test executable defines the socket calls libnl makes
// (socket, bind, getsockname, setsockopt, sendmsg, recvmsg, close), so libnl
// and the backend run unchanged. A request is answered inside sendmsg, as the
// kernel does, with the replies it would queue: the family lookup, the
// interface dump, TRIGGER_SCAN's ACK or NLMSG_ERROR, GET_SCAN dumps of
// NLM_F_MULTI messages ending in NLMSG_DONE. Notifications go to the sockets
// that joined their multicast group, with sequence number 0 and port 0.
struct DoubleBss
{
    QByteArray mac;                 //!< six bytes
    QByteArray ssid;                //!< as the beacon carries it
    quint32 frequency = 2437;       //!< MHz
    std::optional<int> mbm = -5000; //!< absent: only a signal of unspecified unit
    quint32 seenMsAgo = 100;
};
Q_DECLARE_METATYPE(DoubleBss)

struct DoubleInterface
{
    quint32 index = 3;
    QByteArray name = "wlp2s0";
};

class KernelDouble
{
public:
    static constexpr int ConfigGroup = 5;
    static constexpr int ScanGroup = 6;

    enum class Completion
    {
        Results, //!< NEW_SCAN_RESULTS right after the trigger
        Aborted, //!< SCAN_ABORTED
        None     //!< the scan has not ended yet
    };

    KernelDouble();
    ~KernelDouble();

    QList<DoubleInterface> interfaces{DoubleInterface()};
    int triggerError = 0;              //!< negative errno answering TRIGGER_SCAN
    QList<quint32> unknownFrequencies; //!< not in the adapter's channel list: EINVAL
    Completion completion = Completion::Results;
    QList<DoubleBss> bss;
    int interruptedDumps = 0;    //!< the next so many GET_SCAN dumps carry NLM_F_DUMP_INTR
    int scanDumpError = 0;       //!< negative errno ending GET_SCAN dumps
    bool errorAsMessage = false; //!< send it as NLMSG_ERROR instead of in NLMSG_DONE

    // What the program asked for.
    QList<QList<quint32>> triggerFrequencies;
    QList<bool> triggerProbes; //!< the trigger carried NL80211_ATTR_SCAN_SSIDS
    QList<quint32> triggerInterfaces;
    int scanDumps = 0;

    //! Sends an nl80211 notification about `ifindex` to `group`.
    void notify(int command, quint32 ifindex, int group = ScanGroup);
    void plug(const DoubleInterface &adapter);
    void unplug(quint32 index);

    //! Answers one request datagram on the socket whose other end is `peer`.
    void answer(int peer, quint32 port, const QByteArray &request);
};
