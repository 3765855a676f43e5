#include "kivoiddetails.h"

#include "kivoidinfo.h"

#include <QFormLayout>
#include <QLabel>

KivoIdDetails::KivoIdDetails(QWidget *parent) : QWidget(parent)
{
    setMinimumWidth(MinimumWidth);
    auto *form = new QFormLayout(this);
    m_title = new QLabel(tr("KiVo ID Details"), this);
    m_title->setAlignment(Qt::AlignHCenter);
    m_title->setStyleSheet(QStringLiteral("* { background-color: #32414B }"));
    form->addRow(m_title);

    const auto addRow = [this, form](const QString &word) {
        auto *value = new QLabel(this);
        form->addRow(word + QLatin1Char(':'), value);
        return value;
    };
    m_kivoId = addRow(tr("KiVo ID"));
    m_universes = addRow(tr("Universes"));
    m_frequencyRange = addRow(tr("Frequency Range"));
    m_type = addRow(tr("Type"));
    m_indoorRange = addRow(tr("Indoor Range"));
    m_outdoorRange = addRow(tr("Outdoor Range"));
}

void KivoIdDetails::setKivoId(int kivoId)
{
    const KivoIdInfo info = kivoIdInfo(kivoId);
    m_kivoId->setText(QString::number(kivoId));
    m_universes->setText(QString::number(info.universes));
    m_frequencyRange->setText(kivoIdFrequencyRangeText(info));
    m_type->setText(info.type);
    m_indoorRange->setText(QString::number(info.indoorRangeFt) + QStringLiteral(" ft / ") +
                           QString::number(info.indoorRangeM) + QStringLiteral(" m"));
    m_outdoorRange->setText(QString::number(info.outdoorRangeFt) + QStringLiteral(" ft / ") +
                            QString::number(info.outdoorRangeM) + QStringLiteral(" m"));
}
