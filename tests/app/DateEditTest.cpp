// Typing into the date fields: the text is read whole, in the locale's
// order, a "/" never skipping a part; unreadable text stores nothing and
// stays, marked; a click or Tab into a field selects its date. Also the table cells' date editors
// and the first size of a tall sheet.

#include "TWAppTestSupport.h"
#include "TWDateTypingSupport.h"
#include "TWZoneGuard.h"
#include "app/TWDateEdit.h"
#include "app/TWSheetGeometry.h"
#include "app/TWTypedNumberField.h"
#include "app/TWWindow.h"

#include "TWTestSupport.h"

#include <QApplication>
#include <QItemEditorFactory>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace
{

const QDateTime kShown(QDate(2026, 1, 15), QTime(9, 30));

struct Typed {
    const char *locale;
    const char *text;
    QDateTime expected; // invalid: refused, the field keeps kShown
};

// Each case in a fresh field of its locale.
QDateTime typeInto(QDateTimeEdit *field, const char *text)
{
    field->setDateTime(kShown);
    twTypeDate(field, QString::fromUtf8(text));
    return field->dateTime();
}

} // namespace

TEST(DateEditTest, ADateFieldReadsTypedTextInTheLocalesOrder)
{
    const QList<Typed> cases = {
        // The "/" after two month digits no longer jumps over the day.
        {"en_US", "10/5/26", QDateTime(QDate(2026, 10, 5), QTime(9, 30))},
        {"en_US", "10/05/2026", QDateTime(QDate(2026, 10, 5), QTime(9, 30))},
        {"en_US", "1/5/26", QDateTime(QDate(2026, 1, 5), QTime(9, 30))},
        {"en_US", "Oct 5, 2026", QDateTime(QDate(2026, 10, 5), QTime(9, 30))},
        {"en_US", "13/45/26", {}},
        {"en_US", "2/30/26", {}},
        {"en_US", "soon", {}},
        // Read whole, never from its start: a second date run on after the
        // first, a time the field does not show, a stray word.
        {"en_US", "10/5/2611/1/26", {}},
        {"en_US", "10/5/26 3:04 PM", {}},
        {"en_US", "10/5/26 soon", {}},
        // A four-digit year first is ISO's year, month, day in any locale.
        {"en_US", "2026-10-05", QDateTime(QDate(2026, 10, 5), QTime(9, 30))},
        {"de_DE", "2026-10-05", QDateTime(QDate(2026, 10, 5), QTime(9, 30))},
        {"en_US", "Monday, Oct 5, 2026", QDateTime(QDate(2026, 10, 5), QTime(9, 30))},
        {"en_GB", "5/10/26", QDateTime(QDate(2026, 10, 5), QTime(9, 30))},
        {"en_GB", "5 October 2026", QDateTime(QDate(2026, 10, 5), QTime(9, 30))},
        {"de_DE", "5.10.26", QDateTime(QDate(2026, 10, 5), QTime(9, 30))},
        {"de_DE", "05.10.2026", QDateTime(QDate(2026, 10, 5), QTime(9, 30))},
        {"de_DE", "5. Okt. 2026", QDateTime(QDate(2026, 10, 5), QTime(9, 30))},
    };
    for (const Typed &typed : cases) {
        SCOPED_TRACE(std::string(typed.locale) + " " + typed.text);
        TWLocaleGuard locale{QString::fromLatin1(typed.locale)};
        TWDateEdit field(kShown.date());
        field.setDateTime(kShown);
        QSignalSpy changes(&field, &QDateTimeEdit::dateChanged);
        const QDateTime read = typeInto(&field, typed.text);
        // A date field keeps the time its date carried.
        EXPECT_EQ(read, typed.expected.isValid() ? typed.expected : kShown);
        EXPECT_EQ(changes.size(), typed.expected.isValid() ? 1 : 0);
        // Refused text stays to be mended, marked, never the old date shown.
        EXPECT_EQ(field.text(),
                  typed.expected.isValid()
                      ? QLocale().toString(read, QLocale().dateFormat(QLocale::ShortFormat))
                      : QString::fromUtf8(typed.text));
        EXPECT_EQ(twIsRefused(&field), !typed.expected.isValid());
    }
}

