#pragma once
// Small text and list operations used across the interface, exports and imports:
// word-wise search, HTML and XML escaping, list containment and joining.

#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>

namespace TWStringAdditions
{

// Does `text` match the search text? Without `contains` the text must begin with
// the search text; with it every search word must be one of the text's words,
// except that the last search word may be the beginning of one (so a word being
// typed already matches). Case is ignored; an empty search matches everything.
bool searchString(const QString &text, const QString &search, bool contains);

// Every character but ASCII letters, digits and the space as a hexadecimal
// character reference, one reference per code point.
QString encodeHTML(const QString &text);

// The five XML-reserved characters as entities.
QString encodeXML(const QString &text);

// The texts joined with ", " once something has been written.
QString listString(const QStringList &list);

// How many names a list shown to the user gives before it says how many more
// there are, so that a message stays readable and within the screen.
inline constexpr qsizetype kShownNames = 20;

// A list of `count` names as one text for the user: the first `shown`
// (`name(i)` gives the i-th, so a long list is never made whole) joined with
// `separator`; a longer list goes into `more`, whose %1 takes the names and
// %2 how many more there are.
QString shortList(qsizetype count, const std::function<QString(qsizetype)> &name,
                  const QString &separator, const QString &more, qsizetype shown = kShownNames);

// `text` cut to `length` characters and ended with an ellipsis when it is
// longer (never within a surrogate pair), so that what a file or the user
// wrote cannot make a message unreadable.
QString shortened(const QString &text, qsizetype length);

} // namespace TWStringAdditions

namespace TWArrayAdditions
{

// True when every element of `other` equals some element of `list`.
template <typename List> bool containsArray(const List &list, const List &other)
{
    return std::all_of(other.begin(), other.end(), [&list](const auto &item) {
        return std::find(list.begin(), list.end(), item) != list.end();
    });
}

using TWStringAdditions::listString;

} // namespace TWArrayAdditions
