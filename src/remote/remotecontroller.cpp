#include "remotecontroller.h"

#include "dialogseam.h"
#include "remotefeed.h"
#include "remotescannersdialog.h"
#include "tabpage2400.h"
#include "tabpage900.h"
#include "venuelog.h"
#include "venuesubscriber.h"

#include <QAction>
#include <QBoxLayout>
#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProcessEnvironment>
#include <QSaveFile>
#include <QSet>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextStream>
#include <QToolBar>

#include <cmath>
#include <limits>

#include <memory>

struct RemoteController::Watched
{
    enum class Broker
    {
        Connecting,
        Up,
        Lost
    };

    QPointer<TabPage> page;
    //! The page as an object, to know it by while it is destroyed: a page
    //! on its way out is no longer a TabPage, and its pointer must not be
    //! taken as one.
    const QObject *pageObject = nullptr;
    VenueSubscriber *subscriber = nullptr;
    QString node;
    QString key; //!< broker and node: one page per node of a broker
    std::unique_ptr<RemoteFeed> feed;
    QLabel *banner = nullptr;
    Broker broker = Broker::Connecting;
    bool offline = false;
    QString failure; //!< why the broker cannot be reached, while it cannot
    qint64 delay = -1;
    //! How many sweeps came with each delay, 1 ms buckets, the last for
    //! DelayBuckets ms and more: a fixed size however long the watch runs.
    QVector<quint32> delays = QVector<quint32>(DelayBuckets + 1, 0);
    quint64 taken = 0;
    quint64 saved = 0; //!< of `taken`, when the page was last saved
    quint64 refused = 0;
};

namespace {
QString keyOf(const MqttSettings &settings, const QString &node)
{
    return settings.displayUrl() + QLatin1Char('/') + node;
}
} // namespace

RemoteController::RemoteController(QMainWindow *window, QTabWidget *tabs,
                                   const PageActions &actions, QToolBar *toolBar, QAction *before)
    : QObject(window), m_window(window), m_tabs(tabs), m_actions(actions)
{
    m_actions.record = nullptr;
    m_actions.stop = nullptr;
    m_watchAction = new QAction(tr("Watch Remote Scanners..."), this);
    m_watchAction->setObjectName(QStringLiteral("actionWatch_Remote_Scanners"));
    m_watchAction->setToolTip(tr("Open the scanners that publish to an MQTT broker as live pages"));
    toolBar->insertAction(before, m_watchAction);
    connect(m_watchAction, &QAction::triggered, this, &RemoteController::showWatchDialog);

    m_lblStatus = new QLabel(window);
    m_lblStatus->setObjectName(QStringLiteral("lblRemoteStatus"));
    m_lblStatus->setToolTip(tr("The remote page's node and the end-to-end delay of its sweeps "
                               "(from the node's time stamp to now)"));
    window->statusBar()->addPermanentWidget(m_lblStatus);
    m_lblStatus->hide();
    m_statusTimer.setInterval(StatusIntervalMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &RemoteController::updateStatusLabel);
    // Queued: the tabs change while the window takes them down, when asking
    // them which page is shown would reach into half-destroyed widgets.
    connect(tabs, &QTabWidget::currentChanged, this, &RemoteController::updateStatusLabel,
            Qt::QueuedConnection);
    // While the pages still exist: the window deletes them before this.
    const QString statsFile = qEnvironmentVariable("ORVANEL_REMOTE_STATS");
    if (!statsFile.isEmpty() && QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                [this, statsFile] { writeStats(statsFile); });
}

RemoteController::~RemoteController()
{
    for (Watched *w : qAsConst(m_watched)) {
        delete w->subscriber; // before what its queued sweeps would reach
        delete w;
    }
}

void RemoteController::showWatchDialog()
{
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    m_dialog = new RemoteScannersDialog(m_window);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &QDialog::accepted, this, [this] {
        for (const NodeStatus &status : m_dialog->chosenNodes())
            watch(m_dialog->settings(), status);
    });
    m_dialog->open();
    // A broker used before is listed at once.
    if (!m_dialog->urlEdit()->text().isEmpty())
        m_dialog->listNodes();
}

