// The playback controller against a recording graph and scripted dialogs.
#include "playback/PlaybackController.h"
#include "playback/TitleSource.h"
#include "playlist/PlaylistModel.h"
#include "playlist/PlaylistOrder.h"
#include "playlist/TitleCache.h"
#include "support/FakeMediaGraph.h"
#include "support/ScriptedDialogs.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>

namespace {

const ControllerTexts kTexts{QStringLiteral("Hraje"), QStringLiteral("Pauza"), QStringLiteral("Stop"),
                             QStringLiteral("Media soubory|*.mp3;*.wav;*.wmv"),
                             {{0x80070002u, QStringLiteral("Soubor nebyl nalezen.")}},
                             QStringLiteral("Není to běžný soubor.")};

} // namespace
Q_DECLARE_METATYPE(DvdRenderStatus)
namespace {

// Titles read at once, as a title source whose reads are all done.
class ReadTitles : public TitleSource {
public:
    TagTitle tagTitle(const QString &path) override { return TitleCache::readTag(path); }
};

struct Rig {
    explicit Rig(const QStringList &paths = {})
    {
        playlist.setPaths(paths);
        ctl.setTexts(kTexts);
        followPlaylist(playlist, ctl);
        QObject::connect(&ctl, &PlaybackController::messageWanted,
                         [this](const QString &text, const QString &caption) { dialogs.showMessage(nullptr, text, caption); });
        QObject::connect(&ctl, &PlaybackController::filesWanted, [this](const QString &filter, QStringList &chosen) {
            chosen = dialogs.getOpenFileNames(nullptr, filter);
        });
    }
    FakeMediaGraph graph;
    PlaylistModel playlist;
    PlaylistOrder order{playlist};
    ScriptedDialogs dialogs;
    ReadTitles titles;
    PlaybackController ctl{graph, order, &titles};
};

QStringList entries(int n)
{
    QStringList paths;
    for (int i = 0; i < n; ++i)
        paths.append(QStringLiteral("/m/e%1.ogg").arg(i));
    return paths;
}

} // namespace

class TestController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void picking_data();
    void picking();
    void startThenNextWraps();
    void endRules_data();
    void endRules();
    void emptyListAsksForFiles();
    void timeLabel_data();
    void timeLabel();
    void transportStates();
    void videoWindow_data();
    void videoWindow();
    void dvdBranchShowsButtonsUntilAFilePlays();
    void dvdRenderResults_data();
    void dvdRenderResults();
    void dvdRenderFailureIsRaised();
    void failedRenderStopsTheAction();
    void pipesNeverReachTheEngine();
    void failedPickRestoresStepMode();
    void asyncErrorShownOnceAndStops();
    void noNestedActionsInsideAModalDialog();
    void addFiles();
    void seekToBar_data();
    void seekToBar();
    void titleLine();
    void gaplessHandOver_data();
    void gaplessHandOver();
    void answersComeLaterAndOnlyTheNewestCounts();
};

void TestController::picking_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("start");    // row played first, -1: nothing played yet
    QTest::addColumn<int>("shrinkTo"); // entries left after deleting from the end, -1: none
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("expected");

    QTest::newRow("first next") << 3 << -1 << -1 << "next" << 0;
    QTest::newRow("first play") << 3 << -1 << -1 << "play" << 0;
    QTest::newRow("next") << 3 << 1 << -1 << "next" << 2;
    QTest::newRow("next wraps") << 3 << 2 << -1 << "next" << 0;
    QTest::newRow("previous") << 3 << 1 << -1 << "previous" << 0;
    QTest::newRow("previous wraps") << 3 << 0 << -1 << "previous" << 2;
    QTest::newRow("previous before anything") << 3 << -1 << -1 << "previous" << 2;
    QTest::newRow("requested row") << 3 << 0 << -1 << "request 2" << 2;
    QTest::newRow("requested same row") << 3 << 1 << -1 << "request 1" << 1;
    QTest::newRow("next after playing row deleted") << 5 << 4 << 2 << "next" << 0;
    QTest::newRow("previous after playing row deleted") << 5 << 4 << 2 << "previous" << 1;
    QTest::newRow("requested row out of range ignored") << 3 << 1 << -1 << "request 7" << 1;
}

