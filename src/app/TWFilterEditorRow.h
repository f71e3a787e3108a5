#pragma once
// One row of the filter editor: shows one criterion of the tree and writes
// every change straight into it. A compound criterion shows its match
// (all, any, none); a simple one its field, an operator and one or two value
// controls chosen by the field's kind. The add and delete buttons at the
// right edge act on the editor.

#include "model/TWFilterCriteria.h"

#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <tuple>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class TWBusiness;
class TWFilterEditor;
class TWPopUpButton;

class TWFilterEditorRow final : public QWidget
{
    Q_OBJECT
public:
    TWFilterEditorRow(const TWFilterCriteriaPtr &criteria, TWBusiness *business,
                      QWidget *parent = nullptr);

    static constexpr int kRowHeight = 25;

    const TWFilterCriteriaPtr &criteria() const { return m_criteria; }
    // Rebuilds the controls for the criterion and lays them out.
    void update();
    // Makes the buttons (once) and shows the delete button only when allowed.
    void updateButtons(bool allowDelete, TWFilterEditor *target);
    // The compound-add face while the Alt key is held.
    void updateAddButton(bool compound);

    // The controls from left to right (view3 and view4 may be absent).
    QWidget *view1() const { return m_views[0]; }
    QWidget *view2() const { return m_views[1]; }
    QWidget *view3() const { return m_views[2]; }
    QWidget *view4() const { return m_views[3]; }
    QPushButton *addButton() const { return m_addButton; }
    QPushButton *deleteButton() const { return m_deleteButton; }
    bool showsCompoundAdd() const { return m_compoundAdd; }

    // The actions of the controls, by the control's tag.
    void doPopUpButton(TWPopUpButton *sender);
    void doCheckbox(QCheckBox *sender);
    void doDatePicker(QDateEdit *sender);
    void controlTextDidEndEditing(QLineEdit *sender);

    // The kind of field a simple criterion compares, which picks its controls.
    enum Kind {
        KindNone,
        KindDate,
        KindUnit,
        KindText,
        KindCheckbox,
        KindCurrency,
        KindAccount,
        KindIdentifier,
        KindNumber,
        KindPercent,
        KindList,
        KindTags
    };
    static Kind kindOfField(qint32 fieldIdentifier, const TWBusiness &business);
    // Whether the field pop-up offers the field.
    static bool isOfferedField(qint32 fieldIdentifier, quint32 fieldType);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void clearViews();
    void layoutViews();
    void placeButtons();
    Kind kind() const;

    void updateViewsCompound();
    void updateViewsSimple();
    void updateViewsText();
    void updateViewsCurrency();
    void updateViewsNumber();
    void updateViewsPercent();
    void updateViewsCheckbox();
    void updateViewsDate();
    void updateViewsList(bool tags);
    void updateViewsAccount();
    void updateViewsIdentifier();
    void updateViewsUnit();

    using MenuItem =
        std::tuple<QString, int, QVariant>; // title, tag, object; empty title: separator
    TWPopUpButton *popUpButton(const QList<MenuItem> &items, int selectTag,
                               const QVariant &selectObject, int tag);
    QLineEdit *textField(const QString &value, bool formatted, Qt::Alignment alignment, int tag);
    QWidget *label(const QString &text, int tag);
    QCheckBox *checkbox(bool value, int tag);
    QDateEdit *datePicker(const QDateTime &value, int tag);
    QList<MenuItem> operatorItems(bool text, bool date) const;
    QList<MenuItem> accountsByGroupMenuItems() const;
    QList<MenuItem> listMenuItems(qint32 fieldIdentifier, bool tags) const;

    TWFilterCriteriaPtr m_criteria;
    TWBusiness *m_business;
    QPointer<QWidget> m_views[4];
    QPointer<QPushButton> m_addButton;
    QPointer<QPushButton> m_deleteButton;
    QPointer<TWFilterEditor> m_target;
    bool m_compoundAdd = false;
};