TEST(DateEditTest, ADateAndTimeFieldReadsAmPmAndTheTwentyFourHourClock)
{
    const QList<Typed> cases = {
        {"en_US", "10/5/26 3:04 PM", QDateTime(QDate(2026, 10, 5), QTime(15, 4))},
        {"en_US", "10/5/26 12:15 am", QDateTime(QDate(2026, 10, 5), QTime(0, 15))},
        {"en_US", "10/5/26 13:04 PM", {}},
        {"en_US", "10/5/2611/1/26", {}},
        {"en_GB", "05/10/2026 15:04", QDateTime(QDate(2026, 10, 5), QTime(15, 4))},
        {"de_DE", "5.10.26 7:45", QDateTime(QDate(2026, 10, 5), QTime(7, 45))},
    };
    for (const Typed &typed : cases) {
        SCOPED_TRACE(std::string(typed.locale) + " " + typed.text);
        TWLocaleGuard locale{QString::fromLatin1(typed.locale)};
        TWDateTimeEdit field;
        EXPECT_EQ(typeInto(&field, typed.text), typed.expected.isValid() ? typed.expected : kShown);
    }
}

// What Save says of a refused date: the field's own example, whole on one
// line, and one full stop where the example ends in one ("Μ.Μ."). The
// example's day period reads back typed in Latin letters that look the same.
TEST(DateEditTest, ARefusedDateGivesItsExampleOnceOnOneLine)
{
    const QDateTime example(QDate(2026, 10, 5), QTime(14, 30));
    for (const char *name : {"el_GR", "fr_CA", "en_US"}) {
        SCOPED_TRACE(name);
        TWLocaleGuard locale{QString::fromLatin1(name)};
        QWidget form;
        auto *field = new TWDateTimeEdit(&form);
        field->setDateTime(kShown);
        TWAlertRecorder alerts;
        twTypeDate(field, QStringLiteral("5/10/26 x"));
        ASSERT_TRUE(twExplainFirstRefusedField(&form));
        ASSERT_EQ(alerts.messages.size(), 1);
        const QString message = alerts.messages.constFirst();
        const QString shown = QLocale().toString(example, field->displayFormat());
        EXPECT_TRUE(message.contains(QString(shown).replace(u' ', QChar(0x00A0))))
            << message.toStdString();
        EXPECT_FALSE(message.endsWith(QStringLiteral(".."))) << message.toStdString();
        EXPECT_TRUE(message.endsWith(u'.')) << message.toStdString();
        EXPECT_EQ(typeInto(field, QString(shown).replace(QChar(0x039C), u'M').toUtf8().constData()),
                  example);
    }
}

TEST(DateEditTest, ATimeFieldReadsTheLocalesShortTime)
{
    const QList<Typed> cases = {
        {"en_US", "3:04 pm", QDateTime(kShown.date(), QTime(15, 4))},
        {"en_US", "12:30 AM", QDateTime(kShown.date(), QTime(0, 30))},
        {"en_US", "25:10", {}},
        {"de_DE", "15:04", QDateTime(kShown.date(), QTime(15, 4))},
    };
    for (const Typed &typed : cases) {
        SCOPED_TRACE(std::string(typed.locale) + " " + typed.text);
        TWLocaleGuard locale{QString::fromLatin1(typed.locale)};
        TWTimeEdit field;
        EXPECT_EQ(field.displayFormat(), QLocale().timeFormat(QLocale::ShortFormat));
        EXPECT_EQ(typeInto(&field, typed.text).time(),
                  (typed.expected.isValid() ? typed.expected : kShown).time());
    }
}

TEST(DateEditTest, ANewDateFieldShowsTheApplicationsToday)
{
    // The clock the rest of the application reads, not the system's.
    const TWFixedClock clock(2019, 2, 3);
    EXPECT_EQ(TWDateEdit().date(), QDate(2019, 2, 3));
}

