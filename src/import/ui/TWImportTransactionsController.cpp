#include "import/ui/TWImportTransactionsController.h"

#include "import/ui/TWImportFile.h"
#include "import/ui/TWImportMappingModel.h"
#include "import/ui/TWImportTransactionsSelectController.h"

#include "import/core/TWParserCSV.h"
#include "import/core/TWParserOFX.h"
#include "import/core/TWParserQIF.h"

#include "ledger/TWMissingAccountsController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWControls.h"

#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"
#include "store/TWBusiness.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void TWImportTransactionsController::setChoosePath(ChoosePath choose)
{
    twSetImportChoosePath(std::move(choose));
}

TWImportTransactionsController::TWImportTransactionsController(QObject *parent)
    : TWLazyViewController<TWImportController>(parent)
{
}

TWImportTransactionsController::~TWImportTransactionsController()
{
    delete m_view;
}

std::shared_ptr<TWParser> TWImportTransactionsController::parserForPath(const QString &path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("qif"))
        return TWParserQIF::parser();
    if (extension == QLatin1String("ofx") || extension == QLatin1String("qfx"))
        return TWParserOFX::parser();
    return TWParserCSV::parser();
}

void TWImportTransactionsController::build()
{
    m_view = new QWidget();
    m_view->setObjectName(QStringLiteral("TWImportTransactions"));
    m_view->setWindowTitle(TWLocalized("importTransactionsTitle"));
    auto *title = new QLabel(TWLocalized("importTransactionsTitle"), m_view);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);

    m_accountPopUp = new TWPopUpButton(m_view);
    m_accountPopUp->setObjectName(QStringLiteral("accountPopUpButton"));
    connect(m_accountPopUp, &QComboBox::activated, this, [this](int index) {
        if (!m_settings)
            return;
        // Item 0 is "none", item 1 the separator.
        m_settings->setDefaultAccount(
            index >= 2 && index - 2 < m_accounts.size() ? m_accounts.at(index - 2) : nullptr);
        updateStatementNote();
        updateParseButton();
    });
    auto *accountRow = new QHBoxLayout();
    accountRow->addWidget(new QLabel(TWLocalized("importDefaultAccount"), m_view));
    accountRow->addWidget(m_accountPopUp, 1);
    // A file of several statements: the one that belongs to the chosen
    // account, among those that name no account of the business.
    m_statementPopUp = new TWPopUpButton(m_view);
    m_statementPopUp->setObjectName(QStringLiteral("statementPopUpButton"));
    connect(m_statementPopUp, &QComboBox::activated, this, [this] {
        updateStatementNote();
        updateParseButton();
    });
    m_statementLabel = new QLabel(TWLocalized("importStatementPopUp"), m_view);
    auto *statementRow = new QHBoxLayout();
    statementRow->addWidget(m_statementLabel);
    statementRow->addWidget(m_statementPopUp, 1);
    m_statementHint = new QLabel(TWLocalized("importChooseStatement"), m_view);
    m_statementHint->setWordWrap(true);
    m_statementNote = new QLabel(m_view);
    m_statementNote->setObjectName(QStringLiteral("statementNote"));
    m_statementNote->setWordWrap(true);
    m_statementNote->hide();
    m_accountHint = new QLabel(TWLocalized("importChooseAccount"), m_view);
    m_accountHint->setObjectName(QStringLiteral("accountHint"));
    m_accountHint->setWordWrap(true);
    m_accountHint->hide();

    m_model = new TWImportMappingModel(this);
    connect(m_model, &TWImportMappingModel::mappingChanged, this, [this] { updateParseButton(); });
    m_table = new QTableView(m_view);
    m_table->setObjectName(QStringLiteral("tableView"));
    m_table->setModel(m_model);
    m_table->setItemDelegate(new TWImportMappingDelegate(m_table));
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 10);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->resizeSection(0, 180);
    m_table->horizontalHeader()->resizeSection(1, 200);
    m_table->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setMinimumSize(520, 220);
    // The folder cell is a button: a click chooses the folder.
    connect(m_table, &QTableView::clicked, this, [this](const QModelIndex &index) {
        const TWImportTransactionFieldPtr line = m_model->line(index.row());
        if (index.column() == TWImportMappingModel::SettingsColumn && line &&
            TWImportMappingModel::settingOf(*line) == TWImportMappingModel::Setting::Folder)
            doPath(index.row());
    });

    m_countLabel = new QLabel(m_view);
    m_countLabel->setObjectName(QStringLiteral("numberTransactionsLabel"));
    m_cancelButton = new QPushButton(TWLocalized("cancel"), m_view);
    m_parseButton = new QPushButton(TWLocalized("importContinue"), m_view);
    m_parseButton->setObjectName(QStringLiteral("parseButton"));
    m_parseButton->setDefault(true);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { doParse(0); });
    connect(m_parseButton, &QPushButton::clicked, this, [this] { doParse(1); });
    auto *buttons = new QHBoxLayout();
    buttons->addWidget(m_countLabel, 1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_parseButton);

    auto *layout = new QVBoxLayout(m_view);
    layout->addWidget(title);
    layout->addLayout(accountRow);
    layout->addLayout(statementRow);
    layout->addWidget(m_statementHint);
    layout->addWidget(m_statementNote);
    layout->addWidget(m_accountHint);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    m_view->resize(640, 420);
}