TabPage *RemoteController::watch(const MqttSettings &settings, const NodeStatus &status)
{
    const QString key = keyOf(settings, status.node);
    for (Watched *w : qAsConst(m_watched)) {
        if (w->key == key && w->page) {
            m_tabs->setCurrentWidget(w->page);
            return w->page;
        }
    }
    if (!isValidNodeName(status.node))
        return nullptr;
    TabPage *page = nullptr;
    if (status.band == QLatin1String("2400"))
        page = new TabPage2400(m_actions, TabPage2400::FedRemotely(), m_tabs);
    else if (status.band == QLatin1String("900"))
        page = new TabPage900(m_actions, m_tabs);
    else
        return nullptr;

    auto *w = new Watched;
    w->page = page;
    w->pageObject = page;
    w->node = status.node;
    w->key = key;
    const QwtInterval grid = page->bandHistory().frequencyInterval();
    w->feed = std::make_unique<RemoteFeed>(status.band, grid.minValue(), grid.maxValue());
    w->banner = new QLabel(page);
    w->banner->setObjectName(QStringLiteral("lblRemoteState"));
    w->banner->setAlignment(Qt::AlignCenter);
    w->banner->setStyleSheet(QStringLiteral(
        "QLabel { background-color: #5a5a5a; color: white; font-weight: bold; padding: 4px; }"));
    if (auto *box = qobject_cast<QBoxLayout *>(page->layout()))
        box->insertWidget(0, w->banner);
    page->setScanSettings(tr("%1 on %2").arg(status.node, settings.displayUrl()));
    m_watched.append(w);

    const int index = m_tabs->addTab(page, status.node);
    m_tabs->setTabToolTip(index, tr("%1, a scanner on %2").arg(status.node, settings.displayUrl()));
    m_tabs->setCurrentIndex(index);
    connect(page, &QObject::destroyed, this, &RemoteController::pageGone);

    w->subscriber =
        new VenueSubscriber(settings, status.node, VenueSubscriber::Scope::Everything, this);
    connect(w->subscriber, &VenueSubscriber::sweepReceived, this,
            [this, w](const QString &, const SweepPayload &sweep, qint64) { onSweep(w, sweep); });
    connect(w->subscriber, &VenueSubscriber::nodeStatusChanged, this,
            [this, w](const QString &, const NodeStatus &s) { onStatus(w, s); });
    connect(w->subscriber, &VenueSubscriber::alarmReceived, this,
            [this, w](const QString &, const QByteArray &json) { onAlarm(w, json); });
    connect(w->subscriber, &VenueSubscriber::connectedChanged, this, [this, w](bool up) {
        w->broker = up ? Watched::Broker::Up : Watched::Broker::Lost;
        w->failure.clear();
        showState(w);
        if (!up && w->page)
            emit pageStalled(w->page);
    });
    connect(w->subscriber, &VenueSubscriber::connectionFailed, this,
            [this, w](const QString &reason) {
                w->failure = reason;
                showState(w);
            });
    QString error;
    if (!w->subscriber->start(&error)) {
        qCWarning(lcVenue, "cannot watch %s: %s", qPrintable(key), qPrintable(error));
        w->banner->setText(tr("Cannot reach the broker: %1").arg(error));
    }
    qCInfo(lcVenue, "watching node %s", qPrintable(key));
    emit pageOpened(page, status.node);
    onStatus(w, status);
    m_statusTimer.start();
    updateStatusLabel();
    return page;
}

bool RemoteController::watchAll(const QString &url, QString *error)
{
    MqttSettings settings;
    if (!MqttSettings::parseUrl(url, &settings, error) ||
        !settings.loadCredentials(QString(), QString(), QString(),
                                  QProcessEnvironment::systemEnvironment(), error))
        return false;
    auto *finder =
        new VenueSubscriber(settings, QString(), VenueSubscriber::Scope::StatusOnly, this);
    m_finders.append(finder);
    // A node is opened once: one the user closed stays closed, whatever it
    // says later.
    auto opened = std::make_shared<QSet<QString>>();
    connect(finder, &VenueSubscriber::nodeStatusChanged, this,
            [this, settings, opened](const QString &node, const NodeStatus &status) {
                if (status.state == NodeStatus::Offline || opened->contains(node))
                    return;
                opened->insert(node);
                watch(settings, status);
            });
    return finder->start(error);
}