void TestController::picking()
{
    QFETCH(int, count);
    QFETCH(int, start);
    QFETCH(int, shrinkTo);
    QFETCH(QString, action);
    QFETCH(int, expected);

    Rig rig(entries(count));
    if (start >= 0)
        rig.ctl.playRequested(start);
    if (shrinkTo >= 0) {
        while (rig.playlist.count() > shrinkTo)
            rig.playlist.removeAt(rig.playlist.count() - 1);
    }
    if (action == QLatin1String("next"))
        rig.ctl.next();
    else if (action == QLatin1String("previous"))
        rig.ctl.previous();
    else if (action == QLatin1String("play"))
        rig.ctl.play();
    else
        rig.ctl.playRequested(action.section(QLatin1Char(' '), 1).toInt());

    QCOMPARE(rig.ctl.CurrentIndex(), expected);
    QCOMPARE(rig.ctl.CurrentFile(), rig.playlist.path(expected));
    QCOMPARE(rig.playlist.playingIndex(), expected);
    QCOMPARE(rig.graph.renderedPath(), rig.playlist.path(expected));
    QCOMPARE(rig.ctl.StepMode(), int(PlaybackController::StepNext));
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void TestController::startThenNextWraps()
{
    Rig rig(entries(3));
    rig.ctl.play(); // what the end of start-up does
    QCOMPARE(rig.graph.calls(), (QStringList{"stop", "setActive(false)", "setMode(Normal)", "setActive(true)",
                                             "resetGraph", "renderFile(/m/e0.ogg)", "run"}));
    rig.ctl.next();
    rig.ctl.next();
    rig.ctl.next();
    QCOMPARE(rig.graph.renderedPaths(), (QStringList{"/m/e0.ogg", "/m/e1.ogg", "/m/e2.ogg", "/m/e0.ogg"}));
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Hraje"));
}

void TestController::endRules_data()
{
    QTest::addColumn<uint>("position");
    QTest::addColumn<uint>("duration");
    QTest::addColumn<bool>("endOfStream");
    QTest::addColumn<bool>("advances");

    QTest::newRow("position reaches duration") << 5000u << 5000u << false << true;
    QTest::newRow("just before the end") << 4999u << 5000u << false << false;
    QTest::newRow("length never known") << 0u << 0u << false << false;
    QTest::newRow("engine end, length never known") << 0u << 0u << true << true;
    QTest::newRow("engine end before position catches up") << 4900u << 5000u << true << true;
}

void TestController::endRules()
{
    QFETCH(uint, position);
    QFETCH(uint, duration);
    QFETCH(bool, endOfStream);
    QFETCH(bool, advances);

    Rig rig(entries(3));
    rig.ctl.playRequested(2); // the last entry: an advance wraps to the first
    rig.graph.setDuration(duration);
    rig.graph.setPosition(position);
    for (int i = 0; i < 3; ++i) {
        if (endOfStream && i == 0)
            rig.graph.emitEndOfStream();
        else
            rig.ctl.tick();
    }
    QCOMPARE(rig.ctl.CurrentIndex(), advances ? 0 : 2);
    QCOMPARE(rig.graph.renderedPaths().size(), advances ? 2 : 1);
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Hraje"));

    // Nothing ends while the graph is released.
    Rig idle(entries(3));
    idle.graph.setDuration(duration);
    idle.graph.setPosition(duration);
    idle.ctl.tick();
    QVERIFY(idle.graph.calls().isEmpty());
}

void TestController::emptyListAsksForFiles()
{
    Rig rig;
    QSignalSpy status(&rig.ctl, &PlaybackController::statusTextChanged);
    rig.ctl.play(); // cancelled
    QCOMPARE(rig.dialogs.openFilters, QStringList{kTexts.openFilter});
    QVERIFY(rig.graph.calls().isEmpty());
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Stop"));
    QCOMPARE(status.count(), 0);
    QCOMPARE(rig.ctl.CurrentIndex(), -1);

    rig.dialogs.queueOpenFiles({"/m/b.wav", "/m/a.ogg"});
    rig.ctl.next();
    QCOMPARE(rig.playlist.paths(), (QStringList{"/m/b.wav", "/m/a.ogg"}));
    QCOMPARE(rig.graph.renderedPaths(), QStringList{"/m/b.wav"});
    QCOMPARE(rig.ctl.CurrentIndex(), 0);
    QCOMPARE(rig.playlist.playingIndex(), 0);
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Hraje"));
    rig.ctl.next();
    QCOMPARE(rig.graph.renderedPath(), QStringLiteral("/m/a.ogg"));

    // A chosen row on an empty list asks for files as well.
    Rig other;
    other.ctl.playRequested(0);
    QCOMPARE(other.dialogs.openFilters.size(), 1);
    QCOMPARE(other.ctl.StepMode(), int(PlaybackController::StepNext));
}

void TestController::timeLabel_data()
{
    QTest::addColumn<bool>("elapsed");
    QTest::addColumn<uint>("position");
    QTest::addColumn<uint>("duration");
    QTest::addColumn<QString>("text");

    QTest::newRow("nothing") << true << 0u << 0u << "0:00:00";
    QTest::newRow("59 s") << true << 59999u << 100000u << "0:00:59";
    QTest::newRow("one hour") << true << 3600000u << 4000000u << "1:00:00";
    QTest::newRow("over a day") << true << 90000000u << 90000000u << "25:00:00";
    QTest::newRow("3 725 000 ms left") << false << 1000u << 3726000u << "1:02:05";
    QTest::newRow("nothing left") << false << 5000u << 5000u << "0:00:00";
    QTest::newRow("position past duration") << false << 5100u << 5000u << "0:00:00";
}

void TestController::timeLabel()
{
    QFETCH(bool, elapsed);
    QFETCH(uint, position);
    QFETCH(uint, duration);
    QFETCH(QString, text);

    Rig rig;
    rig.ctl.setShowElapsed(elapsed);
    rig.graph.setDuration(duration);
    rig.graph.setPosition(position);
    QSignalSpy range(&rig.ctl, &PlaybackController::seekRangeChanged);
    QSignalSpy pos(&rig.ctl, &PlaybackController::seekPositionChanged);
    rig.ctl.tick();
    QCOMPARE(rig.ctl.timeText(), text);
    QCOMPARE(range.last().at(0).toInt(), int(duration / 100));
    QCOMPARE(pos.last().at(0).toInt(), int(position / 100));

    // A click on the label shows the other reading at once.
    rig.ctl.toggleElapsed();
    QCOMPARE(rig.ctl.ShowElapsed(), !elapsed);
    rig.ctl.toggleElapsed();
    QCOMPARE(rig.ctl.timeText(), text);
}

void TestController::transportStates()
{
    Rig rig(entries(2));
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Stop"));
    rig.ctl.pauseResume(); // stopped: nothing to pause
    QVERIFY(rig.graph.calls().isEmpty());

    rig.ctl.play();
    rig.graph.clearCalls();
    rig.ctl.play(); // already playing
    QVERIFY(rig.graph.calls().isEmpty());

    rig.ctl.pauseResume();
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Pauza"));
    rig.ctl.play(); // resumes the same entry
    QCOMPARE(rig.graph.calls(), (QStringList{"pause", "run"}));
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Hraje"));
    rig.ctl.pauseResume();
    rig.ctl.pauseResume();
    QCOMPARE(rig.graph.calls(), (QStringList{"pause", "run", "pause", "run"}));

    // Texts that arrive later replace the shown one.
    QSignalSpy status(&rig.ctl, &PlaybackController::statusTextChanged);
    rig.ctl.setTexts({"Playing", "Paused", "Stopped", kTexts.openFilter, {}, {}});
    QCOMPARE(status.last().at(0).toString(), QStringLiteral("Playing"));
}

void TestController::videoWindow_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("shown");
    QTest::newRow("mkv") << "/v/film.mkv" << false;
    QTest::newRow("mp4") << "/v/film.mp4" << false;
    QTest::newRow("wmv upper") << "/v/clip.WMV" << true;
    QTest::newRow("avi") << "/v/clip.avi" << true;
    QTest::newRow("mpeg mixed case") << "/v/clip.Mpeg" << true;
    QTest::newRow("asf") << "/v/clip.asf" << true;
    QTest::newRow("dvd") << "/dvd/VIDEO_TS/VIDEO_TS.IFO" << true;
}

