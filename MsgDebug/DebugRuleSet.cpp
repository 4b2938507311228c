#include "DebugRuleSet.h"

#include <algorithm>

DebugRuleSet::DebugRuleSet(int capacity)
    : cap(qMax(1, capacity))
{
}

int DebugRuleSet::sortedIndex(const QString& rule) const
{
    return int(std::lower_bound(list.cbegin(), list.cend(), rule) - list.cbegin());
}

DebugRuleSet::Change DebugRuleSet::touch(Kind kind, const QString& rule)
{
    Change change;
    const quint64 now = ++clock;
    auto it = entries.find(rule);
    if (it != entries.end()) {
        byAge[it->kind].erase(it->stamp);
        it->stamp = now;
        byAge[it->kind].emplace(now, rule);
        return change;
    }
    std::map<quint64, QString>& ages = byAge[kind];
    if (int(ages.size()) >= cap) {
        // The oldest value that is not chosen; chosen ones stay however old.
        for (auto old = ages.begin(); old != ages.end(); ++old) {
            if (chosen.contains(old->second))
                continue;
            change.removed = old->second;
            change.removedAt = sortedIndex(old->second);
            list.removeAt(change.removedAt);
            entries.remove(old->second);
            ages.erase(old);
            break;
        }
    }
    change.addedAt = sortedIndex(rule);
    list.insert(change.addedAt, rule);
    entries.insert(rule, {kind, now});
    ages.emplace(now, rule);
    return change;
}

void DebugRuleSet::setChosen(const QString& rule, bool on)
{
    if (on)
        chosen.insert(rule);
    else
        chosen.remove(rule);
}

void DebugRuleSet::clear()
{
    entries.clear();
    for (auto& ages : byAge)
        ages.clear();
    chosen.clear();
    list.clear();
}