RemoteController::Watched *RemoteController::watchedFor(const TabPage *page) const
{
    for (Watched *w : m_watched)
        if (page && w->page == page)
            return w;
    return nullptr;
}

void RemoteController::onSweep(Watched *w, const SweepPayload &sweep)
{
    TabPage *page = w->page;
    if (!page)
        return;
    switch (w->feed->offer(sweep)) {
    case RemoteFeed::Verdict::Refuse:
        // A node gone wrong may send this with every sweep.
        if (++w->refused <= 10 || w->refused % 1000 == 0)
            qCWarning(lcVenue, "refused sweep %llu of node %s: %s",
                      static_cast<unsigned long long>(w->refused), qPrintable(w->node),
                      qPrintable(w->feed->reason()));
        return;
    case RemoteFeed::Verdict::TakeAfterGap:
        page->fillMissingHist(sweep.timeStamp);
        break;
    case RemoteFeed::Verdict::Take:
        break;
    }
    const RfSpectrumScan levels = RemoteFeed::levels(sweep);
    page->onNewSpecScan(sweep.timeStamp, levels);
    emit sweepShown(page, sweep.timeStamp, levels);
    ++w->taken;
    // Up to the page, not only to the network thread: what the user sees.
    w->delay = QDateTime::currentMSecsSinceEpoch() - sweep.timeStamp;
    ++w->delays[int(qBound<qint64>(0, w->delay, DelayBuckets))];
    if (w->offline && w->taken > 0) {
        // Sweeps are the plainest sign of a node at work, whatever an older
        // status said.
        w->offline = false;
        showState(w);
    }
}

void RemoteController::onStatus(Watched *w, const NodeStatus &status)
{
    // An empty status (a cleared retained message) means the node is gone.
    const bool was = w->offline;
    w->offline = status.node.isEmpty() || status.state == NodeStatus::Offline;
    if (w->offline)
        qCInfo(lcVenue, "node %s is offline", qPrintable(w->key));
    showState(w);
    if (w->offline && !was && w->page)
        emit pageStalled(w->page);
}

void RemoteController::onAlarm(Watched *w, const QByteArray &json)
{
    if (!w->page)
        return;
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    const QString name = o.value(QStringLiteral("name")).toString();
    const qint64 time = qint64(o.value(QStringLiteral("time")).toDouble());
    if (name.isEmpty() || time <= 0) {
        qCWarning(lcVenue, "node %s sent an alarm without name or time", qPrintable(w->node));
        return;
    }
    const bool start = o.value(QStringLiteral("state")).toString() == QLatin1String("start");
    const QString facts = tr("%1 MHz %2 dBm")
                              .arg(o.value(QStringLiteral("frequencyMHz")).toDouble(), 0, 'f', 3)
                              .arg(o.value(QStringLiteral("levelDbm")).toDouble());
    const QString text =
        start ? tr("Alarm %1 on %2: %3").arg(name, w->node, facts)
              : tr("Alarm %1 on %2 ended after %3 s")
                    .arg(name, w->node)
                    .arg(o.value(QStringLiteral("durationMs")).toDouble() / 1000.0, 0, 'f', 1);
    qCInfo(lcVenue).noquote() << text;
    w->page->addTimeEvents({TimeEvent(QDateTime::fromMSecsSinceEpoch(time), text)});
}

