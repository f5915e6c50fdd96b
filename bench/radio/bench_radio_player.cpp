// The player as bench/radio/measure_radio_cpu.sh runs it: the same windows, graph and
// radio that app/main.cpp builds (Startup), with the first station of the radio window
// started --start-after-ms milliseconds after start, as a double click would. It prints
// "playing" once the station plays and idles like the player until SIGTERM, which
// closes it through the main window.
//
//   bench_radio_player --start-after-ms MS
//
// The playlist is empty, so start-up's play press asks for files: this program's
// dialogs answer "cancelled", as a user who only wants the radio would.
#include "app/SignalBridge.h"
#include "app/Startup.h"
#include "app/TForm1.h"
#include "common/ProgramDir.h"
#include "playback/GstMediaGraph.h"
#include "radio/RadioPlayer.h"
#include "radio/TForm6.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QIcon>
#include <QListWidget>
#include <QTimer>

#include <cstdio>

namespace {

class CancellingDialogs : public QtDialogs {
public:
    QStringList getOpenFileNames(QWidget *, const QString &) override { return {}; }
    void showMessage(QWidget *, const QString &text, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(QString());
    app.setQuitOnLastWindowClosed(false);
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    const QStringList args = app.arguments();
    const int at = int(args.indexOf(QStringLiteral("--start-after-ms")));
    if (at < 0 || at + 1 >= args.size()) {
        std::fprintf(stderr, "usage: bench_radio_player --start-after-ms MS\n");
        return 2;
    }
    const int startAfterMs = args.at(at + 1).toInt();

    SignalBridge signalBridge;
    CancellingDialogs dialogs;
    GstMediaGraph::ensureInitialised();
    GstMediaGraph graph;
    Startup startup(program_dir::ofExecutable(), {}, dialogs, graph);
    TForm1 *form1 = startup.form1();
    QObject::connect(&signalBridge, &SignalBridge::terminationRequested, form1, [form1] { form1->close(); });
    QObject::connect(form1, &TForm1::closed, &app, [] { QApplication::exit(0); });

    TForm6 *radio = startup.form6();
    QObject::connect(&startup.radio(), &RadioPlayer::radioInfo, radio, [](int code, quint32 number) {
        if (code == 4) { // the bit rate: buffering is over, playback starts
            std::printf("playing\n");
            std::fflush(stdout);
        } else if (code == 1) {
            std::printf("failed %u\n", number);
            std::fflush(stdout);
        }
    });
    QTimer::singleShot(startAfterMs, radio, [radio] {
        radio->ListBox1->setCurrentRow(0);
        radio->ListBox1DblClick();
    });
    return app.exec();
}
