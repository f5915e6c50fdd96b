// The main window's computer-control and drive commands. Each asks one platform
// service (SystemServices); without the service a command does nothing.
#include "app/TForm1.h"

#include "system/Autostart.h"
#include "system/DisplayControl.h"
#include "system/Drives.h"
#include "system/SessionControl.h"
#include "system/Uptime.h"
#include "system/VolumeSerial.h"
#include "ui/Dialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

void TForm1::connectSystemCommands()
{
    const std::pair<const char *, void (TForm1::*)()> commands[] = {
        {"Vypnoutwin1", &TForm1::Vypnoutwin1Click},
        {"Odhlasit1", &TForm1::Odhlasit1Click},
        {"Cas1", &TForm1::Cas1Click},
        {"Vypnout1", &TForm1::Vypnout1Click},
        {"Restart1", &TForm1::Restart1Click},
        {"Uspat1", &TForm1::Uspat1Click},
        {"Vypnoutmonitor1", &TForm1::Vypnoutmonitor1Click},
        {"MonitordoStandby1", &TForm1::MonitordoStandby1Click},
        {"Zapnutimonitoru1", &TForm1::Zapnutimonitoru1Click},
        {"Zapnout1", &TForm1::Zapnout1Click},
        {"Vypnout2", &TForm1::Vypnout2Click},
        {"Zapnoutpristartu1", &TForm1::Zapnoutpristartu1Click},
        {"Vypnoutpristartu1", &TForm1::Vypnoutpristartu1Click},
        {"Levak1", &TForm1::Levak1Click},
        {"Pravak1", &TForm1::Pravak1Click},
    };
    for (const auto &[name, handler] : commands)
        if (QAction *a = menuItem(QString::fromLatin1(name)))
            connect(a, &QAction::triggered, this, handler);
}

// The four shut-down commands close the program whether or not the system agrees.
void TForm1::Vypnoutwin1Click()
{
    if (services_.session)
        services_.session->halt();
    close();
}

void TForm1::Odhlasit1Click()
{
    if (services_.session)
        services_.session->terminateSession();
    close();
}

void TForm1::Vypnout1Click()
{
    if (services_.session)
        services_.session->powerOff();
    close();
}

void TForm1::Restart1Click()
{
    if (services_.session)
        services_.session->reboot();
    close();
}

void TForm1::Uspat1Click()
{
    if (services_.session)
        services_.session->suspend();
}

void TForm1::Cas1Click()
{
    dialogs_.showMessage(this, uptime::format(uptime::secondsSinceBoot()));
}

void TForm1::Vypnoutmonitor1Click()
{
    if (services_.display)
        services_.display->setMonitorPower(DisplayControl::MonitorLevel::Off);
}

void TForm1::MonitordoStandby1Click()
{
    if (services_.display)
        services_.display->setMonitorPower(DisplayControl::MonitorLevel::Standby);
}

void TForm1::Zapnutimonitoru1Click()
{
    if (services_.display)
        services_.display->setMonitorPower(DisplayControl::MonitorLevel::On);
}

void TForm1::Zapnout1Click()
{
    if (services_.display)
        services_.display->setScreenSaver(true);
}

void TForm1::Vypnout2Click()
{
    if (services_.display)
        services_.display->setScreenSaver(false);
}

void TForm1::Levak1Click()
{
    if (services_.display)
        services_.display->setLeftHanded(true);
}

void TForm1::Pravak1Click()
{
    if (services_.display)
        services_.display->setLeftHanded(false);
}

void TForm1::Zapnoutpristartu1Click()
{
    if (services_.autostartDir.isEmpty())
        return;
    QString error;
    if (!autostart::enable(services_.autostartDir, services_.programPath, &error))
        dialogs_.showMessage(this, error);
}

void TForm1::Vypnoutpristartu1Click()
{
    if (services_.autostartDir.isEmpty())
        return;
    QString error;
    if (!autostart::disable(services_.autostartDir, &error))
        dialogs_.showMessage(this, error);
}

// A drive's mechanism and medium can take seconds to answer: doors and headers are
// handled on the thread pool, never on this thread.
void TForm1::DriveOpenClick(QAction *item)
{
    const QString device = item->data().value<DriveEntry>().device;
    QThreadPool::globalInstance()->start([device] { drives::OpenDriveDoor(device); });
}

void TForm1::DriveCloseClick(QAction *item)
{
    const QString device = item->data().value<DriveEntry>().device;
    QThreadPool::globalInstance()->start([device] { drives::CloseDriveDoor(device); });
}

void TForm1::DriveQueryClick(QAction *item)
{
    const DriveEntry drive = item->data().value<DriveEntry>();
    const QString text = drive.caption + tables_.language.line(drive.optical ? 50 : 51);
    QPointer<TForm1> self(this);
    QThreadPool::globalInstance()->start([self, text, device = drive.device] {
        const QString serial = volume_serial::VolumeSerialText(device);
        // Runs on the GUI thread; a window gone meanwhile is not asked.
        QMetaObject::invokeMethod(qApp, [self, message = text + serial] {
            if (self)
                self->dialogs_.showMessage(self, message);
        });
    });
}
