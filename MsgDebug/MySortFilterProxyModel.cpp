#include "MySortFilterProxyModel.h"

MySortFilterProxyModel::MySortFilterProxyModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

void MySortFilterProxyModel::AppendFilterRule(QString rule)
{
    if (!rules.contains(rule))
        rules.append(rule);
}

void MySortFilterProxyModel::RemoveFilterRule(QString rule)
{
    rules.removeOne(rule);
}

void MySortFilterProxyModel::ClearFtilterRules()
{
    rules.clear();
}

bool MySortFilterProxyModel::filterAcceptsRow(int row, const QModelIndex& parent) const
{
    if (filterRegularExpression().pattern().isEmpty() || rules.isEmpty())
        return true;
    int column = 1;
    for (const QString& rule : rules) {
        if (rule.contains(QLatin1String("[TYPE]")))
            column = 1;
        else if (rule.contains(QLatin1String("[SRC]")))
            column = 2;
        else if (rule.contains(QLatin1String("[DST]")))
            column = 3;
        const int colon = rule.indexOf(QLatin1Char(':'));
        const QString value = colon > 0 ? rule.mid(colon + 1) : rule;
        const QModelIndex cell = sourceModel()->index(row, column, parent);
        if (cell.data().toString() == value)
            return true;
    }
    return false;
}
