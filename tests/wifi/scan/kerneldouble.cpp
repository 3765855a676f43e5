#include "kerneldouble.h"

#include <QHash>
#include <QSet>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <dlfcn.h>
#include <linux/genetlink.h>
#include <linux/netlink.h>
#include <linux/nl80211.h>
#include <mutex>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Family = 0x21;

struct Fake
{
    int peer = -1;    //!< the double's end of the pair
    quint32 port = 0; //!< the netlink port id the program bound
    QSet<int> groups;
};

std::mutex lock;
QHash<int, Fake> *fakes = nullptr;
std::atomic<int> fakeCount{0};
KernelDouble *active = nullptr;

template <typename F> F next(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

bool fakeOf(int fd, Fake *out = nullptr)
{
    if (fakeCount.load() == 0)
        return false;
    std::lock_guard<std::mutex> guard(lock);
    const auto it = fakes->constFind(fd);
    if (it == fakes->constEnd())
        return false;
    if (out)
        *out = *it;
    return true;
}

// One datagram of netlink messages, each padded as the kernel pads it.
struct Datagram
{
    QByteArray bytes;
    void add(nl_msg *msg)
    {
        const nlmsghdr *h = nlmsg_hdr(msg);
        bytes += QByteArray(reinterpret_cast<const char *>(h), int(h->nlmsg_len));
        bytes += QByteArray(int(NLMSG_ALIGN(h->nlmsg_len) - h->nlmsg_len), '\0');
        nlmsg_free(msg);
    }
    void sendTo(int peer)
    {
        if (send(peer, bytes.constData(), size_t(bytes.size()), MSG_DONTWAIT) != bytes.size())
            qFatal("kernel double: a datagram of %d bytes does not fit", int(bytes.size()));
        bytes.clear();
    }
};

nl_msg *genl(quint32 port, quint32 seq, int type, int flags, int command)
{
    nl_msg *msg = nlmsg_alloc();
    genlmsg_put(msg, port, seq, type, 0, flags, quint8(command), 1);
    return msg;
}

// ACK (error 0, the request's header only) or NLMSG_ERROR (the whole request).
nl_msg *errorMessage(quint32 port, const nlmsghdr *request, int error)
{
    nl_msg *msg = nlmsg_alloc();
    const int copied = error ? int(request->nlmsg_len) - int(NLMSG_HDRLEN) : 0;
    nlmsghdr *h = nlmsg_put(msg, port, request->nlmsg_seq, NLMSG_ERROR,
                            int(sizeof(nlmsgerr)) + copied, error ? 0 : NLM_F_CAPPED);
    auto *payload = static_cast<char *>(nlmsg_data(h));
    memcpy(payload, &error, sizeof error);
    memcpy(payload + offsetof(nlmsgerr, msg), request, NLMSG_HDRLEN + size_t(copied));
    return msg;
}

nl_msg *done(quint32 port, quint32 seq, int error, int flags)
{
    nl_msg *msg = nlmsg_alloc();
    nlmsghdr *h = nlmsg_put(msg, port, seq, NLMSG_DONE, sizeof(int), NLM_F_MULTI | flags);
    memcpy(nlmsg_data(h), &error, sizeof error);
    return msg;
}

nl_msg *interfaceMessage(quint32 port, quint32 seq, int flags, int command,
                         const DoubleInterface &i)
{
    nl_msg *msg = genl(port, seq, Family, flags, command);
    nla_put_u32(msg, NL80211_ATTR_IFINDEX, i.index);
    nla_put_string(msg, NL80211_ATTR_IFNAME, i.name.constData());
    nla_put_u32(msg, NL80211_ATTR_IFTYPE, NL80211_IFTYPE_STATION);
    nla_put_u32(msg, NL80211_ATTR_WIPHY, 0);
    nla_put_u64(msg, NL80211_ATTR_WDEV, i.index);
    nla_put(msg, NL80211_ATTR_MAC, 6, "\x02\x00\x00\x00\x00\x01");
    return msg;
}

nl_msg *bssMessage(quint32 port, quint32 seq, int flags, quint32 ifindex, const DoubleBss &b)
{
    nl_msg *msg = genl(port, seq, Family, flags, NL80211_CMD_NEW_SCAN_RESULTS);
    nla_put_u32(msg, NL80211_ATTR_GENERATION, 7);
    nla_put_u32(msg, NL80211_ATTR_IFINDEX, ifindex);
    nla_put_u64(msg, NL80211_ATTR_WDEV, ifindex);
    nlattr *nest = nla_nest_start(msg, NL80211_ATTR_BSS);
    nla_put(msg, NL80211_BSS_BSSID, b.mac.size(), b.mac.constData());
    nla_put_u32(msg, NL80211_BSS_FREQUENCY, b.frequency);
    nla_put_u64(msg, NL80211_BSS_TSF, 123456789);
    nla_put_u16(msg, NL80211_BSS_BEACON_INTERVAL, 100);
    nla_put_u16(msg, NL80211_BSS_CAPABILITY, 0x0431);
    const QByteArray ies = char(0) + QByteArray(1, char(b.ssid.size())) + b.ssid +
                           QByteArray::fromHex("010882848b960c121824");
    nla_put(msg, NL80211_BSS_INFORMATION_ELEMENTS, ies.size(), ies.constData());
    if (b.mbm)
        nla_put_u32(msg, NL80211_BSS_SIGNAL_MBM, quint32(*b.mbm));
    else
        nla_put_u8(msg, NL80211_BSS_SIGNAL_UNSPEC, 60);
    nla_put_u32(msg, NL80211_BSS_SEEN_MS_AGO, b.seenMsAgo);
    nla_nest_end(msg, nest);
    return msg;
}

void multicast(nl_msg *msg, int group)
{
    Datagram d;
    d.add(msg);
    std::vector<int> peers;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (const Fake &f : qAsConst(*fakes))
            if (f.groups.contains(group))
                peers.push_back(f.peer);
    }
    for (int peer : peers) {
        Datagram copy = d;
        copy.sendTo(peer);
    }
}

} // namespace

