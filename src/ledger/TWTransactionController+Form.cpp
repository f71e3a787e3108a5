// The form: one row per field in the register's column order, the controls
// each field gets, refreshing them, and the sheet's height.

#include "ledger/TWTransactionController.h"

#include "app/TWBusinessController.h"
#include "app/TWDateEdit.h"
#include "app/TWKeyLoopView.h"
#include "app/TWSheetGeometry.h"
#include "app/TWTypedNumberField.h"
#include "ledger/TWAttachmentsController.h"
#include "ledger/TWRepeatController.h"
#include "ledger/TWSplitController.h"
#include "ledger/TWSplitEditing.h"
#include "ledger/TWTotalController.h"
#include "ledger/TWValueCompleter.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyle>
#include <QVBoxLayout>

#include <cmath>

namespace
{
const char *const kFieldProperty = "twFieldIdentifier";
// The labels' column and the value column are this far apart.
constexpr int kLabelGap = 5;
// Custom date fields show no date this way: an empty value shows empty.
const QDate kNoDate(1752, 9, 14);
constexpr int kSheetWidth = 560;
constexpr int kScreenMargin = 100;
constexpr int kMinimumFormHeight = 60;

// What a pop-up item stands for (PopUpNone: no value).
enum PopUpItemKind { PopUpRecord = 0, PopUpSplit = 1, PopUpNew = 2, PopUpNone = 3 };
constexpr int kKindRole = Qt::UserRole;
constexpr int kIdentifierRole = Qt::UserRole + 1;

QDate dateOf(const QDateTime &date)
{
    return date.isValid() ? date.date() : QDate();
}

void addPopUpItem(QComboBox *popUp, const QString &title, int kind, qint32 identifier)
{
    popUp->addItem(title);
    const int index = popUp->count() - 1;
    popUp->setItemData(index, kind, kKindRole);
    popUp->setItemData(index, identifier, kIdentifierRole);
}

int indexOfRecord(const QComboBox *popUp, qint32 identifier)
{
    for (int index = 0; index < popUp->count(); ++index) {
        if (popUp->itemData(index, kKindRole).toInt() == PopUpRecord &&
            popUp->itemData(index, kIdentifierRole).isValid() &&
            popUp->itemData(index, kIdentifierRole).toInt() == identifier)
            return index;
    }
    return -1;
}
// A label of the labels' column: a name longer than the column is cut at its
// tail and shown whole as the label's tool tip. Its text stays whole (with
// the name as written, "&" doubled), so that a refusal names the field in full.
class FormLabel final : public QLabel
{
public:
    FormLabel(const QString &name, QWidget *parent)
        : QLabel(QStringLiteral("%1:").arg(twShownAsWritten(name)), parent), m_name(name),
          m_shown(QStringLiteral("%1:").arg(name))
    {
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect area = contentsRect();
        style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(),
                              fontMetrics().elidedText(m_shown, Qt::ElideRight, area.width()),
                              foregroundRole());
    }
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        const bool cut = fontMetrics().horizontalAdvance(m_shown) > contentsRect().width();
        setToolTip(cut ? m_name : QString());
    }

private:
    QString m_name;
    QString m_shown;
};

} // namespace

int TWTransactionController::labelColumnWidth(int formWidth)
{
    return std::max(0, int(0.2 * formWidth) - 20);
}

void TWTransactionController::updateLabelWidths()
{
    if (!m_contentView)
        return;
    const int width = labelColumnWidth(m_contentView->width());
    for (QWidget *label : std::as_const(m_labelViews))
        if (label->width() != width || label->minimumWidth() != width)
            label->setFixedWidth(width);
}

bool TWTransactionController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_contentView && event->type() == QEvent::Resize)
        updateLabelWidths();
    if (auto *calendar = qobject_cast<QCalendarWidget *>(watched);
        calendar && event->type() == QEvent::Show && calendar->selectedDate() == kNoDate) {
        const QDate today = TWClock::today();
        calendar->setCurrentPage(today.year(), today.month());
    }
    return TWTransactionEditor::eventFilter(watched, event);
}

