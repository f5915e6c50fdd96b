#include "app/CloseWait.h"

#include "app/SignalBridge.h"
#include "app/SingleInstance.h"
#include "system/LogindSession.h"

#include <QApplication>
#include <QWidget>

void waitAfterClose(SingleInstance &guard, LogindSession &session, SignalBridge &bridge, bool closedForSignal)
{
    guard.release();
    if (session.pendingCount() == 0 || closedForSignal)
        return;
    for (QWidget *w : QApplication::topLevelWidgets())
        w->hide();
    const QMetaObject::Connection stop = QObject::connect(&bridge, &SignalBridge::terminationRequested, &session,
                                                          &LogindSession::stopWaiting);
    session.waitForPending(LogindSession::CloseWaitMs);
    QObject::disconnect(stop);
}
