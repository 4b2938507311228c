#include "AdminNotice.h"

#include "adminrestart.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

AdminNotice::AdminNotice(QWidget* parent)
    : QFrame(parent)
    , text(new QLabel(this))
    , restartButton(new QPushButton(this))
    , restarter(new AdminRestart(this))
{
    setObjectName(QStringLiteral("adminNotice"));
    setFrameShape(QFrame::StyledPanel);
    text->setWordWrap(true);
    restartButton->setObjectName(QStringLiteral("restartAsAdministrator"));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(text, 1);
    layout->addWidget(restartButton, 0);
    connect(restartButton, &QPushButton::clicked, this, &AdminNotice::restart);
    // The new instance has its window: this one ends like a normal close.
    connect(restarter, &AdminRestart::started, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    connect(restarter, &AdminRestart::failed, this, [this](const QString& reason) {
        restartButton->setEnabled(true);
        auto* box = new QMessageBox(QMessageBox::Warning, tr("tips"), reason, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
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

QString AdminNotice::rightsText()
{
    return tr("Virtual serial ports are links under /dev, which only the administrator may create: "
              "restart the program as administrator to use them.");
}

void AdminNotice::restart()
{
    if (!restarter->start()) {
        QMessageBox::warning(this, tr("tips"), restarter->errorText);
        return;
    }
    // Until the new instance reports in or pkexec gives up.
    restartButton->setEnabled(false);
}
