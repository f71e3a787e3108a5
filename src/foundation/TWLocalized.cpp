#include "foundation/TWLocalized.h"

#include <QDir>
#include <QFile>
#include <QHash>

namespace
{

// The table format: one entry a line, "key<TAB>text"; blank lines and lines
// starting with '#' are ignored; "\n" and "\t" in a text stand for a line break
// and a tab.
void loadFile(const QString &path, QHash<QString, QString> &table)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab <= 0)
            continue;
        QString text = line.mid(tab + 1);
        text.replace(QLatin1String("\\n"), QLatin1String("\n"));
        text.replace(QLatin1String("\\t"), QLatin1String("\t"));
        table.insert(line.left(tab), text);
    }
}

// The table is split into one file per area (resources/strings/*.strings).
QHash<QString, QString> loadTable()
{
    QHash<QString, QString> table;
    const QDir dir(QStringLiteral(":/strings"));
    for (const QString &name :
         dir.entryList({QStringLiteral("*.strings")}, QDir::Files, QDir::Name))
        loadFile(dir.filePath(name), table);
    return table;
}

const QHash<QString, QString> &table()
{
    static const QHash<QString, QString> t = loadTable();
    return t;
}

} // namespace

QString TWLocalized(const QString &key)
{
    return table().value(key, key);
}

QString TWLocalized(const char *key)
{
    return TWLocalized(QString::fromUtf8(key));
}

bool TWHasLocalized(const QString &key)
{
    return table().contains(key);
}
