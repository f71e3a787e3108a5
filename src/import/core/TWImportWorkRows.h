#pragma once
// Readings the task and expense processors share: the active field code of
// each column, dates by a line's format, and amounts in the decimals of the
// row's project.

#include "import/core/TWImportProjects.h"
#include "import/core/TWImportWarnings.h"
#include "import/core/TWImportWorkField.h"
#include "model/TWDateReader.h"
#include "model/TWProject.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

class TWBusiness;

class TWImportWorkRows
{
public:
    explicit TWImportWorkRows(const TWBusiness &business);

    // The date of a value by the line's format, or the short date (with
    // `withTime`, date and time) format; invalid when it does not read.
    QDateTime date(const TWImportWorkField &line, const QString &value, bool withTime);
    // A start or end of a time item: a date and time by the line's format,
    // or, as time trackers write them, a time of day alone ("09:00",
    // "1:30 PM") on `day`, the row's date. None when it does not read (a
    // time of day without a day too).
    struct Moment {
        QDateTime at;
        bool timeOfDay = false; // a date alone is no moment of work
        bool dayFromRow = false;
    };
    std::optional<Moment> moment(const TWImportWorkField &line, const QString &value,
                                 const QDate &day);
    // A quantity keeps the six places a number is shown and typed with
    // (TWFormatter::doubleValueString): 40 minutes are 0.666667 hours.
    static double quantity(double value);
    // Minor units of the project's unit (the home unit without a project), so
    // that 5000 in a currency without decimals stays 5000.
    // Either decimal mark is read; a value that is no amount gives 0 and a
    // warning naming `column`.
    qint64 amount(const QString &value, const TWProjectPtr &project, const QString &column);

    // A number of the row (a quantity, an estimate, a tax rate) with either
    // decimal mark ("1,5" and "1.5" alike); with `percent` a "%" may follow.
    // A value that is no number gives 0 and a warning naming `column`.
    double number(const QString &value, const QString &column, bool percent = false);
    // A duration written "h:mm" or "h:mm:ss", in seconds; 0 and a warning
    // naming `column` when the value is no such duration.
    double duration(const QString &value, const QString &column);

    // The row being read (from 1), for the warnings.
    void setRowNumber(qsizetype row) { m_rowNumber = row; }
    // A value of the row that could not be read.
    void unreadable(const QString &column, const QString &value);
    // "row 3, Date: 31/02/2024" ... for the warnings text.
    const TWImportWarningList &unreadableValues() const { return m_unreadable; }

    // The columns tasks and expenses read alike: date (code -1), client (-2) and project (-3).
    struct Shared {
        QDateTime date;
        QString clientText;
        QString projectText;
    };
    // Takes the value of one of those columns; false when it says nothing (a date that does not
    // read).
    bool readShared(Shared &shared, qint32 code, const TWImportWorkField &line,
                    const QString &value);
    // Reads one row's non-empty columns: the shared ones into `shared`, every
    // other through `other(code, value, line)`, which says whether it gave the
    // row something. False when nothing in the row was read.
    template <typename List, typename Other>
    bool readRow(const QStringList &row, const QList<qint32> &codes, const List &lines,
                 Shared &shared, Other other)
    {
        bool changed = false;
        const qsizetype n = std::min<qsizetype>(row.size(), codes.size());
        for (qsizetype j = 0; j < n; ++j) {
            const QString &value = row.at(j);
            const qint32 code = codes.at(j);
            if (value.isEmpty() || code == 0)
                continue;
            if (code >= -3 && code <= -1) {
                if (readShared(shared, code, *lines.at(j), value))
                    changed = true;
            } else if (other(code, value, *lines.at(j))) {
                changed = true;
            }
        }
        return changed;
    }
    // Whether any value of the row is not empty (a row that gives nothing but
    // holds values is named in the warnings; an empty one is no data).
    static bool holdsValues(const QStringList &row);
    // Several columns may add to one text: their values are joined with " / ".
    static void append(QString &text, const QString &value);

    // Each line's active code (0 for lines that import nothing).
    template <typename List> static QList<qint32> codes(const List &lines)
    {
        QList<qint32> result;
        result.reserve(lines.size());
        for (const auto &line : lines)
            result.append(line ? line->activeIdentifier() : 0);
        return result;
    }
    // The codes of the settings' lines; none without settings.
    template <typename SettingsPtr> static QList<qint32> codesOf(const SettingsPtr &settings)
    {
        return settings ? codes(settings->importFields()) : QList<qint32>();
    }
    // The source name of the last line whose code is `code`; null when none is.
    template <typename List>
    static QString sourceName(const QList<qint32> &codes, const List &lines, qint32 code)
    {
        QString name;
        for (qsizetype j = 0; j < codes.size(); ++j) {
            if (codes.at(j) == code && lines.at(j))
                name = lines.at(j)->sourceName();
        }
        return name;
    }

private:
    qsizetype m_rowNumber = 0;
    TWImportWarningList m_unreadable;
    const TWBusiness &m_business;
    QHash<QString, TWDateReader> m_readers;
    // Pattern and text -> the date read (a file repeats few days).
    QHash<std::pair<QString, QString>, QDateTime> m_dates;
};

// One processing run of a task or expense file: the reader and the projects
// kept across its rows, what the warnings will list, and the one column whose
// values are money (a task's rate, an expense's cost).
class TWImportWorkRun
{
public:
    template <typename Settings>
    TWImportWorkRun(const TWBusiness &business, const Settings &settings, qint32 moneyCode)
        : codes(TWImportWorkRows::codes(settings.importFields())), reader(business),
          m_projects(business), m_defaultProject(settings.defaultProject()),
          m_moneyColumn(TWImportWorkRows::sourceName(codes, settings.importFields(), moneyCode))
    {
    }

    // What a read row becomes part of: its project (see TWImportProjects::rowProject), and its
    // money text in minor units of that project's unit (0 when the row has none).
    struct Placed {
        TWProjectPtr project;
        qint64 money = 0;
    };
    Placed place(const TWImportWorkRows::Shared &shared, const QString &moneyText);

    // The warnings text: values not read (under the heading `unreadKey`, which
    // says what becomes of them), clients and projects not found, then
    // `more`; a null string when there is nothing to say.
    QString warnings(
        const char *unreadKey,
        const std::vector<std::pair<const char *, const TWImportWarningList *>> &more = {}) const;

    const QList<qint32> codes;
    TWImportWorkRows reader;

private:
    TWImportProjects m_projects;
    TWProjectPtr m_defaultProject;
    QString m_moneyColumn;
    TWImportWarningList m_missingClients;
    TWImportWarningList m_missingProjects;
};
