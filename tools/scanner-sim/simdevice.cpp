#include "simdevice.h"

#include "rfsaframe.h"

#include <QDataStream>
#include <QIODevice>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcSim, "orvanel.sim")

namespace {

using namespace RfsaFrame;

quint16 be16(const QByteArray &p, int at)
{
    return static_cast<quint16>((static_cast<quint8>(p.at(at)) << 8) |
                                static_cast<quint8>(p.at(at + 1)));
}

quint32 be32(const QByteArray &p, int at)
{
    return (quint32(be16(p, at)) << 16) | be16(p, at + 2);
}

} // namespace

SimDevice::SimDevice(const SimOptions &options, const RfScene &scene)
    : m_options(options), m_synth(scene, options.seed), m_radioDead(options.deadRadio)
{
}

void SimDevice::radioRestarted(const QString &imageVersion)
{
    if (imageVersion.isEmpty())
        return;
    m_options.radioVersion = imageVersion;
    if (m_radioDead)
        qCInfo(lcSim, "radio flashed with a valid image: sweeps come again");
    m_radioDead = false;
}

SimDevice::Setup SimDevice::bandDefaults(int setFBand)
{
    Setup s;
    if (setFBand == 1) {
        s.setFBand = 1;
        s.fStartMHz = 902;
        s.fStopMHz = 928;
        s.rbw = 36;
        s.fStepKHz = 103.25;
        s.stepCount = 10;
        s.spanMHz = 26;
        s.spanIndex = 9;
    }
    return s;
}

int SimDevice::pointsFor(int spanMHz, double stepKHz)
{
    if (!(stepKHz > 0) || spanMHz <= 0)
        return 1;
    // The step arrives rounded to 1/65536 MHz; allow for that rounding so a
    // step that divides the span exactly still counts its last point.
    const double ratio = spanMHz * 1000.0 / stepKHz;
    const double slack = ratio * (0.5 / 65.536) / stepKHz;
    const double points = std::floor(ratio + slack) + 1;
    return static_cast<int>(std::clamp(points, 1.0, double(MaxPoints)));
}

int SimDevice::pointsPerSweep() const
{
    return pointsFor(m_setup.spanMHz, m_setup.fStepKHz);
}

void SimDevice::receive(const QByteArray &bytes)
{
    m_rx.append(bytes);
    parse();
}

void SimDevice::resetLink()
{
    m_rx.clear();
}

void SimDevice::dropPartial()
{
    skipStart();
    parse();
}

void SimDevice::skipStart()
{
    if (m_rx.isEmpty())
        return;
    int next = m_rx.indexOf(char(RfsaFrame::StartByte), 1);
    if (next < 0)
        next = m_rx.size();
    if (onJunk)
        onJunk(m_rx.left(next));
    m_rx.remove(0, next);
    m_lastError = FrameError;
}

void SimDevice::parse()
{
    while (!m_rx.isEmpty()) {
        if (static_cast<quint8>(m_rx.at(0)) != RfsaFrame::StartByte) {
            int next = m_rx.indexOf(char(RfsaFrame::StartByte));
            if (next < 0)
                next = m_rx.size();
            if (onJunk)
                onJunk(m_rx.left(next));
            m_rx.remove(0, next);
            m_lastError = FrameError;
            continue;
        }
        const RfsaFrame::Parsed p = RfsaFrame::parseFront(m_rx);
        if (p.status == RfsaFrame::Scan::NeedMore)
            return;
        if (p.status != RfsaFrame::Scan::Frame) {
            // Only the start byte is known to be bad; a frame may begin right after it.
            skipStart();
            continue;
        }
        if (onFrame)
            onFrame(m_rx.left(p.size));
        m_rx.remove(0, p.size);
        handle(p.command, p.payload);
    }
}

void SimDevice::reply(quint8 code, const QByteArray &payload, SimReply::Kind kind, double delay)
{
    if (!onReply)
        return;
    SimReply r;
    r.frame = RfsaFrame::buildFrame(code, payload);
    r.kind = kind;
    r.extraDelayMs = delay;
    onReply(r);
}

