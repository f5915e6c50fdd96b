#include "PlaybackTestUtil.h"

#include "playback/MediaGraph.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>

#include <cmath>
#include <cstring>

namespace playback_test {

bool pulseAvailable(QString *why)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        *why = QStringLiteral("PULSE_SERVER is not set (start scripts/pulse-null-sink.sh)");
        return false;
    }
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0) {
        *why = QStringLiteral("the PulseAudio server at PULSE_SERVER does not answer");
        return false;
    }
    return true;
}

QString pactl(const QStringList &arguments, bool *ok)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("pactl"), arguments);
    const bool finished = process.waitForFinished(5000) && process.exitCode() == 0;
    if (ok)
        *ok = finished;
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

PrivateNullSink::PrivateNullSink(bool stock)
{
    static int counter = 0;
    name_ = QStringLiteral("tarnel_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    bool ok = false;
    QStringList arguments = {QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                             QStringLiteral("sink_name=") + name_};
    if (!stock)
        arguments.append(QStringLiteral("norewinds=1"));
    const QString index = pactl(arguments, &ok).trimmed();
    if (ok && !index.isEmpty()) {
        module_ = index;
        qputenv("PULSE_SINK", name_.toUtf8());
    }
}

PrivateNullSink::~PrivateNullSink()
{
    if (module_.isEmpty())
        return;
    qunsetenv("PULSE_SINK");
    pactl({QStringLiteral("unload-module"), module_});
}

QStringList PrivateNullSink::streamVolumes() const
{
    QString sinkIndex;
    const QStringList sinks = pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sinks")})
                                  .split(QLatin1Char('\n'));
    for (const QString &line : sinks) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() > 1 && fields[1] == name_)
            sinkIndex = fields[0];
    }
    QStringList volumes;
    bool ours = false;
    const QStringList lines = pactl({QStringLiteral("list"), QStringLiteral("sink-inputs")}).split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1String("Sink Input #")))
            ours = false;
        else if (line.startsWith(QLatin1String("Sink:")))
            ours = line.mid(5).trimmed() == sinkIndex;
        else if (ours && line.startsWith(QLatin1String("Volume:")))
            volumes.append(line);
    }
    return volumes;
}

bool runToEnd(MediaGraph &graph, int timeoutMs)
{
    QSignalSpy ended(&graph, &MediaGraph::endOfStream);
    graph.run();
    return ended.wait(timeoutMs);
}

bool MonitorRecorder::start(const QString &sinkName)
{
    process_.start(QStringLiteral("parec"),
                   {QStringLiteral("-d"), sinkName + QStringLiteral(".monitor"), QStringLiteral("--raw"),
                    QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                    QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=20")});
    if (!process_.waitForStarted(5000))
        return false;
    // Give the record stream time to connect before anything is played.
    QThread::msleep(300);
    return process_.state() == QProcess::Running;
}

std::vector<std::int16_t> MonitorRecorder::stop()
{
    QThread::msleep(200);
    process_.terminate();
    process_.waitForFinished(5000);
    received_ += process_.readAllStandardOutput();
    const QByteArray bytes = received_;
    received_.clear();
    std::vector<std::int16_t> samples(std::size_t(bytes.size()) / 2);
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
}

std::vector<std::int16_t> MonitorRecorder::samplesSince(qint64 from)
{
    received_ += process_.readAllStandardOutput();
    const qint64 frames = std::max<qint64>(0, received_.size() / 4 - from);
    std::vector<std::int16_t> samples(std::size_t(frames) * 2);
    std::memcpy(samples.data(), received_.constData() + from * 4, samples.size() * 2);
    return samples;
}

qint64 MonitorRecorder::framesSoFar()
{
    received_ += process_.readAllStandardOutput();
    return received_.size() / 4;
}

std::vector<double> channelOf(const std::vector<std::int16_t> &interleaved, int channels, int channel)
{
    std::vector<double> out;
    out.reserve(interleaved.size() / channels);
    for (std::size_t i = channel; i < interleaved.size(); i += channels)
        out.push_back(interleaved[i]);
    return out;
}

std::pair<std::size_t, std::size_t> loudRange(const std::vector<double> &x, double threshold)
{
    std::size_t first = x.size();
    std::size_t last = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (std::abs(x[i]) > threshold) {
            first = std::min(first, i);
            last = i + 1;
        }
    }
    return first < last ? std::make_pair(first, last) : std::make_pair(std::size_t(0), std::size_t(0));
}

double tonePower(const std::vector<double> &x, std::size_t begin, std::size_t end, double frequency,
                 double sampleRate)
{
    const double coefficient = 2.0 * std::cos(2.0 * M_PI * frequency / sampleRate);
    double s1 = 0.0;
    double s2 = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
        const double s0 = x[i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double n = double(end - begin);
    return (s1 * s1 + s2 * s2 - coefficient * s1 * s2) / (n * n);
}

double rms(const std::vector<double> &x, std::size_t begin, std::size_t end)
{
    if (end <= begin)
        return 0.0;
    double sum = 0.0;
    for (std::size_t i = begin; i < end; ++i)
        sum += x[i] * x[i];
    return std::sqrt(sum / double(end - begin));
}

int zeroCrossings(const char *data, int frames, int channels)
{
    int crossings = 0;
    int previous = 0;
    for (int i = 0; i < frames; ++i) {
        std::int16_t v;
        std::memcpy(&v, data + std::size_t(i) * channels * 2, 2);
        const int sign = v > 0 ? 1 : (v < 0 ? -1 : 0);
        if (sign != 0) {
            if (previous != 0 && sign != previous)
                ++crossings;
            previous = sign;
        }
    }
    return crossings;
}

} // namespace playback_test