void TestController::videoWindow()
{
    QFETCH(QString, path);
    QFETCH(bool, shown);
    Rig rig({path});
    QSignalSpy video(&rig.ctl, &PlaybackController::showVideoWindowRequested);
    rig.ctl.play();
    QCOMPARE(video.count(), shown ? 1 : 0);
}

void TestController::dvdBranchShowsButtonsUntilAFilePlays()
{
    Rig rig({"/dvd/VIDEO_TS/VIDEO_TS.IFO", "/m/song.ogg"});
    rig.ctl.play();
    QCOMPARE(rig.graph.calls(), (QStringList{"stop", "setActive(false)", "setMode(Dvd)", "resetGraph",
                                             "setActive(false)", "setActive(true)", "resetGraph"}));
    // The engine has no DVD builder: reported like a failed DVD render, graph left empty.
    QCOMPARE(rig.dialogs.messages.size(), 1);
    QCOMPARE(rig.dialogs.messages[0].caption, QStringLiteral("Error"));
    QVERIFY(rig.dialogs.messages[0].text.startsWith("Some basic error occurred in building the graph.\r"));
    QVERIFY(rig.ctl.dvdButtonsVisible());
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Stop"));
    QCOMPARE(rig.playlist.playingIndex(), 0);

    rig.ctl.next();
    QVERIFY(!rig.ctl.dvdButtonsVisible());
    QCOMPARE(rig.graph.mode(), GraphMode::Normal);
}

