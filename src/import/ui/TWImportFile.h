#pragma once
// What the import sheets share about files: reading the chosen file (a regular
// file of a bank file's size, never a link, a pipe or a device) and asking for
// a file or a folder.

#include "TWError.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

// The file's bytes, or none with `error` set.
std::optional<QByteArray> twReadImportFile(const QString &path, TWErrorResult *error);

// Asks for a file (`folder` false) or a folder; `done` gets the path, or an
// empty one when the user cancelled.
using TWImportChoosePath =
    std::function<void(QWidget *parent, bool folder, std::function<void(const QString &path)> done)>;
void twChooseImportPath(QWidget *parent, bool folder, std::function<void(const QString &)> done,
                        const char *filterKey = "importFileFilter");
// A test's answer in place of the panels (an empty function puts them back).
void twSetImportChoosePath(TWImportChoosePath choose);