int TWTransactionController::formViewportHeight(int contentHeight, int chromeHeight,
                                                int screenAvailableHeight)
{
    const int limit =
        std::max(kMinimumFormHeight, screenAvailableHeight - kScreenMargin - chromeHeight);
    return std::clamp(contentHeight, std::min(kMinimumFormHeight, limit), limit);
}

TWFieldPtr TWTransactionController::fieldOfControl(const QObject *control) const
{
    if (!control || !m_business)
        return {};
    const QVariant identifier = control->property(kFieldProperty);
    return identifier.isValid() ? m_business->fieldWithIdentifier(identifier.toInt())
                                : TWFieldPtr();
}

qint32 TWTransactionController::accountShownInRow(qint32 fieldIdentifier) const
{
    const bool first = fieldIdentifier == TWFieldIdentifierAccount1;
    return (first != m_swappedAccounts) ? m_editTransaction->account1Identifier()
                                        : m_editTransaction->account2Identifier();
}

bool TWTransactionController::rowHidden(qint32 fieldIdentifier) const
{
    return m_editTransaction->hasSplit() && (fieldIdentifier == TWFieldIdentifierDebit ||
                                             fieldIdentifier == TWFieldIdentifierAccount2 ||
                                             fieldIdentifier == TWFieldIdentifierAccount1);
}

QString TWTransactionController::moneyText(qint64 value) const
{
    const bool readOnly = m_mode == TWTransactionEditorMode::ReadOnly;
    return TWFormatter::formatter().valueString(value, m_editTransaction->unit().get(), readOnly,
                                                readOnly, false, true, true);
}

void TWTransactionController::rebuildUI()
{
    m_updatingUI = true;
    // The embedded views outlive the rows that hold them.
    for (QObject *kept :
         {static_cast<QObject *>(m_totalController), static_cast<QObject *>(m_repeatController)}) {
        QWidget *view = nullptr;
        if (auto *total = qobject_cast<TWTotalController *>(kept))
            view = total->view();
        else if (auto *repeat = qobject_cast<TWRepeatController *>(kept))
            view = repeat->view();
        if (view) {
            view->hide();
            view->setParent(nullptr);
        }
    }
    while (QLayoutItem *item = m_rowsLayout->takeAt(0)) {
        QWidget *widget = item->widget();
        if (widget && widget != m_splitsHolder &&
            !(m_attachmentsController && widget == m_attachmentsController->view()))
            delete widget;
        delete item;
    }
    m_valueViews.clear();
    m_labelViews.clear();
    m_rows.clear();
    m_rowOrder.clear();

    for (const TWFieldPtr &field : std::as_const(m_fields)) {
        bool hidden = false;
        QWidget *value = makeValueControl(field, &hidden);
        if (!value)
            continue;
        const QString name =
            field->identifier() == TWFieldIdentifierDebit ? TWLocalized("total") : field->name();
        auto *row = new QWidget(m_contentView);
        auto *rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->setSpacing(kLabelGap);
        auto *label = new FormLabel(name, row);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // A refused field is named by its label.
        label->setBuddy(value);
        rowLayout->addWidget(label, 0, Qt::AlignTop);
        value->setParent(row);
        value->show();
        rowLayout->addWidget(value, 1);
        row->setHidden(hidden);
        m_rowsLayout->addWidget(row);
        m_valueViews.insert(field->identifier(), value);
        m_labelViews.insert(field->identifier(), label);
        m_rows.insert(field->identifier(), row);
        m_rowOrder.append(field->identifier());
    }
    updateLabelWidths();
    // Then the split lines and the attachments strip.
    m_rowsLayout->addWidget(m_splitsHolder);
    rebuildSplits();
    if (!m_attachmentsController)
        m_attachmentsController = new TWAttachmentsController(this);
    // The strip's view first: a strip without its view loads nothing, and a
    // split transaction gets no later refresh that would make up for it.
    QWidget *strip = m_attachmentsController->view();
    updateAttachments();
    m_rowsLayout->addWidget(strip);
    strip->show();
    m_rowsLayout->addStretch(1);
    updateButtons();
    m_updatingUI = false;
    updateFormHeight();
    m_scrollArea->verticalScrollBar()->setValue(0);
}

