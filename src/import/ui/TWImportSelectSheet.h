#pragma once
// The sheet every import ends in, laid out once for transactions, tasks and
// expenses: above, the records read from the file under their heading; below,
// the existing records to compare them with, chosen by a pop-up beside their
// heading; at the bottom "Import all" (three states), Cancel and Import (the
// default). The sheet fits the screen; the lists scroll.

#include <QSize>
#include <QString>
#include <Qt>

class QCheckBox;
class QPushButton;
class QSplitter;
class QWidget;
class TWPopUpButton;

struct TWImportSelectSheet {
    QSplitter *splitter = nullptr;
    TWPopUpButton *popUp = nullptr;
    QCheckBox *importAll = nullptr;
    QPushButton *cancel = nullptr;
    QPushButton *import = nullptr;
};

// Lays the two lists and the controls out in `view` at `size`; the caller names
// and connects the controls.
TWImportSelectSheet twLayOutImportSelectSheet(QWidget *view, const QString &fileHeading,
                                              QWidget *fileList, const QString &existingHeading,
                                              QWidget *existingList, QSize size);

// "Import all" for `ticked` of `listed` records: on when every one is ticked
// (also when there are none), off when none of some is, mixed otherwise.
Qt::CheckState twImportAllState(qsizetype ticked, qsizetype listed);
