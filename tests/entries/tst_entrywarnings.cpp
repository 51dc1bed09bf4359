#include "data/datamodule.h"
#include "data/sqlexec.h"
#include "shop/entrywarnings.h"
#include "testsupport/databasetest.h"
#include "testsupport/shop.h"

#include <QTest>

#include <memory>

using namespace tabel;

// The warnings before a save: each rule at its limits, the shop's figures they are measured against
// (read from the real database, the entry being edited left out), the limits the settings give, and
// the note a saved-anyway entry leaves in the history.
class TestEntryWarnings : public test::DatabaseTest
{
    Q_OBJECT
    std::unique_ptr<DataModule> data;
    PreparedStatement figures;
    int ivanov = 0, petrov = 0, product = 0, cutting = 0, bending = 0;
    const QDate kDay{2023, 3, 15};

    EntryDraft draft(int quantity, int rejects = 0, int hours = 8)
    {
        EntryDraft d = test::cuttingDraft(ivanov, product, cutting, hours, kDay, kDay);
        d.quantity = QString::number(quantity);
        d.rejects = QString::number(rejects);
        return d;
    }
    QList<EntryWarning> warningsFor(const EntryDraft &d, const WarningLimits &limits = {})
    {
        QString refusal;
        const auto numbers = EntryStore::checked(d, &refusal);
        if (!numbers)
            qFatal("draft refused: %s", qPrintable(refusal));
        return entryWarnings(d, *numbers, readEntryContext(figures, &data->connection(), d, limits), limits);
    }
    static QString texts(const QList<EntryWarning> &warnings)
    {
        QStringList out;
        for (const EntryWarning &w : warnings)
            out << w.text;
        return out.join(QLatin1Char('\n'));
    }

private Q_SLOTS:
    void init()
    {
        db->clear();
        std::tie(ivanov, petrov, product, cutting) = test::cuttingShop(*db);
        test::Shop shop(*db);
        bending = shop.operation(product, shop.kind(QStringLiteral("Гибка")), 0, {10});
        data = std::make_unique<DataModule>();
        db->connectModule(*data);
    }
    void cleanup()
    {
        figures.release();
        data.reset();
    }