KernelDouble::KernelDouble()
{
    std::lock_guard<std::mutex> guard(lock);
    if (!fakes)
        fakes = new QHash<int, Fake>; // lives as long as the process
    active = this;
}

KernelDouble::~KernelDouble()
{
    std::lock_guard<std::mutex> guard(lock);
    active = nullptr;
}

void KernelDouble::notify(int command, quint32 ifindex, int group)
{
    nl_msg *msg = genl(0, 0, Family, 0, command);
    nla_put_u32(msg, NL80211_ATTR_IFINDEX, ifindex);
    nla_put_u32(msg, NL80211_ATTR_WIPHY, 0);
    nla_put_u64(msg, NL80211_ATTR_WDEV, ifindex);
    multicast(msg, group);
}

void KernelDouble::plug(const DoubleInterface &adapter)
{
    interfaces.append(adapter);
    multicast(interfaceMessage(0, 0, 0, NL80211_CMD_NEW_INTERFACE, adapter), ConfigGroup);
}

void KernelDouble::unplug(quint32 index)
{
    for (int i = 0; i < interfaces.size(); ++i) {
        if (interfaces.at(i).index != index)
            continue;
        multicast(interfaceMessage(0, 0, 0, NL80211_CMD_DEL_INTERFACE, interfaces.takeAt(i)),
                  ConfigGroup);
        return;
    }
}

