#pragma once

#include <QSortFilterProxyModel>
#include <QStringList>

// Filters the frame table by rules "[TYPE]:v", "[SRC]:v" and "[DST]:v"; a row passes
// when any rule matches its type, source or destination cell.
class MySortFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit MySortFilterProxyModel(QObject* parent = nullptr);

    void AppendFilterRule(QString rule);
    void RemoveFilterRule(QString rule);
    void ClearFtilterRules();
    QStringList filterRules() const { return rules; }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

private:
    QStringList rules;
};