void TestController::pipesNeverReachTheEngine()
{
    // The graph refuses what is no regular file (GstMediaGraph's test opens real ones);
    // the box says so in the program's words, and a missing file in its own.
    Rig rig({"/m/fifo.mp3", "/m/folder", "/m/missing.mp3"});
    const MediaGraphError notRegular(0x80070005, QString(), MediaGraphError::Reason::NotRegularFile);
    rig.graph.failRenderOf("/m/fifo.mp3", notRegular);
    rig.graph.failRenderOf("/m/folder", notRegular);
    rig.graph.failRenderOf("/m/missing.mp3", MediaGraphError(0x80070002, "Resource not found."));
    rig.ctl.play();
    rig.ctl.next();
    rig.ctl.next();
    QCOMPARE(rig.dialogs.messageTexts(),
             (QStringList{"/m/fifo.mp3\nNení to běžný soubor. ($80070005).", "/m/folder\nNení to běžný soubor. ($80070005).",
                          "/m/missing.mp3\nSoubor nebyl nalezen. ($80070002)."}));
}

void TestController::dvdRenderResults_data()
{
    QTest::addColumn<quint32>("result");
    QTest::addColumn<DvdRenderStatus>("status");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("lastCall");
    DvdRenderStatus none;
    QTest::newRow("built") << 0u << none << QStringList{} << "dvd:SetOption(1,true)";
    DvdRenderStatus invalid;
    invalid.volumeInvalid = true;
    QTest::newRow("volume invalid") << 1u << invalid
                                    << QStringList{"The specified DVD volume to be played does not exist."}
                                    << "resetGraph";
    DvdRenderStatus unknown;
    unknown.volumeUnknown = true;
    QTest::newRow("volume unknown") << 1u << unknown << QStringList{"No DVD volume is specified or isn't found."}
                                    << "resetGraph";
    DvdRenderStatus all;
    all.videoPortError = 0x80040200;
    all.volumeInvalid = all.volumeUnknown = all.noLine21In = all.noLine21Out = true;
    all.numStreams = 3;
    all.numStreamsFailed = 1;
    QTest::newRow("every flag, in order")
        << 1u << all
        << QStringList{"The video port failed. ($80040200).",
                       "The specified DVD volume to be played does not exist.",
                       "No DVD volume is specified or isn't found.",
                       "The video decoder doesn't produce line 21 (closed captioning) data.",
                       "The video decoder can't be shown as closed captioning on video due to a problem with graph "
                       "building.",
                       "Can't render one or more stream."}
        << "resetGraph";
    QTest::newRow("no DVD builder") << 0x8004027Au << none
                                    << QStringList{"Some basic error occurred in building the graph.\r"
                                                   "Possibilities include the DVD Navigator filter or the video or "
                                                   "audio renderer not instantiating,\r"
                                                   "a trivial connection or pin enumeration failing, or none of the "
                                                   "streams rendering."}
                                    << "resetGraph";
    QTest::newRow("other success code") << 2u << none << QStringList{} << "resetGraph";
}

