#pragma once

// Desktops unlike the suite's default: a dark Fusion palette and a larger application
// font, set for the lifetime of an object. Header-only on purpose.

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace desktoputil {

// The dark palette that Fusion users commonly set (as in Qt's own dark-theme recipes).
inline QPalette darkFusionPalette()
{
    QPalette p;
    const QColor window(53, 53, 53);
    const QColor base(35, 35, 35);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, Qt::white);
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Link, QColor(42, 130, 218));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::PlaceholderText, QColor(160, 160, 160));
    return p;
}

// Fusion with the given palette (dark or the style's own) and the font scaled by
// fontScale, until the object goes.
class ScopedLook
{
public:
    ScopedLook(bool dark, qreal fontScale = 1.0)
        : oldPalette(QApplication::palette())
        , oldFont(QApplication::font())
    {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(dark ? darkFusionPalette() : QApplication::style()->standardPalette());
        QFont font = oldFont;
        font.setPointSizeF(oldFont.pointSizeF() * fontScale);
        QApplication::setFont(font);
    }
    ~ScopedLook()
    {
        QApplication::setPalette(oldPalette);
        QApplication::setFont(oldFont);
    }

private:
    QPalette oldPalette;
    QFont oldFont;
};

} // namespace desktoputil
