#pragma once
// What the import sheets share: reading the chosen file (a regular file of a
// bank file's size, never a link, a pipe or a device), asking for a file or a
// folder, the question about what could not be read and opening the selection
// sheet.

#include "foundation/TWError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;
class TWBusinessController;

// The file's bytes, or none with `error` set.
std::optional<QByteArray> twReadImportFile(const QString &path, TWErrorResult *error);

// Asks for a file (`folder` false) or a folder; `done` gets the path, or an
// empty one when the user cancelled.
using TWImportChoosePath = std::function<void(QWidget *parent, bool folder,
                                              std::function<void(const QString &path)> done)>;
void twChooseImportPath(QWidget *parent, bool folder, std::function<void(const QString &)> done,
                        const char *filterKey = "importFileFilter");
// A test's answer in place of the panels (an empty function puts them back).
void twSetImportChoosePath(TWImportChoosePath choose);

// Asks whether to go on when the parser said something about the file (its
// notes come first) or the processor could not place everything; `done`
// hears true to go on. Nothing to say: `done(true)` at once.
void twAskImportWarnings(const QStringList &notes, const QString &warnings, bool processed,
                         QWidget *window, std::function<void(bool goOn)> done);

// Shows the selection sheet with the document's importing flag set until it ends.
void twBeginImportSelection(TWBusinessController *document, QWidget *view);
