#include "alarmcontroller.h"

#include "alarmsdock.h"
#include "desktopnotifier.h"
#include "dialogseam.h"
#include "limitlineitem.h"
#include "limitsdialog.h"
#include "limitslog.h"
#include "spectroplot.h"
#include "tabpage.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QSettings>
#include <QTimer>
#include <QToolButton>

namespace {
const QString linesKey = QStringLiteral("limits/lines");
const QString soundKey = QStringLiteral("limits/sound");
const QString dockKey = QStringLiteral("limits/alarmsDock");

QString displayName(const AlarmEvent &e)
{
    return e.node.isEmpty() ? e.name : AlarmController::tr("%1 @ %2").arg(e.name, e.node);
}

LimitBand bandOf(const TabPage *page)
{
    return page->bandHistory().frequencyInterval().maxValue() < 1000 ? LimitBand::Band900
                                                                     : LimitBand::Band2400;
}

QString facts(const AlarmEvent &e)
{
    return QStringLiteral("%1 MHz, %2 dBm")
        .arg(e.frequencyMHz, 0, 'f', 3)
        .arg(e.levelDbm, 0, 'f', 0);
}
} // namespace

struct AlarmController::Remote
{
    const QObject *key = nullptr; //!< the page, still known while it is deleted
    QPointer<TabPage> page;
    QString node;
    LimitBand band = LimitBand::Band2400;
    AlarmMonitor monitor;
    QPointer<LimitLineItems> items; //!< owned by the page
};

AlarmController::AlarmController(QMainWindow *window, TabPage *page2400, TabPage *page900)
    : QObject(window), m_pages{page2400, page900}
{
    m_notifier = new DesktopNotifier(this);
    for (int b = 0; b < 2; ++b)
        if (m_pages[b])
            m_items[b] = new LimitLineItems(m_pages[b]->spectroPlot(),
                                            b ? LimitBand::Band900 : LimitBand::Band2400, this);

    m_dock = new QDockWidget(tr("Alarms"), window);
    m_dock->setObjectName(QStringLiteral("dockWidgetAlarms"));
    m_dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    m_alarmsDock = new AlarmsDock(m_dock);
    m_dock->setWidget(m_alarmsDock);
    window->addDockWidget(Qt::BottomDockWidgetArea, m_dock);

    m_limitsAction = new QAction(tr("Limit Lines..."), this);
    m_limitsAction->setObjectName(QStringLiteral("actionLimits"));
    connect(m_limitsAction, &QAction::triggered, this, &AlarmController::editLimits);
    m_dockAction = new QAction(tr("Alarms"), this);
    m_dockAction->setObjectName(QStringLiteral("actionAlarms"));
    m_dockAction->setCheckable(true);
    m_dockAction->setChecked(QSettings().value(dockKey, false).toBool());
    m_dock->setVisible(m_dockAction->isChecked());
    connect(m_dockAction, &QAction::toggled, this, [this](bool on) {
        m_dock->setVisible(on);
        if (on)
            m_dock->raise();
        QSettings().setValue(dockKey, on);
    });
    m_soundAction = new QAction(tr("Sound on Alarm"), this);
    m_soundAction->setObjectName(QStringLiteral("actionAlarmSound"));
    m_soundAction->setCheckable(true);
    m_soundAction->setChecked(QSettings().value(soundKey, false).toBool());
    connect(m_soundAction, &QAction::toggled, this,
            [](bool on) { QSettings().setValue(soundKey, on); });

    auto *menu = new QMenu(window);
    menu->addAction(m_limitsAction);
    menu->addAction(m_dockAction);
    menu->addAction(m_soundAction);
    m_button = new QToolButton(window);
    m_button->setObjectName(QStringLiteral("limitsButton"));
    m_button->setText(tr("Limits") + QStringLiteral("  "));
    m_button->setPopupMode(QToolButton::InstantPopup);
    m_button->setMenu(menu);

    // The device thread waits while a sweep is handed over: the event, the
    // dock row and the notification follow once it is free again.
    connect(&m_monitor, &AlarmMonitor::alarm, this, [this](const AlarmEvent &e, LimitBand band) {
        QTimer::singleShot(
            0, this, [this, e, band] { report(e, m_pages[band == LimitBand::Band900 ? 1 : 0]); });
    });
    for (LimitLineItems *items : m_items)
        if (items)
            followEdits(items);

    QVector<LimitLine> saved;
    QVector<ChannelWatch> savedWatches;
    QString error;
    const QByteArray json = QSettings().value(linesKey).toByteArray();
    if (!json.isEmpty() && !LimitFile::fromJson(json, &saved, &savedWatches, &error))
        qCWarning(lcLimits) << "saved limit lines ignored:" << error;
    setLimits(saved);
    setChannelWatches(savedWatches);
}

AlarmController::~AlarmController() = default;

void AlarmController::followEdits(LimitLineItems *items)
{
    connect(
        items, &LimitLineItems::lineEdited, this,
        [this](int index, const LimitLine &line) {
            QVector<LimitLine> lines = m_limits;
            if (index >= 0 && index < lines.size())
                lines[index] = line;
            setLimits(lines);
        },
        // after the plot's mouse event, whose curves the new lines replace
        Qt::QueuedConnection);
}