QList<QWidget *> TWTransactionController::keyViewLoop() const
{
    QList<QWidget *> loop = twReadingOrder(m_contentView);
    if (m_contentView && twTakesTab(m_splitButton, m_view))
        loop.append(m_splitButton);
    return loop;
}

void TWTransactionController::updateButtons()
{
    m_splitButton->setText(TWSplitEditing::splitButtonTitle(m_editTransaction->hasSplit()));
    // A read-only transaction cannot be split: the button is not offered.
    m_splitButton->setVisible(m_mode != TWTransactionEditorMode::ReadOnly);
    m_cancelButton->setText(
        TWLocalized(m_mode == TWTransactionEditorMode::NewSeveral ? "done" : "cancel"));
    m_cancelButton->setVisible(m_mode != TWTransactionEditorMode::ReadOnly);
    m_saveButton->setText(
        TWLocalized(m_mode == TWTransactionEditorMode::ReadOnly ? "done" : "save"));
}

void TWTransactionController::updateFormHeight()
{
    if (!m_view)
        return;
    m_rowsLayout->activate();
    // Hidden rows take no room; the layout's hint already leaves them out.
    const int contentHeight =
        m_rowsLayout->totalSizeHint().height() + 2 * m_scrollArea->frameWidth();
    const int chromeHeight = m_saveButton->sizeHint().height() + 3 * 12;
    QScreen *screen = nullptr;
    if (QWidget *window = sheetWindow())
        screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const int available = screen ? screen->availableGeometry().height() : 768;
    m_scrollArea->setFixedHeight(formViewportHeight(contentHeight, chromeHeight, available));
    // As wide as the form needs to show every row at its wanted width (a
    // value squeezed to its least width cuts its titles), with room for the
    // scroll bar; within the screen, where the form scrolls sideways instead.
    int widestValue = 0;
    for (auto row = m_rows.cbegin(); row != m_rows.cend(); ++row)
        if (!row.value()->isHidden())
            if (const QWidget *value = m_valueViews.value(row.key()))
                widestValue = std::max(widestValue, value->sizeHint().width());
    const QMargins margins = m_rowsLayout->contentsMargins();
    int form = std::max(formWidthForValues(widestValue), m_rowsLayout->totalMinimumSize().width());
    if (!m_splitsHolder->isHidden())
        form =
            std::max(form, m_splitsHolder->sizeHint().width() + margins.left() + margins.right());
    const int scrollBar = m_scrollArea->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QMargins around = m_view->layout()->contentsMargins();
    const int screenWidth =
        TWSheetAvailableSize(sheetWindow()).width() - around.left() - around.right();
    m_scrollArea->setMinimumWidth(
        std::max(kSheetWidth, std::min(form + scrollBar, std::max(kSheetWidth, screenWidth))));
    m_view->adjustSize();
    // A sheet already up grows with its form (a fixed size follows it).
    QWidget *window = m_view->window();
    const int wanted = window->sizeHint().width();
    if (window != m_view && window->isVisible() && window->width() < wanted) {
        if (window->minimumWidth() == window->maximumWidth())
            window->setFixedWidth(wanted);
        else
            window->resize(wanted, window->height());
    }
}

int TWTransactionController::formWidthForValues(int valueWidth)
{
    // The form's width W holds the margins (20 each side), the labels'
    // column (W / 5 - 20), the gap (5) and the value: 0.8 W = value + 25.
    return int(std::ceil((valueWidth + 2 * 20 - 20 + kLabelGap) / 0.8));
}

void TWTransactionController::updateValues()
{
    m_updatingUI = true;
    for (const TWFieldPtr &field : std::as_const(m_fields)) {
        updateValue(field);
        if (QWidget *row = m_rows.value(field->identifier()))
            row->setHidden(rowHidden(field->identifier()));
    }
    rebuildSplits();
    updateAttachments();
    updateButtons();
    m_updatingUI = false;
    updateFormHeight();
}

