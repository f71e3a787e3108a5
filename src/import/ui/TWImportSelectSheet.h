#pragma once
// The sheet every import ends in, laid out once for transactions, tasks and
// expenses: above, the records read from the file under their heading; below,
// the existing records to compare them with, chosen by a pop-up beside their
// heading; at the bottom "Import all" (three states), Cancel and Import (the
// default). The sheet fits the screen; the lists scroll.

#include <QSize>
#include <QString>

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