void KernelDouble::answer(int peer, quint32 port, const QByteArray &request)
{
    std::vector<quint32> aligned((size_t(request.size()) + 3) / 4);
    memcpy(aligned.data(), request.constData(), size_t(request.size()));
    auto *h = reinterpret_cast<nlmsghdr *>(aligned.data());
    if (request.size() < int(NLMSG_HDRLEN + GENL_HDRLEN) || h->nlmsg_len > quint32(request.size()))
        qFatal("kernel double: a damaged request");
    const quint32 seq = h->nlmsg_seq;
    const bool ack = h->nlmsg_flags & NLM_F_ACK;
    const int command = static_cast<genlmsghdr *>(nlmsg_data(h))->cmd;
    nlattr *attrs[NL80211_ATTR_MAX + 1] = {};
    genlmsg_parse(h, 0, attrs, NL80211_ATTR_MAX, nullptr);
    Datagram d;

    if (h->nlmsg_type == GENL_ID_CTRL) {
        // nlattr indices of the controller's attributes are its own.
        const bool ours = attrs[CTRL_ATTR_FAMILY_NAME] &&
                          qstrcmp(nla_get_string(attrs[CTRL_ATTR_FAMILY_NAME]), "nl80211") == 0;
        if (!ours) {
            d.add(errorMessage(port, h, -ENOENT));
            return d.sendTo(peer);
        }
        nl_msg *msg = genl(port, seq, GENL_ID_CTRL, 0, CTRL_CMD_NEWFAMILY);
        nla_put_string(msg, CTRL_ATTR_FAMILY_NAME, "nl80211");
        nla_put_u16(msg, CTRL_ATTR_FAMILY_ID, Family);
        nla_put_u32(msg, CTRL_ATTR_VERSION, 1);
        nla_put_u32(msg, CTRL_ATTR_HDRSIZE, 0);
        nla_put_u32(msg, CTRL_ATTR_MAXATTR, NL80211_ATTR_MAX);
        nlattr *groups = nla_nest_start(msg, CTRL_ATTR_MCAST_GROUPS);
        const std::pair<const char *, int> known[] = {
            {"config", ConfigGroup}, {"scan", ScanGroup}, {"regulatory", 7}, {"mlme", 8}};
        int n = 0;
        for (const auto &group : known) {
            nlattr *g = nla_nest_start(msg, ++n);
            nla_put_string(msg, CTRL_ATTR_MCAST_GRP_NAME, group.first);
            nla_put_u32(msg, CTRL_ATTR_MCAST_GRP_ID, quint32(group.second));
            nla_nest_end(msg, g);
        }
        nla_nest_end(msg, groups);
        d.add(msg);
        d.sendTo(peer); // the reply and the ACK are two datagrams
        if (ack)
            d.add(errorMessage(port, h, 0));
        return d.sendTo(peer);
    }

    const quint32 ifindex =
        attrs[NL80211_ATTR_IFINDEX] ? nla_get_u32(attrs[NL80211_ATTR_IFINDEX]) : 0;
    bool known = false;
    for (const DoubleInterface &i : qAsConst(interfaces))
        known = known || i.index == ifindex;

    if (h->nlmsg_type != Family) {
        d.add(errorMessage(port, h, -EINVAL));
    } else if (command == NL80211_CMD_GET_INTERFACE) {
        for (const DoubleInterface &i : qAsConst(interfaces))
            d.add(interfaceMessage(port, seq, NLM_F_MULTI, NL80211_CMD_NEW_INTERFACE, i));
        // A P2P device has a wdev but no network interface.
        nl_msg *p2p = genl(port, seq, Family, NLM_F_MULTI, NL80211_CMD_NEW_INTERFACE);
        nla_put_u32(p2p, NL80211_ATTR_IFTYPE, NL80211_IFTYPE_P2P_DEVICE);
        nla_put_u64(p2p, NL80211_ATTR_WDEV, 0x100000001ULL);
        d.add(p2p);
        d.add(done(port, seq, 0, 0));
    } else if (command == NL80211_CMD_TRIGGER_SCAN) {
        QList<quint32> frequencies;
        if (nlattr *list = attrs[NL80211_ATTR_SCAN_FREQUENCIES]) {
            nlattr *f;
            int remaining;
            nla_for_each_nested(f, list, remaining)
            {
                frequencies.append(nla_get_u32(f));
            }
        }
        triggerFrequencies.append(frequencies);
        triggerProbes.append(attrs[NL80211_ATTR_SCAN_SSIDS] != nullptr);
        triggerInterfaces.append(ifindex);
        int error = !known ? -ENODEV : triggerError;
        for (quint32 f : qAsConst(frequencies))
            error = error == 0 && unknownFrequencies.contains(f) ? -EINVAL : error;
        if (error == 0)
            notify(NL80211_CMD_TRIGGER_SCAN, ifindex);
        if (error || ack)
            d.add(errorMessage(port, h, error));
        if (error == 0 && completion == Completion::Results)
            notify(NL80211_CMD_NEW_SCAN_RESULTS, ifindex);
        else if (error == 0 && completion == Completion::Aborted)
            notify(NL80211_CMD_SCAN_ABORTED, ifindex);
    } else if (command == NL80211_CMD_GET_SCAN) {
        ++scanDumps;
        const int error = !known ? -ENODEV : scanDumpError;
        const int flags = interruptedDumps > 0 ? NLM_F_DUMP_INTR : 0;
        interruptedDumps = qMax(0, interruptedDumps - 1);
        if (error && errorAsMessage) {
            d.add(errorMessage(port, h, error));
            return d.sendTo(peer);
        }
        // Two entries a datagram, so the dump spans several reads.
        for (int i = 0; i < bss.size() && !error; ++i) {
            d.add(bssMessage(port, seq, NLM_F_MULTI | flags, ifindex, bss.at(i)));
            if (i % 2 == 1 && i + 1 < bss.size())
                d.sendTo(peer);
        }
        d.add(done(port, seq, error, flags));
    } else {
        d.add(errorMessage(port, h, -EOPNOTSUPP));
    }
    if (!d.bytes.isEmpty())
        d.sendTo(peer);
}