QWidget *TWTransactionController::makeTextField(const QString &text, const TWFieldPtr &field,
                                                Qt::Alignment alignment, bool editable)
{
    auto *edit = new QLineEdit(text);
    edit->setAlignment(alignment | Qt::AlignVCenter);
    edit->setReadOnly(!editable);
    edit->setEnabled(editable);
    edit->setProperty(kFieldProperty, field->identifier());
    if (!editable) {
        edit->setFrame(false);
        return edit;
    }
    connect(edit, &QLineEdit::editingFinished, this, [this, edit] {
        if (!edit->isModified())
            return;
        edit->setModified(false);
        if (const TWFieldPtr edited = fieldOfControl(edit))
            textFieldDidEndEditing(edit, edited);
    });
    connect(edit, &QLineEdit::textEdited, this, [this, edit](const QString &typed) {
        if (const TWFieldPtr edited = fieldOfControl(edit))
            m_completer->offer(edit, completionsForField(*edited, typed));
    });
    return edit;
}

QWidget *TWTransactionController::makeDateControl(const QDateTime &date, const TWFieldPtr &field)
{
    auto *picker = new TWDateEdit();
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(TWFormatter::formatter().locale().dateFormat(QLocale::ShortFormat));
    if (field->type() == TWFieldTypeDate) {
        // A custom date may have none: it shows empty (not today, which
        // would not be stored) until a date is typed or picked.
        picker->setMinimumDate(kNoDate);
        picker->setSpecialValueText(QStringLiteral(" "));
        picker->setDate(date.isValid() ? date.date() : kNoDate);
        // The calendar of an empty field opens on this month.
        if (QCalendarWidget *calendar = picker->calendarWidget())
            calendar->installEventFilter(this);
    } else {
        picker->setDate(date.isValid() ? date.date() : TWClock::today());
    }
    picker->setEnabled(m_mode != TWTransactionEditorMode::ReadOnly);
    picker->setProperty(kFieldProperty, field->identifier());
    connect(picker, &QDateEdit::dateChanged, this, [this, picker](const QDate &day) {
        if (m_updatingUI || !m_editTransaction)
            return;
        const TWFieldPtr edited = fieldOfControl(picker);
        if (!edited)
            return;
        // The day chosen, as every stored day is made: never the old date's
        // time of day on it, which the clock skips where a change falls at
        // midnight (the date would be lost).
        const QDateTime chosen =
            TWDateAdditions::dateFromFields(day.year(), day.month(), day.day());
        if (edited->identifier() == TWFieldIdentifierDate) {
            m_editTransaction->setDate(chosen);
        } else if (edited->type() == TWFieldTypeDate) {
            setFieldValue(*edited, {}, 0, 0, 0, day == kNoDate ? QDateTime() : chosen, false, -1,
                          {});
        }
        fieldEdited(edited);
    });
    return picker;
}

QComboBox *TWTransactionController::makePopUp(const TWFieldPtr &field)
{
    auto *popUp = new QComboBox();
    popUp->setProperty(kFieldProperty, field->identifier());
    popUp->setEnabled(m_mode != TWTransactionEditorMode::ReadOnly);
    popUp->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(popUp, qOverload<int>(&QComboBox::activated), this,
            [this, popUp](int) { doPopUpButton(popUp); });
    return popUp;
}

