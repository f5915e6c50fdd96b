#include "online/CurlHttpClient.h"

#include "common/LibCurl.h"

#include "online/NetworkCheck.h"

#include <QSaveFile>

#include <curl/curl.h>

QList<QByteArray> CookieJar::lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

void CookieJar::setLines(const QList<QByteArray> &lines)
{
    std::lock_guard lock(mutex_);
    lines_ = lines;
}

struct CurlHttpClient::Transfer {
    CurlHttpClient *client = nullptr;
    const std::atomic<bool> *cancel = nullptr;
    QByteArray statusLine;
    int status = 0;
    QByteArray body;
    QSaveFile *file = nullptr;
    bool keepBody = true;  // also a file's answer, for the request's digest
    qint64 maxBytes = 0;
    bool cutAtLimit = false;
    qint64 received = 0;   // body bytes, error pages included
    bool tooLarge = false;
    bool cut = false;
    bool writeFailed = false;
    qint64 expected = -1;
    qint64 count = -1;
};

namespace {

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto &t = *static_cast<CurlHttpClient::Transfer *>(user);
    const QByteArray line = QByteArray(data, qsizetype(size * count)).trimmed();
    if (line.startsWith("HTTP/")) {
        t.statusLine = line;
        const QList<QByteArray> parts = line.split(' ');
        t.status = parts.size() > 1 ? parts[1].toInt() : 0;
    }
    return size * count;
}

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    auto &t = *static_cast<CurlHttpClient::Transfer *>(user);
    qsizetype n = qsizetype(size * count);
    // Whatever the server sends, error pages included, counts against the cap: an answer
    // that never ends must not fill the memory or the disk.
    if (t.received + n > t.maxBytes) {
        if (!t.cutAtLimit || t.status >= 300) {
            t.tooLarge = true;
            return 0;
        }
        t.cut = true;
        n = qsizetype(t.maxBytes - t.received);
    }
    t.received += n;
    if (t.status < 300) {
        // Only a good answer goes into the file.
        if (t.file && t.file->write(data, n) != n) {
            t.writeFailed = true;
            return 0;
        }
        if (!t.file || t.keepBody)
            t.body.append(data, n);
    } else if (!t.file) {
        t.body.append(data, n);
    }
    return t.cut ? 0 : size * count;
}

// Progress on the request's thread: the signals reach the GUI thread queued.
int onProgress(void *user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow)
{
    auto &t = *static_cast<CurlHttpClient::Transfer *>(user);
    if (*t.cancel)
        return 1;
    const bool download = dltotal > 0 || dlnow > 0;
    const qint64 expected = download ? qint64(dltotal) : qint64(ultotal);
    const qint64 count = download ? qint64(dlnow) : qint64(ulnow);
    if (expected != t.expected) {
        t.expected = expected;
        Q_EMIT t.client->workBegin(expected);
    }
    if (count != t.count) {
        t.count = count;
        Q_EMIT t.client->work(count);
    }
    return 0;
}

} // namespace

CurlHttpClient::CurlHttpClient(CookieJar &cookies, Limits limits, std::function<bool()> networkCheck, QObject *parent)
    : HttpClient(parent)
    , cookies_(cookies)
    , limits_(limits)
    , networkCheck_(std::move(networkCheck))
{
    if (!networkCheck_)
        networkCheck_ = [] {
            QString host, address, error;
            return GetIPFromHost(host, address, error);
        };
}

CurlHttpClient::CurlHttpClient(CookieJar &cookies, QObject *parent)
    : CurlHttpClient(cookies, Limits(), {}, parent)
{
}

CurlHttpClient::~CurlHttpClient()
{
    cancel_ = true;
    join();
}

void CurlHttpClient::join()
{
    if (thread_.joinable())
        thread_.join();
}

bool CurlHttpClient::start(const HttpRequest &request, Finished finished)
{
    if (busy_)
        return false;
    join(); // the last one has delivered its end: its thread is done or nearly
    busy_ = true;
    cancel_ = false;
    thread_ = std::thread([this, request, finished = std::move(finished)] {
        HttpResult result;
        if (request.checkNetwork && !networkCheck_()) {
            result.outcome = HttpResult::Outcome::Skipped;
        } else {
            result = perform(request);
        }
        QMetaObject::invokeMethod(
            this,
            [this, result, finished] {
                busy_ = false;
                join();
                if (finished)
                    finished(result);
            },
            Qt::QueuedConnection);
    });
    return true;
}

