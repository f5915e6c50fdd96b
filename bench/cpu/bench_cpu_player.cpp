// The player as bench/cpu/measure_cpu.sh runs it to measure a paused player: the same
// windows, graph and controller that app/main.cpp builds (Startup), started with the
// same files beside it, and one click on the pause button (SpeedButton3) after
// --pause-after-ms milliseconds, as a user would press it. Then it prints "paused" and
// idles like the player until SIGTERM, which closes it through the main window.
//
//   bench_cpu_player --pause-after-ms MS [--stop-tick-when-paused] FILE...
//
// --stop-tick-when-paused also stops the playback controller's 100 ms tick once paused:
// a projection of the controller being rewritten to stop its tick while paused, which
// is not in this branch. The bench reports that figure apart, as a projection.
//
// Left out of main.cpp: the single-instance guard (the bench runs one player at a time in
// its own runtime folder) and the exception-to-message-box wrapper.
#include "app/SignalBridge.h"
#include "app/Startup.h"
#include "app/TForm1.h"
#include "common/ProgramDir.h"
#include "playback/GstMediaGraph.h"
#include "playback/PlaybackController.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(QString());
    app.setQuitOnLastWindowClosed(false);
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("Adwaita"));

    int pauseAfterMs = -1;
    bool stopTick = false;
    QStringList arguments;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--pause-after-ms") && i + 1 < args.size())
            pauseAfterMs = args.at(++i).toInt();
        else if (args.at(i) == QLatin1String("--stop-tick-when-paused"))
            stopTick = true;
        else
            arguments.append(args.at(i));
    }
    if (pauseAfterMs < 0) {
        std::fprintf(stderr, "usage: bench_cpu_player --pause-after-ms MS [--stop-tick-when-paused] FILE...\n");
        return 2;
    }

    SignalBridge signalBridge;
    QtDialogs dialogs;
    GstMediaGraph::ensureInitialised();
    GstMediaGraph graph;
    Startup startup(program_dir::ofExecutable(), arguments, dialogs, graph);
    TForm1 *form1 = startup.form1();
    QObject::connect(&signalBridge, &SignalBridge::terminationRequested, form1, [form1] { form1->close(); });
    QObject::connect(form1, &TForm1::closed, &app, [] { QApplication::exit(0); });

    QTimer::singleShot(pauseAfterMs, form1, [form1, stopTick] {
        form1->SpeedButton3->click(); // the pause button's clicked signal, as a mouse click gives
        PlaybackController *controller = form1->controller();
        const bool paused = controller && controller->status() == PlaybackController::Status::Paused;
        if (paused && stopTick)
            controller->stopTicking();
        std::printf("%s\n", paused ? "paused" : "not paused");
        std::fflush(stdout);
    });
    return app.exec();
}
