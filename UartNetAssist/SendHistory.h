#pragma once

#include <QString>
#include <QStringList>

class QSettings;

// The last distinct payloads sent from a send box, newest first, at most `capacity`.
// Stored in the group [send_history]: "count", then "1" (newest) ... "count".
class SendHistory
{
public:
    static constexpr int capacity = 20;
    // Longest payload remembered (characters): a longer one is sent but not kept, as
    // recalling it would stall the send box and every panel would load it.
    static constexpr int maxEntryChars = 64 * 1024;

    const QStringList& entries() const { return list; }
    // Puts payload in front. Returns the index it had before, or -1 when it is new (then
    // the oldest entry is dropped if the list was full). Empty payloads and those longer
    // than maxEntryChars are not kept (-2).
    int add(const QString& payload);
    void clear() { list.clear(); }

    void read(QSettings& settings);
    void write(QSettings& settings) const;

private:
    QStringList list;
};

// Walking through the history from a send box (Ctrl+Up older, Ctrl+Down newer). What the
// user had typed before the walk comes back after the newest entry.
class SendHistoryRecall
{
public:
    // The next older entry (false at the oldest); `current` is the box's text, kept as the
    // draft when the walk begins.
    bool older(const QStringList& entries, const QString& current, QString& out);
    // The next newer entry, or the draft after the newest (false when not walking).
    bool newer(const QStringList& entries, QString& out);
    // The box was edited or sent: the next walk starts afresh.
    void reset() { pos = -1; }
    int position() const { return pos; }

private:
    int pos = -1; // -1: the draft
    QString draft;
};
