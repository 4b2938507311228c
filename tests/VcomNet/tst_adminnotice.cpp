// The note an ordinary user sees on the VCOM page and its "Restart as administrator"
// button when pkexec is not there to do the restart.

#include "AdminNotice.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class tst_AdminNotice : public QObject
{
    Q_OBJECT
private slots:
    void explainsAndOffersRestart();
    void missingPkexecIsReported();
};

void tst_AdminNotice::explainsAndOffersRestart()
{
    AdminNotice notice;
    auto* label = notice.findChild<QLabel*>();
    QVERIFY(label);
    QVERIFY2(label->text().contains(QLatin1String("/dev")), qPrintable(label->text()));
    QVERIFY(label->text().contains(QLatin1String("administrator")));
    auto* button = notice.findChild<QPushButton*>(QStringLiteral("restartAsAdministrator"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Restart as administrator"));
}

void tst_AdminNotice::missingPkexecIsReported()
{
    // An empty search path: nothing is started whatever this machine has installed.
    QTemporaryDir emptyPath;
    QVERIFY(emptyPath.isValid());
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(emptyPath.path()));

    AdminNotice notice;
    notice.show();
    QString boxText;
    QTimer::singleShot(0, &notice, [&boxText]() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        boxText = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    notice.findChild<QPushButton*>(QStringLiteral("restartAsAdministrator"))->click();
    qputenv("PATH", oldPath);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY2(boxText.contains(QLatin1String("pkexec")), qPrintable(boxText));
}

QTEST_MAIN(tst_AdminNotice)
#include "tst_adminnotice.moc"
