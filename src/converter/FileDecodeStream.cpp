// Files decode through libavformat and libavcodec, as the ffmpeg command does: the
// demuxer passes on the encoder delay and padding that an MP3's LAME tag records and
// the end position of Ogg and the others, the decoder trims them, so the PCM has the
// source's exact sample count. libswresample only changes the sample format.
#include "converter/DecodeStream.h"

#include "common/PathRules.h"

#include "converter/LibAv.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool codecFits(DecoderKind kind, AVCodecID id)
{
    switch (kind) {
    case DecoderKind::Wma:
        return id == AV_CODEC_ID_WMAV1 || id == AV_CODEC_ID_WMAV2 || id == AV_CODEC_ID_WMAPRO
               || id == AV_CODEC_ID_WMALOSSLESS || id == AV_CODEC_ID_WMAVOICE;
    case DecoderKind::Flac:
        return id == AV_CODEC_ID_FLAC;
    default:
        return true;
    }
}

class FileDecodeStream : public DecodeStream {
public:
    explicit FileDecodeStream(const LibAv &av)
        : av_(&av)
    {
    }

    ~FileDecodeStream() override
    {
        av_->swr_free(&swr_);
        av_->av_frame_free(&frame_);
        av_->av_packet_free(&packet_);
        av_->avcodec_free_context(&codec_);
        av_->avformat_close_input(&format_);
        if (io_) {
            av_->av_freep(&io_->buffer);
            av_->avio_context_free(&io_);
        }
    }

    bool open(DecoderKind kind, const QString &path, int fd, QString *error)
    {
        // Failures reach the user as messages; libav's guesses on the way need not.
        static std::once_flag quiet;
        std::call_once(quiet, [this] { av_->av_log_set_level(AV_LOG_ERROR); });
        // libav reads the file the caller opened (a regular file, checked without
        // waiting on it), never the name again; the name only helps to guess the format.
        fd_ = fd;
        constexpr int kIoBuffer = 64 * 1024;
        auto *buffer = static_cast<unsigned char *>(av_->av_malloc(kIoBuffer));
        io_ = buffer ? av_->avio_alloc_context(buffer, kIoBuffer, 0, this, &readFd, nullptr, &seekFd) : nullptr;
        format_ = io_ ? av_->avformat_alloc_context() : nullptr;
        if (!format_) {
            if (!io_)
                av_->av_free(buffer);
            return fail(error, QStringLiteral("out of memory"));
        }
        format_->pb = io_;
        format_->flags |= AVFMT_FLAG_CUSTOM_IO;
        const QByteArray name = path.toUtf8();
        if (int rc = av_->avformat_open_input(&format_, name.constData(), nullptr, nullptr); rc < 0)
            return fail(error, avError(rc));
        if (int rc = av_->avformat_find_stream_info(format_, nullptr); rc < 0)
            return fail(error, avError(rc));
        const AVCodec *decoder = nullptr;
        stream_ = av_->av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
        if (stream_ < 0 || !decoder)
            return fail(error, QStringLiteral("no audio stream"));
        const AVStream *st = format_->streams[stream_];
        if (!codecFits(kind, st->codecpar->codec_id))
            return fail(error, QStringLiteral("not the audio this type converts (%1)")
                                   .arg(QString::fromUtf8(av_->avcodec_get_name(st->codecpar->codec_id))));
        for (unsigned i = 0; i < format_->nb_streams; ++i)
            if (int(i) != stream_)
                format_->streams[i]->discard = AVDISCARD_ALL;
        codec_ = av_->avcodec_alloc_context3(decoder);
        if (!codec_ || av_->avcodec_parameters_to_context(codec_, st->codecpar) < 0)
            return fail(error, QStringLiteral("decoder set-up failed"));
        codec_->pkt_timebase = st->time_base;
        if (int rc = av_->avcodec_open2(codec_, decoder, nullptr); rc < 0)
            return fail(error, avError(rc));
        channels_ = codec_->ch_layout.nb_channels;
        rate_ = codec_->sample_rate;
        if (channels_ <= 0 || rate_ <= 0)
            return fail(error, QStringLiteral("no channel count or sample rate"));
        // The length the container expects, for the gauge only.
        double seconds = 0;
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            seconds = st->duration * av_q2d(st->time_base);
        else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
            seconds = format_->duration / double(AV_TIME_BASE);
        expected_ = qint64(seconds * rate_) * blockAlign();
        packet_ = av_->av_packet_alloc();
        frame_ = av_->av_frame_alloc();
        return packet_ && frame_;
    }

    int channels() const override { return channels_; }
    int sampleRate() const override { return rate_; }
    bool isActive() const override { return !finished_ || pendingStart_ < pending_.size(); }
    qint64 bytePosition() const override { return position_; }
    qint64 byteLength() const override { return std::max(expected_, position_); }
    QString errorString() const override { return error_; }

    qint64 read(char *data, qint64 maxBytes) override
    {
        maxBytes -= maxBytes % blockAlign();
        while (pendingStart_ >= pending_.size() && !finished_) {
            pending_.clear();
            pendingStart_ = 0;
            if (!decodeMore())
                return -1;
        }
        const qint64 n = std::min<qint64>(maxBytes, qint64(pending_.size() - pendingStart_));
        if (n > 0)
            std::memcpy(data, pending_.data() + pendingStart_, size_t(n));
        pendingStart_ += size_t(n);
        position_ += n;
        return n;
    }

private:
    bool fail(QString *error, const QString &why)
    {
        if (error)
            *error = why;
        return false;
    }

