#include "ledger/TWSplitController.h"

#include "app/TWAlert.h"
#include "app/TWControls.h"
#include "foundation/TWLocalized.h"
#include "ledger/TWTotalController.h"
#include "store/TWBusiness.h"

#include <QCompleter>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>
#include <QWidget>

TWSplitController::TWSplitController(QObject *parent) : QObject(parent)
{
    m_totalController = new TWTotalController(this);
    buildView();
    connect(m_totalController, &TWTotalController::totalUpdated, this, [this] { totalsUpdated(); });
    connect(m_totalController, &TWTotalController::balanceClicked, this,
            [this] { emit balanceClicked(this); });
    connect(m_totalController, &TWTotalController::sizeChanged, this, [this] {
        updateValues();
        updateUI();
    });
}

TWSplitController::~TWSplitController()
{
    // The view goes with its controller wherever it was embedded.
    delete m_view.data();
}

QWidget *TWSplitController::view() const
{
    return m_view;
}

void TWSplitController::buildView()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("TWSplitView"));
    auto *outer = new QVBoxLayout(m_view);
    outer->setContentsMargins(20, 0, 20, 0);
    outer->setSpacing(6);

    m_titleLabel = new QLabel(m_view);
    QFont bold = m_titleLabel->font();
    bold.setBold(true);
    m_titleLabel->setFont(bold);
    outer->addWidget(m_titleLabel);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    m_descriptionLabel = new QLabel(TWLocalized("splitDescription"), m_view);
    m_descriptionTextField = new QLineEdit(m_view);
    m_descriptionTextField->setObjectName(QStringLiteral("splitDescription"));
    m_accountLabel = new QLabel(TWLocalized("splitAccount"), m_view);
    m_accountPopUpButton = new TWPopUpButton(m_view);
    m_accountPopUpButton->setObjectName(QStringLiteral("splitAccount"));
    m_totalLabel = new QLabel(TWLocalized("splitAmount"), m_view);
    m_totalHolder = m_totalController->view();
    m_totalHolder->setParent(m_view);
    for (QLabel *label : {m_descriptionLabel, m_accountLabel, m_totalLabel})
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The caption sits level with the amount's own row, below the column captions.
    m_totalLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    m_totalLabel->setContentsMargins(0, m_totalLabel->fontMetrics().height() + 10, 0, 0);
    grid->addWidget(m_descriptionLabel, 0, 0);
    grid->addWidget(m_descriptionTextField, 0, 1);
    grid->addWidget(m_accountLabel, 1, 0);
    grid->addWidget(m_accountPopUpButton, 1, 1);
    grid->addWidget(m_totalLabel, 2, 0);
    grid->addWidget(m_totalHolder, 2, 1);
    grid->setColumnStretch(1, 1);
    outer->addLayout(grid);

    m_deleteButton = new QPushButton(TWLocalized("deleteSplit"), m_view);
    m_deleteButton->setObjectName(QStringLiteral("deleteSplit"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_deleteButton);
    outer->addLayout(buttons);

    m_bottomLine = new QFrame(m_view);
    m_bottomLine->setFrameShape(QFrame::HLine);
    m_bottomLine->setFrameShadow(QFrame::Sunken);
    outer->addWidget(m_bottomLine);

    m_completionModel = new QStringListModel(this);
    m_completer = new QCompleter(m_completionModel, this);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setFilterMode(Qt::MatchStartsWith);
    m_descriptionTextField->setCompleter(m_completer);

    connect(m_descriptionTextField, &QLineEdit::textEdited, this, [this] { m_changed = true; });
    connect(m_descriptionTextField, &QLineEdit::editingFinished, this,
            [this] { commitDescription(); });
    connect(m_completer, qOverload<const QString &>(&QCompleter::activated), this, [this] {
        m_changed = true;
        commitDescription();
    });
    connect(m_accountPopUpButton, &QComboBox::activated, this, [this](int index) {
        if (!m_filling)
            chooseAccountAtIndex(index);
    });
    connect(m_deleteButton, &QPushButton::clicked, this, [this] { emit deleteRequested(this); });
}

void TWSplitController::reset()
{
    if (!m_view || !m_business || !m_split)
        return;
    m_totalController->setBusiness(m_business);
    m_totalController->setSplit(true);
    m_totalController->setEditing(m_editing);
    updateTotals();
    m_totalController->reset();
    updateEditState();
    updateValues();
    updateUI();
    updateFrame(false);
}

void TWSplitController::update()
{
    updateValues();
    updateTotals();
    m_totalController->update();
    updateUI();
}

void TWSplitController::updateTitle()
{
    m_titleLabel->setText(QStringLiteral("%1 #%2:").arg(TWLocalized("split")).arg(m_index + 1));
}

void TWSplitController::updateValues()
{
    if (!m_split || !m_business)
        return;
    updateTitle();
    m_descriptionTextField->setText(m_split->description());
    fillAccountMenu();
    // The completions are the remembered descriptions, matched from the
    // start of the text in any case.
    const std::optional<TWValueList> values = m_business->values(-6);
    QStringList names;
    if (values) {
        for (const TWValuePtr &value : *values) {
            if (value)
                names.append(value->name());
        }
    }
    m_completionModel->setStringList(names);
}