    // One rule at a time, on a shop of the given earlier entries; each limit just below and just
    // above. Shops: "" none; "mine5"/"mine4": 5 or 4 of Ivanov's cutting entries in the previous 90
    // days, largest 10; "shop5": 5 cutting entries of Petrov's, largest 20; "old": 5 of Ivanov's
    // cutting entries 91 days before, largest 1; "shifts": Ivanov's cutting in shifts 2 and 4 of the
    // day and 6 hours of bending in shift 3; "other op": Ivanov's bending in shift 2 of the day.
    void rules_data()
    {
        QTest::addColumn<QString>("shop");
        QTest::addColumn<int>("quantity");
        QTest::addColumn<int>("rejects");
        QTest::addColumn<int>("hours");
        QTest::addColumn<int>("daysFromToday"); // the entry's date against today
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("field"); // the first field concerned, -1 for none

        const int none = -1;
        QTest::newRow("plain") << "" << 10 << 0 << 8 << 0 << "" << none;
        QTest::newRow("rejects as many as pieces") << "" << 10 << 10 << 8 << 0 << "" << none;
        QTest::newRow("rejects above pieces")
            << "" << 10 << 11 << 8 << 0 << "брак (11) больше количества (10)." << int(EntryField::Rejects);
        QTest::newRow("12 hours") << "" << 10 << 0 << 12 << 0 << "" << none;
        QTest::newRow("13 hours") << "" << 10 << 0 << 13 << 0 << "время 13 ч на одной позиции больше 12 ч."
                                  << int(EntryField::Hours);
        QTest::newRow("16 hours a day") << "shifts" << 10 << 0 << 5 << 0
                                        << "этот работник на этой операции за 15.03.2023 уже записан в смене "
                                           "2 и в переработке."
                                        << int(EntryField::Operation);
        QTest::newRow("17 hours a day")
            << "shifts" << 10 << 0 << 6 << 0
            << "у работника за день во всех сменах будет 17 ч, больше 16 ч;\n"
               "этот работник на этой операции за 15.03.2023 уже записан в смене 2 и в переработке."
            << int(EntryField::Operation);
        QTest::newRow("another operation in another shift") << "other op" << 10 << 0 << 8 << 0 << "" << none;
        QTest::newRow("3 times the worker's largest") << "mine5" << 30 << 0 << 8 << 0 << "" << none;
        QTest::newRow("above 3 times the worker's largest")
            << "mine5" << 31 << 0 << 8 << 0
            << "количество 31 больше чем в 3 раза превышает наибольшее у этого работника на этой "
               "операции за 90 дн. (10)."
            << int(EntryField::Quantity);
        QTest::newRow("4 earlier entries say nothing") << "mine4" << 31 << 0 << 8 << 0 << "" << none;
        QTest::newRow("an entry without pieces does not count")
            << "mine5, one empty" << 31 << 0 << 8 << 0 << "" << none;
        QTest::newRow("entries before 90 days say nothing") << "old" << 31 << 0 << 8 << 0 << "" << none;
        QTest::newRow("3 times the shop's largest") << "shop5" << 60 << 0 << 8 << 0 << "" << none;
        QTest::newRow("above 3 times the shop's largest")
            << "shop5" << 61 << 0 << 8 << 0
            << "количество 61 больше чем в 3 раза превышает наибольшее в цехе на этой операции за 90 дн. "
               "(20)."
            << int(EntryField::Quantity);
        QTest::newRow("today") << "" << 10 << 0 << 8 << 0 << "" << none;
        QTest::newRow("tomorrow") << "" << 10 << 0 << 8 << 1 << "дата 16.03.2023 позже сегодняшней."
                                  << int(EntryField::Date);
        QTest::newRow("45 days ago") << "" << 10 << 0 << 8 << -45 << "" << none;
        QTest::newRow("46 days ago") << "" << 10 << 0 << 8 << -46
                                     << "дата 28.01.2023 раньше сегодняшней больше чем на 45 дн."
                                     << int(EntryField::Date);
        QTest::newRow("everything at once")
            << "mine5" << 40 << 41 << 13 << 0
            << "брак (41) больше количества (40);\n"
               "время 13 ч на одной позиции больше 12 ч;\n"
               "количество 40 больше чем в 3 раза превышает наибольшее у этого работника на этой "
               "операции за 90 дн. (10)."
            << int(EntryField::Quantity);
    }
    void rules()
    {
        QFETCH(QString, shop);
        QFETCH(int, quantity);
        QFETCH(int, rejects);
        QFETCH(int, hours);
        QFETCH(int, daysFromToday);
        QFETCH(QString, expected);
        QFETCH(int, field);
        test::Shop s(*db);
        auto earlier = [&](int worker, int count, int largest, int daysBack) {
            for (int i = 0; i < count; ++i)
                s.entry({kDay.addDays(-daysBack - i), 1, worker, cutting, i == 0 ? largest : 1, 0, 1, 1});
        };
        if (shop == QLatin1String("mine5"))
            earlier(ivanov, 5, 10, 86); // 86 to 90 days before
        else if (shop == QLatin1String("mine5, one empty")) {
            earlier(ivanov, 5, 10, 1);
            db->exec(QStringLiteral(
                "update accounts_dep.smena set kol_vo = null where kol_vo = 1 and id = (select "
                "max(id) from accounts_dep.smena)"));
        } else if (shop == QLatin1String("mine4"))
            earlier(ivanov, 4, 10, 1);
        else if (shop == QLatin1String("shop5"))
            earlier(petrov, 5, 20, 1);
        else if (shop == QLatin1String("old"))
            earlier(ivanov, 5, 1, 91);
        else if (shop == QLatin1String("shifts")) {
            s.entry({kDay, 2, ivanov, cutting, 5, 0, 1, 5});
            s.entry({kDay, 4, ivanov, cutting, 5, 0, 1, 0});
            s.entry({kDay, 3, ivanov, bending, 5, 0, 1, 6});
            s.entry({kDay, 1, petrov, cutting, 5, 0, 1, 8}); // another worker's day
        } else if (shop == QLatin1String("other op"))
            s.entry({kDay, 2, ivanov, bending, 5, 0, 1, 8});
        // The entry's date moves; today stays.
        EntryDraft d = draft(quantity, rejects, hours);
        d.date = kDay.addDays(daysFromToday);
        const QList<EntryWarning> warnings = warningsFor(d);
        QCOMPARE(texts(warnings), expected);
        if (field >= 0) {
            const EntryField first = std::min_element(warnings.begin(), warnings.end(),
                                                      [](const EntryWarning &a, const EntryWarning &b) {
                                                          return a.field < b.field;
                                                      })
                                         ->field;
            QCOMPARE(int(first), field);
        }
    }