    static int readFd(void *opaque, uint8_t *buffer, int size)
    {
        const int fd = static_cast<FileDecodeStream *>(opaque)->fd_;
        for (;;) {
            const ssize_t n = ::read(fd, buffer, size_t(size));
            if (n > 0)
                return int(n);
            if (n == 0)
                return AVERROR_EOF;
            if (errno != EINTR)
                return AVERROR(errno);
        }
    }

    static int64_t seekFd(void *opaque, int64_t offset, int whence)
    {
        const int fd = static_cast<FileDecodeStream *>(opaque)->fd_;
        if (whence & AVSEEK_SIZE) {
            struct stat st {};
            return ::fstat(fd, &st) == 0 ? int64_t(st.st_size) : AVERROR(errno);
        }
        const off_t at = ::lseek(fd, off_t(offset), whence & ~AVSEEK_FORCE);
        return at < 0 ? AVERROR(errno) : int64_t(at);
    }

    // Feeds the decoder until it gives PCM or the input ends.
    bool decodeMore()
    {
        for (;;) {
            const int got = av_->avcodec_receive_frame(codec_, frame_);
            if (got == 0) {
                const bool ok = convert();
                av_->av_frame_unref(frame_);
                if (!ok)
                    return false;
                if (!pending_.empty())
                    return true;
                continue;
            }
            if (got == AVERROR_EOF) {
                finished_ = true;
                return true;
            }
            if (got != AVERROR(EAGAIN)) {
                error_ = avError(got);
                return false;
            }
            if (draining_) {
                finished_ = true;
                return true;
            }
            const int rc = av_->av_read_frame(format_, packet_);
            if (rc == AVERROR_EOF) {
                draining_ = true;
                av_->avcodec_send_packet(codec_, nullptr);
                continue;
            }
            if (rc < 0) {
                error_ = avError(rc);
                return false;
            }
            if (packet_->stream_index == stream_) {
                // A damaged packet is skipped, as the ffmpeg command skips it.
                const int sent = av_->avcodec_send_packet(codec_, packet_);
                if (sent < 0 && sent != AVERROR_INVALIDDATA && sent != AVERROR(EAGAIN)) {
                    av_->av_packet_unref(packet_);
                    error_ = avError(sent);
                    return false;
                }
            }
            av_->av_packet_unref(packet_);
        }
    }

    bool convert()
    {
        if (frame_->ch_layout.nb_channels != channels_ || frame_->sample_rate != rate_) {
            error_ = QStringLiteral("the stream changes its format midway");
            return false;
        }
        if (!swr_ || frame_->format != swrFormat_) {
            av_->swr_free(&swr_);
            // Same layout in and out: only the sample format changes.
            AVChannelLayout layout{};
            if (frame_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
                av_->av_channel_layout_default(&layout, channels_);
            else
                av_->av_channel_layout_copy(&layout, &frame_->ch_layout);
            const int rc = av_->swr_alloc_set_opts2(&swr_, &layout, AV_SAMPLE_FMT_S16, rate_, &layout,
                                               AVSampleFormat(frame_->format), rate_, 0, nullptr);
            av_->av_channel_layout_uninit(&layout);
            if (rc < 0 || av_->swr_init(swr_) < 0) {
                error_ = QStringLiteral("sample format conversion failed");
                return false;
            }
            swrFormat_ = frame_->format;
        }
        const size_t bytes = size_t(frame_->nb_samples) * size_t(blockAlign());
        pending_.resize(bytes);
        uint8_t *out = pending_.data();
        const int made = av_->swr_convert(swr_, &out, frame_->nb_samples, const_cast<const uint8_t **>(frame_->extended_data),
                                     frame_->nb_samples);
        if (made < 0) {
            error_ = avError(made);
            return false;
        }
        pending_.resize(size_t(made) * size_t(blockAlign()));
        return true;
    }

    QString avError(int code) const
    {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_->av_strerror(code, text, sizeof text);
        return QString::fromUtf8(text);
    }

    const LibAv *av_;
    int fd_ = -1;
    AVIOContext *io_ = nullptr;
    AVFormatContext *format_ = nullptr;
    AVCodecContext *codec_ = nullptr;
    AVPacket *packet_ = nullptr;
    AVFrame *frame_ = nullptr;
    SwrContext *swr_ = nullptr;
    int swrFormat_ = -1;
    int stream_ = -1;
    int channels_ = 0;
    int rate_ = 0;
    qint64 expected_ = 0;
    qint64 position_ = 0;
    std::vector<uint8_t> pending_;
    size_t pendingStart_ = 0;
    bool draining_ = false;
    bool finished_ = false;
    QString error_;
};

} // namespace

std::unique_ptr<DecodeStream> openFileDecodeStream(DecoderKind kind, const QString &path, int fd, QString *error)
{
    const LibAv *av = libAv(error);
    if (!av)
        return nullptr;
    auto stream = std::make_unique<FileDecodeStream>(*av);
    if (!stream->open(kind, path, fd, error))
        return nullptr;
    return stream;
}

std::unique_ptr<DecodeStream> openDecodeStream(DecoderKind kind, const QString &path, int fd, QString *error)
{
    if (kind == DecoderKind::CdTrack)
        return openCdTrackStream(path, error);
    const QString extension = path_rules::upperExtensionOf(path);
    if (kind == DecoderKind::AudioFile && (extension == QLatin1String(".MID") || extension == QLatin1String(".MIDI")))
        return openGstDecodeStream(fd, error);
    return openFileDecodeStream(kind, path, fd, error);
}
