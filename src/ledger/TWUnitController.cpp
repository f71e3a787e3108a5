#include "ledger/TWUnitController.h"

#include "ledger/TWUnitsUsage.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace
{

constexpr int kMaximumDecimalPlaces = 6;

} // namespace

TWUnitController::TWUnitController(QObject *parent)
    : TWLazyViewController<TWEditorController>(parent)
{
}

TWUnitController::~TWUnitController()
{
    // The view is taken out of its sheet after each use and so has no parent.
    delete m_view.data();
}

void TWUnitController::build()
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("TWUnit"));
    auto *form = new QFormLayout;
    m_favourite = new QCheckBox(
        TWLocalized(TWFormatter::formatter().isUS() ? "favorite" : "favourite"), view);
    m_name = new QLineEdit(view);
    m_description = new QLineEdit(view);
    m_newCode = new QLineEdit(view);
    m_newCode->setMaxLength(3);
    m_editCode = new QLabel(view);
    m_symbol = new QLineEdit(view);
    m_decimalPlaces = new QLineEdit(view);
    m_rate = new QLineEdit(view);
    auto *codes = new QHBoxLayout;
    codes->setContentsMargins(0, 0, 0, 0);
    codes->addWidget(m_newCode);
    codes->addWidget(m_editCode);
    form->addRow(TWLocalized("unitName"), m_name);
    form->addRow(TWLocalized("unitDescription"), m_description);
    form->addRow(TWLocalized("unitCode"), codes);
    form->addRow(TWLocalized("unitSymbol"), m_symbol);
    form->addRow(TWLocalized("unitDecimalPlaces"), m_decimalPlaces);
    form->addRow(TWLocalized("unitRate"), m_rate);
    form->addRow(QString(), m_favourite);

    m_cancel = new QPushButton(TWLocalized("cancel"), view);
    m_save = new QPushButton(TWLocalized("save"), view);
    m_save->setDefault(true);
    m_save->setProperty("tag", 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    auto *layout = new QVBoxLayout(view);
    layout->addLayout(form);
    layout->addLayout(buttons);
    view->setMinimumWidth(380);

    connect(m_rate, &QLineEdit::textEdited, this, [this] { m_rateEdited = true; });
    connect(m_favourite, &QCheckBox::toggled, this, [this](bool on) {
        if (m_editUnit)
            m_editUnit->setFavourite(on);
    });
    connect(m_save, &QPushButton::clicked, this, [this] { doSave(1); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { doSave(0); });
    m_view = view;
    // The sheet around it says what it is.
    m_view->setWindowTitle(TWLocalized("sheetTitleUnit"));
}

bool TWUnitController::isHomeUnit() const
{
    const TWUnitPtr home = m_business ? m_business->homeUnit() : nullptr;
    return home && m_editUnit && home->isEqual(*m_editUnit);
}

void TWUnitController::update()
{
    view();
    m_saved = false;
    m_editUnit = m_unit ? m_unit->copy() : nullptr;
    updateUI();
}

void TWUnitController::updateUI()
{
    if (!m_view || !m_editUnit)
        return;
    const TWUnit &unit = *m_editUnit;
    const QSignalBlocker blocker(m_favourite);
    m_favourite->setChecked(unit.favourite());
    m_name->setText(unit.name());
    m_description->setText(unit.description());
    m_symbol->setText(unit.symbol());
    m_decimalPlaces->setText(TWFormatter::formatter().locale().toString(unit.decimalPlaces()));
    const TWUnitPtr home = m_business ? m_business->homeUnit() : nullptr;
    m_rate->setText(TWFormatter::formatter().homeUnitRateString(&unit, home.get()));
    m_rate->setEnabled(!isHomeUnit());
    m_rateEdited = false;
    const bool isNew = m_mode == TWEditorMode::New;
    m_newCode->setText(isNew ? unit.code() : QString());
    m_editCode->setText(isNew ? QString() : unit.code());
    m_newCode->setVisible(isNew);
    m_editCode->setVisible(!isNew);
    m_name->setFocus();
}

double TWUnitController::storedRate(double typed, const TWUnit &unit, const TWUnit *homeUnit)
{
    const double homeRate = homeUnit ? homeUnit->rate() : 1.0;
    if (!std::isfinite(typed) || typed <= 0 || !std::isfinite(homeRate) || homeRate <= 0)
        return 0;
    if (unit.type() == TWUnitTypeMileage)
        return homeRate / typed;
    return typed * homeRate;
}

void TWUnitController::showAlert(const QString &key)
{
    twRunNotice(TWLocalized(key), m_view ? m_view->window() : nullptr);
}

bool TWUnitController::commitFields()
{
    TWUnit &unit = *m_editUnit;
    const auto text = [](const QLineEdit *field) {
        return field->text().isEmpty() ? QString() : field->text();
    };
    unit.setName(text(m_name));
    unit.setDescription(text(m_description));
    unit.setSymbol(text(m_symbol));
    if (m_mode == TWEditorMode::New)
        unit.setCode(m_newCode->text());
    unit.setFavourite(m_favourite->isChecked());
    if (m_rateEdited && !isHomeUnit()) {
        // Read as every typed number: "1.5" under de_DE is no rate of 15.
        const std::optional<double> typed = TWFormatter::formatter().typedNumber(m_rate->text());
        if (!typed) {
            twExplainTypedNumber(m_rate);
            return false;
        }
        const TWUnitPtr home = m_business ? m_business->homeUnit() : nullptr;
        unit.setRate(storedRate(*typed, unit, home.get()));
    }
    return true;
}

void TWUnitController::doSave(int tag)
{
    if (!m_view || !m_editUnit)
        return;
    if (QWidget *focus = m_view->focusWidget())
        focus->clearFocus();
    if (tag != 1) {
        end(TWSheetResult::Cancelled);
        return;
    }
    if (!commitFields())
        return;
    TWUnit &unit = *m_editUnit;
    if (!std::isfinite(unit.rate()) || unit.rate() <= 0) {
        showAlert(QStringLiteral("unitRateZeroMessage"));
        return;
    }
    if (m_mode == TWEditorMode::New) {
        if (unit.code().size() != 3) {
            showAlert(QStringLiteral("unitCodeLengthWrongMessage"));
            return;
        }
        // "eur" beside "EUR" would be a second unit for the same code in
        // every lookup that ignores case (conversions, imports).
        if (m_business)
            for (const TWUnitPtr &other : m_business->units())
                if (other && other->code().compare(unit.code(), Qt::CaseInsensitive) == 0) {
                    showAlert(QStringLiteral("unitCodeNotUniqueMessage"));
                    return;
                }
    }
    const std::optional<qint64> typedPlaces =
        twReadWholeNumber(m_decimalPlaces, 0, kMaximumDecimalPlaces);
    if (!typedPlaces)
        return;
    const int places = int(*typedPlaces);
    // Stored amounts are whole minor units: new places on a unit in use would
    // rescale every one of them. Business totals are counted in the home
    // unit, so any transaction puts it in use.
    if (m_mode == TWEditorMode::Existing && m_unit && places != m_unit->decimalPlaces() &&
        m_business &&
        (twUnitsUsage(*m_business, *m_unit).inUse() ||
         (isHomeUnit() && !m_business->transactions().isEmpty()))) {
        showAlert(QStringLiteral("unitDecimalPlacesInUseMessage"));
        return;
    }
    unit.setDecimalPlaces(std::uint8_t(places));
    unit.setLastUpdatedDate(TWClock::now());
    if (m_business) {
        TWErrorResult error = m_mode == TWEditorMode::Existing
                                  ? m_business->updateUnit(m_editUnit, true)
                                  : m_business->addUnit(m_editUnit, true);
        if (error) {
            if (m_document)
                m_document->presentError(*error);
            return;
        }
    }
    m_saved = true;
    if (m_document)
        m_document->updateChangeCount(0);
    end(TWSheetResult::Confirmed);
}

void TWUnitController::end(TWSheetResult result)
{
    if (m_document)
        m_document->endSheet(m_view, result);
    emit endRequested(sheetReturnCode(result));
}