HttpResult CurlHttpClient::perform(const HttpRequest &request)
{
    HttpResult result;
    Transfer t;
    t.client = this;
    t.cancel = &cancel_;
    t.maxBytes = request.maxBytes > 0 ? request.maxBytes : limits_.maxMemoryBody;
    t.cutAtLimit = request.cutAtLimit;
    t.keepBody = bool(request.digest);
    const int deadline = request.deadlineSeconds > 0 ? request.deadlineSeconds : limits_.deadlineSeconds;
    std::unique_ptr<QSaveFile> file;
    if (!request.saveTo.isEmpty()) {
        file = std::make_unique<QSaveFile>(request.saveTo);
        if (!file->open(QIODevice::WriteOnly)) {
            result.error = file->errorString();
            return result;
        }
        t.file = file.get();
    }

    const LibCurl *c = libCurl(&result.error);
    if (!c)
        return result;
    CURL *curl = c->easy_init();
    if (!curl) {
        result.error = QStringLiteral("HTTP client could not start");
        return result;
    }
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray url = request.url.toUtf8();
    curl_slist *headers = c->slist_append(nullptr, "Accept: text/html, */*");
    c->easy_setopt(curl, CURLOPT_URL, url.constData());
    c->easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    c->easy_setopt(curl, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Indy Library)");
    c->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    c->easy_setopt(curl, CURLOPT_PROXY, ""); // none, whatever the environment says
    c->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    c->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(limits_.connectTimeoutMs));
    c->easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    c->easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long(limits_.stallSeconds));
    // A server that drips a byte now and then is no stall: the whole request has a bound too.
    c->easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(deadline) * 1000L);
    if (!t.cutAtLimit) // an announced length beyond the cap is refused before any byte
        c->easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(t.maxBytes));
    c->easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    c->easy_setopt(curl, CURLOPT_COOKIEFILE, ""); // cookies of this run only
    for (const QByteArray &line : cookies_.lines())
        c->easy_setopt(curl, CURLOPT_COOKIELIST, line.constData());
    if (request.method == HttpRequest::Method::PostForm) {
        headers = c->slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        c->easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
        c->easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
        c->easy_setopt(curl, CURLOPT_POST, 1L);
        c->easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
        c->easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.constData());
    } else {
        c->easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
        c->easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    c->easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    c->setCallbacks(curl, onHeader, onBody, onProgress, &t);

    const CURLcode code = c->easy_perform(curl);

    QList<QByteArray> cookieLines;
    curl_slist *list = nullptr;
    if (c->easy_getinfo(curl, CURLINFO_COOKIELIST, &list) == CURLE_OK) {
        for (curl_slist *l = list; l; l = l->next)
            cookieLines.append(QByteArray(l->data));
        c->slist_free_all(list);
    }
    cookies_.setLines(cookieLines);
    c->easy_cleanup(curl);
    c->slist_free_all(headers);

    result.status = t.status;
    result.cut = t.cut;
    const bool complete = code == CURLE_OK || (t.cut && code == CURLE_WRITE_ERROR);
    if (*t.cancel && !complete) {
        result.outcome = HttpResult::Outcome::Cancelled;
    } else if (t.status >= 300) {
        result.error = QString::fromLatin1(t.statusLine);
    } else if (t.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.error = QStringLiteral("The server's answer is too long.");
    } else if (t.writeFailed) {
        result.error = file->errorString();
    } else if (!complete) {
        result.error = QString::fromLocal8Bit(errorText[0] ? errorText : c->easy_strerror(code));
    } else {
        if (request.digest)
            result.rows = request.digest(t.body, &result.error);
        if (result.error.isEmpty() && (!file || file->commit())) {
            result.outcome = HttpResult::Outcome::Done;
            result.body = file ? QByteArray() : t.body;
            return result;
        }
        if (result.error.isEmpty())
            result.error = file->errorString();
    }
    result.body = file ? QByteArray() : t.body;
    if (file)
        file->cancelWriting();
    return result;
}
