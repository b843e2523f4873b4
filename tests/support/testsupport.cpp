#include "testsupport.h"

#include <QFile>

namespace zop::test {

QString Fixture::debugText() const
{
    QFile file(path(QStringLiteral("debug.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readAll());
}

void Fixture::writeFile(const QString &name, const QByteArray &text) const
{
    QFile file(path(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

} // namespace zop::test
