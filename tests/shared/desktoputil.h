#pragma once

// A desktop unlike the suite's default: Fusion with a dark palette (the usual dark-theme
// colours) or its own, and the font scaled. The old look returns when the result goes.

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include <memory>

namespace desktoputil {

inline std::shared_ptr<void> scopedLook(bool dark, qreal fontScale = 1.0)
{
    const QPalette oldPalette = QApplication::palette();
    const QFont oldFont = QApplication::font();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette p = QApplication::style()->standardPalette();
    for (auto role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase, QPalette::Base})
        p.setColor(role, !dark ? p.color(role) : role == QPalette::Base ? QColor(35, 35, 35) : QColor(53, 53, 53));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(role, dark ? QColor(Qt::white) : p.color(role));
    QApplication::setPalette(p);
    QFont font = oldFont;
    font.setPointSizeF(oldFont.pointSizeF() * fontScale);
    QApplication::setFont(font);
    return std::shared_ptr<void>(nullptr, [oldPalette, oldFont](void*) {
        QApplication::setPalette(oldPalette);
        QApplication::setFont(oldFont);
    });
}

} // namespace desktoputil
