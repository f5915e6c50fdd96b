#pragma once
// The MP3 encoder driver: a list of WAV (or raw 16-bit PCM) files encoded one after
// another through libmp3lame's own parameter calls, with events before and after each
// file and a progress event after each chunk.
//
// Not a QObject and not bound to a thread: the converter runs it on its worker thread,
// and every event is called on the thread that runs EncodeFiles.
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>

// Every read, encode and write failure of a run.
class ELameError : public std::runtime_error {
public:
    explicit ELameError(const QString &message);
    QString message() const { return QString::fromUtf8(what()); }
};

// Thrown out of EncodeFiles when the cancel flag was raised; the file in hand leaves nothing.
class ELameCancelled : public std::exception {
public:
    const char *what() const noexcept override { return "cancelled"; }
};

// The encoder library's version, read once when the coder is created. There is no
// separate interface library on Linux: both pairs carry libmp3lame's own version.
class TLameVersion {
public:
    TLameVersion();
    void assign(const TLameVersion &other);

    std::uint8_t DLLMajorVersion = 0;
    std::uint8_t DLLMinorVersion = 0;
    std::uint8_t MajorVersion = 0;
    std::uint8_t MinorVersion = 0;
};

enum MPEG_QUALITY { NORMAL_QUALITY = 0, LOW_QUALITY = 1, HIGH_QUALITY = 2, VOICE_QUALITY = 3 };
enum class TLameMode { STEREO = 0, JSTEREO = 1, DUALCHANNEL = 2, MONO = 3 };

class TLameCoder {
public:
    using NotifyEvent = std::function<void(TLameCoder &sender)>;
    using TProcessFileEvent = std::function<void(TLameCoder &sender, std::uint16_t Num, const QString &FileName)>;
    using TProgressEvent = std::function<void(TLameCoder &sender, std::uint16_t PercentComplete)>;

    TLameCoder();

    // Copies the encoder settings (SampleRate ... VBRQuality), nothing else.
    void assign(const TLameCoder &other);

    // Encoder settings. SampleRate and the channel count of Mode apply to raw PCM
    // input only: a WAV file is encoded at its own rate and channel count.
    std::uint32_t SampleRate = 44100;
    std::uint32_t Bitrate = 128;
    std::uint32_t MaxBitrate = 320;
    MPEG_QUALITY Quality = NORMAL_QUALITY;
    bool Private = false;
    bool CRC = true;
    TLameMode Mode = TLameMode::STEREO;
    bool Copyright = false;
    bool Original = false;
    bool WriteVBRHeader = false;
    std::int32_t VBRQuality = 4;

    bool EnableVBR() const { return enableVbr_; }
    void setEnableVBR(bool on); // also sets WriteVBRHeader

    const QStringList &InputFiles() const { return inputFiles_; }
    void setInputFiles(const QStringList &files); // derives OutputFiles with DefaultExt
    const QStringList &OutputFiles() const { return outputFiles_; }
    void setOutputFiles(const QStringList &files) { outputFiles_ = files; }

    const TLameVersion &LameVersion() const { return version_; }

    QString DefaultExt = QStringLiteral(".mp3");
    QString Mp3FileName;

    NotifyEvent OnBeginProcess;
    TProcessFileEvent OnBeginFile;
    TProcessFileEvent OnEndFile;
    NotifyEvent OnEndProcess;
    TProgressEvent OnProgress;

    // Checked after every chunk; null means never cancelled.
    const std::atomic<bool> *cancelFlag = nullptr;

    // Encodes the whole list. Throws ELameError, or ELameCancelled; either way the
    // failing file's output is removed and nothing is left under its name. An output
    // never replaces a file: one that would be its input is refused, and one whose name
    // is taken goes to the first free "name (N).mp3"; OnEndFile names where it went.
    // A file without a RIFF/WAVE header is read as raw PCM only when named .pcm or
    // .raw; any other is refused. Only regular files are read.
    void EncodeFiles();

    // .pcm and .raw, in any letter case.
    static bool isRawPcmName(const QString &path);

    // Samples per chunk (per channel) and output buffer size for a frame size.
    static int outputBufferSize(int samplesPerChunk) { return samplesPerChunk * 5 / 4 + 7200; }

private:
    void encodeFile(int index);

    bool enableVbr_ = false;
    QStringList inputFiles_;
    QStringList outputFiles_;
    TLameVersion version_;
};