void RemoteController::showState(Watched *w)
{
    if (!w->page)
        return;
    QString text;
    if (w->offline)
        text = tr("Node offline");
    else if (w->broker != Watched::Broker::Up && !w->failure.isEmpty())
        text = tr("Cannot connect to %1: %2 (retrying)")
                   .arg(w->subscriber->settings().displayUrl(), w->failure);
    else if (w->broker == Watched::Broker::Connecting)
        text = tr("Connecting to %1 ...").arg(w->subscriber->settings().displayUrl());
    else if (w->broker == Watched::Broker::Lost)
        text = tr("The broker %1 is gone; retrying").arg(w->subscriber->settings().displayUrl());
    w->banner->setText(text);
    w->banner->setVisible(!text.isEmpty());
    const int index = m_tabs->indexOf(w->page);
    if (index >= 0)
        m_tabs->setTabText(index, w->offline ? tr("%1 (Node offline)").arg(w->node) : w->node);
    updateStatusLabel();
}

void RemoteController::updateStatusLabel()
{
    const Watched *w = watchedFor(qobject_cast<TabPage *>(m_tabs->currentWidget()));
    if (!w) {
        m_lblStatus->hide();
        return;
    }
    if (w->offline)
        m_lblStatus->setText(tr("%1: Node offline").arg(w->node));
    else if (w->delay < 0)
        m_lblStatus->setText(tr("%1: no sweeps yet").arg(w->node));
    else
        m_lblStatus->setText(tr("%1: delay %2 ms").arg(w->node).arg(w->delay));
    m_lblStatus->show();
}

void RemoteController::pageGone(QObject *page)
{
    for (int i = 0; i < m_watched.size(); ++i) {
        Watched *w = m_watched.at(i);
        if (!w->page.isNull() && w->pageObject != page)
            continue;
        // Leaving the broker ends the node's subscriptions there.
        qCInfo(lcVenue, "stopped watching node %s", qPrintable(w->key));
        delete w->subscriber;
        delete w;
        m_watched.removeAt(i--);
    }
    if (m_watched.isEmpty())
        m_statusTimer.stop();
    QMetaObject::invokeMethod(this, &RemoteController::updateStatusLabel, Qt::QueuedConnection);
}

QList<TabPage *> RemoteController::pages() const
{
    QList<TabPage *> pages;
    for (const Watched *w : m_watched)
        if (w->page)
            pages.append(w->page);
    return pages;
}

QString RemoteController::nodeOf(const TabPage *page) const
{
    const Watched *w = watchedFor(page);
    return w ? w->node : QString();
}

bool RemoteController::isOffline(const TabPage *page) const
{
    const Watched *w = watchedFor(page);
    return w && w->offline;
}

int RemoteController::unsavedSweeps(const TabPage *page) const
{
    const Watched *w = watchedFor(page);
    return w ? int(qMin<quint64>(w->taken - w->saved, std::numeric_limits<int>::max())) : 0;
}

void RemoteController::noteSaved(const TabPage *page)
{
    if (Watched *w = watchedFor(page))
        w->saved = w->taken;
}

qint64 RemoteController::delayMs(const TabPage *page) const
{
    const Watched *w = watchedFor(page);
    return w ? w->delay : -1;
}

quint64 RemoteController::sweepsTaken(const TabPage *page) const
{
    const Watched *w = watchedFor(page);
    return w ? w->taken : 0;
}

qint64 RemoteController::delayPercentileMs(const TabPage *page, double share) const
{
    const Watched *w = watchedFor(page);
    if (!w || w->taken == 0)
        return -1;
    const quint64 wanted = quint64(std::ceil(share * double(w->taken)));
    quint64 seen = 0;
    for (int ms = 0; ms < w->delays.size(); ++ms) {
        seen += w->delays.at(ms);
        if (seen >= qMax<quint64>(1, wanted))
            return ms;
    }
    return DelayBuckets;
}

void RemoteController::writeStats(const QString &path) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    QTextStream out(&f);
    out << "# node sweeps refused delay_p50_ms delay_p99_ms delay_max_ms\n";
    for (const Watched *w : m_watched)
        out << w->node << ' ' << w->taken << ' ' << w->refused << ' '
            << delayPercentileMs(w->page, 0.5) << ' ' << delayPercentileMs(w->page, 0.99) << ' '
            << delayPercentileMs(w->page, 1.0) << '\n';
    out.flush();
    if (!f.commit())
        qCWarning(lcVenue, "cannot write %s", qPrintable(path));
}