void TWTransactionController::fillAccountPopUp(QComboBox *popUp, qint32 selectedAccount)
{
    const bool wasUpdating = std::exchange(m_updatingUI, true);
    popUp->clear();
    for (const quint32 group : {0u, 8u, 15u, 16u, 17u}) {
        const TWAccountList accounts = m_business->accountsOfType(group);
        if (!accounts.isEmpty() && popUp->count() > 0)
            popUp->insertSeparator(popUp->count());
        for (const TWAccountPtr &account : accounts)
            addPopUpItem(popUp, account->name(), PopUpRecord, account->identifier());
    }
    if (popUp->count() > 0)
        popUp->insertSeparator(popUp->count());
    addPopUpItem(popUp, TWLocalized("splitTransactionMore"), PopUpSplit, 0);
    popUp->insertSeparator(popUp->count());
    addPopUpItem(popUp, TWLocalized("newAccount"), PopUpNew, 0);
    // A split transaction keeps its accounts in its lines.
    popUp->setCurrentIndex(m_editTransaction->hasSplit() ? 0
                                                         : indexOfRecord(popUp, selectedAccount));
    m_updatingUI = wasUpdating;
}

void TWTransactionController::fillListPopUp(QComboBox *popUp, const TWFieldPtr &field)
{
    popUp->clear();
    if (field->listItems().isEmpty()) {
        addPopUpItem(popUp, TWLocalized("newListItem"), PopUpNew, 0);
        popUp->setCurrentIndex(-1);
        return;
    }
    // An empty entry first: shown while no item is stored (never the first
    // item, which would look chosen), and chosen to clear the value.
    addPopUpItem(popUp, QString(), PopUpNone, 0);
    for (const TWFieldListItemPtr &item : field->listItems())
        addPopUpItem(popUp, item->name(), PopUpRecord, item->identifier());
    popUp->insertSeparator(popUp->count());
    addPopUpItem(popUp, TWLocalized("newListItem"), PopUpNew, 0);
    const TWFieldValuePtr value = m_editTransaction->fieldValueWithField(*field, false);
    const int index =
        value && value->hasValue() ? indexOfRecord(popUp, value->listItemIdentifier()) : -1;
    popUp->setCurrentIndex(std::max(index, 0));
}

void TWTransactionController::fillTagPopUp(QComboBox *popUp, const TWFieldPtr &field)
{
    const TWFieldValuePtr value = m_editTransaction->fieldValueWithField(*field, false);
    const QList<qint32> chosen = value ? value->tagItemIdentifiers() : QList<qint32>();
    popUp->clear();
    for (const TWFieldTagItemPtr &item : field->tagItems()) {
        addPopUpItem(popUp, item->name(), PopUpRecord, item->identifier());
        popUp->setItemData(popUp->count() - 1,
                           chosen.contains(item->identifier()) ? Qt::Checked : Qt::Unchecked,
                           Qt::CheckStateRole);
    }
    if (popUp->count() > 0)
        popUp->insertSeparator(popUp->count());
    addPopUpItem(popUp, TWLocalized("newTagItem"), PopUpNew, 0);
    // The button always shows the chosen tags' names, never one item.
    popUp->setPlaceholderText(field->tagNameWithIdentifiers(chosen));
    popUp->setCurrentIndex(-1);
}

