#include "PlaybackProbe.h"

#include "fixtures/media/MediaMaker.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace e2e {

namespace {

const QString service = QStringLiteral("org.mpris.MediaPlayer2.tarnel");
const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

QVariantMap asMap(const QVariant &v)
{
    if (v.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(v.value<QDBusArgument>());
    return v.toMap();
}

QString urlOf(const QVariant &metadata)
{
    return asMap(metadata).value(QStringLiteral("xesam:url")).toString();
}

QString pactl(const QStringList &arguments, bool *ok)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("pactl"), arguments);
    *ok = process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

} // namespace

bool soundAndFfmpeg(QString *why)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        *why = QStringLiteral("PULSE_SERVER is not set (start scripts/pulse-null-sink.sh)");
        return false;
    }
    bool ok = false;
    pactl({QStringLiteral("info")}, &ok);
    if (!ok) {
        *why = QStringLiteral("the PulseAudio server at PULSE_SERVER does not answer");
        return false;
    }
    if (!media_maker::haveTool(QStringLiteral("ffmpeg")) || !media_maker::haveTool(QStringLiteral("parec"))) {
        *why = QStringLiteral("ffmpeg or parec is missing");
        return false;
    }
    return true;
}

bool makeTone(const QString &path, double frequencyHz, int durationMs, const QStringList &codec)
{
    const QString source = QStringLiteral("sine=frequency=%1:duration=%2:sample_rate=44100")
                               .arg(frequencyHz)
                               .arg(durationMs / 1000.0);
    return media_maker::runTool(QStringLiteral("ffmpeg"),
                                QStringList{"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i", source,
                                            "-ac", "2", "-af", "volume=4"}
                                    + codec + QStringList{path});
}

bool makeClip(const QString &path, double frequencyHz, int durationMs)
{
    const QString seconds = QString::number(durationMs / 1000.0);
    return media_maker::runTool(
        QStringLiteral("ffmpeg"),
        {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
         QStringLiteral("testsrc=size=320x240:rate=25:duration=") + seconds, "-f", "lavfi", "-i",
         QStringLiteral("sine=frequency=%1:duration=%2:sample_rate=44100").arg(frequencyHz).arg(seconds), "-ac", "2",
         "-af", "volume=4", "-c:v", "mpeg4", "-q:v", "5", "-c:a", "aac", "-b:a", "128k", "-shortest", path});
}

