#include "ledger/TWFieldController.h"

#include "ledger/TWFieldsColumns.h"

#include "app/TWBusinessController.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{

// The special registers after the accounts, in the pop-up's order, with
// their titles.
struct SpecialView {
    qint32 number;
    const char *key;
};
constexpr SpecialView kSpecialViews[] = {
    {TWRegisterViewAccountGroup, "groups"}, {TWRegisterViewFilter, "filters"},
    {TWRegisterViewRepeat, "repeats"},      {TWRegisterViewInvoicePayments, "invoices"},
    {TWRegisterViewBillPayments, "bills"},
};

} // namespace

TWFieldController::TWFieldController(QObject *parent)
    : TWLazyViewController<TWEditorController>(parent)
{
}

TWFieldController::~TWFieldController()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWFieldController::build()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("TWField"));
    m_view->setMinimumWidth(380);
    auto *layout = new QVBoxLayout(m_view);
    auto *form = new QFormLayout;

    m_nameField = new QLineEdit(m_view);
    m_nameField->setObjectName(QStringLiteral("nameTextField"));
    m_nameField->setProperty("tag", int(NameTag));
    form->addRow(TWLocalized("name"), m_nameField);

    auto *typeRow = new QWidget(m_view);
    auto *typeLayout = new QHBoxLayout(typeRow);
    typeLayout->setContentsMargins(0, 0, 0, 0);
    m_typeLabel = new QLabel(typeRow);
    m_typeLabel->setObjectName(QStringLiteral("typeTextField"));
    m_typePopUp = new QComboBox(typeRow);
    m_typePopUp->setObjectName(QStringLiteral("typePopUpButton"));
    m_typePopUp->setProperty("tag", int(TypeTag));
    // Type 0 belongs to the built-in fields.
    for (std::uint32_t type = TWFieldTypeText; type <= TWFieldTypePercentTotal; ++type)
        m_typePopUp->addItem(TWFormatter::formatter().fieldTypeString(type), int(type));
    typeLayout->addWidget(m_typeLabel);
    typeLayout->addWidget(m_typePopUp);
    typeLayout->addStretch(1);
    form->addRow(TWLocalized("type"), typeRow);

    m_viewsButton = new QToolButton(m_view);
    m_viewsButton->setObjectName(QStringLiteral("viewsPopUpButton"));
    m_viewsButton->setProperty("tag", int(ViewsTag));
    m_viewsButton->setPopupMode(QToolButton::InstantPopup);
    m_viewsButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_viewsButton->setMinimumWidth(160);
    m_viewsMenu = new QMenu(m_viewsButton);
    m_viewsButton->setMenu(m_viewsMenu);
    form->addRow(TWLocalized("views"), m_viewsButton);
    layout->addLayout(form);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancelButton = new QPushButton(TWLocalized("cancel"), m_view);
    m_cancelButton->setProperty("tag", 0);
    m_saveButton = new QPushButton(TWLocalized("save"), m_view);
    m_saveButton->setProperty("tag", 1);
    m_saveButton->setDefault(true);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_saveButton);
    layout->addLayout(buttons);

    connect(m_nameField, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (m_editField)
            m_editField->setName(text);
    });
    connect(m_typePopUp, &QComboBox::activated, this,
            [this](int index) { doPopUpButton(TypeTag, m_typePopUp->itemData(index).toInt()); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { doSave(0); });
    connect(m_saveButton, &QPushButton::clicked, this, [this] { doSave(1); });
    // The sheet around it says what it is.
    m_view->setWindowTitle(TWLocalized("sheetTitleField"));
}

void TWFieldController::update()
{
    view();
    m_saved = false;
    m_editField = m_field ? m_field->copy() : TWField::field();
    updateUI();
}

qsizetype TWFieldController::everyViewCount() const
{
    return (m_business ? m_business->accounts().size() : 0) + 5;
}

void TWFieldController::updateUI()
{
    if (!m_view || !m_editField)
        return;
    m_nameField->setText(m_editField->name());
    const bool existing = m_mode == TWEditorMode::Existing;
    m_typeLabel->setText(TWFormatter::formatter().fieldTypeString(m_editField->type()));
    m_typeLabel->setVisible(existing);
    m_typePopUp->setVisible(!existing);
    m_typePopUp->setCurrentIndex(m_typePopUp->findData(int(m_editField->type())));

    m_visibleViews.clear();
    m_visibleViews.reserve(25);
    if (m_business)
        m_visibleViews = twFieldsVisibleViews(m_business->columnSettings(0).value_or(QVariantMap()),
                                              m_editField->identifier());
    rebuildViewsMenu();
    updateViewsPopUpName();
}

