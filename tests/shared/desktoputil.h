#pragma once

// A desktop unlike the suite's default: Fusion with a dark palette and/or a larger
// application font, for the lifetime of the object.

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace desktoputil {

class ScopedLook
{
public:
    explicit ScopedLook(bool dark, qreal fontScale = 1.0)
        : oldPalette(QApplication::palette())
        , oldFont(QApplication::font())
    {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QPalette p = QApplication::style()->standardPalette();
        if (dark) {
            for (auto role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase})
                p.setColor(role, QColor(53, 53, 53));
            p.setColor(QPalette::Base, QColor(35, 35, 35));
            for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                p.setColor(role, Qt::white);
            p.setColor(QPalette::Highlight, QColor(42, 130, 218));
            p.setColor(QPalette::HighlightedText, Qt::black);
        }
        QApplication::setPalette(p);
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
