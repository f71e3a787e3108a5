#pragma once
// The field editor sheet: the name of a field, the type of a new custom
// field, and the registers (accounts, account groups, filters, repeats,
// invoices, bills) in which the field is a column. Works on a copy of the
// field; saving stores it and writes the chosen views into the register's
// column layout.

#include "app/TWAppRegistry.h"
#include "app/TWLazyViewController.h"

#include "model/TWField.h"

#include <QPointer>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

class TWFieldController final : public TWLazyViewController<TWEditorController>
{
    Q_OBJECT
public:
    // Tags of the controls, as the shared actions tell them apart.
    enum { NameTag = 0, TypeTag = 1, ViewsTag = 2 };
    // The views pop-up's "all" item.
    enum { AllViewsTag = 0 };

    explicit TWFieldController(QObject *parent = nullptr);
    ~TWFieldController() override;

    // Starts over from `field`: a new working copy, nothing saved.
    void update() override;

    // The field handed in (left alone until saved) and the working copy.
    void setField(const TWFieldPtr &field) { m_field = field; }
    const TWFieldPtr &field() const { return m_field; }
    const TWFieldPtr &editField() const { return m_editField; }
    const QList<qint32> &visibleViews() const { return m_visibleViews; }
    bool saved() const { return m_saved; }

    void updateUI();
    // A choice in the type (TypeTag) or views (ViewsTag) pop-up: the item's tag.
    void doPopUpButton(int popUpTag, int itemTag);
    // Tag 1 saves, any other cancels.
    void doSave(int tag);
    void updateViewsPopUpName();

    // What the views pop-up shows: its title and each item's mark.
    QString viewsTitle() const;
    Qt::CheckState viewsItemState(int tag) const;

    QLineEdit *nameTextField() const { return m_nameField; }
    QLabel *typeTextField() const { return m_typeLabel; }
    QComboBox *typePopUpButton() const { return m_typePopUp; }
    QToolButton *viewsPopUpButton() const { return m_viewsButton; }
    QPushButton *saveButton() const { return m_saveButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

private:
    void build() override;
    void rebuildViewsMenu();
    qsizetype everyViewCount() const;
    void endSheet(TWSheetResult result);

    TWFieldPtr m_field;
    TWFieldPtr m_editField;
    QList<qint32> m_visibleViews;
    bool m_saved = false;

    QLineEdit *m_nameField = nullptr;
    QLabel *m_typeLabel = nullptr;
    QComboBox *m_typePopUp = nullptr;
    QToolButton *m_viewsButton = nullptr;
    QMenu *m_viewsMenu = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
