#pragma once

#include <QWidget>

class QLabel;

//! The description of one KiVo ID, as the panel shows it for the hovered or
//! selected cell.
class KivoIdDetails : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MinimumWidth = 325;

    explicit KivoIdDetails(QWidget *parent = nullptr);

    QLabel *title() const { return m_title; }
    QLabel *kivoIdValue() const { return m_kivoId; }
    QLabel *universesValue() const { return m_universes; }
    QLabel *frequencyRangeValue() const { return m_frequencyRange; }
    QLabel *typeValue() const { return m_type; }
    QLabel *indoorRangeValue() const { return m_indoorRange; }
    QLabel *outdoorRangeValue() const { return m_outdoorRange; }

public slots:
    void setKivoId(int kivoId);

private:
    QLabel *m_title = nullptr;
    QLabel *m_kivoId = nullptr;
    QLabel *m_universes = nullptr;
    QLabel *m_frequencyRange = nullptr;
    QLabel *m_type = nullptr;
    QLabel *m_indoorRange = nullptr;
    QLabel *m_outdoorRange = nullptr;
};
