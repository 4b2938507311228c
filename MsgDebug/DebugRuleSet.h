#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <map>

// The filter rules a debug window offers: one per type, source and destination value
// seen, kept sorted for the combo box. Each kind holds at most `capacity` values; when a
// new one comes, the least recently seen value of that kind goes, unless it is chosen.
// Adding, refreshing and evicting cost O(log n) lookups (plus a pointer move in the
// sorted list), so a device with thousands of sources never costs a rebuild.
class DebugRuleSet
{
public:
    enum Kind { Type = 0, Source, Destination, KindCount };

    // Where the sorted list changed: an entry at `removedAt` went (before `addedAt` was
    // inserted), and `rule` was inserted at `addedAt`. -1 where nothing happened.
    struct Change {
        int removedAt = -1;
        QString removed;
        int addedAt = -1;
    };

    explicit DebugRuleSet(int capacity = 1000);

    // Notes that `rule` (of `kind`) was seen just now.
    Change touch(Kind kind, const QString& rule);
    // Chosen rules are never evicted.
    void setChosen(const QString& rule, bool chosen);
    void clearChosen() { chosen.clear(); }
    void clear();

    const QStringList& sorted() const { return list; }
    int size() const { return list.size(); }
    int count(Kind kind) const { return int(byAge[kind].size()); }
    int capacity() const { return cap; }
    bool contains(const QString& rule) const { return entries.contains(rule); }

private:
    struct Entry {
        Kind kind;
        quint64 stamp;
    };
    int sortedIndex(const QString& rule) const;

    int cap;
    quint64 clock = 0;
    QHash<QString, Entry> entries;
    std::map<quint64, QString> byAge[KindCount]; // oldest first
    QSet<QString> chosen;
    QStringList list;
};