QWidget *TWTransactionController::makeValueControl(const TWFieldPtr &field, bool *hidden)
{
    const bool editing = m_mode != TWTransactionEditorMode::ReadOnly;
    const TWTransactionPtr &edit = m_editTransaction;
    *hidden = rowHidden(field->identifier());
    if (field->type() == TWFieldTypeStandard) {
        switch (field->identifier()) {
        case TWFieldIdentifierNotes:
            return makeTextField(edit->notes(), field, Qt::AlignLeft, editing);
        case TWFieldIdentifierDescription:
            return makeTextField(edit->description(), field, Qt::AlignLeft, editing);
        case TWFieldIdentifierPayee:
            return makeTextField(edit->payee(), field, Qt::AlignLeft, editing);
        case TWFieldIdentifierDebit: {
            if (!m_totalController) {
                m_totalController = new TWTotalController(this);
                connect(m_totalController, &TWTotalController::totalUpdated, this,
                        [this] { totalUpdated(); });
                connect(m_totalController, &TWTotalController::sizeChanged, this, [this] {
                    if (m_updatingUI)
                        return;
                    m_totalController->updateFrame(false);
                    updateFormHeight();
                });
            }
            m_totalController->setBusiness(m_business);
            m_totalController->setSplit(false);
            m_totalController->setEditing(editing);
            m_totalController->setValuesFromTransaction(*edit, m_swappedAccounts);
            m_totalController->reset();
            QWidget *view = m_totalController->view();
            view->setProperty(kFieldProperty, field->identifier());
            return view;
        }
        case TWFieldIdentifierRepeat: {
            if (m_isImport)
                return nullptr;
            if (!m_repeatController) {
                m_repeatController = new TWRepeatController(this);
                connect(m_repeatController, &TWRepeatController::updated, this,
                        [this] { m_repeat = m_repeatController->repeat(); });
            }
            m_repeatController->setRepeat(m_repeat);
            m_repeatController->setType(TWRepeatTypeTransaction);
            m_repeatController->setEnabled(editing);
            m_repeatController->update();
            QWidget *view = m_repeatController->view();
            view->setProperty(kFieldProperty, field->identifier());
            return view;
        }
        case TWFieldIdentifierAccount2:
        case TWFieldIdentifierAccount1: {
            QComboBox *popUp = makePopUp(field);
            fillAccountPopUp(popUp, accountShownInRow(field->identifier()));
            return popUp;
        }
        case TWFieldIdentifierIdentifier: {
            if (m_isImport)
                return nullptr;
            return makeTextField(QString::number(edit->identifier()), field, Qt::AlignLeft, false);
        }
        case TWFieldIdentifierDate:
            return makeDateControl(edit->date(), field);
        case TWFieldIdentifierCleared: {
            auto *check = new QCheckBox();
            check->setChecked(edit->cleared());
            check->setEnabled(editing);
            check->setProperty(kFieldProperty, field->identifier());
            connect(check, &QCheckBox::toggled, this, [this, check](bool on) {
                if (m_updatingUI || !m_editTransaction)
                    return;
                m_editTransaction->setCleared(on);
                fieldEdited(fieldOfControl(check));
            });
            return check;
        }
        default:
            return nullptr;
        }
    }
    const TWFieldValuePtr value = edit->fieldValueWithField(*field, false);
    switch (field->type()) {
    case TWFieldTypeText:
        return makeTextField(value ? value->text() : QString(), field, Qt::AlignLeft, editing);
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        return makeTextField(value && value->hasValue() ? moneyText(value->currency()) : QString(),
                             field, Qt::AlignRight, editing);
    case TWFieldTypeNumber:
        return makeTextField(value && value->hasValue()
                                 ? TWFormatter::formatter().doubleValueString(value->number())
                                 : QString(),
                             field, Qt::AlignRight, editing);
    case TWFieldTypePercent: {
        const QString text = value && value->hasValue()
                                 ? TWFormatter::formatter().numberString(value->percent())
                                 : QString();
        if (editing)
            return makeTextField(text, field, Qt::AlignRight, true);
        auto *shown = new QLineEdit(text.isEmpty() ? text : text + QLatin1Char('%'));
        shown->setReadOnly(true);
        shown->setEnabled(false);
        shown->setFrame(false);
        shown->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        shown->setProperty(kFieldProperty, field->identifier());
        return shown;
    }
    case TWFieldTypeCheckbox: {
        auto *check = new QCheckBox();
        check->setChecked(value && value->checkboxValue());
        check->setEnabled(editing);
        check->setProperty(kFieldProperty, field->identifier());
        connect(check, &QCheckBox::toggled, this, [this, check](bool on) {
            if (m_updatingUI || !m_editTransaction)
                return;
            if (const TWFieldPtr edited = fieldOfControl(check)) {
                setFieldValue(*edited, {}, 0, 0, 0, {}, on, -1, {});
                fieldEdited(edited);
            }
        });
        return check;
    }
    case TWFieldTypeDate:
        return makeDateControl(value ? value->date() : QDateTime(), field);
    case TWFieldTypeList: {
        QComboBox *popUp = makePopUp(field);
        fillListPopUp(popUp, field);
        return popUp;
    }
    case TWFieldTypeTags: {
        QComboBox *popUp = makePopUp(field);
        fillTagPopUp(popUp, field);
        return popUp;
    }
    default:
        return nullptr;
    }
}

