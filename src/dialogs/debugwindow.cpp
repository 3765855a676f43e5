#include "debugwindow.h"

#include "debuglogview.h"
#include "devicecomms.h"
#include "dialogslog.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTime>

Q_LOGGING_CATEGORY(lcDialogs, "orvanel.dialogs")

namespace {

// The session logs several kilobytes per sweep; showing each line as it
// comes would cost more than the sweep itself.
constexpr int flushIntervalMs = 200;

QPushButton *button(QWidget *parent, const char *name, const QString &text, bool fixed = false)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    if (fixed)
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return b;
}

QDoubleSpinBox *doubleField(QWidget *parent, const char *name, double min, double max,
                            const QString &suffix)
{
    auto *f = new QDoubleSpinBox(parent);
    f->setObjectName(QLatin1String(name));
    f->setRange(min, max);
    f->setDecimals(2);
    f->setSuffix(suffix);
    return f;
}

QSpinBox *intField(QWidget *parent, const char *name)
{
    auto *f = new QSpinBox(parent);
    f->setObjectName(QLatin1String(name));
    return f;
}

QHBoxLayout *row(const char *name)
{
    auto *l = new QHBoxLayout;
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

DebugWindow::DebugWindow(const QStringList &extraPorts, QWidget *parent) : QWidget(parent)
{
    // Free-standing: it must neither keep the program running nor outlive
    // its closing.
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    buildForm();
    QStringList ports = DeviceComms::availablePortNames();
    for (const QString &port : extraPorts)
        if (!port.isEmpty() && !ports.contains(port))
            ports << port;
    m_form.cbSerialPort->addItems(ports);
    m_form.cbSerialPort->setCurrentIndex(-1);
    QObject::connect(m_form.pbClearLog, &QPushButton::clicked, this, [this] {
        m_pending.clear();
        m_logModel.clear();
    });

    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(flushIntervalMs);
    QObject::connect(&m_flushTimer, &QTimer::timeout, this, &DebugWindow::flushLog);

    QMetaObject::connectSlotsByName(this);
}

DebugWindow::~DebugWindow() = default;

void DebugWindow::buildForm()
{
    setObjectName(QStringLiteral("DebugWindow"));
    setWindowTitle(tr("Debug Window"));
    resize(412, 600);
    DebugWindowForm &f = m_form;
    f.gridLayout = new QGridLayout(this);
    f.gridLayout->setObjectName(QStringLiteral("gridLayout"));

    f.cbSerialPort = new QComboBox(this);
    f.cbSerialPort->setObjectName(QStringLiteral("cbSerialPort"));
    f.gridLayout->addWidget(f.cbSerialPort, 0, 0, 1, 3);

    f.pbConnect = button(this, "pbConnect", tr("Connect"));
    f.pbDisconnect = button(this, "pbDisconnect", tr("Disconnect"));
    f.pbGetDevVer = button(this, "pbGetDevVer", tr("Get Dev Ver"));
    f.pbGetFwVer = button(this, "pbGetFwVer", tr("Get Fw Ver"));
    f.pbGet900RfParams = button(this, "pbGet900RfParams", tr("Get 900 RF Params"));
    f.pbGet24RfParams = button(this, "pbGet24RfParams", tr("Get 2.4 Rf Params"));
    f.pbGetLastError = button(this, "pbGetLastError", tr("Get Last Error"));
    f.pbSync = button(this, "pbSync", tr("Sync"));
    f.pbHostBL = button(this, "pbHostBL", tr("Send Host BL"));
    QPushButton *const grid[3][3] = {{f.pbConnect, f.pbDisconnect, f.pbGetDevVer},
                                     {f.pbGetFwVer, f.pbGet900RfParams, f.pbGet24RfParams},
                                     {f.pbGetLastError, f.pbSync, f.pbHostBL}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            f.gridLayout->addWidget(grid[r][c], r + 1, c);

    auto *line = new QFrame(this);
    line->setObjectName(QStringLiteral("line"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    f.gridLayout->addWidget(line, 6, 0, 1, 3);

    QHBoxLayout *hlFBand = row("hlFBand");
    f.rbBand900 = new QRadioButton(tr("900 MHz Band"), this);
    f.rbBand900->setObjectName(QStringLiteral("rbBand900"));
    f.rbFBand24 = new QRadioButton(tr("2.4 GHz Band"), this);
    f.rbFBand24->setObjectName(QStringLiteral("rbFBand24"));
    hlFBand->addWidget(f.rbBand900);
    hlFBand->addWidget(f.rbFBand24);
    f.gridLayout->addLayout(hlFBand, 8, 0, 1, 3);

    QHBoxLayout *hlFStartStop = row("hlFStartStop");
    f.dsbSetFStart = doubleField(this, "dsbSetFStart", 900, 2500, QStringLiteral(" MHz"));
    f.pbSetFStart = button(this, "pbSetFStart", tr("Set F Start"), true);
    f.dsbSetFStop = doubleField(this, "dsbSetFStop", 900, 2500, QStringLiteral(" MHz"));
    f.pbSetFStop = button(this, "pbSetFStop", tr("Set F Stop"), true);
    for (QWidget *w :
         {static_cast<QWidget *>(f.dsbSetFStart), static_cast<QWidget *>(f.pbSetFStart),
          static_cast<QWidget *>(f.dsbSetFStop), static_cast<QWidget *>(f.pbSetFStop)})
        hlFStartStop->addWidget(w);
    f.gridLayout->addLayout(hlFStartStop, 9, 0, 1, 3);

    QHBoxLayout *hlSpanIndexFStep = row("hlSpanIndexFStep");
    f.sbSetSpanIndex = intField(this, "sbSetSpanIndex");
    f.pbSetSpanIndex = button(this, "pbSetSpanIndex", tr("Set Span Index"), true);
    f.dsbSetFStep = doubleField(this, "dsbSetFStep", 0, 999.99, QStringLiteral(" KHz"));
    f.pbSetFStep = button(this, "pbSetFStep", tr("Set F Step"), true);
    for (QWidget *w :
         {static_cast<QWidget *>(f.sbSetSpanIndex), static_cast<QWidget *>(f.pbSetSpanIndex),
          static_cast<QWidget *>(f.dsbSetFStep), static_cast<QWidget *>(f.pbSetFStep)})
        hlSpanIndexFStep->addWidget(w);
    f.gridLayout->addLayout(hlSpanIndexFStep, 10, 0, 1, 3);

    QHBoxLayout *hlRbwStepCount = row("hlRbwStepCount");
    f.sbSetRbw = intField(this, "sbSetRbw");
    f.pbSetRbw = button(this, "pbSetRbw", tr("Set RBW"), true);
    f.sbSetStepCount = intField(this, "sbSetStepCount");
    f.pbSetStepCount = button(this, "pbSetStepCount", tr("Set Step Count"), true);
    for (QWidget *w :
         {static_cast<QWidget *>(f.sbSetRbw), static_cast<QWidget *>(f.pbSetRbw),
          static_cast<QWidget *>(f.sbSetStepCount), static_cast<QWidget *>(f.pbSetStepCount)})
        hlRbwStepCount->addWidget(w);
    f.gridLayout->addLayout(hlRbwStepCount, 11, 0, 1, 3);

    QHBoxLayout *hlSpan = row("hlSpan");
    f.sbSetSpan = intField(this, "sbSetSpan");
    f.sbSetSpan->setRange(0, 999);
    f.sbSetSpan->setSuffix(QStringLiteral(" MHz"));
    f.pbSeSpan = button(this, "pbSeSpan", tr("Set Span"), true);
    hlSpan->addWidget(f.sbSetSpan);
    hlSpan->addWidget(f.pbSeSpan);
    f.gridLayout->addLayout(hlSpan, 12, 0, 1, 3);

    f.pbClearLog = button(this, "pbClearLog", tr("Clear Log"));
    f.pbGetCalibration = button(this, "pbGetCalibration", tr("Get Calib"));
    f.gridLayout->addWidget(f.pbClearLog, 13, 0);
    f.gridLayout->addWidget(f.pbGetCalibration, 13, 2);

    // Several kilobytes of hex per sweep: a text document would lay out
    // every line it is given, a list of rows only those in sight.
    f.logText = new DebugLogView(&m_logModel, this);
    f.logText->setObjectName(QStringLiteral("logText"));
    QFont font(QStringLiteral("Consolas"), 10);
    if (!QFontDatabase().families().contains(font.family())) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(10);
    }
    f.logText->setFont(font);
    f.gridLayout->addWidget(f.logText, 14, 0, 1, 3);
}

QString DebugWindow::logLine(const QString &msg)
{
    return DebugLogModel::timeText(QTime::currentTime().msecsSinceStartOfDay() / 1000) +
           QLatin1Char(' ') + msg;
}

void DebugWindow::log(const QString &msg)
{
    // The time now, the text when shown: the message itself is shared, not
    // copied.
    m_pending.append({QTime::currentTime().msecsSinceStartOfDay() / 1000, msg});
    if (m_pending.size() >= 2 * maxLogLines) // trimmed in bulk; the model keeps the newest
        m_pending.erase(m_pending.begin(), m_pending.end() - maxLogLines);
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void DebugWindow::flushLog()
{
    m_flushTimer.stop();
    if (m_pending.isEmpty())
        return;
    // One insertion for the whole batch, and one removal of the oldest lines.
    m_logModel.append(m_pending);
    m_pending.clear();
}

void DebugWindow::setBusy(bool busy)
{
    m_busy = busy;
    updateSendButtons();
}

void DebugWindow::setScanning(bool scanning)
{
    m_scanning = scanning;
    updateSendButtons();
}

void DebugWindow::setUpdateLocked(bool locked)
{
    m_updateLocked = locked;
    updateSendButtons();
}

void DebugWindow::updateSendButtons()
{
    const bool enabled = !m_busy && !m_scanning && !m_updateLocked;
    const DebugWindowForm &f = m_form;
    for (QWidget *w : std::initializer_list<QWidget *>{
             f.pbConnect, f.pbDisconnect, f.pbGetDevVer, f.pbGetFwVer, f.pbGet900RfParams,
             f.pbGet24RfParams, f.pbGetLastError, f.pbSync, f.pbHostBL, f.rbBand900, f.rbFBand24,
             f.pbSetFStart, f.pbSetFStop, f.pbSetSpanIndex, f.pbSetFStep, f.pbSetRbw,
             f.pbSetStepCount, f.pbSeSpan, f.pbGetCalibration})
        w->setEnabled(enabled);
}

void DebugWindow::on_pbGetDevVer_clicked()
{
    emit getDevVerClicked();
}

void DebugWindow::on_pbGetFwVer_clicked()
{
    emit getFwVerClicked();
}

void DebugWindow::on_pbGet900RfParams_clicked()
{
    emit getRfParamsClicked(RfsaSerialComms::FBand_900MHz);
}

void DebugWindow::on_pbGet24RfParams_clicked()
{
    emit getRfParamsClicked(RfsaSerialComms::FBand_2400MHz);
}

void DebugWindow::on_pbGetLastError_clicked()
{
    emit getLastErrorClicked();
}

void DebugWindow::on_pbSync_clicked()
{
    emit syncClicked();
}

void DebugWindow::on_pbHostBL_clicked()
{
    emit hostBLClicked();
}

void DebugWindow::on_rbBand900_clicked(bool checked)
{
    if (checked)
        emit setFBand(RfsaSerialComms::SetFBand_900MHz);
}

void DebugWindow::on_rbFBand24_clicked(bool checked)
{
    if (checked)
        emit setFBand(RfsaSerialComms::SetFBand_2400MHz);
}

void DebugWindow::on_pbSetFStart_clicked()
{
    emit setFStart(m_form.dsbSetFStart->value());
}

void DebugWindow::on_pbSetFStop_clicked()
{
    emit setFStop(m_form.dsbSetFStop->value());
}

void DebugWindow::on_pbSetSpanIndex_clicked()
{
    emit setSpanIndex(uchar(m_form.sbSetSpanIndex->value()));
}

void DebugWindow::on_pbSetFStep_clicked()
{
    emit setFStep(m_form.dsbSetFStep->value());
}

void DebugWindow::on_pbSetRbw_clicked()
{
    emit setRBW(ushort(m_form.sbSetRbw->value()));
}

void DebugWindow::on_pbSetStepCount_clicked()
{
    emit setStepCount(ushort(m_form.sbSetStepCount->value()));
}

void DebugWindow::on_pbSeSpan_clicked()
{
    emit setSpan(ushort(m_form.sbSetSpan->value()));
}

void DebugWindow::on_pbGetCalibration_clicked()
{
    emit getCalibration();
}

void DebugWindow::on_cbSerialPort_activated(const QString &port)
{
    emit serialPortChanged(port);
}

void DebugWindow::on_pbConnect_clicked()
{
    emit connect();
}

void DebugWindow::on_pbDisconnect_clicked()
{
    emit disconnect();
}