MprisClient::MprisClient(const QString &busAddress)
    : bus_(QDBusConnection::connectToBus(busAddress, QStringLiteral("e2e-mpris-%1").arg(quintptr(this))))
{
    bus_.connect(QString(), objectPath, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
                 SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
}

QVariant MprisClient::property(const QString &name, int timeoutMs)
{
    QDBusMessage get = QDBusMessage::createMethodCall(service, objectPath, propertiesInterface, QStringLiteral("Get"));
    get << playerInterface << name;
    const QDBusMessage reply = bus_.call(get, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

std::optional<QString> MprisClient::url(int timeoutMs)
{
    const QVariant metadata = property(QStringLiteral("Metadata"), timeoutMs);
    if (!metadata.isValid())
        return std::nullopt;
    return urlOf(metadata);
}

std::optional<QString> MprisClient::status(int timeoutMs)
{
    const QVariant status = property(QStringLiteral("PlaybackStatus"), timeoutMs);
    if (!status.isValid())
        return std::nullopt;
    return status.toString();
}

bool MprisClient::call(const QString &method, int timeoutMs)
{
    const QDBusMessage reply =
        bus_.call(QDBusMessage::createMethodCall(service, objectPath, playerInterface, method), QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

int MprisClient::burst(const QString &method, int count, int intervalMs, int boundMs)
{
    QList<QDBusPendingCall> calls;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        calls.append(bus_.asyncCall(QDBusMessage::createMethodCall(service, objectPath, playerInterface, method),
                                    boundMs + count * intervalMs));
        const qint64 next = qint64(i + 1) * intervalMs;
        if (clock.elapsed() < next)
            QTest::qWait(int(next - clock.elapsed()));
    }
    QElapsedTimer waited;
    waited.start();
    auto finished = [&calls] {
        return std::count_if(calls.cbegin(), calls.cend(), [](const QDBusPendingCall &c) { return c.isFinished(); });
    };
    while (finished() < calls.size() && waited.elapsed() < boundMs)
        QTest::qWait(20);
    return int(std::count_if(calls.cbegin(), calls.cend(),
                             [](const QDBusPendingCall &c) { return c.isFinished() && !c.isError(); }));
}

void MprisClient::propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
{
    if (interface != playerInterface || !changed.contains(QStringLiteral("Metadata")))
        return;
    const QString url = urlOf(changed.value(QStringLiteral("Metadata")));
    if (urls_.isEmpty() || urls_.last() != url)
        urls_.append(url);
}

ProcessUse processUse(qint64 pid)
{
    ProcessUse use;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    if (fds.exists())
        use.descriptors = int(fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                use.rssKiB = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return use;
}

OwnSink::OwnSink(bool stock)
{
    static int counter = 0;
    name_ = QStringLiteral("tarnel_e2e_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    QStringList arguments{QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                          QStringLiteral("sink_name=") + name_};
    if (!stock)
        arguments.append(QStringLiteral("norewinds=1"));
    bool ok = false;
    const QString index = pactl(arguments, &ok);
    if (ok && !index.isEmpty())
        module_ = index;
}

OwnSink::~OwnSink()
{
    bool ok = false;
    if (!module_.isEmpty())
        pactl({QStringLiteral("unload-module"), module_}, &ok);
}

MonitorRecording::~MonitorRecording()
{
    stop();
}

bool MonitorRecording::start(const QString &sinkName)
{
    parec_.start(QStringLiteral("parec"),
                 {QStringLiteral("-d"), sinkName + QStringLiteral(".monitor"), QStringLiteral("--raw"),
                  QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"), QStringLiteral("--channels=2"),
                  QStringLiteral("--latency-msec=20")});
    if (!parec_.waitForStarted(10000))
        return false;
    // The monitor sends silence while nothing plays: once some came, it records.
    QElapsedTimer waited;
    waited.start();
    while (parec_.bytesAvailable() == 0 && parec_.state() == QProcess::Running && waited.elapsed() < 10000)
        parec_.waitForReadyRead(100);
    return parec_.bytesAvailable() > 0;
}

std::vector<std::int16_t> MonitorRecording::samples()
{
    bytes_ += parec_.readAllStandardOutput();
    std::vector<std::int16_t> out(std::size_t(bytes_.size() / 4) * 2);
    std::memcpy(out.data(), bytes_.constData(), out.size() * 2);
    return out;
}

void MonitorRecording::stop()
{
    if (parec_.state() == QProcess::NotRunning)
        return;
    bytes_ += parec_.readAllStandardOutput();
    parec_.terminate();
    if (!parec_.waitForFinished(5000)) {
        parec_.kill();
        parec_.waitForFinished();
    }
    bytes_ += parec_.readAllStandardOutput();
}

QList<ToneRun> toneRuns(const std::vector<std::int16_t> &interleavedStereo, const QList<double> &frequencies)
{
    constexpr qint64 step = 220;   // 5 ms: where a tone starts and ends
    constexpr qint64 window = 882; // 20 ms around a step: which tone it is
    const qint64 frames = qint64(interleavedStereo.size() / 2);
    auto left = [&](qint64 i) { return double(interleavedStereo[std::size_t(2 * i)]); };
    QList<double> coefficients;
    for (double f : frequencies)
        coefficients.append(2.0 * std::cos(2.0 * M_PI * f / 44100.0));
    QList<ToneRun> runs;
    for (qint64 at = 0; at + step <= frames; at += step) {
        double energy = 0.0;
        for (qint64 i = at; i < at + step; ++i)
            energy += left(i) * left(i);
        if (std::sqrt(energy / step) < 300.0)
            continue;
        const qint64 begin = std::clamp<qint64>(at + step / 2 - window / 2, 0, std::max<qint64>(0, frames - window));
        const qint64 end = std::min(frames, begin + window);
        int best = -1;
        double bestPower = 0.0;
        for (int k = 0; k < coefficients.size(); ++k) {
            double s1 = 0.0;
            double s2 = 0.0;
            for (qint64 i = begin; i < end; ++i) {
                const double s0 = left(i) + coefficients[k] * s1 - s2;
                s2 = s1;
                s1 = s0;
            }
            const double power = s1 * s1 + s2 * s2 - coefficients[k] * s1 * s2;
            if (power > bestPower) {
                bestPower = power;
                best = k;
            }
        }
        if (!runs.isEmpty() && runs.last().tone == best && at - runs.last().end <= step) {
            runs.last().end = at + step;
            runs.last().heard += step;
        } else {
            runs.append({best, at, at + step, step});
        }
    }
    // A step across the joint of two tones may read as a third: drop such slivers.
    runs.removeIf([](const ToneRun &r) { return r.end - r.first <= 2 * step; });
    QList<ToneRun> joined;
    for (const ToneRun &r : runs) {
        if (!joined.isEmpty() && joined.last().tone == r.tone) {
            joined.last().end = r.end;
            joined.last().heard += r.heard;
        } else
            joined.append(r);
    }
    return joined;
}

QString describe(const QList<ToneRun> &runs)
{
    QString text;
    for (const ToneRun &r : runs)
        text += QStringLiteral(" %1:%2-%3ms(%4 heard)")
                    .arg(r.tone)
                    .arg(r.first * 1000 / 44100)
                    .arg(r.end * 1000 / 44100)
                    .arg(r.heardMs(), 0, 'f', 0);
    return text.isEmpty() ? QStringLiteral(" (nothing heard)") : text;
}

} // namespace e2e
