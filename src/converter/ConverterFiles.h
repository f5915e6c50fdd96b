#pragma once
// The converter's inputs and outputs on disk. An input is opened only when it is a
// regular file, and without waiting on it (a FIFO or a device in the list cannot hold
// the worker). An output is written under a temporary name beside its final one and
// moved into place only when complete, never over an existing file: when the name is
// taken, the output takes the first free "name (N).ext". An output that would be the
// input itself (the same file after links, by device and inode) is refused.
//
// Used on the converter's worker thread.
#include <QString>

#include <sys/stat.h>

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    // false with errorString() set: missing, unreadable, or not a regular file.
    bool open(const QString &path);
    int fd() const { return fd_; }
    qint64 size() const { return qint64(st_.st_size); }
    const struct stat &status() const { return st_; }
    // The file is shorter now than when it was opened: it was cut off while read.
    bool shrank() const;
    QString errorString() const { return error_; }

private:
    int fd_ = -1;
    struct stat st_ {};
    QString error_;
};

// Checks a path without waiting on it: an existing source (a .cue image and its .bin,
// an optical drive) that is a regular file, or a block device when devices are allowed.
bool checkSource(const QString &path, bool blockDeviceAllowed, QString *error);

// The output would replace the input itself (the same file, whatever links lead there).
bool isSameFile(const QString &outputPath, const struct stat &input);
// "Výstup by přepsal vstupní soubor: <path>".
QString sameFileMessage(const QString &path);

class OutputFile {
public:
    explicit OutputFile(const QString &target);
    // An output not committed is removed.
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    bool open();
    bool write(const char *data, qint64 size);
    // Over bytes already written (a header patched at the end).
    bool writeAt(qint64 offset, const char *data, qint64 size);
    // Moves the complete file to the target, or to the first free name beside it.
    bool commit();
    void discard();

    QString target() const { return target_; }
    // Where the output went; differs from target() when that name was taken.
    QString finalPath() const { return final_; }
    // Names the condition and the output: a full disk, a file too large, or the system's reason.
    QString errorString() const { return error_; }

private:
    bool fail(int error);

    QString target_;
    QString final_;
    QByteArray temp_;
    int fd_ = -1;
    QString error_;
};

// "song.wav" -> "song (n).wav" (n >= 1), in the same folder.
QString numberedName(const QString &path, int n);
