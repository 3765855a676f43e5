#pragma once

#include "alarmevaluator.h"

#include <QVector>
#include <QWidget>

class QPushButton;
class QTableWidget;

//! The Alarms dock's contents: one row per alarm start and end, newest at
//! the bottom, exportable as CSV.
class AlarmsDock : public QWidget
{
    Q_OBJECT
public:
    //! Rows kept; the oldest go first, so a long show cannot fill memory.
    static constexpr int MaxRows = 10000;

    explicit AlarmsDock(QWidget *parent = nullptr);

    void addEvent(const AlarmEvent &event);
    const QVector<AlarmEvent> &events() const { return m_events; }
    QTableWidget *table() const { return m_table; }
    QPushButton *exportButton() const { return m_export; }

    //! The rows as CSV: time (ISO 8601, local with offset), state, limit,
    //! frequency MHz, level dBm, duration s, node (empty for this computer's
    //! scanner).
    static QByteArray toCsv(const QVector<AlarmEvent> &events);
    //! Asks where to save and writes the CSV; reports a failure.
    void exportCsv();
    void clear();

private:
    QTableWidget *m_table = nullptr;
    QPushButton *m_export = nullptr;
    QVector<AlarmEvent> m_events;
};