void TestController::dvdRenderResults()
{
    QFETCH(quint32, result);
    QFETCH(DvdRenderStatus, status);
    QFETCH(QStringList, messages);
    QFETCH(QString, lastCall);
    Rig rig({"/dvd/VIDEO_TS/VIDEO_TS.IFO"});
    rig.graph.dvdResult = result;
    rig.graph.dvdStatus = status;
    rig.ctl.play();
    QCOMPARE(rig.dialogs.messageTexts(), messages);
    for (const auto &m : rig.dialogs.messages)
        QCOMPARE(m.caption, QStringLiteral("Error"));
    QCOMPARE(rig.graph.calls().last(), lastCall);
    QVERIFY(rig.ctl.dvdButtonsVisible());
    QCOMPARE(rig.graph.dvdControl() != nullptr, result == 0);
}

void TestController::dvdRenderFailureIsRaised()
{
    Rig rig({"/dvd/VIDEO_TS/VIDEO_TS.IFO"});
    rig.graph.dvdFailure = MediaGraphError(0x80040218, "The DVD cannot be read.");
    rig.ctl.play();
    QCOMPARE(rig.dialogs.messageTexts(), QStringList{"The DVD cannot be read. ($80040218)."});
    // Not reset, and the rest of the open procedure does not run.
    QCOMPARE(rig.graph.calls().last(), QStringLiteral("renderDvd(/dvd/VIDEO_TS/VIDEO_TS.IFO)"));
    QVERIFY(!rig.ctl.dvdButtonsVisible());
}

void TestController::failedRenderStopsTheAction()
{
    Rig rig(entries(3));
    rig.graph.failRenderOf("/m/e1.ogg", MediaGraphError(0x80040265, "Cannot play back the file."));
    QSignalSpy dvd(&rig.ctl, &PlaybackController::dvdButtonsVisibleChanged);
    rig.ctl.play();
    rig.ctl.pauseResume(); // paused, to see that the status text is kept
    dvd.clear();
    rig.ctl.next();
    // The box names the file; a code without a text of ours keeps the engine's.
    QCOMPARE(rig.dialogs.messageTexts(), QStringList{"/m/e1.ogg\nCannot play back the file. ($80040265)."});
    QCOMPARE(rig.graph.calls().last(), QStringLiteral("renderFile(/m/e1.ogg)")); // not run
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Pauza"));
    QCOMPARE(dvd.count(), 0);
    QCOMPARE(rig.ctl.CurrentIndex(), 1);
    QCOMPARE(rig.ctl.CurrentFile(), QStringLiteral("/m/e1.ogg"));
    QCOMPARE(rig.playlist.playingIndex(), 1);

    // The failed entry reports no length: no automatic advance, no repeated message.
    for (int i = 0; i < 20; ++i)
        rig.ctl.tick();
    QCOMPARE(rig.graph.renderedPaths().size(), 2);
    QCOMPARE(rig.dialogs.messages.size(), 1);

    rig.ctl.next();
    QCOMPARE(rig.graph.renderedPath(), QStringLiteral("/m/e2.ogg"));
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Hraje"));

    // A failing run stops the action the same way.
    rig.graph.failNext("run", MediaGraphError(0x8004025F, "Cannot run the graph."));
    rig.ctl.next();
    QCOMPARE(rig.dialogs.messages.size(), 2);
    QCOMPARE(rig.ctl.CurrentIndex(), 0);
}

