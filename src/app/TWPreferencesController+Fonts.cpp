// The fonts pane (the export fonts, named so that the font resolver of layouts and exports
// reads them back) and the colours pane (the fifteen list colours).

#include "app/TWPreferencesController.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"

#include "platform/TWFontResolver.h"

#include <QColorDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>

#include <cmath>

namespace
{

constexpr double kShownFontSize = 14.0;

QString storedFontName(int tag)
{
    const TWPreferences &preferences = TWPreferences::preferences();
    switch (tag) {
    case 0:
        return preferences.normalExportFontName();
    case 1:
        return preferences.boldExportFontName();
    case 2:
        return preferences.italicExportFontName();
    }
    return QString();
}

double storedFontSize(int tag)
{
    const TWPreferences &preferences = TWPreferences::preferences();
    switch (tag) {
    case 3:
        return preferences.smallExportFontSize();
    case 4:
        return preferences.normalExportFontSize();
    case 5:
        return preferences.largeExportFontSize();
    }
    return 0;
}

// The colour keys of the wells, by tag.
const char *const kColourKeys[] = {
    "prefsTransactionColour", "prefsEstimateColour", "prefsProjectColour",   "prefsTaskColour",
    "prefsTaskItemColour",    "prefsExpenseColour",  "prefsInvoiceColour",   "prefsBillColour",
    "prefsClosedColour",      "prefsLockedColour",   "prefsCompletedColour", "prefsPaidColour",
    "prefsOverdueColour",     "prefsOweColour",      "prefsClearedColour"};
constexpr int kColourCount = 15;

void storeColour(int tag, const QColor &colour)
{
    TWPreferences &p = TWPreferences::preferences();
    switch (tag) {
    case 0:
        p.setTransactionColour(colour);
        break;
    case 1:
        p.setEstimateColour(colour);
        break;
    case 2:
        p.setProjectColour(colour);
        break;
    case 3:
        p.setTaskColour(colour);
        break;
    case 4:
        p.setTaskItemColour(colour);
        break;
    case 5:
        p.setExpenseColour(colour);
        break;
    case 6:
        p.setInvoiceColour(colour);
        break;
    case 7:
        p.setBillColour(colour);
        break;
    case 8:
        p.setClosedColour(colour);
        break;
    case 9:
        p.setLockedColour(colour);
        break;
    case 10:
        p.setCompletedColour(colour);
        break;
    case 11:
        p.setPaidColour(colour);
        break;
    case 12:
        p.setOverdueColour(colour);
        break;
    case 13:
        p.setOweColour(colour);
        break;
    case 14:
        p.setClearedColour(colour);
        break;
    }
}

} // namespace

QColor TWPreferencesController::colour(int tag)
{
    const TWPreferences &p = TWPreferences::preferences();
    switch (tag) {
    case 0:
        return p.transactionColour();
    case 1:
        return p.estimateColour();
    case 2:
        return p.projectColour();
    case 3:
        return p.taskColour();
    case 4:
        return p.taskItemColour();
    case 5:
        return p.expenseColour();
    case 6:
        return p.invoiceColour();
    case 7:
        return p.billColour();
    case 8:
        return p.closedColour();
    case 9:
        return p.lockedColour();
    case 10:
        return p.completedColour();
    case 11:
        return p.paidColour();
    case 12:
        return p.overdueColour();
    case 13:
        return p.oweColour();
    case 14:
        return p.clearedColour();
    }
    return QColor();
}

QWidget *TWPreferencesController::makeFontsPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("fontsView"));
    auto *grid = new QGridLayout(pane);
    grid->setContentsMargins(24, 20, 24, 20);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(10);

    const char *const nameKeys[] = {"prefsNormalFont", "prefsBoldFont", "prefsItalicFont"};
    for (int tag = 0; tag < 3; ++tag) {
        auto *label = new QLabel(TWLocalized(nameKeys[tag]), pane);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto *field = new QLineEdit(pane);
        field->setObjectName(QStringLiteral("fontNameField%1").arg(tag));
        field->setReadOnly(true);
        field->setMinimumWidth(260);
        field->setFocusPolicy(Qt::NoFocus);
        auto *button = new QPushButton(TWLocalized("prefsSelectFont"), pane);
        button->setObjectName(QStringLiteral("fontButton%1").arg(tag));
        connect(button, &QPushButton::clicked, this, [this, tag] { doFont(tag); });
        grid->addWidget(label, tag, 0);
        grid->addWidget(field, tag, 1);
        grid->addWidget(button, tag, 2);
        m_fontNameFields.insert(tag, field);
    }
    grid->setRowMinimumHeight(3, 8);
    const char *const sizeKeys[] = {"prefsSmallSize", "prefsNormalSize", "prefsLargeSize"};
    for (int tag = 3; tag < 6; ++tag) {
        auto *label = new QLabel(TWLocalized(sizeKeys[tag - 3]), pane);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto *field = new QLineEdit(pane);
        field->setObjectName(QStringLiteral("fontSizeField%1").arg(tag));
        field->setAlignment(Qt::AlignRight);
        field->setFixedWidth(60);
        // Read whole when the typing ends, never key by key ("10.5" under
        // de_DE once stored 10 on the way).
        connect(field, &QLineEdit::editingFinished, this,
                [this, tag] { fontSizeDidEndEditing(tag); });
        label->setBuddy(field);
        auto *points = new QLabel(TWLocalized("prefsPoints"), pane);
        grid->addWidget(label, tag + 1, 0);
        auto *box = new QHBoxLayout;
        box->addWidget(field);
        box->addWidget(points);
        box->addStretch();
        grid->addLayout(box, tag + 1, 1);
        m_fontSizeFields.insert(tag, field);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(7, 1);
    return pane;
}