TEST(DateEditTest, ReturnOnUnreadableTextKeepsTheTextAndGoesNoFurther)
{
    TWLocaleGuard locale{QStringLiteral("en_US")};
    QWidget form;
    auto *field = new TWDateEdit(&form);
    field->setDate(kShown.date());
    int returns = 0;
    // What a sheet's default button would hear.
    struct ReturnSpy : QObject {
        int *count;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::KeyPress &&
                static_cast<QKeyEvent *>(event)->key() == Qt::Key_Return)
                ++*count;
            return false;
        }
    } spy;
    spy.count = &returns;
    form.installEventFilter(&spy);

    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, QStringLiteral("10/45/26"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(returns, 0);
    EXPECT_EQ(field->date(), kShown.date());
    EXPECT_EQ(field->text(), QStringLiteral("10/45/26"));

    // Mended and entered, the date is read and Return goes on to the form.
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, QStringLiteral("10/4/26"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(field->date(), QDate(2026, 10, 4));
    EXPECT_EQ(returns, 1);

    // Escape while typing shows the date again.
    QTest::keyClicks(field, QStringLiteral("12"));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(field->text(), QStringLiteral("10/4/26"));
    EXPECT_EQ(field->date(), QDate(2026, 10, 4));
}

TEST(DateEditTest, AClickIntoAFilledFieldSelectsItsDateSoTypingReplacesIt)
{
    TWLocaleGuard locale{QStringLiteral("en_US")};
    QWidget form;
    auto *layout = new QVBoxLayout(&form);
    auto *field = new TWDateEdit(QDate(2026, 11, 1), &form);
    auto *next = new QLineEdit(&form);
    layout->addWidget(field);
    layout->addWidget(next);
    ASSERT_TRUE(twActivate(&form));
    next->setFocus();

    twClickAndTypeDate(field, QStringLiteral("10/5/26"));
    EXPECT_EQ(field->date(), QDate(2026, 10, 5));
    EXPECT_EQ(field->text(), QStringLiteral("10/5/26"));
    EXPECT_EQ(QApplication::focusWidget(), next);

    // Back by Tab the whole text is selected too.
    QTest::keyClick(next, Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), field);
    EXPECT_EQ(field->findChild<QLineEdit *>()->selectedText(), field->text());
}

TEST(DateEditTest, ArrowKeysStillStepAndTypingBeforeThemIsReadFirst)
{
    TWLocaleGuard locale{QStringLiteral("en_US")};
    TWDateEdit field(kShown.date());
    QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(&field, QStringLiteral("3/9/26"));
    QTest::keyClick(&field, Qt::Key_Up);
    // The typed date (stepped on in whichever part Qt's editor steps).
    EXPECT_GE(field.date(), QDate(2026, 3, 9));
    EXPECT_LE(field.date(), QDate(2027, 3, 9));
}

TEST(DateEditTest, TableCellsEditDatesWithTheSameFields)
{
    TWInstallDateEditorFactory();
    const QItemEditorFactory *factory = QItemEditorFactory::defaultFactory();
    QWidget parent;
    QWidget *date = factory->createEditor(QMetaType::QDate, &parent);
    QWidget *moment = factory->createEditor(QMetaType::QDateTime, &parent);
    QWidget *text = factory->createEditor(QMetaType::QString, &parent);
    EXPECT_TRUE(qobject_cast<TWDateEdit *>(date));
    EXPECT_TRUE(qobject_cast<TWDateTimeEdit *>(moment));
    EXPECT_TRUE(qobject_cast<QLineEdit *>(text));
    EXPECT_EQ(factory->valuePropertyName(QMetaType::QDate), QByteArray("date"));

    // A cell's typed date reaches the model when Tab or Return ends the edit.
    TWLocaleGuard locale{QStringLiteral("en_GB")};
    QStandardItemModel model(2, 1);
    model.setData(model.index(0, 0), QDate(2026, 1, 15), Qt::EditRole);
    model.setData(model.index(1, 0), QDate(2026, 1, 15), Qt::EditRole);
    QTableView table;
    table.setModel(&model);
    table.show();
    QApplication::setActiveWindow(&table);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&table));
    for (const auto &[row, key] : {std::pair{0, Qt::Key_Tab}, std::pair{1, Qt::Key_Return}}) {
        table.edit(model.index(row, 0));
        auto *cell = table.viewport()->findChild<TWDateEdit *>();
        ASSERT_TRUE(cell);
        QTest::keyClick(cell, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(cell, QStringLiteral("5/10/26"));
        QTest::keyClick(cell, key);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(model.data(model.index(row, 0), Qt::EditRole).toDate(), QDate(2026, 10, 5));
    }
}

