#pragma once
// The converter's long job: a list of files decoded to WAV or encoded to MP3, one
// after another, on the worker thread that TForm7 owns. The window only starts a run
// and shows what the worker signals; it never starts a second while one runs.
//
// run() executes on the worker thread (queued from the GUI thread); cancel() may be
// called from any thread. The signals are queued to the GUI thread.
#include "converter/DecodeStream.h"
#include "converter/LameCoder.h"

#include <QObject>
#include <QStringList>

#include <atomic>

// The five conversion types, in the order of the selector's entries.
enum class ConversionType { AudioFile, Wma, CdTrack, Flac, WavToMp3 };

class ConverterWorker : public QObject {
    Q_OBJECT
public:
    void cancel() { cancel_ = true; }
    // Before each run, on the thread that starts it.
    void clearCancel() { cancel_ = false; }

    // Output names of the MP3 branch: folder + the file-name part of the name that
    // InputFiles derives.
    static QStringList mp3Outputs(TLameCoder &coder, const QStringList &inputs, const QString &folder);
    // The note for an output whose name was taken and that went to a free one instead.
    static QString renamedNote(const QString &wanted, const QString &written);

public Q_SLOTS:
    void run(int type, const QStringList &inputs, const QString &outputFolder);

Q_SIGNALS:
    void fileProgress(int percent);  // Gauge1
    void beginFile(int index);       // the encoder starts job index
    void jobsDone(int count);        // Gauge2
    void problem(const QString &text);
    void finished(bool cancelled);

private:
    bool decodeAll(DecoderKind kind, const QStringList &inputs, const QString &folder);
    bool encodeAll(const QStringList &inputs, const QString &folder);

    std::atomic<bool> cancel_{false};
};
