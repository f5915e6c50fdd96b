#pragma once
// One input decoded to one 16-bit PCM WAV file: the 44-byte header, the PCM as the
// decoder delivers it, the size fields patched at the end. The file is written under
// a temporary name beside its final one and moved there only when complete, so a
// failed or cancelled decode leaves nothing, and a full disk never leaves half a WAV.
// It never replaces a file: an output that would be the input itself is refused, and
// one whose name is taken goes to the first free "name (N).wav" (ConverterFiles.h).
// Only regular files are read, opened without waiting on them.
//
// Runs on the converter's worker thread.
#include "converter/DecodeStream.h"

#include <QString>

#include <atomic>
#include <functional>

// The output folder text with a trailing "/" (a folder typed without one still
// names that folder, not a prefix of the file name).
QString withSeparator(const QString &folder);
// Folder + the input's file name without its extension + ".wav".
QString wavOutputPath(const QString &folder, const QString &input);

struct DecodeResult {
    enum Status { Done, OpenFailed, ReadFailed, WriteFailed, Cancelled, SameFile, TooLarge } status = Done;
    QString outputPath;   // the name the rule gives
    QString writtenPath;  // where the WAV went (another name when that one was taken)
    QString detail;       // the decoder's or the system's reason; a write failure's names the output
};

// What a WAV file's 32-bit size fields can hold: header and audio together.
constexpr qint64 kMaxWavBytes = 0xFFFFFFFFll + 8;

using PercentHandler = std::function<void(int percent)>;

DecodeResult DecodeToWav(const QString &outputFolder, const QString &inputPath, DecoderKind kind,
                         const PercentHandler &progress, const std::atomic<bool> *cancel = nullptr);
