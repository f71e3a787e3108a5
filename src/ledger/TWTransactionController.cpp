#include "ledger/TWTransactionController.h"

#include "app/TWBusinessController.h"
#include "app/TWKeyLoopView.h"
#include "ledger/TWAttachmentsController.h"
#include "ledger/TWRepeatController.h"
#include "ledger/TWTotalController.h"
#include "ledger/TWValueCompleter.h"

#include "foundation/TWLocalized.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

TWTransactionController::TWTransactionController(QObject *parent)
    : TWLazyViewController<TWTransactionEditor>(parent), m_completer(new TWValueCompleter(this))
{
}

TWTransactionController::~TWTransactionController()
{
    QObject::disconnect(m_focusConnection);
    // The view is owned here while no sheet shows it.
    if (m_view && !m_view->parent())
        delete m_view;
    if (m_addItemWindow && !m_addItemWindow->parent())
        delete m_addItemWindow;
}

void TWTransactionController::build()
{
    m_view = new TWKeyLoopView([this] { return keyViewLoop(); }, TWKeyLoop::Chain);
    m_view->setObjectName(QStringLiteral("TWTransaction"));
    auto *layout = new QVBoxLayout(m_view);

    m_scrollArea = new QScrollArea(m_view);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    // Sideways only where the screen is narrower than the form.
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_contentView = new QWidget();
    m_rowsLayout = new QVBoxLayout(m_contentView);
    m_rowsLayout->setContentsMargins(20, 20, 20, 16);
    m_rowsLayout->setSpacing(10);
    m_scrollArea->setWidget(m_contentView);
    // The labels' column follows the form's width.
    m_contentView->installEventFilter(this);
    layout->addWidget(m_scrollArea);

    auto *buttons = new QHBoxLayout();
    m_splitButton = new QPushButton(m_view);
    m_cancelButton = new QPushButton(m_view);
    m_saveButton = new QPushButton(m_view);
    m_saveButton->setDefault(true);
    buttons->addWidget(m_splitButton);
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_saveButton);
    layout->addLayout(buttons);

    connect(m_saveButton, &QPushButton::clicked, this, [this] { doSave(1); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { doSave(0); });
    connect(m_splitButton, &QPushButton::clicked, this, [this] { splitTransaction(); });

    // The split lines sit under the rows, the new-line button under them.
    m_splitsHolder = new QWidget(m_contentView);
    m_splitsLayout = new QVBoxLayout(m_splitsHolder);
    m_splitsLayout->setContentsMargins(0, 0, 0, 0);
    m_newSplitButton = new QPushButton(TWLocalized("newSplit"), m_splitsHolder);
    m_splitsLayout->addWidget(m_newSplitButton, 0, Qt::AlignRight);
    connect(m_newSplitButton, &QPushButton::clicked, this, [this] { newSplit(); });
}

void TWTransactionController::buildAddItemWindow(QWidget *parent)
{
    // The sheet lives on the editor's window, which goes when the editor's
    // sheet ends; it is made again for the next window.
    delete m_addItemWindow;
    m_addItemWindow = parent ? new QDialog(parent, Qt::Sheet) : new QDialog();
    m_addItemWindow->setWindowModality(Qt::WindowModal);
    auto *addLayout = new QVBoxLayout(m_addItemWindow);
    m_addItemTextField = new QLineEdit(m_addItemWindow);
    addLayout->addWidget(m_addItemTextField);
    auto *addButtons = new QHBoxLayout();
    auto *addCancel = new QPushButton(TWLocalized("cancel"), m_addItemWindow);
    auto *addSave = new QPushButton(TWLocalized("save"), m_addItemWindow);
    addSave->setDefault(true);
    addButtons->addStretch(1);
    addButtons->addWidget(addCancel);
    addButtons->addWidget(addSave);
    addLayout->addLayout(addButtons);
    connect(addCancel, &QPushButton::clicked, this, [this] { doAddItemCancelSave(0); });
    connect(addSave, &QPushButton::clicked, this, [this] { doAddItemCancelSave(1); });
    connect(m_addItemWindow, &QDialog::rejected, this, [this] {
        if (m_editMode != AddItem::None)
            doAddItemCancelSave(0);
    });
}

