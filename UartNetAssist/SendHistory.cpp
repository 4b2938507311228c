#include "SendHistory.h"

#include <QSettings>

namespace {

const QString kGroup = QStringLiteral("send_history");

} // namespace

int SendHistory::add(const QString& payload)
{
    if (payload.isEmpty() || payload.size() > maxEntryChars)
        return -2;
    const int previous = list.indexOf(payload);
    if (previous >= 0)
        list.removeAt(previous);
    list.prepend(payload);
    while (list.size() > capacity)
        list.removeLast();
    return previous;
}

void SendHistory::read(QSettings& settings)
{
    list.clear();
    settings.beginGroup(kGroup);
    // The stored count only limits the walk; entries absent, empty or repeated are skipped.
    bool ok = false;
    const int count = qBound(0, settings.value(QStringLiteral("count")).toInt(&ok), capacity);
    for (int i = 1; ok && i <= count; ++i) {
        const QString key = QString::number(i);
        if (!settings.contains(key))
            continue;
        const QString entry = settings.value(key).toString();
        if (!entry.isEmpty() && entry.size() <= maxEntryChars && !list.contains(entry))
            list.append(entry);
    }
    settings.endGroup();
}

void SendHistory::write(QSettings& settings) const
{
    settings.remove(kGroup);
    settings.beginGroup(kGroup);
    settings.setValue(QStringLiteral("count"), list.size());
    for (int i = 0; i < list.size(); ++i)
        settings.setValue(QString::number(i + 1), list.at(i));
    settings.endGroup();
}

bool SendHistoryRecall::older(const QStringList& entries, const QString& current, QString& out)
{
    if (pos + 1 >= entries.size())
        return false;
    if (pos < 0)
        draft = current;
    out = entries.at(++pos);
    return true;
}

bool SendHistoryRecall::newer(const QStringList& entries, QString& out)
{
    if (pos < 0)
        return false;
    --pos;
    if (pos >= entries.size()) // the history shrank meanwhile
        pos = entries.size() - 1;
    out = pos < 0 ? draft : entries.at(pos);
    return true;
}
