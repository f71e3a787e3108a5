#pragma once
// The one list of invoice layouts of the running application: the built-in
// packages compiled into the program and the packages the user added to their
// layouts folder. It finds, names, copies and removes packages; it never loads
// one. Main thread only.

#include "foundation/TWError.h"
#include "model/TWLayout.h"

#include <QString>

class TWLayoutManager
{
public:
    // An empty list; `update` fills it.
    TWLayoutManager() = default;

    // The shared manager, made and scanned on first use.
    static TWLayoutManager &layoutManager();

    // ":/Layouts/Invoice/": every entry is a built-in layout.
    static QString builtInLayoutsFolder();
    // "<generic data location>/tallyworth/Layouts/Invoice/"; empty when the
    // platform knows no such location.
    static QString userLayoutsFolder();

    // Rescans both folders and sorts the list by name; a folder that cannot
    // be listed adds nothing.
    TWErrorResult update();

    // The first layout named exactly `name`, or null.
    TWLayoutPtr layoutWithName(const QString &name) const;
    // The layout named "Classic", or null.
    TWLayoutPtr defaultLayout() const;

    // Copies the layout's package into the user layouts folder (numbered
    // "-1", "-2", ... when its name is taken, ignoring case), points the
    // layout at the copy, names it after the copy and lists it. Only a
    // regular file is copied, and no more of it than a package may hold. Nothing is replaced: a
    // failure leaves no file behind and the list as it was.
    TWErrorResult addLayout(const TWLayoutPtr &layout);
    // Removes a user layout's package file and its entry; built-in layouts
    // are left alone. Only a file (or a link, as a link) is removed, never a
    // folder; a file already gone still leaves the list. A removal that fails
    // returns its error and keeps the entry.
    TWErrorResult deleteLayout(const TWLayoutPtr &layout);

    const TWLayoutList &layouts() const { return m_layouts; }
    void setLayouts(const TWLayoutList &layouts) { m_layouts = layouts; }

    static inline const QString kDefaultLayoutName = QStringLiteral("Classic");

private:
    void sort();

    TWLayoutList m_layouts;
};