void TestController::failedPickRestoresStepMode()
{
    Rig rig(entries(3));
    rig.ctl.play();
    const MediaGraphError error(0x80004005, "Unspecified error");
    rig.graph.failNext("renderFile", error);
    rig.ctl.previous(); // fails on entry 2
    QCOMPARE(rig.ctl.StepMode(), int(PlaybackController::StepNext));
    rig.graph.failNext("stop", error);
    rig.ctl.playRequested(1); // fails before picking
    QCOMPARE(rig.ctl.StepMode(), int(PlaybackController::StepNext));
    QCOMPARE(rig.ctl.CurrentIndex(), 2);
    rig.ctl.next(); // on from the failed entry, forwards
    QCOMPARE(rig.ctl.CurrentIndex(), 0);
    QCOMPARE(rig.dialogs.messages.size(), 2);
}

void TestController::asyncErrorShownOnceAndStops()
{
    Rig rig(entries(2));
    rig.ctl.play();
    rig.graph.emitAsyncError("Internal data stream error.");
    rig.graph.emitAsyncError("Internal data stream error.");
    QCOMPARE(rig.dialogs.messageTexts(), QStringList{"Internal data stream error."});
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Stop"));
    QVERIFY(!rig.graph.active());
    for (int i = 0; i < 5; ++i)
        rig.ctl.tick();
    QCOMPARE(rig.graph.renderedPaths().size(), 1);

    rig.ctl.play(); // the user goes on
    QCOMPARE(rig.graph.renderedPath(), QStringLiteral("/m/e1.ogg"));
    rig.graph.emitAsyncError("Again.");
    QCOMPARE(rig.dialogs.messages.size(), 2);
}

void TestController::noNestedActionsInsideAModalDialog()
{
    // A modal message box runs timers: the ticks must not start the next entry inside it.
    Rig rig(entries(3));
    rig.ctl.play();
    rig.graph.failNext("run", MediaGraphError(0x8004025F, "Cannot run the graph."));
    rig.dialogs.whileOpen = [&rig] {
        rig.graph.finish();
        rig.ctl.tick();
        rig.graph.emitEndOfStream();
    };
    rig.ctl.next();
    QCOMPARE(rig.graph.renderedPaths().size(), 2);
    rig.dialogs.whileOpen = nullptr;
    rig.ctl.tick(); // the end seen meanwhile is handled once the box is closed
    QCOMPARE(rig.graph.renderedPaths().size(), 3);

    // An end with an emptied playlist opens exactly one file dialog.
    Rig empty(entries(1));
    empty.ctl.play();
    empty.playlist.removeAt(0);
    empty.dialogs.whileOpen = [&empty] {
        empty.ctl.tick();
        empty.graph.emitEndOfStream();
    };
    empty.graph.finish();
    empty.ctl.tick();
    QCOMPARE(empty.dialogs.openFilters.size(), 1);
    QCOMPARE(empty.ctl.statusText(), QStringLiteral("Stop"));
}

void TestController::addFiles()
{
    Rig rig({"/m/a.ogg"});
    QSignalSpy count(&rig.playlist, &PlaylistModel::countChanged);
    rig.dialogs.queueOpenFiles({"/m/c.wav", "/m/b.mp3"});
    rig.ctl.addFiles();
    QCOMPARE(rig.playlist.paths(), (QStringList{"/m/a.ogg", "/m/c.wav", "/m/b.mp3"}));
    QCOMPARE(rig.playlist.displayName(2), QStringLiteral("b.mp3"));
    QCOMPARE(rig.dialogs.openFilters, QStringList{"Media soubory|*.mp3;*.wav;*.wmv"});
    QCOMPARE(count.last().at(0).toInt(), 3);
    rig.ctl.addFiles(); // cancelled: the count strip is still refreshed
    QCOMPARE(rig.playlist.count(), 3);
    QCOMPARE(count.count(), 2);
    QVERIFY(rig.graph.calls().isEmpty());
}

void TestController::seekToBar_data()
{
    QTest::addColumn<uint>("duration");
    QTest::addColumn<int>("barPos");
    QTest::addColumn<int>("barMax");
    QTest::addColumn<QString>("call");

    QTest::newRow("middle") << 60000u << 300 << 600 << "seekMs(30000)";
    QTest::newRow("start") << 60000u << 0 << 600 << "seekMs(0)";
    QTest::newRow("end") << 60000u << 600 << 600 << "seekMs(60000)";
    QTest::newRow("no 32-bit overflow") << 4000000000u << 30000000 << 40000000 << "seekMs(3000000000)";
    QTest::newRow("past the bar clamped") << 60000u << 700 << 600 << "seekMs(60000)";
    QTest::newRow("empty bar") << 0u << 0 << 0 << "";
}

