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
    if (closing_)
        return false;
    {
        std::lock_guard lock(m_);
        if (connecting_) {
            if (address == target_)
                return false; // a double click on the station already connecting
            // Another station: the attempt under way is cancelled, and the worker takes
            // this one next (never waited for here: it may be waiting for this thread).
            target_ = address;
            pending_.emplace(address, proxyText);
            replaced_ = true;
            if (stream_)
                stream_->cancel();
            return true;
        }
        connecting_ = true;
        target_ = address;
    }
    if (worker_.joinable())
        worker_.join(); // it has ended: connecting_ is its last step
    worker_ = std::thread([this, address, proxyText] { run(address, proxyText); });
    return true;
}

void RadioPlayer::run(QString address, QString proxyText)
{
    for (;;) {
        OpenStation(address, icy::parseProxy(proxyText));
        std::lock_guard lock(m_);
        if (!pending_ || closing_) {
            pending_.reset();
            replaced_ = false;
            connecting_ = false;
            return;
        }
        std::tie(address, proxyText) = *std::exchange(pending_, std::nullopt);
        replaced_ = false;
    }
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
        if (closing_ || replaced_)
            return;
        stream_ = stream; // shutdown and a new start can cancel it from here on
    }

    if (const int error = stream->open(address)) {
        freeStream();
        if (!replaced_) // a station picked meanwhile is no failure of this one
            send(1, quint32(error));
        return;
    }

    // Buffering: until more than three quarters of the buffer are filled.
    for (;;) {
        const quint64 end = stream->filePosition(RadioStream::FilePos::End);
        if (end == RadioStream::PositionFailed || closing_ || replaced_)
            break;
        const quint64 downloaded = stream->filePosition(RadioStream::FilePos::Download);
        const quint32 percent = icy::bufferingPercent(end, downloaded, stream->filePosition(RadioStream::FilePos::Current));
        send(2, percent);
        if (percent > 75)
            break;
        stream->waitForData(downloaded, 1000);
    }

    if (replaced_) {
        freeStream();
        return;
    }
    QList<QByteArray> tags = stream->icyTags();
    if (tags.isEmpty())
        tags = stream->httpTags();
    sendServerInfo(tags);
    ShowStreamTitle(stream->meta());
    stream->play();
}
