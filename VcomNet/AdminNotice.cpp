#include "AdminNotice.h"

#include "rights.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

AdminNotice::AdminNotice(QWidget* parent)
    : QFrame(parent)
    , text(new QLabel(this))
    , restartButton(new QPushButton(this))
{
    setObjectName(QStringLiteral("adminNotice"));
    setFrameShape(QFrame::StyledPanel);
    text->setWordWrap(true);
    restartButton->setObjectName(QStringLiteral("restartAsAdministrator"));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(text, 1);
    layout->addWidget(restartButton, 0);
    connect(restartButton, &QPushButton::clicked, this, &AdminNotice::restart);
    retranslate();
}

void AdminNotice::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QFrame::changeEvent(event);
}

void AdminNotice::retranslate()
{
    text->setText(tr("Virtual serial ports are links under /dev, which only the administrator may create. "
                     "You run the program as an ordinary user, so new connections here will fail. "
                     "Restart it as administrator to use this tool; the other tools work as they are."));
    restartButton->setText(tr("Restart as administrator"));
}

void AdminNotice::restart()
{
    QString error;
    if (!rights::restartAsAdministrator(&error)) {
        QMessageBox::warning(this, tr("tips"), error);
        return;
    }
    // The new instance asks for the password itself; this one ends like a normal close.
    QCoreApplication::quit();
}