void TWImportTransactionsController::reset()
{
    view();
    m_accounts = m_business ? m_business->sortedAccounts() : TWAccountList();
    m_accountPopUp->clear();
    m_accountPopUp->addItem(TWLocalized("none"));
    m_accountPopUp->insertSeparator(1);
    for (const TWAccountPtr &account : std::as_const(m_accounts))
        m_accountPopUp->addItem(account ? account->name() : QString());
}

void TWImportTransactionsController::select()
{
    QPointer<TWImportTransactionsController> guard(this);
    QWidget *parent =
        m_document ? static_cast<QWidget *>(m_document->windowForSheet()) : m_view.data();
    twChooseImportPath(parent, false, [guard](const QString &path) {
        if (guard && !path.isEmpty())
            guard->importURL(QUrl::fromLocalFile(path));
    });
}

void TWImportTransactionsController::importURL(const QUrl &url)
{
    m_importURL = url;
    parse();
}

bool TWImportTransactionsController::generateImportSettings()
{
    m_parser.reset();
    TWErrorResult error;
    const std::optional<QByteArray> data = twReadImportFile(m_importURL.toLocalFile(), &error);
    if (!data) {
        presentError(*error);
        return false;
    }
    m_parser = parserForPath(m_importURL.toLocalFile());
    m_parser->parse(*data);
    m_settings = TWImportTransactionsSettings::importTransactionsSettingsWithColumns(
        m_parser->columns().value_or(QStringList()), m_defaultAccount, *m_business,
        m_parser->dateFormats());
    return true;
}

void TWImportTransactionsController::parse()
{
    view();
    if (!m_business)
        return;
    if (m_document)
        m_document->showProgress(true);
    TWFieldList targets = m_business->importFields();
    std::stable_sort(targets.begin(), targets.end(), [](const TWFieldPtr &a, const TWFieldPtr &b) {
        return a && b && a->compare(*b) < 0;
    });
    const bool read = generateImportSettings();
    // After a file that cannot be read nothing of an earlier file stays:
    // without rows there is nothing to map or parse.
    if (!read)
        m_settings.reset();
    if (m_settings)
        m_model->setMapping(m_settings, m_business, targets, m_accounts);
    else
        m_model->clear();

    updateStatements();
    int selected = 0;
    for (int i = 0; i < m_accounts.size(); ++i) {
        if (m_defaultAccount && m_accounts.at(i) &&
            m_accounts.at(i)->identifier() == m_defaultAccount->identifier())
            selected = i + 2;
    }
    m_accountPopUp->setCurrentIndex(selected);
    const qsizetype rows = m_parser ? m_parser->rows().size() : 0;
    m_countLabel->setText(QStringLiteral("%1 %2").arg(rows).arg(
        TWLocalized(rows == 1 ? "transactionLower" : "transactionsLower")));
    updateParseButton();
    if (m_document)
        m_document->showProgress(false);
    if (!read)
        return;
    // A file that gives no rows (not the format, a card statement, damaged)
    // is mapped like any other: its count says 0, and going on tells why
    // (the parser's notes come with the warnings).
    if (m_document)
        m_document->beginSheetWithView(m_view, true, true, {});
}

