#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QVector>

// The newest lines of the session's log, oldest first. A ring buffer: adding
// a batch to a full log drops as many old lines without moving the others,
// and a line is turned into text only when a view asks for it.
class DebugLogModel : public QAbstractListModel
{
    Q_OBJECT
public:
    struct Entry
    {
        int secondOfDay = 0;
        QString msg;
    };

    explicit DebugLogModel(int capacity, QObject *parent = nullptr);

    int capacity() const { return m_capacity; }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    //! The shown line: "HH:mm:ss msg".
    QString line(int row) const;
    //! Length of the longest message kept since the last clear.
    int widestMessage() const { return m_widest; }

    //! Adds lines at the end; beyond the capacity the oldest go first.
    void append(const QVector<Entry> &batch);
    void clear();

    static QString timeText(int secondOfDay);

private:
    const Entry &at(int row) const { return m_ring[(m_head + row) % m_capacity]; }

    int m_capacity;
    QVector<Entry> m_ring; //!< grows up to the capacity, then wraps
    int m_head = 0;        //!< index of the oldest line in m_ring
    int m_count = 0;
    int m_widest = 0;
};
