#pragma once
// The lists of names an import could not place, and the warnings text made of
// them: one block per non-empty list, its heading and the names joined with
// ", " ("heading\r\tnames\r").

#include <QSet>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

class TWImportWarningList
{
public:
    // Each name once, in order of first occurrence.
    void add(const QString &name)
    {
        m_exists = true;
        if (!m_seen.contains(name)) {
            m_seen.insert(name);
            m_names.append(name);
        }
    }
    bool exists() const { return m_exists; }
    const QStringList &names() const { return m_names; }
    void clear()
    {
        m_exists = false;
        m_seen.clear();
        m_names.clear();
    }

private:
    bool m_exists = false;
    QSet<QString> m_seen;
    QStringList m_names;
};

namespace TWImportWarnings
{

// The text of the lists in the given order, each under the localised text of
// its heading key; a null string when no list has a name.
QString text(const std::vector<std::pair<const char *, const TWImportWarningList *>> &lists);

// "row 3, Amount: 12,34,5": names a value of the file that could not be read. A long value is
// shortened, so that what a file holds cannot make the warning unreadable.
QString valueNotRead(qsizetype row, const QString &column, const QString &value);

// The names of a list as one text: at most the first 20, then how many more there are.
QString names(const QStringList &names);

// Shared readings of the import processors.
// "1", "TRUE", "YES" or "ON" in any case.
bool isTrue(const QString &value);
// The leading number of the text in the C notation ("12.5kg" is 12.5); 0 when
// the text does not begin with one.
double leadingDouble(const QString &value);

} // namespace TWImportWarnings