void TWImportTransactionsController::updateStatements()
{
    // The statements whose number names no account: the user says which of
    // them is the chosen account's; the others stay out.
    m_openStatements.clear();
    if (m_parser && m_business) {
        for (const QString &label : m_parser->statements()) {
            if (!TWImportTransactions::statementAccount(*m_business,
                                                        m_parser->statementNumbers().value(label),
                                                        m_parser->statementMarks().value(label)))
                m_openStatements.append(label);
        }
    }
    m_statementPopUp->clear();
    m_statementPopUp->addItem(TWLocalized("none"));
    for (const QString &label : std::as_const(m_openStatements))
        m_statementPopUp->addItem(label);
    // One statement of no named account beside named ones is the chosen
    // account's; of several, none is until the user says.
    m_statementPopUp->setCurrentIndex(m_openStatements.size() == 1 ? 1 : 0);
    const bool shown = !m_openStatements.isEmpty();
    m_statementPopUp->setVisible(shown);
    m_statementLabel->setVisible(shown);
    m_statementHint->setVisible(m_openStatements.size() > 1);
    updateStatementNote();
}

void TWImportTransactionsController::updateStatementNote()
{
    const QString note =
        m_parser && m_business
            ? TWImportTransactions::statementsNote(
                  *m_business, m_parser->statements(), m_parser->statementNumbers(),
                  m_parser->statementMarks(), chosenStatement(),
                  m_settings && m_settings->defaultAccount() ? m_settings->defaultAccount().get()
                                                             : nullptr)
            : QString();
    m_statementNote->setText(note);
    m_statementNote->setVisible(!note.isEmpty());
}

QString TWImportTransactionsController::chosenStatement() const
{
    const int index = m_statementPopUp ? m_statementPopUp->currentIndex() : 0;
    return index >= 1 ? m_openStatements.value(index - 1) : QString();
}

bool TWImportTransactionsController::needsAccount() const
{
    if (!m_settings || m_settings->defaultAccount())
        return false;
    // A file of several statements: only the chosen statement needs the
    // account; the others name theirs or stay out.
    if (m_parser && !m_parser->statements().isEmpty())
        return !chosenStatement().isEmpty();
    // A statement (OFX, a CSV of one account, a QIF section that names no
    // account) is of the account the user chooses: without one its lines
    // would land in whatever accounts were used last.
    if (m_parser && !m_parser->placeholderAccountNames().isEmpty())
        return true;
    for (const TWImportTransactionFieldPtr &line : m_settings->importFields()) {
        if (line && line->type() == TWImportFieldTypeField &&
            line->builtInIdentifier() == TWFieldIdentifierAccount1)
            return false;
    }
    return true;
}

void TWImportTransactionsController::updateParseButton()
{
    const bool needs = m_parser && needsAccount();
    m_accountHint->setVisible(needs);
    m_parseButton->setEnabled(m_settings && m_parser && m_settings->activeFieldCount() != 0 &&
                              !needs);
}

void TWImportTransactionsController::doPath(int row)
{
    const TWImportTransactionFieldPtr line = m_model->line(row);
    if (!line)
        return;
    QPointer<TWImportTransactionsController> guard(this);
    twChooseImportPath(m_view, true, [guard, line, row](const QString &path) {
        if (!guard || path.isEmpty())
            return;
        line->setFolderURL(QUrl::fromLocalFile(path));
        const QModelIndex index = guard->m_model->index(row, TWImportMappingModel::SettingsColumn);
        emit guard->m_model->dataChanged(index, index);
    });
}

void TWImportTransactionsController::doParse(int tag)
{
    if (tag != 1) {
        if (m_document)
            m_document->endSheet(m_view, TWSheetResult::Cancelled);
        emit endRequested(sheetReturnCode(TWSheetResult::Cancelled));
        m_parser.reset();
        m_importer.reset();
        return;
    }
    if (!m_business || !m_settings || !m_parser || needsAccount())
        return;
    // Every transaction moves money between two accounts.
    if (m_business->accounts().size() < 2) {
        twRunAlert(TWAlert{
            TWLocalized("importNoAccounts"), QString(), {TWLocalized("ok")}, m_view->window()});
        return;
    }
    if (m_document)
        m_document->showProgress(true);
    // The mapping is remembered by column name for the next file of its kind.
    QVariantMap stored = m_business->importTransactionsSettings();
    m_settings->storeInto(stored);
    m_business->setImportTransactionsSettings(stored);

    m_importer =
        TWImportTransactions::importTransactionsWithParser(*m_parser, m_settings, *m_business);
    m_importer->setChosenStatement(chosenStatement());
    bool createAccounts = false;
    for (const TWImportTransactionFieldPtr &line : m_settings->importFields()) {
        const qint32 identifier = line ? line->builtInIdentifier() : 0;
        createAccounts =
            createAccounts ||
            ((identifier == TWFieldIdentifierAccount1 || identifier == TWFieldIdentifierAccount2) &&
             line->type() == TWImportFieldTypeField && line->createIfNeeded());
    }
    if (createAccounts)
        missingAccounts();
    else
        process();
}

