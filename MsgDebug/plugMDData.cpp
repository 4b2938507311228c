#include "plugMDData.h"
#include "msgdebuglog.h"

#include "dlgConnectParam.h"
#include "plugMDManager.h"
#include "winDebug.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QStackedWidget>

plugMDData::plugMDData(QWidget* parent)
    : QWidget(parent)
    , stack(new QStackedWidget(this))
    , manager(new plugMDManager)
{
    freeNumbers.fill(true);
    connect(manager, &plugMDManager::newAssist, this, &plugMDData::newSession);
    connect(manager, &plugMDManager::deleteAssist, this, &plugMDData::deleteSession);
    connect(manager, &plugMDManager::switchAssist, this, &plugMDData::switchSession);
}

plugMDData::~plugMDData()
{
    for (const QPointer<winDebug>& w : qAsConst(windows))
        delete w.data();
    windows.clear();
    delete manager.data();
    delete stack.data();
}

QWidget* plugMDData::GetManagerWidget()
{
    return manager;
}

QWidget* plugMDData::GetDataWidget()
{
    return stack;
}

QList<QAction*> plugMDData::toolBarActions() const
{
    return manager ? QList<QAction*>{manager->newSessionAction()} : QList<QAction*>();
}

winDebug* plugMDData::window(int idx) const
{
    return windows.value(idx);
}

int plugMDData::takeFreeNumber()
{
    for (int k = 0; k < MaxSessions; ++k) {
        if (freeNumbers[k]) {
            freeNumbers[k] = false;
            return k;
        }
    }
    return -1;
}

void plugMDData::newSession()
{
    // Refused before asking for an address, so the user types nothing in vain.
    if (windows.size() >= MaxSessions) {
        QMessageBox::warning(this, tr("tips"),
                             tr("At most %1 debug sessions can be open at once. Please delete one first.")
                                 .arg(MaxSessions));
        return;
    }
    auto* dialog = new dlgConnectParam;
    if (dialog->exec() != QDialog::Accepted) {
        delete dialog;
        return;
    }
    createSession(dialog->ip, dialog->port.toInt());
    delete dialog;
}

int plugMDData::createSession(const QString& ip, int port)
{
    const int idx = takeFreeNumber();
    if (idx < 0)
        return -1;
    auto* w = new winDebug(this);
    w->connectToHost(ip, port);
    windows.insert(idx, w);
    stack->addWidget(w);
    stack->setCurrentWidget(w);
    manager->newNode(ip, idx);
    return idx;
}

void plugMDData::switchSession(int idx)
{
    winDebug* w = windows.value(idx);
    if (!w)
        return;
    stack->setCurrentWidget(w);
    stack->show();
}

void plugMDData::deleteSession(int idx)
{
    winDebug* w = windows.value(idx);
    if (!w)
        return;
    QElapsedTimer t;
    t.start();
    stack->removeWidget(w);
    qCDebug(lcMsgDebug) << "use time : " << t.restart();
    stack->hide();
    qCDebug(lcMsgDebug) << "use time : " << t.elapsed();
    delete w;
    windows.remove(idx);
    if (manager)
        manager->removeNode(idx);
    freeNumbers[idx] = true;
}
