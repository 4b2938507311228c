#pragma once

// Small helpers shared by the tests: a temporary application directory, socat
// pseudo-terminal pairs and answering modal boxes. Header-only on purpose.

#include "appdir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <unistd.h>

namespace testutil {

// Points the program's application directory at a fresh temporary directory for the
// lifetime of the object, so that no test touches the user's config/ or service/.
class TempAppDir
{
public:
    TempAppDir()
    {
        QDir(dir.path()).mkpath(QStringLiteral("config"));
        setAppDirPath(dir.path());
    }
    ~TempAppDir() { setAppDirPath(QString()); }
    QString path() const { return dir.path(); }
    QString filePath(const QString& rel) const { return dir.filePath(rel); }
    bool isValid() const { return dir.isValid(); }

private:
    QTemporaryDir dir;
};

inline bool isRoot()
{
    return ::geteuid() == 0;
}

inline bool haveSocat()
{
    return !QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty();
}

// A pseudo-terminal pair made by socat with its two links in a temporary directory;
// the process is ended (and the links vanish) when the object goes.
class SocatPair
{
public:
    SocatPair()
    {
        a = dir.filePath(QStringLiteral("ttyA"));
        b = dir.filePath(QStringLiteral("ttyB"));
        proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc.start(QStringLiteral("socat"),
                   {QStringLiteral("pty,raw,echo=0,link=%1").arg(a),
                    QStringLiteral("pty,raw,echo=0,link=%1").arg(b)});
        if (!proc.waitForStarted(10000))
            return;
        // polled until socat has made both links; generous for a loaded machine
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            if (QFileInfo::exists(a) && QFileInfo::exists(b)) {
                ok = true;
                return;
            }
            QTest::qWait(10);
        }
    }
    ~SocatPair()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.terminate();
            if (!proc.waitForFinished(3000)) {
                proc.kill();
                proc.waitForFinished(3000);
            }
        }
    }
    bool isValid() const { return ok; }
    QString portA() const { return a; }
    QString portB() const { return b; }

private:
    QTemporaryDir dir;
    QProcess proc;
    QString a, b;
    bool ok = false;
};

// Answers the next modal box or dialog: polls for QApplication::activeModalWidget(),
// passes it to `check` (which may record its text) and then clicks the button whose
// text is `button` (or rejects the dialog when no such button exists).
// Call before the action that opens the box. The returned timer may be handed to
// cancelAnswer() when the box may not come at all.
inline QPointer<QTimer> answerNextModal(const QString& button, std::function<void(QWidget*)> check = {},
                                        int timeoutMs = 5000)
{
    auto* timer = new QTimer;
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=]() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            if (elapsed->elapsed() > timeoutMs) {
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        timer->stop();
        if (check)
            check(w);
        bool clicked = false;
        const auto buttons = w->findChildren<QAbstractButton*>();
        for (QAbstractButton* b : buttons) {
            if (b->text() == button) {
                b->click();
                clicked = true;
                break;
            }
        }
        if (!clicked) {
            if (auto* d = qobject_cast<QDialog*>(w))
                d->reject();
            else
                w->close();
        }
        timer->deleteLater();
    });
    timer->start();
    return timer;
}

// Stops an answerer that is no longer wanted (its box did not come), so it cannot answer
// a later box.
inline void cancelAnswer(const QPointer<QTimer>& answerer)
{
    if (answerer) {
        answerer->stop();
        answerer->deleteLater();
    }
}

// Like answerNextModal, but presses `key` in the next modal box (Escape, Return...).
// A box that the key does not close is closed after two seconds, so no test can hang.
inline void keyNextModal(Qt::Key key, std::function<void(QWidget*)> check = {}, int timeoutMs = 5000)
{
    auto* timer = new QTimer;
    auto* elapsed = new QElapsedTimer;
    elapsed->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=]() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            if (elapsed->elapsed() > timeoutMs) {
                timer->stop();
                timer->deleteLater();
                delete elapsed;
            }
            return;
        }
        timer->stop();
        if (check)
            check(w);
        QPointer<QWidget> box(w);
        QTest::keyClick(w, key);
        QTimer::singleShot(2000, w, [box]() {
            if (box && box == QApplication::activeModalWidget()) {
                if (auto* d = qobject_cast<QDialog*>(box.data()))
                    d->reject();
                else
                    box->close();
            }
        });
        timer->deleteLater();
        delete elapsed;
    });
    timer->start();
}

// Text of a message box, or empty for any other widget.
inline QString modalText(QWidget* w)
{
    if (auto* box = qobject_cast<QMessageBox*>(w))
        return box->text();
    return QString();
}

} // namespace testutil
