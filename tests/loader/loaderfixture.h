#pragma once
// The programming run on a scripted RS-232 line answered by the emulator's boot loader (in
// this process) and, once it has restarted, by scripted replies. Time is a manual clock the
// helpers move one system tick at a time.

#include "app/moddata.h"
#include "bootloader.h"
#include "link/commlayer.h"
#include "link/linkkind.h"
#include "link/logsink.h"
#include "loader/programmingrun.h"
#include "testsupport.h"

#include <QFile>

namespace zop::test {

// Intel HEX text of `image` at `base`, 16 bytes a record, an extended linear address record
// before each 64 KiB page, an end record and a final line feed.
inline QByteArray HexText(const QByteArray &image, quint32 base = 0)
{
    QByteArray text;
    auto record = [&text](int type, quint16 address, const QByteArray &data) {
        QByteArray r;
        r.append(char(data.size()));
        r.append(char(address >> 8));
        r.append(char(address));
        r.append(char(type));
        r += data;
        int sum = 0;
        for (const char c : r)
            sum += quint8(c);
        r.append(char(-sum));
        text += ':' + r.toHex().toUpper() + "\r\n";
    };
    int page = 0;
    for (qsizetype at = 0; at < image.size(); at += 16) {
        const quint32 address = base + quint32(at);
        if (int(address >> 16) != page) {
            page = int(address >> 16);
            record(4, 0, QByteArray::fromHex(QByteArray::number(page, 16).rightJustified(4, '0')));
        }
        record(0, quint16(address), image.mid(at, 16));
    }
    record(1, 0, {});
    return text;
}

// Bytes that differ from record to record (and include the escaped values).
inline QByteArray Pattern(int size, int seed = 7)
{
    QByteArray bytes(size, '\0');
    quint32 x = quint32(seed);
    for (char &c : bytes) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 16);
    }
    return bytes;
}

struct LoaderFixture : Fixture {
    LoaderFixture()
    {
        AnswerStateRefresh(*line);
        line->responder = [this](const QByteArray &bytes) -> QList<ScriptedLine::Chunk> {
            QByteArray answer;
            if (boot.active())
                answer = boot.receive(bytes);
            else if (bytes == "VOLT?")
                answer = voltAnswer;
            else
                answer = line->replies.value(bytes);
            if (answer.isEmpty())
                return {};
            return {{0, answer}};
        };
        modData().comm.LogTarget = &log;
        modData().CommKind = LinkKind::Rs232;
        OpenLink();
        QObject::connect(&run, &ProgrammingRun::statusChanged,
                         [this](LoaderStatus s) { statuses << s; });
    }

    QString writeHex(const QByteArray &text, const QString &name = QStringLiteral("fw.hex"))
    {
        writeFile(name, text);
        return path(name);
    }
    // Ticks until the run ends or `limitMs` of the clock have passed; true when it ended.
    bool tickToEnd(qint64 limitMs = 120000)
    {
        return tickUntil([this] { return !run.isActive(); }, limitMs);
    }
    template <typename Done>
    bool tickUntil(Done done, qint64 limitMs = 120000)
    {
        const qint64 end = clock->elapsedMs() + limitMs;
        while (!done() && clock->elapsedMs() < end) {
            clock->advance(ProgrammingRun::TickMs);
            run.tick();
        }
        return done();
    }
    // The packets written with this command byte (the synchronisation bytes have none).
    QList<QByteArray> packets(quint8 command) const
    {
        QList<QByteArray> found;
        for (const QByteArray &w : line->written) {
            if (w.size() > 3 && w.startsWith("\x0F\x0F") && quint8(w.at(2)) == command)
                found << w;
        }
        return found;
    }

    zopsim::BootLoader boot;
    QByteArray voltAnswer = "12.000\r\n";
    TextLog log;
    ProgrammingRun run;
    QList<LoaderStatus> statuses;
};

} // namespace zop::test