void TWSplitController::fillAccountMenu()
{
    m_filling = true;
    m_accountPopUpButton->clear();
    m_accountMenuItems = TWSplitEditing::accountsByGroupMenuItems(*m_business);
    for (const TWAccountMenuItem &item : m_accountMenuItems) {
        if (item.separator)
            m_accountPopUpButton->insertSeparator(m_accountPopUpButton->count());
        else
            m_accountPopUpButton->addItem(item.title);
    }
    m_filling = false;
    selectAccount();
}

void TWSplitController::selectAccount()
{
    m_filling = true;
    int index = -1;
    for (int i = 0; i < m_accountMenuItems.size(); ++i) {
        const TWAccountPtr &account = m_accountMenuItems.at(i).account;
        if (account && m_split && account->identifier() == m_split->accountIdentifier()) {
            index = i;
            break;
        }
    }
    m_accountPopUpButton->setCurrentIndex(index);
    m_filling = false;
}

void TWSplitController::updateTotals()
{
    if (!m_split || !m_business)
        return;
    m_totalController->setAccount1(m_business->accountWithIdentifier(m_split->accountIdentifier()));
    m_totalController->setAccount2(nullptr);
    m_totalController->setTotalStart(m_split->totalStart());
    m_totalController->setTotalEnd(m_split->totalEnd());
    m_totalController->setTotal(m_split->total());
    m_totalController->setTotalAccount1(m_split->totalAccount());
    m_totalController->setTotalBusiness(m_split->totalBusiness());
    m_totalController->setUnit(m_split->unit());
    m_totalController->setSwapped(m_swapped);
}

void TWSplitController::updateEditState()
{
    m_descriptionTextField->setEnabled(m_editing);
    m_accountPopUpButton->setEnabled(m_editing);
    m_deleteButton->setHidden(!m_editing);
    m_totalController->setEditing(m_editing);
    m_totalController->updateEditState();
}

void TWSplitController::updateUI()
{
    if (!m_view)
        return;
    if (m_view->layout())
        m_view->layout()->invalidate();
    const QSizeF wanted(m_view->width(), m_view->sizeHint().height());
    if (wanted != m_frameSize) {
        const bool heightChanged = wanted.height() != m_frameSize.height();
        m_frameSize = wanted;
        if (heightChanged)
            emit sizeChanged(wanted.height() - m_view->height(), this);
    }
}

void TWSplitController::updateFrame(bool)
{
    if (!m_view)
        return;
    m_view->setMinimumHeight(int(m_frameSize.height()));
    m_view->updateGeometry();
    if (!m_view->parentWidget() || !m_view->parentWidget()->layout())
        m_view->resize(m_view->width(), int(m_frameSize.height()));
}

bool TWSplitController::updateUnit(const TWUnitPtr &unit)
{
    if (!m_split || !m_business)
        return false;
    if (!TWSplitEditing::updateSplitUnit(*m_split, unit, *m_business)) {
        TWAlert alert;
        alert.message = TWLocalized("unitChangeTooLargeMessage");
        alert.informativeText = TWLocalized("unitChangeTooLargeInformative");
        alert.buttons = {TWLocalized("ok")};
        alert.window = m_view ? m_view->window() : nullptr;
        twRunAlert(alert);
        return false;
    }
    return true;
}

void TWSplitController::updateBalanceButton(bool enabled, const QString &toolTip)
{
    m_totalController->updateBalanceButton(enabled, toolTip);
}

void TWSplitController::chooseAccountAtIndex(int index)
{
    if (!m_split || !m_business || index < 0 || index >= m_accountMenuItems.size())
        return;
    const TWAccountMenuItem item = m_accountMenuItems.at(index);
    if (item.separator)
        return;
    if (!item.account) {
        selectAccount();
        emit createNewAccount(this);
        return;
    }
    const TWAccountPtr oldAccount = m_business->accountWithIdentifier(m_split->accountIdentifier());
    if (!TWSplitEditing::updateSplitAccount(*m_split, oldAccount, item.account, *m_business)) {
        selectAccount();
        TWAlert alert;
        alert.message = TWLocalized("unitChangeTooLargeMessage");
        alert.informativeText = TWLocalized("unitChangeTooLargeInformative");
        alert.buttons = {TWLocalized("ok")};
        alert.window = m_view ? m_view->window() : nullptr;
        twRunAlert(alert);
        return;
    }
    if (m_index == 0 && m_transaction)
        m_transaction->setUnit(m_split->unit());
    update();
    // The home amount may have been reconverted: the editor's balance follows.
    emit updated(this);
}

void TWSplitController::commitDescription()
{
    if (m_changed && m_split)
        m_split->setDescription(m_descriptionTextField->text());
    m_changed = false;
}

void TWSplitController::totalsUpdated()
{
    if (!m_split || !m_business)
        return;
    TWSplitEditing::takeTotals(*m_split, *m_totalController, *m_business, m_transaction.get());
    if (m_index == 0 && m_transaction)
        m_transaction->setUnit(m_split->unit());
    emit updated(this);
}

void TWSplitController::askDeleteSplit(QWidget *window, std::function<void()> onDelete)
{
    TWAlert alert;
    alert.message = TWLocalized("deleteSplitMessage");
    alert.buttons = {TWLocalized("deleteSplit"), TWLocalized("cancel")};
    alert.window = window;
    twRunAlert(alert, [onDelete = std::move(onDelete)](int code) {
        if (code == 1000 && onDelete)
            onDelete();
    });
}
