#pragma once
// The playback controller: picks the playlist entry to play (EntryPicker), opens it in
// the media graph as a file or a DVD (ControllerOpen.cpp), keeps the status text, the
// title line and the time label (ControllerStrip.cpp), plans the entry that follows
// without a gap (GaplessPlan), and moves on when an entry ends. Plain class: the main
// window shows what it signals, and answers its wishes for messages and files.
//
// Threads: everything runs on the GUI thread (actions, the 100 ms tick, graph signals),
// and nothing here waits: the graph answers opens later (renderDone / renderFailed /
// dvdRendered), titles come from a TitleSource.
//
// The next entry is planned ahead: whenever the current entry, StepMode, the playlist
// or the video window's visibility changes, the controller hands the graph the file to
// follow (prepareNext); the graph takes it at the end of the current one without asking
// (nextTaken), and when it is heard (queuedStarted) the controller marks it as
// PlayListItem would have.
//
// Every action catches MediaGraphError where it starts, asks for its message
// (messageWanted) and abandons the rest of that action; state already changed stays
// changed. An open that fails later is reported the same way.
#include "playback/EntryPicker.h"
#include "playback/GaplessPlan.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>

class MediaGraph;
class MediaGraphError;
class PlayOrder;
class TitleSource;

// Texts of the language table the controller shows (lines 14, 15, 16) and the open
// dialog's filter (language line 6 + "|" + extension line 1).
struct ControllerTexts {
    QString playing;
    QString paused;
    QString stopped;
    QString openFilter;
    // What a failed open means, by the graph's error code, in the program's language;
    // a code without one keeps the engine's text. The box names the file either way.
    QHash<std::uint32_t, QString> openFailures;
    // A pipe, device or folder in the list: never handed to the engine (its open blocks).
    QString notRegularFile;
};

class PlaybackController : public QObject {
    Q_OBJECT
public:
    enum class Status { Stopped, Playing, Paused };

    // StepMode values.
    static constexpr int StepNext = entry_picker::StepNext;
    static constexpr int StepPrevious = entry_picker::StepPrevious;
    static constexpr int StepRequested = entry_picker::StepRequested;

    // What the engine answers when it holds no DVD graph builder.
    static constexpr std::uint32_t DvdRenderFail = 0x8004027Au;

    // titles may be null: every entry then shows its file name.
    PlaybackController(MediaGraph &graph, PlayOrder &playlist, TitleSource *titles, QObject *parent = nullptr);

    // The language tables load after the controller exists; re-announces the status text.
    void setTexts(const ControllerTexts &texts);
    const ControllerTexts &texts() const { return texts_; }
    // Tells whether the video window is shown; a video file may only follow another
    // without a gap while it is (it would otherwise have to appear). Call
    // videoWindowVisibilityChanged() when it changes.
    void setVideoWindowShown(std::function<bool()> shown) { videoWindowShown_ = std::move(shown); }

    // State.
    int CurrentIndex() const { return currentIndex_; }
    QString CurrentFile() const { return currentFile_; }
    int StepMode() const { return stepMode_; }
    void setStepMode(int mode);
    int RequestedIndex() const { return requestedIndex_; }
    void setRequestedIndex(int index) { requestedIndex_ = index; }
    bool ShowElapsed() const { return showElapsed_; }
    void setShowElapsed(bool elapsed);

    Status status() const { return status_; }
    QString statusText() const;
    QString title() const { return title_; }
    QString timeText() const { return timeText_; }
    bool dvdButtonsVisible() const { return dvdButtonsVisible_; }
    // An open has been asked of the graph and not answered yet.
    bool isOpening() const { return opening_.has_value(); }

    // Operations.
    void PlayListItem();
    void OpenAndPlay();
    void ShowTitle(const QString &path);
    // An empty path means the disc in the first drive.
    void PlayDvd(const QString &path);

    // Transport actions of the main window.
    void play();
    void pauseResume();
    void next();
    void previous();
    // Stops at the start of the entry; play goes on from there (media keys, MPRIS).
    void stop();
    void addFiles();
    // The playlist's play item and double click, with its focused row.
    void playRequested(int focusedRow);