void TWImportTransactionsController::missingAccounts()
{
    const QStringList names = m_importer->missingAccounts();
    if (names.isEmpty()) {
        process();
        return;
    }
    if (m_document)
        m_document->showProgress(false);
    TWErrorResult error;
    const TWAccountList proposed =
        TWMissingAccountsController::accountsWithNames(*m_business, names, &error);
    if (error) {
        presentError(*error);
        return;
    }
    if (!m_missing)
        m_missing = new TWMissingAccountsController(this);
    m_missing->setBusinessController(m_document);
    m_missing->setBusiness(m_business);
    m_missing->setAccounts(proposed);
    m_missing->view();
    m_missing->reset();
    QPointer<TWImportTransactionsController> guard(this);
    const auto ended = [guard](int code) {
        // Declined: back at the mapping with nothing created.
        if (guard && code == TWSheetResult::Confirmed)
            guard->process();
    };
    if (m_document) {
        m_document->beginSheetWithView(m_missing->view(), true, true, ended);
    } else {
        // Without a document (tests) the sheet's own ending drives the step.
        connect(m_missing, &TWEditorController::endRequested, this, [ended, this](int code) {
            disconnect(m_missing, &TWEditorController::endRequested, this, nullptr);
            ended(code);
        });
    }
}

void TWImportTransactionsController::process()
{
    if (!m_importer)
        return;
    QString warnings;
    const bool ok = m_importer->processTransactions(&warnings);
    if (m_document)
        m_document->showProgress(false);
    // What the parser said about the file comes first.
    QPointer<TWImportTransactionsController> guard(this);
    twAskImportWarnings(m_parser ? m_parser->notes() : QStringList(), warnings, ok,
                        m_view->window(), [guard](bool goOn) {
                            if (!guard)
                                return;
                            if (goOn)
                                guard->showTransactions();
                            else
                                guard->m_importer.reset();
                        });
}

void TWImportTransactionsController::showTransactions()
{
    if (!m_importer)
        return;
    m_parser.reset();
    if (m_document)
        m_document->endSheet(m_view, TWSheetResult::Confirmed);
    emit endRequested(sheetReturnCode(TWSheetResult::Confirmed));
    if (!m_select)
        m_select = new TWImportTransactionsSelectController(this);
    m_select->setBusinessController(m_document);
    m_select->setBusiness(m_business);
    m_select->setTransactions(m_importer->transactions());
    m_select->setOpenCounterparts(m_importer->openCounterparts());
    m_select->setRefused(m_importer->refused());
    m_select->setUnlistedSplits(m_importer->unlistedSplits());
    m_select->update();
    m_importer.reset();
    twBeginImportSelection(m_document, m_select->view());
}

void TWImportTransactionsController::presentError(const TWError &error)
{
    emit errorPresented(error);
    if (m_document)
        m_document->presentError(error);
}

QObject *TWImportTransactionsController::selectionList(SelectionList list) const
{
    return m_select ? m_select->list(list) : nullptr;
}

bool TWImportTransactionsController::selectionListHasContextMenu(SelectionList list,
                                                                 QMenu *menu) const
{
    return m_select && m_select->listHasContextMenu(list, menu);
}

bool TWImportTransactionsController::selectionListHasFirstResponder(SelectionList list) const
{
    return m_select && m_select->listHasFirstResponder(list);
}

void TWImportTransactionsController::updateTransaction(const TWTransactionPtr &original,
                                                       const TWTransactionPtr &edited)
{
    if (m_select)
        m_select->updateTransaction(original, edited);
}
