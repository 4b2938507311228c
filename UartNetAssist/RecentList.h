#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// A history of at most `capacity` distinct texts, oldest first. Looking a text up is a
// hash lookup, so a flood of datagrams from known senders costs the same with a full
// history as with an empty one.
class RecentList
{
public:
    explicit RecentList(int capacity = 100);

    struct Change
    {
        bool added = false;   // the text was not in the list before
        QString dropped;      // the oldest text that made room for it (empty if none)
    };

    // Moves text to the newest place, adding it (and dropping the oldest beyond the
    // capacity) when it is new.
    Change touch(const QString& text);
    bool contains(const QString& text) const { return index.contains(text); }
    void clear();
    // Replaces the whole list; duplicates keep their newest place, the oldest go first
    // beyond the capacity.
    void assign(const QStringList& texts);

    const QStringList& entries() const { return list; }
    int size() const { return list.size(); }
    bool isEmpty() const { return list.isEmpty(); }
    int capacity() const { return cap; }

private:
    QStringList list;
    QHash<QString, bool> index;
    int cap;
};
