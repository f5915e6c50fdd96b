// Tarnel: start-up. One instance per user; a second start hands its first argument
// to the running player and ends.
#include "app/CloseWait.h"
#include "app/PlatformChoice.h"
#include "app/Restart.h"
#include "app/SignalBridge.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "app/TForm1.h"
#include "common/ProgramDir.h"
#include "common/TextCodec.h"
#include "system/Associations.h"
#include "system/DesktopEntry.h"
#include "system/LogindSession.h"
#include "system/X11DisplayControl.h"
#include "online/DesktopOpener.h"
#include "platform/GstInit.h"
#include "playback/GstMediaGraph.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QStandardPaths>
#include <QWidget>

#include <cstdio>
#include <exception>

namespace {

// Errors that reach the event loop are shown, as a message box, and the player goes on.
class PlayerApplication : public QApplication {
public:
    using QApplication::QApplication;
    Dialogs *dialogs = nullptr;

    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception &e) {
            if (dialogs)
                dialogs->showMessage(activeWindow(), QString::fromUtf8(e.what()));
        }
        return false;
    }
};

void closeModalWindows()
{
    // A message box left open must not keep the program alive once it is closing.
    while (QWidget *modal = QApplication::activeModalWidget()) {
        modal->close();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // The hand-off needs no display: decide before the GUI starts.
    SingleInstance guard;
    if (!guard.acquire()) {
        SingleInstance::Outcome outcome;
        {
            QCoreApplication handOffApp(argc, argv);
            outcome = guard.handOffOrBecomeFirst(argc > 1 ? QByteArray(argv[1]) : QByteArray());
        }
        if (outcome == SingleInstance::Outcome::Delivered)
            return 0;
        if (outcome == SingleInstance::Outcome::NoAnswer) {
            // The file did not reach the running player: say so, and fail.
            std::fprintf(stderr, "tarnel: the running player did not take %s (socket %s)\n",
                         argc > 1 ? argv[1] : "the start request", QFile::encodeName(guard.socketPath()).constData());
            return 1;
        }
        // The player that ran was closing: this start is the player now.
    }

    // GStreamer starts beside the windows (building its registry on a first start takes
    // most of a second); only playback waits for it.
    GstStartWorker gstStart;

    // Through XWayland on a Wayland desktop, where windows cannot be placed natively.
    const QByteArray platform =
        platform_choice::preferred(qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
    PlayerApplication app(argc, argv);
    if (!platform.isEmpty())
        qunsetenv("QT_QPA_PLATFORM"); // the programs we start choose for themselves
    app.setApplicationName(QString());
    app.setQuitOnLastWindowClosed(false);
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("Adwaita"));

    // Termination signals are caught from here on; one that comes while the windows are
    // still being created waits in the bridge's pipe until the event loop runs.
    SignalBridge signalBridge;

    QtDialogs dialogs;
    app.dialogs = &dialogs;

    GstMediaGraph graph;

    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(text_codec::decodeFileName(QByteArray(argv[i])));

    // The platform's services: logind on the system bus, the X server the windows are
    // on, the user's own folders, MPRIS on the session bus. Only this function makes them.
    const QString programDir = program_dir::ofExecutable();
    LogindSession session(QDBusConnection::systemBus());
    X11DisplayControl display(X11DisplayControl::displayOfApplication());
    QStringList systemDataDirs = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    systemDataDirs.removeAll(desktop_entry::dataHome());
    FileAssociations associations(QCoreApplication::applicationFilePath(), programDir + QStringLiteral("tarnel.svg"),
                                  desktop_entry::dataHome(), desktop_entry::configHome(), systemDataDirs);
    // Installed by the package: /usr/bin/tarnel, as the system's menu entry starts it.
    const QString programPath = associations.launcher();
    SystemServices services;
    services.session = &session;
    services.display = &display;
    services.associations = &associations;
    services.autostartDir = desktop_entry::configHome() + QStringLiteral("/autostart");
    services.programPath = programPath;
    services.mprisBus = QDBusConnection::sessionBus();
    services.screenSaverBus = QDBusConnection::sessionBus();

    XdgOpener opener;
    OnlineServices online;
    online.opener = &opener;

    Startup startup(programDir, arguments, dialogs, graph, services, online);
    TForm1 *form1 = startup.form1();

    QObject::connect(&signalBridge, &SignalBridge::terminationRequested, form1, [form1] {
        closeModalWindows();
        form1->closeForSignal();
    });
    // From the start of the close, a hand-off would join a playlist being saved: it is
    // refused, and its sender becomes the player once the guard is free.
    QObject::connect(form1, &TForm1::closing, &guard, &SingleInstance::refuseHandOffs);
    QObject::connect(form1, &TForm1::closed, &app, [form1] {
        closeModalWindows();
        QApplication::exit(form1->saveFailed() ? 1 : 0);
    });
    // Last: a second start can only hand over once everything above is in place.
    guard.listen([form1](const QByteArray &path) { form1->receiveHandOff(path); });
    const int code = app.exec();
    waitAfterClose(guard, session, signalBridge, form1->closedForSignal());
    // A language change: everything is saved; the new copy takes over the guard.
    if (form1->restartRequested()) {
        QString error;
        if (!startNewCopy(guard, programPath, &error))
            dialogs.showMessage(nullptr, error, QString());
    }
    gstStart.wait(); // before the application object goes: the worker posts to it
    return code;
}