void AlarmController::watchRemotePage(TabPage *page, const QString &node)
{
    if (!page || remoteFor(page))
        return;
    auto remote = std::make_unique<Remote>();
    Remote *r = remote.get();
    r->key = page;
    r->page = page;
    r->node = node;
    r->band = bandOf(page);
    r->items = new LimitLineItems(page->spectroPlot(), r->band, page);
    r->items->setLimits(m_limits);
    followEdits(r->items);
    r->monitor.setLimits(m_limits);
    r->monitor.setChannelWatches(m_watches);
    connect(&r->monitor, &AlarmMonitor::alarm, this, [this, r](AlarmEvent e, LimitBand) {
        e.node = r->node;
        // The page may be on its way out: the event then has no waterfall.
        QTimer::singleShot(0, this, [this, e, page = r->page] { report(e, page.data()); });
    });
    connect(page, &QObject::destroyed, this, &AlarmController::forgetRemotePage);
    m_remotes.push_back(std::move(remote));
}

AlarmController::Remote *AlarmController::remoteFor(const QObject *page) const
{
    for (const auto &r : m_remotes)
        if (page && r->key == page)
            return r.get();
    return nullptr;
}

void AlarmController::forgetRemotePage(const QObject *page)
{
    for (auto it = m_remotes.begin(); it != m_remotes.end(); ++it) {
        if ((*it)->key != page)
            continue;
        // A closed page measures nothing more: each start gets its end.
        (*it)->monitor.finish();
        m_remotes.erase(it);
        return;
    }
}

void AlarmController::endRemoteAlarms(TabPage *page)
{
    if (Remote *r = remoteFor(page))
        r->monitor.finish();
}

void AlarmController::setLimits(const QVector<LimitLine> &limits)
{
    const bool changed = limits != m_limits;
    m_limits = limits;
    m_monitor.setLimits(limits);
    for (LimitLineItems *items : m_items)
        if (items)
            items->setLimits(limits);
    m_recordedItems.removeAll(nullptr);
    for (LimitLineItems *items : qAsConst(m_recordedItems))
        items->setLimits(limits);
    for (const auto &r : m_remotes) {
        r->monitor.setLimits(limits);
        if (r->items)
            r->items->setLimits(limits);
    }
    if (changed)
        save();
}

void AlarmController::setChannelWatches(const QVector<ChannelWatch> &watches)
{
    const bool changed = watches != m_watches;
    m_watches = watches;
    m_monitor.setChannelWatches(watches);
    for (const auto &r : m_remotes)
        r->monitor.setChannelWatches(watches);
    if (changed)
        save();
}

void AlarmController::save()
{
    // One document, as in a limit file: a reader that knows only lines
    // skips the watches.
    QSettings().setValue(linesKey, LimitFile::toJson(m_limits, m_watches));
}

void AlarmController::endAlarms()
{
    m_monitor.finish(QDateTime::currentMSecsSinceEpoch());
}

void AlarmController::editLimits()
{
    LimitsDialog dialog(qobject_cast<QWidget *>(parent()));
    dialog.setLimits(m_limits);
    dialog.setChannelWatches(m_watches);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QVector<LimitLine> lines;
    QVector<ChannelWatch> watches;
    QString error;
    if (dialog.limits(&lines, &watches, &error)) {
        setLimits(lines);
        setChannelWatches(watches);
    }
}

void AlarmController::showOnRecordedPage(TabPage *page)
{
    if (!page)
        return;
    auto *items = new LimitLineItems(page->spectroPlot(), bandOf(page), page);
    items->setReadOnly(true);
    items->setLimits(m_limits);
    m_recordedItems.removeAll(nullptr);
    m_recordedItems.append(items);
}

int AlarmController::bandIndex(const TabPage *page) const
{
    return page == m_pages[0] ? 0 : page == m_pages[1] ? 1 : -1;
}

void AlarmController::onSweep(TabPage *page, qint64 timeStamp, const RfSpectrumScan &spectrum)
{
    Remote *remote = remoteFor(page);
    const int band = bandIndex(page);
    if (!remote && band < 0)
        return;
    const QwtInterval range = page->bandHistory().frequencyInterval();
    if (remote)
        remote->monitor.onSweep(remote->band, range.minValue(), range.maxValue(), spectrum,
                                timeStamp);
    else
        m_monitor.onSweep(band ? LimitBand::Band900 : LimitBand::Band2400, range.minValue(),
                          range.maxValue(), spectrum, timeStamp);
}

void AlarmController::report(const AlarmEvent &event, TabPage *page)
{
    const bool start = event.state == AlarmEvent::Start;
    const QString name = displayName(event);
    const QString text =
        start ? tr("Alarm %1: %2").arg(name, facts(event))
              : tr("Alarm %1 ended after %2 s (worst %3)")
                    .arg(name, QString::number(event.durationMs / 1000.0, 'f', 1), facts(event));
    qCInfo(lcLimits).noquote() << text;
    if (page)
        page->addTimeEvents({TimeEvent(QDateTime::fromMSecsSinceEpoch(event.timeMs), text)});
    m_alarmsDock->addEvent(event);
    m_notifier->notify(start ? tr("Alarm: %1").arg(name) : tr("Alarm ended: %1").arg(name), text);
    if (start && m_soundAction->isChecked())
        QApplication::beep();
    emit alarm(event);
}