TEST(DateEditTest, ASheetsFirstSizeKeepsWithinTheScreenDownToItsMinimum)
{
    const QSize minimum(370, 400);
    // The task import's selection on a 1440 x 900 screen (less the bar).
    EXPECT_EQ(TWSheetFirstSize(QSize(900, 960), minimum, QSize(1440, 860)), QSize(900, 860));
    EXPECT_EQ(TWSheetFirstSize(QSize(1000, 760), minimum, QSize(1024, 670)), QSize(1000, 670));
    EXPECT_EQ(TWSheetFirstSize(QSize(1000, 760), minimum, QSize(1440, 860)), QSize(1000, 760));
    // A screen smaller than the minimum: the minimum wins.
    EXPECT_EQ(TWSheetFirstSize(QSize(900, 960), minimum, QSize(300, 350)), minimum);
    // No screen known: as wanted.
    EXPECT_EQ(TWSheetFirstSize(QSize(900, 960), minimum, QSize()), QSize(900, 960));
}

TEST(DateEditTest, ASheetIsCentredOnItsParentButItsTitleBarNeverLeavesTheScreen)
{
    const QRect screen(0, 0, 1024, 700);
    // Room around it: centred on the parent.
    EXPECT_EQ(TWSheetFramePosition(QSize(640, 400), QRect(0, 0, 1024, 700), screen),
              QPoint(192, 150));
    // A parent whose title bar lies above the screen (taller than it): the
    // sheet's frame starts at the screen's top, not above it.
    EXPECT_EQ(TWSheetFramePosition(QSize(860, 695), QRect(0, -22, 1024, 722), screen),
              QPoint(82, 0));
    // A parent near an edge: the sheet stays within the screen.
    EXPECT_EQ(TWSheetFramePosition(QSize(640, 400), QRect(700, 500, 600, 300), screen),
              QPoint(384, 300));
    // Taller than the screen: the top (its title bar) wins.
    EXPECT_EQ(TWSheetFramePosition(QSize(640, 800), QRect(0, 0, 1024, 700), screen).y(), 0);
}

class DateEditSheetTest : public TWAppTest
{
};

TEST_F(DateEditSheetTest, ASheetTallerThanTheScreenOpensWithinIt)
{
    std::unique_ptr<TWBusinessController> document = newDocument();
    document->makeWindowControllers();
    document->showWindows();
    const QSize available = TWSheetAvailableSize(document->windowForSheet());
    ASSERT_TRUE(available.isValid());

    for (const bool resize : {true, false}) {
        SCOPED_TRACE(resize);
        QWidget view;
        view.setMinimumSize(200, available.height() + 300);
        view.resize(500, available.height() + 300);
        document->beginSheetWithView(&view, resize, true, {});
        TWWindow *sheet = document->innermostSheet();
        ASSERT_TRUE(sheet);
        EXPECT_LE(sheet->height(), available.height());
        EXPECT_GE(sheet->height(), 400);
        if (resize) {
            EXPECT_GE(sheet->width(), 370);
        }
        document->endSheet(&view, -1001);
    }

    // A sheet that fits opens at its own size.
    QWidget small;
    small.resize(420, 450);
    document->beginSheetWithView(&small, true, true, {});
    EXPECT_EQ(document->innermostSheet()->size(), QSize(420, 450));
    document->endSheet(&small, -1001);
}

// A typed date is the calendar day typed in every zone, also where the clock
// skips its midnight; a time the clock skips that day is refused as such.
TEST(DateEditTest, ATypedDayIsThatDayInEveryZone)
{
    TWLocaleGuard locale{QStringLiteral("en_US")};
    for (const char *name : {"Europe/Berlin", "America/Santiago"}) {
        SCOPED_TRACE(name);
        const TWZoneGuard zone(name);
        TWDateEdit field(QDate(2026, 1, 15));
        for (const QDate day : {QDate(2026, 3, 15), QDate(2026, 9, 6)}) {
            twTypeDate(&field, QLocale().toString(day, QLocale::ShortFormat));
            EXPECT_EQ(field.date(), day);
        }
    }
    const TWZoneGuard zone("Europe/Berlin");
    QWidget form;
    auto *field = new TWDateTimeEdit(&form);
    field->setDateTime(kShown);
    TWAlertRecorder alerts;
    twTypeDate(field, QStringLiteral("3/29/26 2:30 AM"));
    EXPECT_EQ(field->dateTime(), kShown);
    ASSERT_TRUE(twExplainFirstRefusedField(&form));
    ASSERT_EQ(alerts.messages.size(), 1);
    EXPECT_TRUE(alerts.messages.constFirst().contains(TWLocalized("timeSkippedByClock")));
}
