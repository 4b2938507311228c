#pragma once

// Helpers shared by the assistant panel tests: reaching the panel's form controls by
// object name, opening endpoints the way a user does, catching the panel's boxes.

#include "UartNetAssist.h"
#include "testutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QUdpSocket>

#include <memory>

namespace assisttest {

template <class T>
T* child(QWidget* panel, const char* name)
{
    T* w = panel->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("form control %s not found", name);
    return w;
}

inline QString recvText(QWidget* p) { return child<QPlainTextEdit>(p, "recv_text")->toPlainText(); }
inline QString recvLabel(QWidget* p) { return child<QLabel>(p, "recv_label")->text(); }
inline QString sendLabel(QWidget* p) { return child<QLabel>(p, "send_label")->text(); }

// A port that was free a moment ago (the panel takes its port from a text field).
inline int freeTcpPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

inline int freeUdpPort()
{
    QUdpSocket s;
    s.bind(QHostAddress::LocalHost, 0);
    return s.localPort();
}

inline void setProtocol(QWidget* p, int index)
{
    child<QComboBox>(p, "choose_protocol")->setCurrentIndex(index);
}

// TCP server (1) or UDP (3) on 127.0.0.1:port, opened with the connect button.
inline void openLocal(QWidget* p, int protocol, int port)
{
    setProtocol(p, protocol);
    child<QComboBox>(p, "local_ip_list")->setEditText(QStringLiteral("127.0.0.1"));
    child<QLineEdit>(p, "addr_port_edit")->setText(QString::number(port));
    child<QPushButton>(p, "connect")->click();
}

inline bool clientConnecting(QWidget* p)
{
    return child<QPushButton>(p, "connect")->text() == QLatin1String("connecting...");
}

// The attempt runs without blocking; this waits until it has ended either way
// (false: still under way after 10 s).
inline bool openClient(QWidget* p, const QString& remote)
{
    setProtocol(p, 2);
    child<QComboBox>(p, "local_ip_list")->setEditText(QStringLiteral("127.0.0.1"));
    child<QComboBox>(p, "remote_ip_port")->setEditText(remote);
    child<QPushButton>(p, "connect")->click();
    return QTest::qWaitFor([p]() { return !clientConnecting(p); }, 10000);
}

inline void openSerial(QWidget* p, const QString& path)
{
    setProtocol(p, 0);
    child<QComboBox>(p, "com_list")->setEditText(path);
    child<QPushButton>(p, "open_com")->click();
}

inline bool isOpen(QWidget* p)
{
    return child<QPushButton>(p, "connect")->text() == QLatin1String("disconnect")
        || child<QPushButton>(p, "open_com")->text() == QLatin1String("close");
}

// The panel's message boxes that are on screen now.
inline int visibleBoxes(QWidget* p)
{
    int n = 0;
    const auto boxes = p->findChildren<QMessageBox*>();
    for (QMessageBox* b : boxes)
        n += b->isVisible() ? 1 : 0;
    return n;
}

// Records the next modal box (title and text) and answers it with `button`.
// The state is shared so that a late box cannot reach a finished test's stack.
struct BoxRecord
{
    bool seen = false;
    QString title;
    QString text;
};

inline std::shared_ptr<BoxRecord> catchNextBox(const QString& button = QStringLiteral("OK"))
{
    auto rec = std::make_shared<BoxRecord>();
    testutil::answerNextModal(button, [rec](QWidget* w) {
        rec->seen = true;
        rec->title = w->windowTitle();
        rec->text = testutil::modalText(w);
    });
    return rec;
}

} // namespace assisttest