QByteArray SimDevice::text(const QString &s)
{
    QByteArray t = s.toUtf8().left(RfsaFrame::MaxPayload - 1);
    t.append('\0');
    return t;
}

QByteArray SimDevice::infoString(int cpu, int str) const
{
    if (cpu != 0 && cpu != 1)
        return text(QString());
    const QString unit = cpu == 0 ? QStringLiteral("radio") : QStringLiteral("host");
    switch (str) {
    case 0:
        return text(cpu == 0 ? m_options.radioVersion : m_options.hostVersion);
    case 1:
        return text(QStringLiteral("Orvanel Scanner %1 processor").arg(unit));
    case 2:
        return text(QStringLiteral("SN %1-%2")
                        .arg(cpu == 0 ? QStringLiteral("R") : QStringLiteral("H"))
                        .arg(m_options.seed % 1000000, 6, 10, QLatin1Char('0')));
    case 3:
        return text(QStringLiteral("emulated"));
    default:
        return text(QString());
    }
}

void SimDevice::handle(quint8 code, const QByteArray &payload)
{
    if (m_options.noAck.contains(code)) {
        qCInfo(lcSim, "ignoring command %02x as told", code);
        return;
    }
    reply(code, QByteArray(), code == CmdHostBL ? SimReply::Kind::HostBlAck : SimReply::Kind::Ack,
          m_options.delayCmd.value(code, 0));

    auto need = [&](int size) {
        if (payload.size() >= size)
            return true;
        qCWarning(lcSim, "command %02x with %d payload bytes, needs %d: ignored", code,
                  int(payload.size()), size);
        m_lastError = BadArgument;
        return false;
    };

    switch (code) {
    case CmdConnect:
        if (!m_connected)
            qCInfo(lcSim, "session opened");
        m_connected = true;
        break;
    case CmdDisconnect:
        if (m_connected)
            qCInfo(lcSim, "session closed");
        m_connected = false;
        break;
    case CmdGetDeviceVer:
        reply(CmdGetDeviceVer, text(m_options.deviceVersion), SimReply::Kind::Data);
        break;
    case CmdGetFwVer: {
        // The radio version's numbers, one byte each, as the firmware reports it.
        QByteArray bytes;
        for (const QString &part : m_options.radioVersion.split(QLatin1Char('.'))) {
            if (bytes.size() < RfsaFrame::MaxPayload)
                bytes.append(static_cast<char>(part.toInt() & 0xFF));
        }
        reply(CmdGetFwVer, bytes, SimReply::Kind::Data);
        break;
    }
    case CmdGetRfParams: {
        const bool is900 = payload.isEmpty() || static_cast<quint8>(payload.at(0)) == 0;
        const QVector<SimRfParam> &table = is900 ? m_options.rfParams900 : m_options.rfParams2400;
        if (!payload.isEmpty() && static_cast<quint8>(payload.at(0)) > 1)
            qCWarning(lcSim, "RF parameters of unknown band %d: sending the 2.4 GHz table",
                      static_cast<quint8>(payload.at(0)));
        QByteArray header;
        header.append(static_cast<char>(table.size()));
        header.append(RfsaFrame::u16(m_options.sweepCount));
        reply(CmdGetRfParams, header, SimReply::Kind::Data);
        for (const SimRfParam &e : table) {
            QByteArray entry;
            QDataStream ds(&entry, QIODevice::WriteOnly);
            ds.setByteOrder(QDataStream::BigEndian);
            ds.setFloatingPointPrecision(QDataStream::DoublePrecision);
            ds << e.rbw << e.ifValue << e.setting;
            reply(CmdGetRfParams, entry, SimReply::Kind::Data);
        }
        break;
    }
    case CmdGetLastError:
        reply(CmdGetLastError, RfsaFrame::u16(m_lastError), SimReply::Kind::Data);
        m_lastError = NoError;
        break;
    case CmdSetFBand:
        if (!need(1))
            break;
        if (payload.at(0) == 1 || payload.at(0) == 2) {
            // Selecting a band loads its defaults; the other set-commands refine them.
            m_setup = bandDefaults(payload.at(0));
        } else {
            qCWarning(lcSim, "unknown band %d ignored", static_cast<quint8>(payload.at(0)));
            m_lastError = BadArgument;
        }
        break;
    case CmdSetFStart:
    case CmdSetFStop:
        if (!need(4))
            break;
        (code == CmdSetFStart ? m_setup.fStartMHz : m_setup.fStopMHz) =
            be16(payload, 0) + be16(payload, 2) / 65536.0;
        break;
    case CmdSetSpanIndex:
        if (need(1))
            m_setup.spanIndex = static_cast<quint8>(payload.at(0));
        break;
    case CmdSetFStep:
        if (need(4))
            m_setup.fStepKHz = be32(payload, 0) * 1000.0 / 65536.0;
        break;
    case CmdSetRBW:
        if (need(1))
            m_setup.rbw = static_cast<quint8>(payload.at(0));
        break;
    case CmdSetStepCount:
        if (need(2))
            m_setup.stepCount = be16(payload, 0);
        break;
    case CmdSetSpan:
        if (need(2))
            m_setup.spanMHz = be16(payload, 0);
        break;
    case CmdGetSpecNoInit:
        ++m_sweepRequests;
        if (m_radioDead) {
            qCInfo(lcSim, "sweep request %llu: the radio is dead, no data", m_sweepRequests);
            break;
        }
        if (m_options.stallSweep > 0 && m_sweepRequests >= quint64(m_options.stallSweep)) {
            qCInfo(lcSim, "sweep request %llu stalls as told", m_sweepRequests);
            break;
        }
        sendSweep();
        break;
    case CmdGetInfoStr:
        if (!need(2))
            break;
        reply(CmdGetInfoStr,
              infoString(static_cast<quint8>(payload.at(0)), static_cast<quint8>(payload.at(1))),
              SimReply::Kind::Data);
        break;
    case CmdGetCalibration:
        sendCalibration();
        break;
    case CmdResetToBootloader:
        qCInfo(lcSim, "radio dropped into its ROM bootloader");
        if (onResetToBootloader)
            onResetToBootloader();
        break;
    case CmdSync:
    case CmdHostBL:
        break;
    default:
        m_lastError = UnknownCommand;
        break;
    }
}

