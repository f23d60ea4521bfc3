#include "app/kit/QtPump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "util/PumpWait.h"

void InstallQtPumpWait() {
    SetPumpWait([](unsigned ms) {
        QElapsedTimer t;
        t.start();
        // Off the interface thread there is no loop of ours to run.
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
            QThread::msleep(ms);
            return;
        }
        while (t.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(ms - t.elapsed()));
            if (t.elapsed() < ms) QThread::msleep(1);
        }
    });
}