// The socket calls libnl makes, rerouted for generic-netlink sockets while a
// double is active and passed on untouched otherwise.
extern "C" {

int socket(int domain, int type, int protocol) noexcept
{
    static const auto real = next<int (*)(int, int, int)>("socket");
    if (domain != AF_NETLINK || protocol != NETLINK_GENERIC || !active)
        return real(domain, type, protocol);
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | (type & (SOCK_CLOEXEC | SOCK_NONBLOCK)), 0, pair) < 0)
        return -1;
    std::lock_guard<std::mutex> guard(lock);
    Fake f;
    f.peer = pair[1];
    fakes->insert(pair[0], f);
    ++fakeCount;
    return pair[0];
}

int bind(int fd, const sockaddr *address, socklen_t length) noexcept
{
    static const auto real = next<int (*)(int, const sockaddr *, socklen_t)>("bind");
    if (!fakeOf(fd))
        return real(fd, address, length);
    static quint32 nextPort = 0x4000;
    const quint32 wanted = reinterpret_cast<const sockaddr_nl *>(address)->nl_pid;
    std::lock_guard<std::mutex> guard(lock);
    (*fakes)[fd].port = wanted ? wanted : nextPort++;
    return 0;
}

int getsockname(int fd, sockaddr *address, socklen_t *length) noexcept
{
    static const auto real = next<int (*)(int, sockaddr *, socklen_t *)>("getsockname");
    Fake f;
    if (!fakeOf(fd, &f))
        return real(fd, address, length);
    sockaddr_nl local = {};
    local.nl_family = AF_NETLINK;
    local.nl_pid = f.port;
    memcpy(address, &local, qMin(size_t(*length), sizeof local));
    *length = sizeof local;
    return 0;
}

int setsockopt(int fd, int level, int name, const void *value, socklen_t length) noexcept
{
    static const auto real = next<int (*)(int, int, int, const void *, socklen_t)>("setsockopt");
    if (level != SOL_NETLINK || !fakeOf(fd))
        return real(fd, level, name, value, length);
    int group = 0;
    memcpy(&group, value, qMin(size_t(length), sizeof group));
    std::lock_guard<std::mutex> guard(lock);
    if (name == NETLINK_ADD_MEMBERSHIP)
        (*fakes)[fd].groups.insert(group);
    else if (name == NETLINK_DROP_MEMBERSHIP)
        (*fakes)[fd].groups.remove(group);
    return 0;
}

ssize_t sendmsg(int fd, const msghdr *message, int flags)
{
    static const auto real = next<ssize_t (*)(int, const msghdr *, int)>("sendmsg");
    Fake f;
    if (!fakeOf(fd, &f) || !active)
        return real(fd, message, flags);
    QByteArray request;
    for (size_t i = 0; i < message->msg_iovlen; ++i)
        request.append(static_cast<const char *>(message->msg_iov[i].iov_base),
                       int(message->msg_iov[i].iov_len));
    active->answer(f.peer, f.port, request);
    return request.size();
}

ssize_t recvmsg(int fd, msghdr *message, int flags)
{
    static const auto real = next<ssize_t (*)(int, msghdr *, int)>("recvmsg");
    if (!fakeOf(fd))
        return real(fd, message, flags);
    // Everything comes from the kernel: port 0.
    void *name = message->msg_name;
    const socklen_t room = message->msg_namelen;
    message->msg_name = nullptr;
    message->msg_namelen = 0;
    const ssize_t n = real(fd, message, flags);
    message->msg_name = name;
    if (name && room >= sizeof(sockaddr_nl)) {
        sockaddr_nl kernel = {};
        kernel.nl_family = AF_NETLINK;
        memcpy(name, &kernel, sizeof kernel);
        message->msg_namelen = sizeof kernel;
    }
    return n;
}

int close(int fd)
{
    static const auto real = next<int (*)(int)>("close");
    Fake f;
    if (fakeOf(fd, &f)) {
        std::lock_guard<std::mutex> guard(lock);
        fakes->remove(fd);
        --fakeCount;
        real(f.peer);
    }
    return real(fd);
}

} // extern "C"