    // The entry being edited is not its own earlier entry, another shift, or part of the day's hours.
    void anEditLeavesItselfOut()
    {
        test::Shop s(*db);
        const int own = s.entry({kDay, 2, ivanov, cutting, 100, 0, 1, 15});
        EntryDraft d = draft(30, 0, 12);
        d.shift = 1;
        d.entryId = own; // moved from shift 2 to shift 1, its hours mended
        QCOMPARE(texts(warningsFor(d)), QString());
        d.entryId.reset(); // a new entry beside it
        QCOMPARE(texts(warningsFor(d)),
                 QStringLiteral("у работника за день во всех сменах будет 27 ч, больше 16 ч;\n"
                                "этот работник на этой операции за 15.03.2023 уже записан в смене 2."));
    }

    // The limits the settings file gives, each key alone; a value that is no number, or out of
    // reason, keeps the default.
    void limitsFromSettings_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("limits"); // entry day factor days entries past
        QTest::newRow("none") << ""
                              << ""
                              << "12 16 3 90 5 45";
        QTest::newRow("entry hours") << "entry_hours"
                                     << "10"
                                     << "10 16 3 90 5 45";
        QTest::newRow("day hours") << "day_hours"
                                   << "20"
                                   << "12 20 3 90 5 45";
        QTest::newRow("factor") << "pieces_factor"
                                << "2.5"
                                << "12 16 2.5 90 5 45";
        QTest::newRow("days") << "pieces_days"
                              << "30"
                              << "12 16 3 30 5 45";
        QTest::newRow("entries") << "pieces_min_entries"
                                 << "10"
                                 << "12 16 3 90 10 45";
        QTest::newRow("past days") << "past_days"
                                   << "60"
                                   << "12 16 3 90 5 60";
        QTest::newRow("no number") << "entry_hours"
                                   << "много"
                                   << "12 16 3 90 5 45";
        QTest::newRow("negative") << "past_days"
                                  << "-1"
                                  << "12 16 3 90 5 45";
        QTest::newRow("too large") << "entry_hours"
                                   << "25"
                                   << "12 16 3 90 5 45";
        QTest::newRow("factor below 1") << "pieces_factor"
                                        << "0.5"
                                        << "12 16 3 90 5 45";
        QTest::newRow("not a whole number of entries") << "pieces_min_entries"
                                                       << "4.5"
                                                       << "12 16 3 90 5 45";
    }
    void limitsFromSettings()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, limits);
        QMap<QString, QString> settings{{QStringLiteral("server"), QStringLiteral("10.0.0.1")}};
        if (!key.isEmpty())
            settings.insert(QStringLiteral("warnings/") + key, value);
        const WarningLimits l = WarningLimits::fromSettings(settings);
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6")
                     .arg(l.entryHours)
                     .arg(l.dayHours)
                     .arg(l.piecesFactor)
                     .arg(l.piecesDays)
                     .arg(l.piecesMinEntries)
                     .arg(l.pastDays),
                 limits);
    }

    // Saved anyway: the entry's history line keeps the warnings; the next save, without any, has no
    // note.
    void noteInTheHistory()
    {
        const qint64 before =
            db->scalar(QStringLiteral("select coalesce(max(id), 0) from accounts_dep.tabel_history"))
                .toLongLong();
        EntryStore store(data.get());
        EntryDraft d = draft(10, 11);
        d.note = warningNote(warningsFor(d));
        QCOMPARE(store.save(d), QString());
        d = draft(10);
        d.shift = 2;
        QCOMPARE(store.save(d), QString());
        QCOMPARE(db->scalar(QStringLiteral("select string_agg(coalesce(note, '-'), '|' order by id) from "
                                           "accounts_dep.tabel_history where id > %1")
                                .arg(before))
                     .toString(),
                 QStringLiteral("Записано несмотря на предупреждения: брак (11) больше количества (10).|-"));
    }
};

QTEST_GUILESS_MAIN(TestEntryWarnings)
#include "tst_entrywarnings.moc"
