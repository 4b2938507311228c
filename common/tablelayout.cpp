#include "tablelayout.h"

#include <QHeaderView>
#include <QStyle>
#include <QTableView>

namespace {

const char* const keyProperty = "vxaRememberedAs";

QHash<QString, QByteArray>& headerStates()
{
    static QHash<QString, QByteArray> states;
    return states;
}

} // namespace

namespace {

// Width of a cell showing text: the item delegate's own text margins, plus room for
// the grid line and a little air.
int cellWidth(const QTableView* view, const QString& text)
{
    const int margin = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1) + 8;
    return QFontMetrics(view->font()).horizontalAdvance(text) + margin;
}

} // namespace

void fitColumnsToSamples(QTableView* view, const QVector<QPair<int, QStringList>>& samples)
{
    QHeaderView* header = view->horizontalHeader();
    for (const auto& sample : samples) {
        const int column = sample.first;
        if (column < 0 || column >= header->count())
            continue;
        int width = header->sectionSizeHint(column);
        for (const QString& text : sample.second)
            width = qMax(width, cellWidth(view, text));
        header->resizeSection(column, width);
    }
}

void widenColumnToText(QTableView* view, int column, const QString& text)
{
    QHeaderView* header = view->horizontalHeader();
    if (column < 0 || column >= header->count() || header->sectionResizeMode(column) != QHeaderView::Interactive)
        return;
    // A peer's endless name must not push every other column out of sight.
    const int limit = QFontMetrics(view->font()).averageCharWidth() * 48;
    const int width = qMin(cellWidth(view, text), limit);
    if (width > header->sectionSize(column))
        header->resizeSection(column, width);
}

void setRowsToTextHeight(QTableView* view)
{
    QHeaderView* rows = view->verticalHeader();
    const int height = QFontMetrics(view->font()).height() + 6;
    rows->setMinimumSectionSize(qMin(rows->minimumSectionSize(), height));
    rows->setDefaultSectionSize(height);
}

void rememberHeaderState(QHeaderView* header, const QString& key)
{
    // Once per header: a second registration would restore over the first one's updates.
    if (header->property(keyProperty).isValid())
        return;
    header->setProperty(keyProperty, key);
    const QByteArray saved = headerStates().value(key);
    // A layout of another column count (an older program) is left unused.
    if (!saved.isEmpty()) {
        const int count = header->count();
        if (!header->restoreState(saved) || header->count() != count)
            headerStates().remove(key);
    }
    auto keep = [header, key]() { headerStates().insert(key, header->saveState()); };
    QObject::connect(header, &QHeaderView::sectionResized, header, keep);
    QObject::connect(header, &QHeaderView::sectionMoved, header, keep);
}

QHash<QString, QByteArray> rememberedHeaderStates()
{
    return headerStates();
}

void setRememberedHeaderStates(const QHash<QString, QByteArray>& states)
{
    headerStates() = states;
}
