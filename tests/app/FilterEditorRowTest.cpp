// One row of the filter editor: the controls each kind of field gets and
// what the user's choices write into the criterion.

#include "../store/TWTransactionTestSupport.h"
#include "TWFilterTestSupport.h"
#include "TWTestSupport.h"

#include "app/TWTypedNumberField.h"
#include "foundation/TWClock.h"
#include "model/TWBuiltInFields.h"
#include "model/TWField.h"
#include "model/TWFieldItem.h"
#include "model/TWFormatter.h"
#include "store/TWTransactionSearch.h"

namespace
{

class FilterEditorRowTest : public TWFilterTest
{
protected:
    std::unique_ptr<TWFilterEditorRow> row(qint32 field)
    {
        criterion = twCriteriaForField(field, business());
        auto made = std::make_unique<TWFilterEditorRow>(criterion, &business());
        made->resize(600, TWFilterEditorRow::kRowHeight);
        made->update();
        return made;
    }
    TWFilterCriteriaPtr criterion;
};

// A count of 0 or text that is no number would turn "the next" into "the
// last" (the sign carries the direction): refused, the old count shows again.
TEST_F(FilterEditorRowTest, ACountBelowOneIsRefused)
{
    auto date = row(TWFieldIdentifierDate);
    choose(*date, date->view2(), -2);
    type(*date, date->view3(), QStringLiteral("4"));
    ASSERT_EQ(criterion->valueRelativeDate(), 4);
    for (const QString &typed :
         {QStringLiteral("0"), QStringLiteral("abc"), QString(), QStringLiteral("0.4")}) {
        type(*date, date->view3(), typed);
        EXPECT_EQ(criterion->valueRelativeDate(), 4) << typed;
        EXPECT_EQ(text(date->view3()), QStringLiteral("4")) << typed;
    }
    EXPECT_EQ(criterion->match(), 13u);
}

// What a rule compares with is read as every typed number; text that does
// not read leaves the rule as it was and the field marked for OK to name.
TEST_F(FilterEditorRowTest, NumbersAreReadAsEveryTypedNumberOrRefused)
{
    const qint32 km =
        twAddCustomField(business(), QStringLiteral("Km"), TWFieldTypeNumber)->identifier();
    // Locale, field, text, what the rule compares with (none: refused).
    for (const auto &[locale, field, typed, read] :
         QList<std::tuple<const char *, qint32, QString, std::optional<double>>>{
             {"de_DE", km, "1.5", std::nullopt},
             {"de_DE", km, "1,5", 1.5},
             {"fa_IR", km, "1,5", std::nullopt},
             {"fa_IR", km, QString::fromUtf8("\u06F1\u066B\u06F5"), 1.5},
             {"en_US", TWFieldIdentifierTotal, "1234,56", std::nullopt},
             {"en_US", TWFieldIdentifierTotal, "1,234.56", 123456},
             {"de_DE", TWFieldIdentifierIdentifier, "1,5", std::nullopt}}) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3").arg(locale).arg(field).arg(typed).toStdString());
        const TWLocaleGuard guard{QString::fromLatin1(locale)};
        auto made = row(field);
        const auto value = [&, field = field] {
            return field == km                       ? criterion->valueNumber()
                   : field == TWFieldIdentifierTotal ? double(criterion->valueCurrency())
                                                     : double(criterion->valueIdentifier());
        };
        const double before = value();
        type(*made, made->view3(), typed);
        EXPECT_DOUBLE_EQ(value(), read.value_or(before));
        EXPECT_EQ(twIsRefused(made->view3()), !read);
        EXPECT_EQ(twFieldName(made->view3()).isEmpty(), false);
    }
}

} // namespace
