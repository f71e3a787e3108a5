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

// Shared readings of the import processors.
// "1", "TRUE", "YES" or "ON" in any case.
bool isTrue(const QString &value);
// The leading number of the text in the C notation ("12.5kg" is 12.5); 0 when
// the text does not begin with one.
double leadingDouble(const QString &value);

} // namespace TWImportWarnings
