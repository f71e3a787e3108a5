#include "import/ui/TWImportSelectSheet.h"

#include "app/TWControls.h"

#include "foundation/TWLocalized.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

TWImportSelectSheet twLayOutImportSelectSheet(QWidget *view, const QString &fileHeading,
                                              QWidget *fileList, const QString &existingHeading,
                                              QWidget *existingList, QSize size)
{
    TWImportSelectSheet sheet;
    auto *upper = new QWidget();
    auto *upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->addWidget(new QLabel(fileHeading, upper));
    upperLayout->addWidget(fileList, 1);
    auto *lower = new QWidget();
    auto *lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    sheet.popUp = new TWPopUpButton(lower);
    auto *popUpRow = new QHBoxLayout();
    popUpRow->addWidget(new QLabel(existingHeading, lower));
    popUpRow->addStretch(1);
    popUpRow->addWidget(sheet.popUp);
    lowerLayout->addLayout(popUpRow);
    lowerLayout->addWidget(existingList, 1);
    sheet.splitter = new QSplitter(Qt::Vertical, view);
    sheet.splitter->addWidget(upper);
    sheet.splitter->addWidget(lower);
    sheet.splitter->setChildrenCollapsible(false);

    sheet.importAll = new QCheckBox(TWLocalized("importAll"), view);
    sheet.importAll->setObjectName(QStringLiteral("importAllCheckbox"));
    sheet.importAll->setTristate(true);
    sheet.cancel = new QPushButton(TWLocalized("cancel"), view);
    sheet.import = new QPushButton(TWLocalized("importButton"), view);
    sheet.import->setObjectName(QStringLiteral("importButton"));
    sheet.import->setDefault(true);
    auto *buttons = new QHBoxLayout();
    buttons->addWidget(sheet.importAll);
    buttons->addStretch(1);
    buttons->addWidget(sheet.cancel);
    buttons->addWidget(sheet.import);

    auto *layout = new QVBoxLayout(view);
    layout->addWidget(sheet.splitter, 1);
    layout->addLayout(buttons);
    view->resize(size);
    sheet.splitter->setSizes({300, 300});
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        view->setMaximumHeight(std::max(400, screen->availableGeometry().height() - 100));
    return sheet;
}

Qt::CheckState twImportAllState(qsizetype ticked, qsizetype listed)
{
    if (ticked == listed)
        return Qt::Checked;
    return ticked == 0 ? Qt::Unchecked : Qt::PartiallyChecked;
}