void TWTransactionController::showTotals()
{
    if (m_totalController && m_editTransaction && m_valueViews.contains(-10)) {
        m_totalController->setValuesFromTransaction(*m_editTransaction, m_swappedAccounts);
        m_totalController->update();
    }
}

void TWTransactionController::rebuildSplits()
{
    // Rows of an earlier layout go; a row may be the one asking, so later.
    for (TWSplitController *row : std::as_const(m_splitControllers)) {
        row->disconnect(this);
        if (QWidget *view = row->view())
            view->hide();
        row->deleteLater();
    }
    m_splitControllers.clear();
    const bool split = m_editTransaction->hasSplit();
    m_splitsHolder->setVisible(split);
    m_newSplitButton->setVisible(split && m_mode != TWTransactionEditorMode::ReadOnly);
    if (!split)
        return;
    qsizetype index = 0;
    for (const TWSplitPtr &line : m_editTransaction->splits()) {
        auto *row = new TWSplitController(this);
        row->setBusiness(m_business);
        row->setTransaction(m_editTransaction);
        row->setSplit(line);
        row->setIndex(index++);
        row->setEditing(m_mode != TWTransactionEditorMode::ReadOnly);
        connect(row, &TWSplitController::createNewAccount, this,
                [this](TWSplitController *from) { createNewAccount(from->split()); });
        connect(row, &TWSplitController::deleteRequested, this, [this](TWSplitController *from) {
            QPointer<TWSplitController> guarded(from);
            TWSplitController::askDeleteSplit(sheetWindow(), [this, guarded] {
                if (guarded)
                    deleteSplit(guarded);
            });
        });
        connect(row, &TWSplitController::updated, this, [this] { splitUpdated(); });
        connect(row, &TWSplitController::balanceClicked, this, [this](TWSplitController *from) {
            TWSplitEditing::balanceSplit(*from->split(), *m_editTransaction, *m_business);
            // Settling the residue may touch another line's amounts.
            for (TWSplitController *row : std::as_const(m_splitControllers))
                row->update();
            splitUpdated();
        });
        connect(row, &TWSplitController::sizeChanged, this,
                [this](double, TWSplitController *from) {
                    from->updateFrame(false);
                    if (!m_updatingUI)
                        updateFormHeight();
                });
        row->reset();
        m_splitsLayout->insertWidget(m_splitsLayout->count() - 1, row->view());
        // Shown now, not when the layout gets round to it, so it is measured.
        row->view()->show();
        // Measured again now that it is laid out inside the form.
        row->update();
        row->updateFrame(false);
        m_splitControllers.append(row);
    }
    updateSplitBalanceButtons();
}

void TWTransactionController::updateSplitBalanceButtons()
{
    const bool balanced = TWSplitEditing::splitIsBalanced(*m_editTransaction);
    const QString toolTip = TWSplitEditing::balanceToolTip(*m_editTransaction, *m_business);
    for (TWSplitController *row : std::as_const(m_splitControllers))
        row->updateBalanceButton(!balanced && m_mode != TWTransactionEditorMode::ReadOnly, toolTip);
}

void TWTransactionController::splitUpdated()
{
    // The first line's unit is the transaction's.
    followUnitInFieldValues();
    updateSplitBalanceButtons();
    updatePercentTotals();
}

void TWTransactionController::updateAttachments()
{
    if (!m_attachmentsController)
        return;
    m_attachmentsController->setBusiness(m_business);
    m_attachmentsController->setBusinessController(m_document);
    m_attachmentsController->setTransaction(m_editTransaction);
    m_attachmentsController->setEditing(m_mode != TWTransactionEditorMode::ReadOnly);
    m_attachmentsController->update();
}