void TWFieldController::rebuildViewsMenu()
{
    m_viewsMenu->clear();
    const auto add = [this](const QString &title, int tag) {
        QAction *item = m_viewsMenu->addAction(title);
        item->setData(tag);
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, tag] { doPopUpButton(ViewsTag, tag); });
    };
    add(TWLocalized("all"), AllViewsTag);
    m_viewsMenu->addSeparator();
    if (m_business)
        for (const TWAccountPtr &account : m_business->sortedAccounts())
            // A menu takes "&" for a shortcut marker; account names mean it literally.
            add(QString(account->name()).replace(QLatin1Char('&'), QLatin1String("&&")),
                account->identifier());
    m_viewsMenu->addSeparator();
    for (int i = 0; i < 3; ++i)
        add(TWLocalized(kSpecialViews[i].key), kSpecialViews[i].number);
    m_viewsMenu->addSeparator();
    for (int i = 3; i < 5; ++i)
        add(TWLocalized(kSpecialViews[i].key), kSpecialViews[i].number);
}

void TWFieldController::doPopUpButton(int popUpTag, int itemTag)
{
    if (!m_editField)
        return;
    if (popUpTag == TypeTag) {
        // An existing field keeps its type.
        if (m_mode != TWEditorMode::Existing && itemTag >= int(TWFieldTypeText) &&
            itemTag <= int(TWFieldTypePercentTotal))
            m_editField->setType(std::uint32_t(itemTag));
        return;
    }
    if (popUpTag != ViewsTag)
        return;
    if (itemTag != AllViewsTag) {
        if (!m_visibleViews.removeOne(itemTag))
            m_visibleViews.append(itemTag);
    } else {
        const qsizetype before = m_visibleViews.size();
        m_visibleViews.clear();
        if (before < everyViewCount()) {
            for (const TWAccountPtr &account : m_business->accounts())
                m_visibleViews.append(account->identifier());
            for (const SpecialView &special : kSpecialViews)
                m_visibleViews.append(special.number);
        }
    }
    updateViewsPopUpName();
}

QString TWFieldController::viewsTitle() const
{
    return twFieldsViewsSummary(m_visibleViews.size(), everyViewCount() - 5);
}

Qt::CheckState TWFieldController::viewsItemState(int tag) const
{
    if (tag == AllViewsTag) {
        const qsizetype n = m_visibleViews.size();
        if (n == everyViewCount())
            return Qt::Checked;
        return n == 0 ? Qt::Unchecked : Qt::PartiallyChecked;
    }
    return m_visibleViews.contains(tag) ? Qt::Checked : Qt::Unchecked;
}

void TWFieldController::updateViewsPopUpName()
{
    if (!m_viewsButton)
        return;
    m_viewsButton->setText(viewsTitle());
    for (QAction *item : m_viewsMenu->actions()) {
        if (item->isSeparator())
            continue;
        const int tag = item->data().toInt();
        const Qt::CheckState state = viewsItemState(tag);
        item->setChecked(state == Qt::Checked);
        if (tag == AllViewsTag)
            // A menu item has no mixed mark: a dash stands for it.
            item->setText(state == Qt::PartiallyChecked
                              ? QStringLiteral("\u2013 ") + TWLocalized("all")
                              : TWLocalized("all"));
    }
}

void TWFieldController::doSave(int tag)
{
    if (tag != 1) {
        endSheet(TWSheetResult::Cancelled);
        return;
    }
    if (!m_business || !m_editField)
        return;
    // A name being typed counts.
    m_editField->setName(m_nameField->text());
    TWErrorResult error;
    if (m_mode == TWEditorMode::Existing) {
        // The saved object takes the listed field's place, so it carries the
        // listed field's choices, tags and percent settings as they are now.
        if (const TWFieldPtr listed = m_business->fieldWithIdentifier(m_editField->identifier())) {
            const TWField current(*listed);
            m_editField->setListItems(current.listItems());
            m_editField->setTagItems(current.tagItems());
            m_editField->setPercent(current.percent());
            m_editField->setIncludedInTotal(current.includedInTotal());
        }
        error = m_business->updateField(m_editField, true);
    } else {
        error = m_business->addField(m_editField, true);
    }
    if (error) {
        if (m_document)
            m_document->presentError(*error);
        return;
    }
    QVariantMap layout = m_business->columnSettings(0).value_or(QVariantMap());
    QVariantList entries = twFieldsColumnEntries(layout);
    const qsizetype index = twFieldsColumnIndex(entries, m_editField->identifier());
    if (index >= 0) {
        QVariantList views;
        views.reserve(m_visibleViews.size());
        for (qint32 view : m_visibleViews)
            views.append(view);
        QVariantMap entry = entries.at(index).toMap();
        entry.insert(TWColumnSettingsVisibleViewsKey, views);
        entries[index] = entry;
        layout.insert(TWColumnSettingsFieldsKey, entries);
        m_business->updateColumnSettings(0, layout);
    }
    m_saved = true;
    if (m_document)
        m_document->updateChangeCount(0);
    endSheet(TWSheetResult::Confirmed);
}

void TWFieldController::endSheet(TWSheetResult result)
{
    if (m_document)
        m_document->endSheet(m_view, result);
    else
        emit endRequested(sheetReturnCode(result));
}
