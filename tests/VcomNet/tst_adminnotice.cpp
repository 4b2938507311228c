// The note an ordinary user sees on the VCOM page and its "Restart as administrator"
// button when pkexec is not there to do the restart, refuses it, or does it.

#include "AdminNotice.h"
#include "adminrestart.h"
#include "testutil.h"

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
    void restartWaitsForTheNewInstance_data();
    void restartWaitsForTheNewInstance();
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

void tst_AdminNotice::restartWaitsForTheNewInstance_data()
{
    QTest::addColumn<QByteArray>("pkexec"); // the stand-in's script
    QTest::addColumn<QString>("reason");    // in the box; empty: the new instance reported in
    const QByteArray error = "echo 'Error executing command as another user: ";
    QTest::newRow("cancelled") << error + "Request dismissed' >&2; exit 126" << "The restart was cancelled";
    QTest::newRow("refused") << error + "Not authorized' >&2; exit 127" << "Administrator rights were refused";
    QTest::newRow("no agent") << error + "No authentication agent found.' >&2; exit 127" << "No authentication agent";
    QTest::newRow("program fails") << QByteArray("exit 1") << "ended before its window opened (exit status 1)";
    QTest::newRow("started") << QByteArray("while [ $# -gt 0 ]; do [ \"$1\" = --restart-notify ] && "
                                           "echo started | socat - UNIX-CONNECT:\"$2\"; shift; done")
                             << QString();
}

void tst_AdminNotice::restartWaitsForTheNewInstance()
{
    QFETCH(QByteArray, pkexec);
    QFETCH(QString, reason);
    QTemporaryDir bin;
    QFile script(bin.filePath(QStringLiteral("pkexec")));
    QVERIFY(script.open(QIODevice::WriteOnly) && script.write("#!/bin/sh\n" + pkexec + "\n") > 0);
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ":" + oldPath);
    AdminNotice notice;
    QSignalSpy started(notice.findChild<AdminRestart*>(), &AdminRestart::started);
    QString boxText;
    auto answer = testutil::answerNextModal("OK", [&](QWidget* w) { boxText = testutil::modalText(w); }, 20000);
    auto* button = notice.findChild<QPushButton*>(QStringLiteral("restartAsAdministrator"));
    button->click();
    qputenv("PATH", oldPath);
    QVERIFY(!button->isEnabled()); // waiting, the window still there
    QTRY_VERIFY_WITH_TIMEOUT(started.count() == 1 || !boxText.isEmpty(), 20000);
    testutil::cancelAnswer(answer);
    QCOMPARE(started.count(), reason.isEmpty() ? 1 : 0); // only a started instance ends this one
    QVERIFY2(boxText.contains(reason) && (reason.isEmpty() == boxText.isEmpty()), qPrintable(boxText));
    QCOMPARE(button->isEnabled(), !reason.isEmpty());
}

QTEST_MAIN(tst_AdminNotice)
#include "tst_adminnotice.moc"
