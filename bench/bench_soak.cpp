// Soak: zop-panel against zop-sim for a long time (an hour by default) as a restless operator
// would use it: keys pressed at random on the virtual panel, its menus left to time out,
// switches to the Command and Register Panels and back, Gets pressed there, every box and
// dialog answered. Reports the resident-memory slope, stray commands (lines the instrument did
// not know), messages that came up, and how quickly the window answered throughout.
//   bench_soak [--seconds N] [--seed N]

#include "benchsupport.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

using namespace zop::test;

namespace {

// Least-squares slope of (x, y) points.
double Slope(const QList<QPointF> &points)
{
    if (points.size() < 2)
        return 0;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const QPointF &p : points) {
        sx += p.x();
        sy += p.y();
        sxx += p.x() * p.x();
        sxy += p.x() * p.y();
    }
    const double n = double(points.size());
    const double d = n * sxx - sx * sx;
    return d == 0 ? 0 : (n * sxy - sx * sy) / d;
}

QStringList Strings(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &v : value.toArray())
        list << v.toString();
    return list;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&args](const char *name, qint64 fallback) {
        const qsizetype i = args.indexOf(QLatin1String(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1].toLongLong() : fallback;
    };
    const qint64 seconds = option("--seconds", 3600);
    QRandomGenerator random(quint32(option("--seed", 1)));

    SimProcess sim;
    QTemporaryDir dir;
    if (sim.port() == 0
        || !WritePanelConfig(dir.path(), {{"Communication", "Comm", "TCP/IP"},
                                          {"Communication", "Port", QString::number(sim.port())}})) {
        std::fprintf(stderr, "bench_soak: the emulator or the settings did not start\n");
        return 1;
    }
    const QString control = dir.filePath(QStringLiteral("control"));
    QProcess panel;
    RemoteClient remote;
    if (!StartPanel(panel, dir.path(), {QStringLiteral("--remote-control"), control})
        || !remote.connectTo(control)) {
        std::fprintf(stderr, "bench_soak: the panel did not start\n");
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    QList<QPointF> rss;          // (minutes, MiB), one a minute
    QMap<QString, int> messages; // box texts and how often
    qint64 actions = 0, switches = 0, slowestAnswerMs = 0, unanswered = 0, reconnects = 0;
    qint64 nextSample = 0, nextSwitch = 60'000;
    bool onVirtual = true;
    const QStringList servicePanels = {QStringLiteral("mnuCommand"), QStringLiteral("mnuRegisters")};
    while (clock.elapsed() < seconds * 1000 && panel.state() == QProcess::Running) {
        QElapsedTimer asked;
        asked.start();
        const QJsonObject state = remote.ask("state", 10'000);
        slowestAnswerMs = qMax(slowestAnswerMs, asked.elapsed());
        if (state.isEmpty()) {
            ++unanswered;
            continue;
        }
        const QJsonArray boxes = state.value(QStringLiteral("boxes")).toArray();
        for (const QJsonValue &box : boxes) {
            const QString text = box.toObject().value(QStringLiteral("text")).toString();
            ++messages[text];
            // What led to it: the last of the conversation on the emulator's side.
            std::printf("at %.1f min: %s\n", clock.elapsed() / 60'000.0, qPrintable(text));
            QFile trace(sim.tracePath());
            if (trace.open(QIODevice::ReadOnly)) {
                const QList<QByteArray> lines = trace.readAll().trimmed().split('\n');
                for (const QByteArray &line : lines.mid(qMax<qsizetype>(0, lines.size() - 16)))
                    std::printf("  %s\n", line.left(160).constData());
            }
            std::fflush(stdout);
        }
        if (!boxes.isEmpty() || Strings(state.value(QStringLiteral("windows"))).size() > 1)
            remote.ask("dismiss");
        // After a fall-back the operator connects again, so the soak goes on against the
        // instrument.
        if (state.value(QStringLiteral("link")).toString() == QLatin1String("Simulated")) {
            QTest::qWait(500);
            remote.ask("press mnuReconnect");
            ++reconnects;
            QTest::qWait(3000);
            continue;
        }

        if (clock.elapsed() >= nextSample) {
            rss << QPointF(clock.elapsed() / 60'000.0, ProcessRssKiB(panel.processId()) / 1024.0);
            nextSample += 60'000;
        }
        if (clock.elapsed() >= nextSwitch) {
            // To a service panel for a while, then back to the virtual panel.
            remote.ask("press " + (onVirtual ? servicePanels[random.bounded(2)] : QStringLiteral("mnuVirtual")).toLatin1());
            onVirtual = !onVirtual;
            ++switches;
            nextSwitch += onVirtual ? 120'000 : 20'000;
            QTest::qWait(1000);
            continue;
        }
        QStringList keys = Strings(remote.ask("keys").value(QStringLiteral("keys")));
        // The keys an operator presses: the instrument's own on a virtual panel, Gets on a
        // service panel; never a file dialog's.
        keys.removeIf([onVirtual](const QString &key) {
            return key == QLatin1String("cmdSave") || key == QLatin1String("cmdExport")
                || (!onVirtual && !key.startsWith(QLatin1String("cmdGet")));
        });
        if (!keys.isEmpty()) {
            remote.ask("press " + keys[random.bounded(int(keys.size()))].toLatin1());
            ++actions;
        }
        // Now and then the operator looks away and leaves a menu to time out.
        QTest::qWait(random.bounded(10) == 0 ? 12'000 : 300 + random.bounded(1200));
    }
    const bool alive = panel.state() == QProcess::Running;
    const double cpu = zop::bench::CpuSeconds(panel.processId());
    panel.kill();
    panel.waitForFinished(3000);

    QStringList stray;
    for (const QString &note : sim.notes()) {
        if (note.startsWith(QLatin1String("undefined header")))
            stray << note;
    }
    const QStringList lines = sim.receivedLines();
    QList<QPointF> settled; // memory after the first five minutes, once caches have filled
    for (const QPointF &p : rss) {
        if (p.x() >= 5)
            settled << p;
    }
    std::printf("soak: %.1f min, %lld key presses, %lld panel switches, %lld reconnects, %lld polls, "
                "%lld lines in all\n",
                clock.elapsed() / 60'000.0, actions, switches, reconnects,
                qint64(lines.count(QStringLiteral("<>STA"))), qint64(lines.size()));
    std::printf("resident memory: %.1f MiB at first, %.1f MiB at the end, slope %.3f MiB/h after 5 min\n",
                rss.isEmpty() ? 0.0 : rss.first().y(), rss.isEmpty() ? 0.0 : rss.last().y(),
                Slope(settled) * 60);
    // Where any growth came: the heap settles in the first quarter of an hour or so, a leak
    // goes on to the end.
    QStringList samples;
    for (const QPointF &p : rss) {
        if (qRound(p.x()) % 10 == 0)
            samples << QStringLiteral("%1 min %2").arg(qRound(p.x())).arg(p.y(), 0, 'f', 1);
    }
    std::printf("resident memory every 10 min (MiB): %s\n", qPrintable(samples.join(QStringLiteral(", "))));
    std::printf("panel CPU: %.1f s in all; window answered within %lld ms at worst, %lld times not within 10 s\n",
                cpu, slowestAnswerMs, unanswered);
    std::printf("stray commands: %lld\n", qint64(stray.size()));
    for (const QString &s : stray.mid(0, 10))
        std::printf("  %s\n", qPrintable(s));
    for (auto it = messages.cbegin(); it != messages.cend(); ++it)
        std::printf("message %dx: %s\n", it.value(), qPrintable(QString(it.key()).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    std::printf("panel %s at the end\n", alive ? "running" : "gone");
    return alive && stray.isEmpty() && unanswered == 0 && messages.isEmpty() ? 0 : 1;
}
