#include "remotescannersdialog.h"

#include "venuesubscriber.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QSettings>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
const char *const KeyUrl = "RemoteScanners/BrokerUrl";
const char *const KeyUserFile = "RemoteScanners/UserFile";
const char *const KeyPasswordFile = "RemoteScanners/PasswordFile";
const char *const KeyCaFile = "RemoteScanners/CaFile";

QString stateText(NodeStatus::State state)
{
    switch (state) {
    case NodeStatus::Scanning:
        return RemoteScannersDialog::tr("scanning");
    case NodeStatus::Connected:
        return RemoteScannersDialog::tr("connected, not scanning");
    case NodeStatus::Offline:
        break;
    }
    return RemoteScannersDialog::tr("offline");
}
} // namespace

RemoteScannersDialog::RemoteScannersDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RemoteScannersDialog"));
    setWindowTitle(tr("Watch Remote Scanners"));
    const QSettings settings;
    auto *form = new QFormLayout;
    m_edtUrl = new QLineEdit(settings.value(QLatin1String(KeyUrl)).toString(), this);
    m_edtUrl->setObjectName(QStringLiteral("edtBrokerUrl"));
    m_edtUrl->setPlaceholderText(QStringLiteral("mqtt://broker.lan/venue"));
    m_edtUrl->setToolTip(tr("mqtt[s]://HOST[:PORT]/PREFIX, as the nodes publish"));
    form->addRow(tr("Broker:"), m_edtUrl);
    m_edtUserFile = fileEdit(QStringLiteral("edtUserFile"), tr("none: anonymous"));
    m_edtUserFile->setText(settings.value(QLatin1String(KeyUserFile)).toString());
    form->addRow(tr("User name file:"), m_edtUserFile);
    m_edtPasswordFile = fileEdit(QStringLiteral("edtPasswordFile"), tr("none"));
    m_edtPasswordFile->setText(settings.value(QLatin1String(KeyPasswordFile)).toString());
    form->addRow(tr("Password file:"), m_edtPasswordFile);
    m_edtCaFile = fileEdit(QStringLiteral("edtCaFile"), tr("the system's CA certificates"));
    m_edtCaFile->setText(settings.value(QLatin1String(KeyCaFile)).toString());
    form->addRow(tr("CA file (mqtts):"), m_edtCaFile);
    auto *hint = new QLabel(tr("Credentials are read from files (first line), or from the "
                               "environment variables ORVANEL_MQTT_USER and "
                               "ORVANEL_MQTT_PASSWORD; only the file names are remembered."),
                            this);
    hint->setWordWrap(true);

    m_pbList = new QPushButton(tr("List Nodes"), this);
    m_pbList->setObjectName(QStringLiteral("pbListNodes"));
    m_lblState = new QLabel(this);
    m_lblState->setObjectName(QStringLiteral("lblState"));
    m_lblState->setWordWrap(true);
    auto *row = new QHBoxLayout;
    row->addWidget(m_pbList);
    row->addWidget(m_lblState, 1);

    m_twNodes = new QTreeWidget(this);
    m_twNodes->setObjectName(QStringLiteral("twNodes"));
    m_twNodes->setHeaderLabels({tr("Node"), tr("Band"), tr("State"), tr("Scanner")});
    m_twNodes->setRootIsDecorated(false);
    m_twNodes->header()->setStretchLastSection(true);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Open)->setEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addLayout(row);
    layout->addWidget(m_twNodes, 1);
    layout->addWidget(m_buttons);
    resize(620, 420);

    connect(m_pbList, &QPushButton::clicked, this, &RemoteScannersDialog::listNodes);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_twNodes, &QTreeWidget::itemChanged, this, [this] {
        m_buttons->button(QDialogButtonBox::Open)->setEnabled(!chosenNodes().isEmpty());
    });
}

RemoteScannersDialog::~RemoteScannersDialog() = default;

QLineEdit *RemoteScannersDialog::fileEdit(const QString &name, const QString &placeholder)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    return edit;
}

bool RemoteScannersDialog::listNodes()
{
    delete m_lister;
    m_lister = nullptr;
    m_twNodes->clear();
    MqttSettings settings;
    QString error;
    if (!MqttSettings::parseUrl(m_edtUrl->text().trimmed(), &settings, &error) ||
        !settings.loadCredentials(
            m_edtUserFile->text().trimmed(), m_edtPasswordFile->text().trimmed(),
            m_edtCaFile->text().trimmed(), QProcessEnvironment::systemEnvironment(), &error)) {
        m_lblState->setText(error);
        return false;
    }
    m_settings = settings;
    m_lister = new VenueSubscriber(settings, QString(), VenueSubscriber::Scope::StatusOnly, this);
    connect(m_lister, &VenueSubscriber::nodeStatusChanged, this, &RemoteScannersDialog::showNode);
    connect(m_lister, &VenueSubscriber::connectedChanged, this,
            &RemoteScannersDialog::showConnection);
    connect(m_lister, &VenueSubscriber::connectionFailed, this, [this](const QString &reason) {
        if (!m_lister->isConnected())
            m_lblState->setText(
                tr("Cannot connect to %1: %2 (retrying)").arg(m_settings.displayUrl(), reason));
    });
    showConnection(false); // a failure found while starting says more
    if (!m_lister->start(&error)) {
        m_lblState->setText(error);
        return false;
    }
    remember();
    return true;
}

void RemoteScannersDialog::showConnection(bool connected)
{
    // Until the broker answers, a wrong address, CA or password looks the
    // same as a slow network: it is never called connected.
    m_lblState->setText(
        connected
            ? tr("Connected to %1; nodes appear as they are heard of.").arg(m_settings.displayUrl())
            : tr("Connecting to %1 ... (no answer yet; retrying)").arg(m_settings.displayUrl()));
}

void RemoteScannersDialog::showNode(const QString &node, const NodeStatus &status)
{
    QTreeWidgetItem *item = nullptr;
    for (int i = 0; i < m_twNodes->topLevelItemCount() && !item; ++i)
        if (m_twNodes->topLevelItem(i)->text(0) == node)
            item = m_twNodes->topLevelItem(i);
    if (status.node.isEmpty()) { // the node's retained status was cleared
        delete item;
        return;
    }
    if (!item) {
        item = new QTreeWidgetItem(m_twNodes, {node});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
    }
    const bool blocked = m_twNodes->blockSignals(true);
    item->setText(1, status.band == QLatin1String("900") ? tr("900 MHz") : tr("2.4 GHz"));
    item->setText(2, stateText(status.state));
    item->setText(3, status.device);
    m_twNodes->blockSignals(blocked);
}

QList<NodeStatus> RemoteScannersDialog::chosenNodes() const
{
    QList<NodeStatus> chosen;
    if (!m_lister)
        return chosen;
    for (int i = 0; i < m_twNodes->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_twNodes->topLevelItem(i);
        const auto it = m_lister->nodes().constFind(item->text(0));
        if (item->checkState(0) == Qt::Checked && it != m_lister->nodes().constEnd())
            chosen.append(*it);
    }
    return chosen;
}

void RemoteScannersDialog::remember() const
{
    QSettings settings;
    settings.setValue(QLatin1String(KeyUrl), m_edtUrl->text().trimmed());
    settings.setValue(QLatin1String(KeyUserFile), m_edtUserFile->text().trimmed());
    settings.setValue(QLatin1String(KeyPasswordFile), m_edtPasswordFile->text().trimmed());
    settings.setValue(QLatin1String(KeyCaFile), m_edtCaFile->text().trimmed());
}
