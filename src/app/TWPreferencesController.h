#pragma once
// The preferences window: a toolbar switching four panes (general, fonts, colours, invoice
// layouts), every control writing its value into TWPreferences at once, bounded. The layouts
// pane imports, exports and deletes layout packages through the layout manager; the general
// pane also checks for an update by hand. Made once by the application delegate.

#include "app/TWSiteRequest.h"

#include "foundation/TWError.h"
#include "model/TWLayout.h"

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QHash>
#include <QMainWindow>
#include <QObject>
#include <QPointer>

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolBar;
class QToolButton;
class QWidget;
class TWLayoutManager;
class TWLayoutTableModel;
class TWStepper;

class TWPreferencesController final : public QObject
{
    Q_OBJECT
public:
    enum Pane { General = 0, Fonts = 1, Colours = 2, Layouts = 3 };

    // Bounds of what the fields and steppers accept.
    static constexpr qint64 kMinimumMinutes = 1;
    static constexpr qint64 kMaximumMinutes = 9999;
    static constexpr qint64 kMinimumIdentifier = 1;
    static constexpr qint64 kMaximumIdentifier = 2147483647;
    static constexpr double kMinimumFontSize = 5.0;
    static constexpr double kMaximumFontSize = 288.0;

    // Over the shared layout manager unless given another (tests).
    explicit TWPreferencesController(TWLayoutManager *layoutManager = nullptr,
                                     QObject *parent = nullptr);
    ~TWPreferencesController() override;

    QMainWindow *window() const { return m_window; }
    void showWindow();

    // ---- Panes ----
    void doToolbarItem(int tag);
    int currentPane() const { return m_currentPane; }
    QWidget *pane(int tag) const { return m_panes.value(tag); }
    QAction *toolbarItem(int tag) const { return m_toolbarItems.value(tag); }
    QToolBar *toolbar() const { return m_toolbar; }

    // ---- General pane (TWPreferencesController+General.cpp) ----
    QCheckBox *checkBox(int tag) const { return m_checkBoxes.value(tag); }
    QLineEdit *numberField(int tag) const { return m_numberFields.value(tag); }
    TWStepper *stepper(int tag) const { return m_steppers.value(tag); }
    QComboBox *popUpButton(int tag) const { return m_popUps.value(tag); }
    QPushButton *checkForUpdateButton() const { return m_checkForUpdateButton; }
    void doButton(int tag);
    void doPopUpButton(int tag);
    void doStepper(int tag);
    // A number field's typing ended (Return, or the field left): stores its value, bounded;
    // text that is no whole number is refused, naming the field, and stores nothing.
    void controlTextDidEndEditing(int tag);
    void updateGeneral();

    // ---- Fonts and colours panes (TWPreferencesController+Fonts.cpp) ----
    QLineEdit *fontNameField(int tag) const { return m_fontNameFields.value(tag); }
    QLineEdit *fontSizeField(int tag) const { return m_fontSizeFields.value(tag); }
    // Opens the font dialog for the export font of the tag (0 normal, 1 bold, 2 italic).
    void doFont(int tag);
    // The font dialog chose a font for `fontTag`.
    void changeFont(const QFont &font);
    int fontTag() const { return m_fontTag; }
    // A size field's typing ended: stores the size, at least 5 points; text that is no number
    // is refused, naming the field, and stores nothing.
    void fontSizeDidEndEditing(int tag);
    void updateFonts();
    // The name the font resolver reads back as this font.
    static QString fontName(const QFont &font);

    QPushButton *colourWell(int tag) const { return m_colourWells.value(tag); }
    void doColourWell(int tag, const QColor &colour);
    void updateColours();
    static QColor colour(int tag);

    // ---- Layouts pane (TWPreferencesController+Layouts.cpp) ----
    QTableView *layoutsTable() const { return m_layoutsTable; }
    QPushButton *deleteLayoutButton() const { return m_deleteLayoutButton; }
    QAction *importLayoutItem() const { return m_importItem; }
    QAction *exportLayoutItem() const { return m_exportItem; }
    const TWLayoutList &layouts() const { return m_layouts; }
    void updateLayouts();
    void updateLayoutButtons();
    // Sorts by the column ("name" 0, "type" 1) and order, then clears the selection.
    void sortLayouts(int column, Qt::SortOrder order);
    TWLayoutPtr selectedLayout() const;
    void selectLayout(int row);
    // The open panel's answer: validates the package and adds it; an error shows as an alert.
    void importLayoutFile(const QString &path);
    // The save panel's answer: copies the selected package there, replacing a file.
    void exportLayoutTo(const QString &path);
    // Asks before deleting a user layout; false (and nothing) for a standard one.
    bool tableViewDelete();
    void deleteSelectedLayout();

    // ---- Manual update check (TWPreferencesController+Update.cpp) ----
    void doCheckForUpdate();
    void doUpdateCancel();
    QDialog *updateProgressWindow() const { return m_updateProgressWindow; }
    bool isCheckingForUpdate() const { return m_updateRequest != nullptr; }

private:
    QWidget *makeGeneralPane();
    QWidget *makeFontsPane();
    QWidget *makeColoursPane();
    QWidget *makeLayoutsPane();
    void showError(const TWError &error);
    void updateAnswered(const QByteArray &data, const TWErrorResult &error);
    void endProgress();

    TWLayoutManager *m_layoutManager;
    QPointer<QMainWindow> m_window;
    QToolBar *m_toolbar = nullptr;
    QHash<int, QAction *> m_toolbarItems;
    QHash<int, QWidget *> m_panes;
    int m_currentPane = General;
    bool m_updating = false;

    QHash<int, QCheckBox *> m_checkBoxes;
    QHash<int, QLineEdit *> m_numberFields;
    QHash<int, TWStepper *> m_steppers;
    QHash<int, QComboBox *> m_popUps;
    QPushButton *m_checkForUpdateButton = nullptr;

    QHash<int, QLineEdit *> m_fontNameFields;
    QHash<int, QLineEdit *> m_fontSizeFields;
    QFont m_font;
    int m_fontTag = 0;
    QHash<int, QPushButton *> m_colourWells;

    TWLayoutList m_layouts;
    TWLayoutTableModel *m_layoutsModel = nullptr;
    QTableView *m_layoutsTable = nullptr;
    QPushButton *m_deleteLayoutButton = nullptr;
    QToolButton *m_importExportButton = nullptr;
    QAction *m_importItem = nullptr;
    QAction *m_exportItem = nullptr;

    QPointer<TWSiteRequest> m_updateRequest;
    QPointer<QDialog> m_updateProgressWindow;
    QString m_updateVersion;
};
