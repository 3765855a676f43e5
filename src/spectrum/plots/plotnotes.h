#pragma once

#include "plotprompts.h"
#include "tnwplotmarker.h"

#include <QCoreApplication>
#include <QList>
#include <QPointF>
#include <QString>

#include <functional>

// The notes a plot carries (labels on the spectrum, time events on the
// waterfall), each drawn by a marker of its own, and the user's editing of
// them: a click writes a note, or rewrites the last one it hits; a right
// click offers to remove a note it hits.
//
// The page's history must hold exactly what the plot shows: an edit is
// reported as the removal of the old note followed by the addition of the
// new one, and the list keeps the history's order (an edited note last).
template <typename Note> class PlotNotes
{
public:
    struct Entry
    {
        Note note;
        TnwPlotMarker *marker = nullptr; //!< owned by the plot while attached
    };

    struct Rules
    {
        std::function<bool(const Note &note, const QPointF &pos)> hit;
        //! The note written at `pos`.
        std::function<Note(const QPointF &pos, const QString &text)> written;
        //! `old` with a new text.
        std::function<Note(const Note &old, const QString &text)> rewritten;
        //! Where a rewritten note is drawn after a click at `pos`.
        std::function<QPointF(const Note &note, const QPointF &pos)> rewrittenAt;
        //! A marker for `note` at `at`, attached to the plot.
        std::function<TnwPlotMarker *(const Note &note, const QPointF &at)> draw;
        std::function<void(const Note &note)> added;
        std::function<void(const Note &note)> removed;
        QString removeQuestion;
        //! A right click offers the first note it hits only; otherwise each
        //! one hit in turn until the user removes one.
        bool offerFirstHitOnly = false;
    };

    explicit PlotNotes(Rules rules) : m_rules(std::move(rules)) {}
    ~PlotNotes() = default;
    PlotNotes(const PlotNotes &) = delete;
    PlotNotes &operator=(const PlotNotes &) = delete;

    const QList<Entry> &entries() const { return m_entries; }

    QList<Note> notes() const
    {
        QList<Note> notes;
        notes.reserve(m_entries.size());
        for (const Entry &e : m_entries)
            notes.append(e.note);
        return notes;
    }

    //! Shows `note` at `at`, as given, unreported.
    void show(const Note &note, const QPointF &at)
    {
        m_entries.append({note, m_rules.draw(note, at)});
    }

    void clear()
    {
        for (Entry &e : m_entries) {
            e.marker->detach();
            delete e.marker;
        }
        m_entries.clear();
    }

    //! Asks for a text and writes or rewrites a note; false when the user
    //! cancelled.
    bool write(const QPointF &pos)
    {
        int match = -1;
        for (int i = 0; i < m_entries.size(); ++i)
            if (m_rules.hit(m_entries.at(i).note, pos))
                match = i;

        const std::optional<QString> text =
            PlotPrompts::askText(QCoreApplication::translate("PlotNotes", "Enter Text"),
                                 match >= 0 ? m_entries.at(match).note.text : QString());
        if (!text)
            return false;

        if (match >= 0) {
            const Note old = take(match);
            const Note edited = m_rules.rewritten(old, *text);
            show(edited, m_rules.rewrittenAt(edited, pos));
            m_rules.removed(old);
            m_rules.added(edited);
        } else {
            const Note added = m_rules.written(pos, *text);
            show(added, pos);
            m_rules.added(added);
        }
        return true;
    }

    //! Offers to remove a note the right click at `pos` hits; true when one
    //! went.
    bool offerRemoval(const QPointF &pos)
    {
        for (int i = 0; i < m_entries.size(); ++i) {
            if (!m_rules.hit(m_entries.at(i).note, pos))
                continue;
            if (PlotPrompts::confirm(m_rules.removeQuestion)) {
                m_rules.removed(take(i));
                return true;
            }
            if (m_rules.offerFirstHitOnly)
                return false;
        }
        return false;
    }

private:
    Note take(int i)
    {
        Entry entry = m_entries.takeAt(i);
        entry.marker->detach();
        delete entry.marker;
        return entry.note;
    }

    Rules m_rules;
    QList<Entry> m_entries; //!< in the order made
};
