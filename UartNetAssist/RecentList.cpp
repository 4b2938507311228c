#include "RecentList.h"

RecentList::RecentList(int capacity)
    : cap(qMax(1, capacity))
{
}

RecentList::Change RecentList::touch(const QString& text)
{
    Change change;
    if (index.contains(text)) {
        // The common case (the same sender again) changes nothing.
        if (list.constLast() != text) {
            list.removeOne(text); // at most `cap` entries
            list.append(text);
        }
        return change;
    }
    change.added = true;
    list.append(text);
    index.insert(text, true);
    if (list.size() > cap) {
        change.dropped = list.takeFirst();
        index.remove(change.dropped);
    }
    return change;
}

void RecentList::clear()
{
    list.clear();
    index.clear();
}

void RecentList::assign(const QStringList& texts)
{
    clear();
    for (const QString& t : texts)
        touch(t);
}
