// The modulation table from outside: the instrument's selection and row replies, and a
// ".modTable" file from anyone's computer. The input's parts are a selection reply, a row
// reply and a file.

#include "fuzzinput.h"
#include "modtable/modreply.h"
#include "modtable/modtablefile.h"
#include "core/numbertext.h"

using namespace zop;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = fuzz::Parts(data, size);
    const auto part = [&parts](qsizetype i) { return i < parts.size() ? parts[i] : QByteArray(); };

    const SelectionReply selection = ParseSelectionReply(QString::fromLatin1(part(0)));
    const QString header = OutputHeader(selection.controlInput, selection.type);
    if (header != QLatin1String("Mod") && header != QLatin1String("Vos")
        && header != QLatin1String("Ios"))
        fuzz::Fail("the output header is one of three");

    const QString rowText = QString::fromLatin1(part(1));
    const RowReply row = ParseRowReply(rowText);
    if (row.kind == RowReply::Kind::Row
        && (row.position < 1 || row.position > ModTableRows
            || !rowText.toLower().contains(row.vmod) || !rowText.toLower().contains(row.value)))
        fuzz::Fail("a row is within the table and its values come from the reply");
    if (row.kind == RowReply::Kind::BeyondTable && row.position != ModTableRows + 1)
        fuzz::Fail("a row past the table reads as the first beyond it");

    // What is loaded can be saved, and loads again the same.
    const LoadedModTable loaded = ParseModTable(part(2));
    ModTableContents contents;
    if (loaded.controlInput != MissingSelectionKey)
        contents.controlInput = loaded.controlInput;
    for (auto it = loaded.rows.cbegin(); it != loaded.rows.cend(); ++it) {
        if (it.key() < 1 || it.key() > ModTableRows || !IsNumericText(it->first)
            || !IsNumericText(it->second) || it->first.size() >= ModTableValueBuffer
            || it->second.size() >= ModTableValueBuffer)
            fuzz::Fail("loaded rows are numbered 1 to 50 and hold short numbers");
        contents.rows.append({it.key(), it->first, it->second});
    }
    const LoadedModTable again = ParseModTable(ModTableFileBytes(contents));
    if (again.rows != loaded.rows || again.controlInput != contents.controlInput)
        fuzz::Fail("a saved table loads as it was");
    return 0;
}