void SimDevice::sendSweep()
{
    SweepGrid grid;
    grid.startMHz = m_setup.fStartMHz;
    grid.stepMHz = m_setup.fStepKHz / 1000.0;
    grid.points = pointsPerSweep();
    m_synth.render(grid, m_sweepsRendered++, &m_sweep);
    for (int at = 0; at < m_sweep.size(); at += RfsaFrame::MaxPayload) {
        reply(CmdGetSpecNoInit, m_sweep.mid(at, RfsaFrame::MaxPayload),
              at == 0 ? SimReply::Kind::SweepStart : SimReply::Kind::SweepData);
    }
    reply(CmdGetLastError, RfsaFrame::u16(NoError), SimReply::Kind::SweepEnd);
}

void SimDevice::sendCalibration()
{
    // A gentle correction curve over the programmed points, in dB.
    const int n = pointsPerSweep();
    QByteArray cal(n, 0);
    for (int i = 0; i < n; ++i)
        cal[i] = static_cast<char>(std::lround(2.5 * std::sin(i * 6.2832 / std::max(n, 2)) - 0.5));
    for (int at = 0; at < n; at += RfsaFrame::MaxPayload)
        reply(CmdGetCalibration, cal.mid(at, RfsaFrame::MaxPayload), SimReply::Kind::Data);
    reply(CmdGetLastError, RfsaFrame::u16(NoError), SimReply::Kind::Data);
}