QString TWPreferencesController::fontName(const QFont &font)
{
    const QFontInfo info(font);
    // A family installed by several foundries carries the foundry in brackets; the resolver
    // knows families only.
    QString name = info.family();
    static const QRegularExpression foundry(QStringLiteral("\\s*\\[[^\\]]*\\]$"));
    name.remove(foundry);
    if (info.bold() || font.weight() >= QFont::DemiBold)
        name += QStringLiteral(" Bold");
    if (info.italic() || font.italic())
        name += QStringLiteral(" Italic");
    return name;
}

void TWPreferencesController::updateFonts()
{
    for (int tag = 0; tag < 3; ++tag) {
        QLineEdit *field = m_fontNameFields.value(tag);
        const QString name = storedFontName(tag);
        const std::optional<QFont> font = TWFontResolver::fontWithName(name, kShownFontSize);
        if (!font) {
            field->setFont(QFont());
            field->setText(TWLocalized("missingFont"));
            continue;
        }
        field->setFont(*font);
        field->setText(fontName(*font));
    }
    // The size stored, its fraction too (10.5 shows as such, never as 11).
    for (int tag = 3; tag < 6; ++tag)
        m_fontSizeFields.value(tag)->setText(TWFormatter::formatter().doubleValueString(
            std::round(storedFontSize(tag) * 100) / 100));
}

void TWPreferencesController::doFont(int tag)
{
    if (tag < 0 || tag > 2)
        return;
    m_fontTag = tag;
    m_font = TWFontResolver::fontWithName(storedFontName(tag), kShownFontSize)
                 .value_or(QFont(QString(), int(kShownFontSize)));
    auto *dialog = new QFontDialog(m_font, m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFontDialog::DontUseNativeDialog);
    dialog->setObjectName(QStringLiteral("fontDialog"));
    connect(dialog, &QFontDialog::fontSelected, this,
            [this](const QFont &font) { changeFont(font); });
    dialog->open();
}

void TWPreferencesController::changeFont(const QFont &font)
{
    m_font = font;
    const QString name = fontName(font);
    TWPreferences &preferences = TWPreferences::preferences();
    switch (m_fontTag) {
    case 0:
        preferences.setNormalExportFontName(name);
        break;
    case 1:
        preferences.setBoldExportFontName(name);
        break;
    case 2:
        preferences.setItalicExportFontName(name);
        break;
    }
    updateFonts();
}

void TWPreferencesController::fontSizeDidEndEditing(int tag)
{
    QLineEdit *field = m_fontSizeFields.value(tag);
    if (!field || !field->isModified())
        return;
    const QString text = field->text();
    const std::optional<double> typed =
        text.trimmed().isEmpty() ? std::nullopt : TWFormatter::formatter().typedNumber(text);
    if (!typed || !std::isfinite(*typed)) {
        // Said once; the mark goes when the text is edited again. The size
        // stays as it was.
        if (!twIsRefused(field))
            twExplainTypedNumber(field);
        return;
    }
    field->setModified(false);
    const double size = std::clamp(*typed, kMinimumFontSize, kMaximumFontSize);
    TWPreferences &preferences = TWPreferences::preferences();
    switch (tag) {
    case 3:
        preferences.setSmallExportFontSize(size);
        break;
    case 4:
        preferences.setNormalExportFontSize(size);
        break;
    case 5:
        preferences.setLargeExportFontSize(size);
        break;
    }
    updateFonts();
}

QWidget *TWPreferencesController::makeColoursPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("coloursView"));
    auto *grid = new QGridLayout(pane);
    grid->setContentsMargins(24, 20, 24, 20);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    constexpr int kRows = 8;
    for (int tag = 0; tag < kColourCount; ++tag) {
        auto *well = new QPushButton(pane);
        well->setObjectName(QStringLiteral("colourWell%1").arg(tag));
        well->setFixedSize(52, 24);
        well->setIconSize(QSize(40, 14));
        connect(well, &QPushButton::clicked, this, [this, tag] {
            auto *dialog = new QColorDialog(
                colour(tag).isValid() ? colour(tag) : m_window->palette().color(QPalette::Text),
                m_window);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->setOption(QColorDialog::DontUseNativeDialog);
            dialog->setOption(QColorDialog::ShowAlphaChannel);
            connect(dialog, &QColorDialog::colorSelected, this,
                    [this, tag](const QColor &chosen) { doColourWell(tag, chosen); });
            dialog->open();
        });
        auto *label = new QLabel(TWLocalized(kColourKeys[tag]), pane);
        const int column = (tag / kRows) * 2;
        grid->addWidget(well, tag % kRows, column);
        grid->addWidget(label, tag % kRows, column + 1);
        m_colourWells.insert(tag, well);
    }
    grid->setColumnMinimumWidth(2, 40);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(kRows, 1);
    return pane;
}

void TWPreferencesController::doColourWell(int tag, const QColor &chosen)
{
    if (tag < 0 || tag >= kColourCount || !chosen.isValid())
        return;
    storeColour(tag, chosen);
    updateColours();
}

void TWPreferencesController::updateColours()
{
    for (int tag = 0; tag < kColourCount; ++tag) {
        QColor shown = colour(tag);
        // An unset colour stands for the system's text colour.
        if (!shown.isValid())
            shown = m_window->palette().color(QPalette::Text);
        QPixmap swatch(40, 14);
        swatch.fill(shown);
        QPainter painter(&swatch);
        painter.setPen(QColor(0, 0, 0, 90));
        painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
        painter.end();
        QPushButton *well = m_colourWells.value(tag);
        well->setIcon(QIcon(swatch));
        well->setProperty("colour", shown);
    }
}
