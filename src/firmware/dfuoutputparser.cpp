#include "dfuoutputparser.h"

#include <QCoreApplication>
#include <QRegularExpression>

bool DfuOutputParser::feed(const QString &chunk)
{
    m_pending += chunk;
    static const QRegularExpression breaks(QStringLiteral("[\r\n]"));
    QStringList segments = m_pending.split(breaks);
    // The last piece may be an update still on its way: it is looked at now
    // (its percentage counts once its '%' has arrived) and kept for later.
    m_pending = segments.takeLast();
    bool changed = false;
    for (const QString &segment : qAsConst(segments)) {
        if (segment.trimmed().isEmpty())
            continue;
        m_lines << segment;
        changed |= parseSegment(segment);
    }
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
    // Compiled once: output made of many short segments otherwise spends
    // its time building the same pattern again for each of them.
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    const QStringList parts = text.split(spaces, Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (!part.endsWith(QLatin1Char('%')))
            continue;
        bool ok = false;
        const int value = part.chopped(1).toInt(&ok);
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
