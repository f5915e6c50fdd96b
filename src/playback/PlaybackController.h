#pragma once
// The playback controller: picks the playlist entry to play, opens it in the media
// graph as a file or a DVD, keeps the status text, the title line and the time label,
// and moves on when an entry ends. Plain class: the main window shows what it signals.
//
// Threads: everything runs on the GUI thread (actions, the 100 ms tick, graph signals).
//
// Entries follow each other without a gap where the graph can do it: when the graph
// wants the next file (nextWanted) the controller picks it by the "next" rule and
// queues it when it is a plain file that needs no change of window; when it starts
// (queuedStarted) the controller marks it as PlayListItem would have. Anything else
// (a DVD, a CD track, audio after video or the other way round, a playlist changed
// under the queued entry) ends the entry the ordinary way.
//
// Every action catches MediaGraphError where it starts, shows its message through
// Dialogs and abandons the rest of that action; state already changed stays changed.
#include <QList>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>

class Dialogs;
class MediaGraph;
class MediaGraphError;
struct DvdRenderStatus;
class PlaylistModel;
class QWidget;

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
    static constexpr int StepNext = 0;
    static constexpr int StepPrevious = -1;
    static constexpr int StepRequested = 1;

    // What the engine answers when it holds no DVD graph builder.
    static constexpr std::uint32_t DvdRenderFail = 0x8004027Au;
    // A list entry that is no regular file (access denied, as the engine says for
    // a file it cannot open).
    static constexpr std::uint32_t NotRegularFile = 0x80070005;
    // The file system did not answer for the file within ProbeTimeoutMs (the engine's
    // time-out code).
    static constexpr std::uint32_t NoAnswer = 0x800705B4;
    static constexpr int ProbeTimeoutMs = 10000;

    PlaybackController(MediaGraph &graph, PlaylistModel &playlist, Dialogs &dialogs,
                       QObject *parent = nullptr);

    // The language tables load after the controller exists; re-announces the status text.
    void setTexts(const ControllerTexts &texts);
    const ControllerTexts &texts() const { return texts_; }
    void setDialogParent(QWidget *parent) { dialogParent_ = parent; }
    // Tells whether the video window is shown; a video file may only follow another
    // without a gap while it is (it would otherwise have to appear).
    void setVideoWindowShown(std::function<bool()> shown) { videoWindowShown_ = std::move(shown); }

    // State.
    int CurrentIndex() const { return currentIndex_; }
    QString CurrentFile() const { return currentFile_; }
    int StepMode() const { return stepMode_; }
    void setStepMode(int mode) { stepMode_ = mode; }
    int RequestedIndex() const { return requestedIndex_; }
    void setRequestedIndex(int index) { requestedIndex_ = index; }
    bool ShowElapsed() const { return showElapsed_; }
    void setShowElapsed(bool elapsed);

    Status status() const { return status_; }
    QString statusText() const;
    QString title() const { return title_; }
    QString timeText() const { return timeText_; }
    bool dvdButtonsVisible() const { return dvdButtonsVisible_; }

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

private:
    template <typename F>
    void runAction(F &&action);
    void reportError(const MediaGraphError &error);
    // The engine's failure to open path, said with the file's name and our own words.
    MediaGraphError openFailure(const QString &path, const MediaGraphError &error) const;

    void doPlay();
    void doPlayListItem();
    void doOpenAndPlay();
    void doPlayDvd(const QString &path);
    void openEntry(const QString &path);
    void handleDvdRenderResult(std::uint32_t result, const DvdRenderStatus &status);
    void entryEnded();
    void onEndOfStream();
    void onAsyncError(const QString &message);
    void onNextWanted();
    void onQueuedStarted();
    // The row the "next" rule picks after `from`; -1 with an empty list.
    int nextPick(int from) const;
    bool canFollowWithoutGap(const QString &previous, const QString &path) const;
    void markEntry(int index, const QString &path);

    void setStatus(Status status);
    void setTitle(const QString &title);
    void setDvdButtonsVisible(bool visible);
    void updateTimeLabel();
    void updateTicker();

    MediaGraph &graph_;
    PlaylistModel &playlist_;
    Dialogs &dialogs_;
    QWidget *dialogParent_ = nullptr;
    ControllerTexts texts_;

    int currentIndex_ = -1;
    QString currentFile_;
    int stepMode_ = StepNext;
    int requestedIndex_ = 0;
    bool showElapsed_ = true;

    Status status_ = Status::Stopped;
    QString title_;
    QString timeText_ = QStringLiteral("0:00:00");
    bool dvdButtonsVisible_ = false;
    bool heldAtStart_ = false; // stopped by stop(), the entry still loaded
    std::uint32_t lastPosition_ = 0;
    std::uint32_t lastDuration_ = 0;
    int seekMax_ = -1;
    int seekPos_ = -1;

    // Actions in progress: a modal dialog runs a nested event loop, and ticks or
    // graph signals arriving meanwhile must not start another action inside it.
    int busy_ = 0;
    bool endPending_ = false;
    bool asyncErrorShown_ = false;
    QTimer ticker_;
    bool tickingWanted_ = false;
    std::function<bool()> videoWindowShown_;
    // The entries handed to the graph to follow the current one, in order.
    struct Queued {
        int index = -1;
        QString path;
    };
    QList<Queued> queued_;
};
