#pragma once
// One input decoded to one 16-bit PCM WAV file: the 44-byte header, the PCM as the
// decoder delivers it, the size fields patched at the end. The file is written under
// a temporary name beside its final one and renamed only when complete, so a failed
// or cancelled decode leaves nothing, and a full disk never leaves half a WAV.
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
    enum Status { Done, OpenFailed, ReadFailed, WriteFailed, Cancelled } status = Done;
    QString outputPath;
    QString detail; // the decoder's or the system's reason
};

using PercentHandler = std::function<void(int percent)>;

DecodeResult DecodeToWav(const QString &outputFolder, const QString &inputPath, DecoderKind kind,
                         const PercentHandler &progress, const std::atomic<bool> *cancel = nullptr);