void TestController::seekToBar()
{
    QFETCH(uint, duration);
    QFETCH(int, barPos);
    QFETCH(int, barMax);
    QFETCH(QString, call);
    Rig rig;
    rig.graph.setDuration(duration);
    rig.ctl.seekToBar(barPos, barMax);
    QCOMPARE(rig.graph.calls(), call.isEmpty() ? QStringList() : QStringList{call});
}

void TestController::titleLine()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto write = [&dir](const QString &name, const QByteArray &tail) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(300, '\x55') + tail);
    };
    QByteArray tag("TAG");
    tag += QByteArray("Skladba").leftJustified(30, '\0') + QByteArray(95, '\0');
    write("tagged.mp3", tag);
    write("plain.mp3", QByteArray(128, '\x01'));

    Rig rig;
    rig.ctl.ShowTitle(dir.filePath("tagged.mp3"));
    QCOMPARE(rig.ctl.title(), QStringLiteral("Skladba"));
    rig.ctl.ShowTitle(dir.filePath("missing.mp3")); // unreadable: unchanged
    QCOMPARE(rig.ctl.title(), QStringLiteral("Skladba"));
    rig.ctl.ShowTitle(dir.filePath("plain.mp3"));
    QCOMPARE(rig.ctl.title(), QStringLiteral("plain.mp3"));
    rig.ctl.ShowTitle("/m/Song.WAV");
    QCOMPARE(rig.ctl.title(), QStringLiteral("Song.WAV"));
}

void TestController::gaplessHandOver_data()
{
    QTest::addColumn<QStringList>("names");    // playlist; "-" before a name: no such file
    QTest::addColumn<int>("startRow");
    QTest::addColumn<bool>("video");           // the first entry holds a picture
    QTest::addColumn<QString>("events");       // what happens after the start, in order
    QTest::addColumn<QStringList>("queued");   // what the graph was asked to follow on with
    QTest::addColumn<int>("current");          // CurrentIndex (and PlayingIndex) at the end
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("opens");            // files opened the ordinary way
    QTest::addColumn<QString>("status");

    const QStringList abc{"a.ogg", "b.ogg", "c.ogg"};
    QTest::newRow("next") << abc << 0 << false << "want start" << QStringList{"b.ogg"} << 1 << "b.ogg" << 1 << "Hraje";
    QTest::newRow("wrap-around") << abc << 2 << false << "want start" << QStringList{"a.ogg"} << 0 << "a.ogg" << 1
                                 << "Hraje";
    QTest::newRow("short files chain") << abc << 0 << false << "want want start start"
                                       << QStringList{"b.ogg", "c.ogg"} << 2 << "c.ogg" << 1 << "Hraje";
    // The playlist changes under the queued entry: the ordinary end picks from the list as it is.
    QTest::newRow("queued entry deleted") << abc << 0 << false << "want delete1 start" << QStringList{"b.ogg"} << 1
                                          << "c.ogg" << 2 << "Hraje";
    QTest::newRow("queued entry moved") << abc << 0 << false << "want move1 start" << QStringList{"b.ogg"} << 1
                                        << "c.ogg" << 2 << "Hraje";
    QTest::newRow("failed next file") << abc << 0 << false << "want error" << QStringList{"b.ogg"} << 1 << "b.ogg"
                                      << 1 << "Stop";
    QTest::newRow("video after audio") << QStringList{"a.ogg", "v.mkv"} << 0 << false << "want" << QStringList{} << 0
                                       << "a.ogg" << 1 << "Hraje";
    QTest::newRow("audio after video") << QStringList{"v.mkv", "a.ogg"} << 0 << true << "want" << QStringList{} << 0
                                       << "v.mkv" << 1 << "Hraje";
    QTest::newRow("DVD after audio") << QStringList{"a.ogg", "VTS_01_0.IFO"} << 0 << false << "want" << QStringList{}
                                     << 0 << "a.ogg" << 1 << "Hraje";
    QTest::newRow("video window extension while hidden") << QStringList{"v.mkv", "w.avi"} << 0 << true << "want"
                                                         << QStringList{} << 0 << "v.mkv" << 1 << "Hraje";
    QTest::newRow("video after video") << QStringList{"v.mkv", "w.mp4"} << 0 << true << "want"
                                       << QStringList{} << 0 << "v.mkv" << 1 << "Hraje";
}

