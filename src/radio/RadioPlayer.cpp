#include "radio/RadioPlayer.h"

#include "common/TextCodec.h"
#include "radio/StreamTitle.h"

#include <QThread>

RadioPlayer::RadioPlayer(QObject *parent)
    : QObject(parent)
{
}

RadioPlayer::~RadioPlayer()
{
    shutdown();
}

bool RadioPlayer::start(const QString &address, const QString &proxyText)
{
    if (connecting_ || closing_)
        return false;
    if (worker_.joinable())
        worker_.join(); // it has ended: connecting_ is its last step
    connecting_ = true;
    worker_ = std::thread([this, address, proxy = icy::parseProxy(proxyText)] { OpenStation(address, proxy); });
    return true;
}

void RadioPlayer::shutdown()
{
    {
        std::lock_guard lock(m_);
        closing_ = true;
        delivered_.notify_all();
        if (stream_)
            stream_->cancel();
    }
    if (worker_.joinable())
        worker_.join();
    freeStream();
}

void RadioPlayer::freeStream()
{
    std::shared_ptr<RadioStream> old;
    {
        std::lock_guard lock(m_);
        old.swap(stream_);
    }
    old.reset(); // stops it and joins its threads, outside the lock
}

void RadioPlayer::send(int code, quint32 number, const QString &text)
{
    if (closing_)
        return;
    if (QThread::currentThread() == thread()) {
        Q_EMIT radioInfo(code, number, text);
        return;
    }
    auto done = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        this,
        [this, done, code, number, text] {
            if (!closing_)
                Q_EMIT radioInfo(code, number, text);
            std::lock_guard lock(m_);
            *done = true;
            delivered_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_);
    delivered_.wait(lock, [&] { return *done || closing_; });
}

void RadioPlayer::sendServerInfo(const QList<QByteArray> &lines)
{
    for (const icy::InfoLine &info : icy::serverInfo(lines))
        send(info.code, 0, info.text);
}

void RadioPlayer::ShowStreamTitle(const QByteArray &meta)
{
    if (meta.isNull())
        return;
    if (const std::optional<QString> title = stream_title::parse(meta))
        send(7, 0, *title);
}

void RadioPlayer::OnStreamMeta(const QByteArray &meta)
{
    ShowStreamTitle(meta);
}

void RadioPlayer::OnStreamStatus(const QByteArray &statusLine)
{
    send(8, 0, text_codec::decode(statusLine));
}

// The connection worker.
void RadioPlayer::OpenStation(const QString &address, const icy::Proxy &proxy)
{
    freeStream(); // the station that was playing stops here
    send(0);

    RadioStream::Options options = base_;
    options.proxy = proxy;
    RadioStream::Callbacks callbacks;
    callbacks.status = [this](const QByteArray &line) { OnStreamStatus(line); };
    callbacks.metaChanged = [this](const QByteArray &meta) { OnStreamMeta(meta); };
    callbacks.reconnecting = [this] { send(9); };
    callbacks.reconnected = [this](const QList<QByteArray> &lines) {
        send(10);
        sendServerInfo(lines);
    };
    callbacks.failed = [this](int error) { send(1, quint32(error)); };
    auto stream = std::make_shared<RadioStream>(options, callbacks);
    {
        std::lock_guard lock(m_);
        if (closing_) {
            connecting_ = false;
            return;
        }
        stream_ = stream; // shutdown can cancel it from here on
    }

    if (const int error = stream->open(address)) {
        freeStream();
        send(1, quint32(error));
        connecting_ = false;
        return;
    }

    // Buffering: until more than three quarters of the buffer are filled.
    for (;;) {
        const quint64 end = stream->filePosition(RadioStream::FilePos::End);
        if (end == RadioStream::PositionFailed || closing_)
            break;
        const quint64 downloaded = stream->filePosition(RadioStream::FilePos::Download);
        const quint32 percent = icy::bufferingPercent(end, downloaded, stream->filePosition(RadioStream::FilePos::Current));
        send(2, percent);
        if (percent > 75)
            break;
        stream->waitForData(downloaded, 1000);
    }

    QList<QByteArray> tags = stream->icyTags();
    if (tags.isEmpty())
        tags = stream->httpTags();
    sendServerInfo(tags);
    ShowStreamTitle(stream->meta());
    stream->play();
    connecting_ = false;
}
