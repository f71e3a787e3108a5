// Every key the work side looks up, also those chosen by a condition, has a text.

#include "TWLocalized.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(WorkSheets, EveryKeyOfTheWorkSideHasAText)
{
    // A call's argument may choose between keys: every quoted word in it counts.
    const QRegularExpression call(QStringLiteral("TWLocalized\\(([^;]*?)\\)[;,)]"));
    const QRegularExpression key(QStringLiteral("\"([A-Za-z]+)\""));
    QStringList missing;
    QDirIterator it(QStringLiteral(TW_SOURCE_DIR "/src/work"), {QStringLiteral("*.cpp")}, QDir::Files);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (auto calls = call.globalMatch(text); calls.hasNext();)
            for (auto keys = key.globalMatch(calls.next().captured(1)); keys.hasNext();) {
                const QString name = keys.next().captured(1);
                if (!TWHasLocalized(name))
                    missing.append(name);
            }
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QLatin1Char(' ')).toStdString();
}
