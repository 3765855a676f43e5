#include "dfuoutputparser.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

bool isBreak(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// dfu-util's lines are well under this; a stream that never breaks its line
// must not make every later read re-read all it has sent.
constexpr int kMaxPending = 1024;

} // namespace

bool DfuOutputParser::feed(const QString &chunk)
{
    const int from = m_pending.size();
    m_pending += chunk;
    int lastBreak = -1;
    for (int i = m_pending.size() - 1; i >= from; --i) {
        if (isBreak(m_pending.at(i))) {
            lastBreak = i;
            break;
        }
    }
    bool changed = false;
    if (lastBreak >= 0) {
        int begin = 0;
        for (int i = 0; i <= lastBreak; ++i) {
            if (!isBreak(m_pending.at(i)))
                continue;
            const QString segment = m_pending.mid(begin, i - begin);
            begin = i + 1;
            if (segment.trimmed().isEmpty())
                continue;
            m_lines << segment;
            changed |= parseSegment(segment);
        }
        m_pending.remove(0, lastBreak + 1);
    } else if (m_pending.size() > kMaxPending) {
        m_lines << m_pending;
        changed |= parseSegment(m_pending);
        m_pending.clear();
        return changed;
    } else if (!chunk.contains(QLatin1Char('%'))) {
        // The rest of the line is still on its way; without a new '%' it
        // holds no new percentage.
        return false;
    }
    // The last piece may be an update still on its way: it is looked at now
    // (its percentage counts once its '%' has arrived) and kept for later.
    changed |= parseSegment(m_pending);
    return changed;
}

bool DfuOutputParser::parseSegment(const QString &segment)
{
    const QString text = segment.trimmed();
    Phase phase = m_phase;
    if (text.startsWith(QLatin1String("Erase")))
        phase = Phase::Erase;
    else if (text.startsWith(QLatin1String("Download")))
        phase = Phase::Download;

    int percent = -1;
    for (int end = text.indexOf(QLatin1Char('%')); end >= 0;
         end = text.indexOf(QLatin1Char('%'), end + 1)) {
        // Only a whole token ending in '%' counts.
        if (end + 1 < text.size() && !text.at(end + 1).isSpace())
            continue;
        int begin = end;
        while (begin > 0 && !text.at(begin - 1).isSpace())
            --begin;
        bool ok = false;
        const int value = text.midRef(begin, end - begin).toInt(&ok);
        // Anything else ending in '%' (a cut-off or foreign token) does not
        // move the bar back to 0.
        if (ok && value >= 0 && value <= 100)
            percent = value;
    }
    if (percent < 0 || (phase == m_phase && percent == m_percent))
        return false;
    m_phase = phase;
    m_percent = percent;
    return true;
}

QStringList DfuOutputParser::takeLines()
{
    QStringList lines;
    lines.swap(m_lines);
    return lines;
}

QString DfuOutputParser::phaseName(Phase phase)
{
    switch (phase) {
    case Phase::Erase:
        return QCoreApplication::translate("DfuOutputParser", "Erase");
    case Phase::Download:
        return QCoreApplication::translate("DfuOutputParser", "Download");
    case Phase::None:
        break;
    }
    return QString();
}

QList<DfuOutputParser::Device> DfuOutputParser::listedDevices(const QString &listing,
                                                              const QString &id)
{
    // Found DFU: [0483:df11] ver=2200, devnum=9, cfg=1, intf=0, path="1-1.3", alt=0,
    // name="@Internal Flash  /0x08000000/04*016Kg", serial="3574364C3034"
    static const QRegularExpression line(
        QStringLiteral(R"re(^Found DFU: \[([0-9a-fA-F]{4}:[0-9a-fA-F]{4})\].*\bpath="([^"]*)")re"),
        QRegularExpression::MultilineOption);
    static const QRegularExpression serial(QStringLiteral(R"re(\bserial="([^"]*)")re"));
    QList<Device> devices;
    for (auto it = line.globalMatch(listing); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(1).compare(id, Qt::CaseInsensitive) != 0)
            continue;
        Device d;
        d.id = m.captured(1).toLower();
        d.path = m.captured(2);
        const int end = listing.indexOf(QLatin1Char('\n'), m.capturedStart());
        d.serial =
            serial.match(listing.mid(m.capturedStart(), end < 0 ? -1 : end - m.capturedStart()))
                .captured(1);
        bool seen = false;
        for (const Device &other : qAsConst(devices))
            seen = seen || other.path == d.path;
        if (!seen)
            devices << d;
    }
    return devices;
}
