#include "cli/modtablecommand.h"

#include "app/configuration.h"
#include "core/regularfile.h"
#include "core/textfile.h"
#include "link/commlayer.h"
#include "modtable/modreply.h"
#include "modtable/modtablefile.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

#include <algorithm>
#include <cstdio>

namespace zop::cli {

namespace {

// "MODulation:TYPE:SELect" in the SCPI command table.
constexpr int SelectionCommand = 35;

struct TableRead {
    int controlInput = UnknownSelection;
    int type = UnknownSelection;
    QList<ModTableRowText> rows; // ascending
    int badReplies = 0; // row replies that could not be decoded (reported on standard error)
};

void Warn(const QString &text) { std::fprintf(stderr, "zopctl: %s\n", qPrintable(text)); }

// "MOD:TYPE:SEL?": a reply without a valid selection ends the command.
void ReadSelection(LinkSession &link, TableRead &table)
{
    const QString reply = link.query(QStringLiteral("MOD:TYPE:SEL?"));
    const SelectionReply selection = ParseSelectionReply(reply);
    if (selection.status != SelectionReply::Status::Ok)
        throw Failure{Exit::BadReply,
                      QStringLiteral("%1 (\"MOD:TYPE:SEL?\" answered \"%2\")")
                          .arg(selection.status == SelectionReply::Status::InvalidControlInput
                                   ? QStringLiteral("Invalid Control Input!")
                                   : QStringLiteral("Invalid Modulation Type!"),
                               reply)};
    table.controlInput = selection.controlInput;
    table.type = selection.type;
}

// Rows 1 to 50 as the instrument reports them, each written first when `toWrite` holds it.
// The instrument may report a later row than asked: the reading goes on after it.
void ReadRows(LinkSession &link, const QMap<int, QPair<QString, QString>> &toWrite,
              TableRead &table)
{
    QMap<int, ModTableRowText> rows;
    for (int row = 1; row <= ModTableRows; ++row) {
        if (const auto write = toWrite.constFind(row); write != toWrite.constEnd())
            link.send(QStringLiteral("MOD:TABL %1(%2,%3)").arg(row).arg(write->first, write->second));
        const RowReply reply = ParseRowReply(link.query(QStringLiteral("MOD:TABL? %1").arg(row)));
        switch (reply.kind) {
        case RowReply::Kind::NoTable:
            continue;
        case RowReply::Kind::InvalidPosition:
            Warn(QStringLiteral("Invalid position %1!").arg(row));
            ++table.badReplies;
            continue;
        case RowReply::Kind::InvalidElements:
            Warn(QStringLiteral("Invalid Elements at position %1!").arg(reply.position));
            ++table.badReplies;
            break;
        case RowReply::Kind::BeyondTable:
            break;
        case RowReply::Kind::Row:
            if (reply.position >= 1 && reply.position <= ModTableRows)
                rows.insert(reply.position, {reply.position, reply.vmod, reply.value});
            break;
        }
        row = std::max(row, reply.position);
    }
    table.rows = rows.values();
}

void PrintTable(const CommandContext &c, const QString &path, const TableRead &table,
                const QString &done)
{
    const QString header = OutputHeader(table.controlInput, table.type);
    if (c.json) {
        QJsonArray rows;
        for (const ModTableRowText &r : table.rows)
            rows.append(QJsonObject{{QStringLiteral("row"), r.row},
                                    {QStringLiteral("vmod"), r.vmod},
                                    {QStringLiteral("out"), r.out}});
        const QJsonObject o{{QStringLiteral("file"), path},
                            {QStringLiteral("controlInput"), table.controlInput},
                            {QStringLiteral("controlInputName"), ControlInputName(table.controlInput)},
                            {QStringLiteral("type"), table.type},
                            {QStringLiteral("typeName"), ModTypeName(table.type)},
                            {QStringLiteral("outputHeader"), header},
                            {QStringLiteral("rows"), rows}};
        Print(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
        return;
    }
    QString text = QStringLiteral("Control Input: %1\nModulation Type: %2\n")
                       .arg(ControlInputName(table.controlInput), ModTypeName(table.type));
    int vmodWidth = 4;
    for (const ModTableRowText &r : table.rows)
        vmodWidth = std::max(vmodWidth, int(r.vmod.size()));
    text += QStringLiteral("Row  %1  %2\n").arg(QStringLiteral("VMOD"), -vmodWidth).arg(header);
    for (const ModTableRowText &r : table.rows)
        text += QStringLiteral("%1  %2  %3\n").arg(r.row, 3).arg(r.vmod, -vmodWidth).arg(r.out);
    PrintText(text + done + QLatin1Char('\n'));
}

void Save(CommandContext &c, const QString &path)
{
    // Refused before the instrument is asked anything: a folder, a FIFO or a device.
    if (!IsRegularOrAbsent(path))
        throw Failure{Exit::BadFile,
                      QStringLiteral("Invalid File: %1 is not a regular file").arg(path)};
    TableRead table;
    ReadSelection(c.link, table);
    if (table.controlInput < 1)
        throw Failure{Exit::InstrumentError,
                      QStringLiteral("the instrument has no control input selected (\"None\"): "
                                     "select the Voltage or Current table first")};
    ReadRows(c.link, {}, table);
    if (table.badReplies > 0)
        throw Failure{Exit::BadReply,
                      QStringLiteral("%1 row replies could not be decoded: %2 not written")
                          .arg(table.badReplies)
                          .arg(path)};
    if (table.rows.isEmpty())
        throw Failure{Exit::InstrumentError, QStringLiteral("No entries in the table to save.")};
    if (!IsRegularOrAbsent(path)) // put there while the table was read
        throw Failure{Exit::BadFile,
                      QStringLiteral("Invalid File: %1 is not a regular file").arg(path)};
    const QString error
        = WriteWholeFile(path, ModTableFileBytes({table.controlInput, table.type, table.rows}));
    if (!error.isEmpty())
        throw Failure{Exit::BadFile,
                      QStringLiteral("Unable to write file, save aborted: %1").arg(error)};
    PrintTable(c, path, table, QStringLiteral("Modulation Table Saved to ") + path);
}

void Load(CommandContext &c, const QString &path)
{
    // Read whole, and only from a regular file (a FIFO cannot block the command).
    QString problem;
    const LoadedModTable file = ReadModTableFile(path, &problem);
    if (!problem.isEmpty())
        throw Failure{Exit::BadFile, QStringLiteral("cannot read %1: %2").arg(path, problem)};
    const auto given = [](int value) { return value != MissingSelectionKey; };
    if (given(file.controlInput) && file.controlInput != 1 && file.controlInput != 2)
        throw Failure{Exit::BadFile, QStringLiteral("Invalid Control Input in Saved File ") + path};
    if (given(file.type) && file.type != 0 && file.type != 1)
        throw Failure{Exit::BadFile, QStringLiteral("Invalid Modulation Type in Saved File ") + path};

    FlushInput();
    c.link.send(QStringLiteral("%1 %2, %3")
                    .arg(SCPICommandTable().at(SelectionCommand))
                    .arg(file.controlInput)
                    .arg(file.type));
    TableRead table;
    ReadSelection(c.link, table);
    ReadRows(c.link, file.rows, table);
    PrintTable(c, path,  table,
               QStringLiteral("Loaded %1: %2 rows sent, the table as the instrument reports it above")
                   .arg(path)
                   .arg(file.rows.size()));
    if (table.badReplies > 0)
        throw Failure{Exit::BadReply,
                      QStringLiteral("%1 row replies could not be decoded").arg(table.badReplies)};
}

} // namespace

void RunModTable(CommandContext &c)
{
    const QString action = c.arguments.value(0);
    if (c.arguments.size() != 2 || (action != QLatin1String("save") && action != QLatin1String("load")))
        throw Failure{Exit::Usage,
                      QStringLiteral("modtable takes \"save FILE\" or \"load FILE\" (see zopctl --help)")};
    if (c.link.simulated())
        throw Failure{Exit::Usage,
                      QStringLiteral("sim:// has no modulation table: modtable needs an instrument")};
    if (action == QLatin1String("save"))
        Save(c, c.arguments.at(1));
    else
        Load(c, c.arguments.at(1));
}

} // namespace zop::cli