void TWTransactionController::splitTransaction()
{
    if (!m_editTransaction || !m_business || m_mode == TWTransactionEditorMode::ReadOnly)
        return;
    TWSplitEditing::splitTransaction(*m_editTransaction, *m_business, m_swappedAccounts);
    followUnitInFieldValues();
    updateValues();
}

void TWTransactionController::newSplit()
{
    if (!m_editTransaction || !m_business || !m_editTransaction->hasSplit())
        return;
    TWSplitEditing::newSplit(*m_editTransaction, *m_business);
    updateValues();
}

void TWTransactionController::deleteSplit(TWSplitController *row)
{
    if (!row || !m_editTransaction)
        return;
    TWSplitEditing::deleteSplit(*m_editTransaction, *m_business, row->index());
    followUnitInFieldValues();
    updateValues();
}

void TWTransactionController::updateValue(const TWFieldPtr &field)
{
    if (!field || !m_editTransaction)
        return;
    QWidget *control = m_valueViews.value(field->identifier());
    if (!control)
        return;
    const bool wasUpdating = std::exchange(m_updatingUI, true);
    const TWTransactionPtr &edit = m_editTransaction;
    const TWFieldValuePtr value = field->type() == TWFieldTypeStandard
                                      ? TWFieldValuePtr()
                                      : edit->fieldValueWithField(*field, false);
    auto setText = [control](const QString &text) {
        if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            edit->setText(text);
            edit->setModified(false);
        }
    };
    switch (field->type()) {
    case TWFieldTypeStandard:
        switch (field->identifier()) {
        case TWFieldIdentifierNotes:
            setText(edit->notes());
            break;
        case TWFieldIdentifierDescription:
            setText(edit->description());
            break;
        case TWFieldIdentifierPayee:
            setText(edit->payee());
            break;
        case TWFieldIdentifierDebit:
            if (!edit->hasSplit())
                showTotals();
            break;
        case TWFieldIdentifierRepeat: {
            // A refresh (autofill, splitting) keeps the schedule the user set
            // up but has not saved yet; a new working copy loads its own.
            if (m_repeatController) {
                m_repeatController->setRepeat(m_repeat);
                m_repeatController->update();
            }
            break;
        }
        case TWFieldIdentifierAccount2:
        case TWFieldIdentifierAccount1:
            if (!edit->hasSplit())
                fillAccountPopUp(static_cast<QComboBox *>(control),
                                 accountShownInRow(field->identifier()));
            break;
        case TWFieldIdentifierIdentifier:
            setText(QString::number(edit->identifier()));
            break;
        case TWFieldIdentifierDate:
            if (auto *picker = qobject_cast<QDateEdit *>(control); picker && edit->date().isValid())
                picker->setDate(dateOf(edit->date()));
            break;
        case TWFieldIdentifierCleared:
            if (auto *check = qobject_cast<QCheckBox *>(control))
                check->setChecked(edit->cleared());
            break;
        default:
            break;
        }
        break;
    case TWFieldTypeText:
        setText(value ? value->text() : QString());
        break;
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        setText(value && value->hasValue() ? moneyText(value->currency()) : QString());
        break;
    case TWFieldTypeNumber:
        setText(value && value->hasValue()
                    ? TWFormatter::formatter().doubleValueString(value->number())
                    : QString());
        break;
    case TWFieldTypePercent:
        setText(value && value->hasValue() ? TWFormatter::formatter().numberString(value->percent())
                                           : QString());
        break;
    case TWFieldTypeCheckbox:
        if (auto *check = qobject_cast<QCheckBox *>(control))
            check->setChecked(value && value->checkboxValue());
        break;
    case TWFieldTypeDate:
        if (auto *picker = qobject_cast<QDateEdit *>(control))
            picker->setDate(value && value->date().isValid() ? dateOf(value->date()) : kNoDate);
        break;
    case TWFieldTypeList:
        fillListPopUp(static_cast<QComboBox *>(control), field);
        break;
    case TWFieldTypeTags:
        fillTagPopUp(static_cast<QComboBox *>(control), field);
        break;
    default:
        break;
    }
    m_updatingUI = wasUpdating;
}