void TWTransactionController::update()
{
    if (!m_business || !m_transaction)
        return;
    view();
    m_saved = false;
    m_autofill =
        m_mode == TWTransactionEditorMode::New || m_mode == TWTransactionEditorMode::NewSeveral;
    m_editTransaction = m_transaction->copy();
    // The sheet says what it is: a new transaction, one being edited, or one
    // only shown (closed or locked).
    m_view->setWindowTitle(
        TWLocalized(m_mode == TWTransactionEditorMode::ReadOnly ? "sheetTitleTransaction"
                    : m_mode == TWTransactionEditorMode::Edit   ? "sheetTitleEditTransaction"
                                                                : "sheetTitleNewTransaction"));
    m_swappedAccounts = m_editTransaction->swapDebitCredit();
    m_fieldValuesUnit = m_editTransaction->unit();
    if (m_attachmentsController)
        m_attachmentsController->clearDeletedAttachments();
    m_createItemField.reset();
    m_createItemSplit.reset();
    // An import row has no repeat settings; nothing of an earlier use of the
    // editor may carry over into it.
    const TWRepeatPtr stored =
        m_business->repeatWithIdentifier(m_editTransaction->repeatIdentifier());
    m_repeat = (!m_isImport && stored) ? stored->copy() : TWRepeatPtr();
    updateFields();
    rebuildUI();
    QObject::disconnect(m_focusConnection);
    m_focusConnection = connect(qApp, &QApplication::focusChanged, this,
                                [this](QWidget *, QWidget *now) { focusChanged(now); });
}

void TWTransactionController::updateFields()
{
    m_fields.clear();
    m_fields.reserve(25);
    if (!m_business)
        return;
    const std::optional<QVariantMap> settings =
        m_business->columnSettings(TWColumnSettingsViewTransactions);
    if (!settings)
        return;
    const QVariantList entries = settings->value(QStringLiteral("fields")).toList();
    for (const QVariant &entry : entries) {
        // Identifiers are stored unsigned: -3 comes back as 4294967293.
        const QVariant identifier = entry.toMap().value(QStringLiteral("identifier"));
        const qint32 value = qint32(std::uint32_t(identifier.toLongLong()));
        if (const TWFieldPtr field = m_business->fieldWithIdentifier(value))
            m_fields.append(field);
    }
}

TWRepeatPtr TWTransactionController::repeat() const
{
    return m_repeat;
}

void TWTransactionController::setRepeat(const TWRepeatPtr &repeat)
{
    m_repeat = repeat;
    if (m_repeatController && m_valueViews.contains(-9)) {
        m_repeatController->setRepeat(repeat);
        m_repeatController->update();
    }
}

void TWTransactionController::close(TWSheetResult result)
{
    // Removals not saved are forgotten.
    if (m_attachmentsController)
        m_attachmentsController->clearDeletedAttachments();
    m_relationships.clear();
    QObject::disconnect(m_focusConnection);
    m_completer->hide();
    if (m_document && m_view)
        m_document->endSheet(m_view, result);
    else
        emit endRequested(sheetReturnCode(result));
}

QWidget *TWTransactionController::sheetWindow() const
{
    if (m_view && m_view->window() != m_view)
        return m_view->window();
    return m_document ? static_cast<QWidget *>(m_document->windowForSheet()) : nullptr;
}

void TWTransactionController::presentError(const TWError &error)
{
    if (m_document)
        m_document->presentError(error);
}

void TWTransactionController::focusChanged(QWidget *now)
{
    // Tab and Shift-Tab may reach a row below the visible part of the form.
    if (!now || !m_contentView || !m_contentView->isAncestorOf(now))
        return;
    m_scrollArea->ensureWidgetVisible(now, 0, 20);
}

void TWTransactionController::beginAddItemSheet(const TWFieldPtr &field, AddItem editMode)
{
    m_createItemField = field;
    QWidget *window = sheetWindow();
    if (!m_addItemWindow || m_addItemWindow->parentWidget() != window)
        buildAddItemWindow(window);
    m_addItemTextField->clear();
    m_editMode = editMode;
    m_addItemWindow->open();
}

void TWTransactionController::doAddItemCancelSave(int tag)
{
    const AddItem editMode = std::exchange(m_editMode, AddItem::None);
    const TWFieldPtr field = m_createItemField;
    const QString name = m_addItemTextField ? m_addItemTextField->text().trimmed() : QString();
    if (tag == 1 && field && m_business && m_editTransaction && !name.isEmpty()) {
        TWErrorResult error;
        if (editMode == AddItem::TagItem) {
            const TWFieldTagItemPtr item = TWFieldTagItem::fieldTagItemWithName(name, -1);
            error = m_business->addFieldTagItem(item, field, true);
            if (!error)
                addTagItem(item, field);
        } else if (editMode == AddItem::ListItem) {
            const TWFieldListItemPtr item = TWFieldListItem::fieldListItemWithName(name, -1);
            error = m_business->addFieldListItem(item, field, true);
            if (!error)
                setFieldValue(*field, {}, 0, 0, 0, {}, false, item->identifier(), {});
        }
        if (!error) {
            updateValue(field);
            fieldEdited(field);
            if (m_document)
                m_document->updateChangeCount(0);
        }
    } else if (field) {
        // The pop-up goes back to what the value is.
        updateValue(field);
    }
    if (m_addItemWindow && m_addItemWindow->isVisible())
        m_addItemWindow->hide();
}