void TestController::gaplessHandOver()
{
    QFETCH(QStringList, names);
    QFETCH(int, startRow);
    QFETCH(bool, video);
    QFETCH(QString, events);
    QFETCH(QStringList, queued);
    QFETCH(int, current);
    QFETCH(QString, title);
    QFETCH(int, opens);
    QFETCH(QString, status);

    QTemporaryDir dir;
    QStringList paths;
    for (QString name : names) {
        const bool missing = name.startsWith(QLatin1Char('-'));
        name.remove(0, missing ? 1 : 0);
        paths.append(dir.filePath(name));
        if (!missing) {
            QFile file(paths.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }
    Rig rig(paths);
    rig.graph.setHasVideo(video);
    rig.ctl.playRequested(startRow);
    for (const QString &event : events.split(QLatin1Char(' '))) {
        if (event == QLatin1String("want"))
            rig.graph.takeNext();
        else if (event == QLatin1String("start"))
            rig.graph.startQueued();
        else if (event == QLatin1String("error"))
            rig.graph.emitAsyncError(QStringLiteral("Could not decode stream."));
        else if (event == QLatin1String("delete1"))
            rig.playlist.removeAt(1);
        else if (event == QLatin1String("move1"))
            rig.playlist.move(1, -1);
    }
    QStringList queuedNames;
    for (const QString &path : rig.graph.queuedPaths())
        queuedNames.append(QFileInfo(path).fileName());
    QCOMPARE(queuedNames, queued);
    QCOMPARE(rig.ctl.CurrentIndex(), current);
    QCOMPARE(rig.playlist.playingIndex(), current);
    QCOMPARE(rig.ctl.CurrentFile(), rig.playlist.path(current));
    QCOMPARE(rig.ctl.title(), title);
    QCOMPARE(rig.graph.renderedPaths().size(), opens);
    QCOMPARE(rig.ctl.statusText(), status);
    QCOMPARE(rig.ctl.StepMode(), int(PlaybackController::StepNext));
    QCOMPARE(rig.dialogs.messages.size(), status == QLatin1String("Stop") ? 1 : 0);
}

void TestController::answersComeLaterAndOnlyTheNewestCounts()
{
    // A real engine answers an open later; meanwhile the user may press Next again and
    // again. Only the last open is answered; the strip shows "playing" only then.
    Rig rig(entries(4));
    rig.graph.holdAnswers = true;
    rig.ctl.play();
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Stop"));
    QVERIFY(rig.ctl.isOpening());
    rig.ctl.next();
    rig.ctl.next();
    QCOMPARE(rig.ctl.CurrentIndex(), 2);
    rig.graph.finish();
    for (int i = 0; i < 5; ++i)
        rig.ctl.tick(); // no end while the open is pending
    QCOMPARE(rig.graph.renderedPaths().size(), 3);
    rig.graph.answerRender();
    QVERIFY(!rig.ctl.isOpening());
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Hraje"));
    QCOMPARE(rig.graph.renderedPath(), QStringLiteral("/m/e2.ogg"));
    QCOMPARE(rig.graph.preparedNext(), QStringLiteral("/m/e3.ogg")); // planned once it plays

    // A late failure is reported with the file's name; the strip keeps its state.
    rig.graph.failRenderOf("/m/e3.ogg", MediaGraphError(0x80070002, "Resource not found."));
    rig.ctl.next();
    QCOMPARE(rig.dialogs.messages.size(), 0);
    rig.graph.answerRender();
    QCOMPARE(rig.dialogs.messageTexts(), QStringList{"/m/e3.ogg\nSoubor nebyl nalezen. ($80070002)."});
    QCOMPARE(rig.ctl.statusText(), QStringLiteral("Hraje"));
    QCOMPARE(rig.ctl.CurrentIndex(), 3);
}

QTEST_GUILESS_MAIN(TestController)
#include "test_controller.moc"
