#include "desktopfit.h"

#include <QAction>
#include <QHeaderView>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QWidget>

#include <cmath>

namespace desktopfit {

namespace {

double channel(int value)
{
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour)
{
    const QColor c = colour.toRgb();
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

const char* const toolTipProperty = "vxaToolTipKeys";

void updateToolTip(QAction* action)
{
    QStringList keys;
    const auto own = action->shortcuts();
    for (const QKeySequence& key : own)
        keys.append(key.toString(QKeySequence::NativeText));
    const auto extra = action->property(toolTipProperty).value<QList<QKeySequence>>();
    for (const QKeySequence& key : extra)
        keys.append(key.toString(QKeySequence::NativeText));
    QString text = action->text();
    text.remove(QLatin1Char('&'));
    if (!keys.isEmpty())
        text = QStringLiteral("%1 (%2)").arg(text, keys.join(QStringLiteral(", ")));
    if (action->toolTip() != text)
        action->setToolTip(text);
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QColor textColourOn(const QColor& background)
{
    return contrastRatio(background, Qt::black) >= contrastRatio(background, Qt::white) ? QColor(Qt::black)
                                                                                        : QColor(Qt::white);
}

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor statusColour(const QColor& onLight, const QPalette& palette)
{
    if (!isDark(palette))
        return onLight;
    const QColor window = palette.color(QPalette::Window);
    const QColor base = palette.color(QPalette::Base);
    QColor c = onLight.toRgb();
    // Towards white in small steps keeps the hue recognisable as green or red.
    for (int i = 0; i < 20 && qMin(contrastRatio(c, window), contrastRatio(c, base)) < 4.5; ++i)
        c = QColor(qMin(255, c.red() + (255 - c.red()) / 4 + 1), qMin(255, c.green() + (255 - c.green()) / 4 + 1),
                   qMin(255, c.blue() + (255 - c.blue()) / 4 + 1));
    return c;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::ButtonText, colour);
    p.setColor(QPalette::Text, colour);
    widget->setPalette(p);
}

QString colourRule(const char* property, const QColor& colour)
{
    return QStringLiteral("%1: %2;").arg(QLatin1String(property), colour.name());
}

void fitHeaderToText(QHeaderView* header)
{
    const QAbstractItemModel* model = header->model();
    if (!model)
        return;
    // The style's own margins around a section's text, plus the sort indicator's room.
    QStyleOptionHeader opt;
    opt.initFrom(header);
    const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, &opt, header)
                       + header->style()->pixelMetric(QStyle::PM_HeaderMarkSize, &opt, header);
    const QFontMetrics metrics(header->font());
    for (int i = 0; i < header->count(); ++i) {
        if (header->isSectionHidden(i))
            continue;
        const QString text = model->headerData(i, header->orientation(), Qt::DisplayRole).toString();
        const int need = metrics.horizontalAdvance(text) + margin;
        if (header->sectionSize(i) < need)
            header->resizeSection(i, need);
    }
}

QList<QKeySequence> standardKeys(QKeySequence::StandardKey key, const QKeySequence& fallback)
{
    const QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    return keys.isEmpty() ? QList<QKeySequence>{fallback} : keys;
}

void showShortcutsInToolTip(QAction* action, const QList<QKeySequence>& extra)
{
    action->setProperty(toolTipProperty, QVariant::fromValue(extra));
    if (!action->property("vxaToolTipWatched").toBool()) {
        action->setProperty("vxaToolTipWatched", true);
        QObject::connect(action, &QAction::changed, action, [action]() { updateToolTip(action); });
    }
    updateToolTip(action);
}

} // namespace desktopfit