    // What the next entry depends on changed.
    void playlistChanged();
    void videoWindowVisibilityChanged();

    // One seek-bar tick: reads position and duration, updates the time label and
    // the seek bar, and starts the next entry when this one has ended. Ticks every
    // 100 ms between startTicking and stopTicking, except while paused or idle.
    void tick();
    void startTicking();
    void stopTicking();
    // Seek-bar release: seek to duration x barPos / barMax.
    void seekToBar(int barPos, int barMax);
    // Click on the time label.
    void toggleElapsed();

Q_SIGNALS:
    void statusTextChanged(const QString &text);
    void titleChanged(const QString &title);
    void timeTextChanged(const QString &text);
    void seekRangeChanged(int max);
    void seekPositionChanged(int pos);
    // The video window should appear if hidden (its menu check mark stays as it is).
    void showVideoWindowRequested();
    void dvdButtonsVisibleChanged(bool visible);
    void showElapsedChanged(bool elapsed);
    // A message box for the user (caption empty: the program's own). Connected directly,
    // the box may run a nested event loop: the controller starts nothing meanwhile.
    void messageWanted(const QString &text, const QString &caption);
    // Files to open, chosen by the user with the open dialog and `filter`; none when
    // cancelled. Connect directly: the answer is read when the emission returns.
    void filesWanted(const QString &filter, QStringList &chosen);

private:
    void runAction(const std::function<void()> &action);
    void reportError(const MediaGraphError &error);
    // The engine's failure to open path, said with the file's name and our own words.
    MediaGraphError openFailure(const QString &path, const MediaGraphError &error) const;
    QStringList chooseFiles();

    void doPlay();
    void doPlayListItem();
    void doOpenAndPlay();
    void doPlayDvd(const QString &path, bool showButtons);
    void openEntry(const QString &path);
    void handleDvdRenderResult(std::uint32_t result);
    void entryEnded();
    void onRenderDone();
    void onRenderFailed();
    void onDvdRendered(quint32 result);
    void onEndOfStream();
    void onAsyncError(const QString &message);
    void onNextTaken(const QString &path);
    void onQueuedStarted();
    void onTitleKnown(const QString &path);
    void planNext();
    void markEntry(int index, const QString &path);

    void setStatus(Status status);
    void setTitle(const QString &title);
    void setDvdButtonsVisible(bool visible);
    void updateTimeLabel();
    void updateTicker();

    MediaGraph &graph_;
    PlayOrder &playlist_;
    TitleSource *titles_;
    ControllerTexts texts_;

    int currentIndex_ = -1;
    QString currentFile_;
    int stepMode_ = StepNext;
    int requestedIndex_ = 0;
    bool showElapsed_ = true;

    Status status_ = Status::Stopped;
    QString title_;
    QString titlePending_; // an .MP3 whose tag is being read for the title line
    QString timeText_ = QStringLiteral("0:00:00");
    bool dvdButtonsVisible_ = false;
    bool heldAtStart_ = false; // stopped by stop(), the entry still loaded
    std::uint32_t lastPosition_ = 0;
    std::uint32_t lastDuration_ = 0;
    int seekMax_ = -1;
    int seekPos_ = -1;

    // The open the graph has not answered yet.
    struct Opening {
        quint64 serial = 0;
        QString path;
        bool dvd = false;
        bool showDvdButtons = false;
    };
    std::optional<Opening> opening_;
    quint64 openSerial_ = 0;
    quint64 failedSerial_ = 0; // the last open that failed

    // Actions in progress: a modal dialog runs a nested event loop, and ticks or
    // graph signals arriving meanwhile must not start another action inside it.
    int busy_ = 0;
    bool endPending_ = false;
    bool asyncErrorShown_ = false;
    QTimer ticker_;
    bool tickingWanted_ = false;
    std::function<bool()> videoWindowShown_;
    GaplessPlan plan_;
};
