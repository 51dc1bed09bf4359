#include "shop/timesheetrebuild.h"
#include "testsupport/databasetest.h"
#include "testsupport/shop.h"
#include "testsupport/xlsxcells.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tabel;

// The period reports from the command line, as cron runs them: the program itself, no display, each
// report to a real PDF read back; every refusal with its message, exit code 1 and no file left.
class TestReportCommand : public test::DatabaseTest
{
    Q_OBJECT
    QTemporaryDir dir;
    bool filled = false; // the small shop, once
    int ivanov = 0;

    int run(const QStringList &options, QString *err, const QProcessEnvironment &extra = {},
            bool withDatabase = true)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &key : extra.keys())
            env.insert(key, extra.value(key));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the program picks its own
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TABEL_PROGRAM),
                QStringList{db->name(), QStringLiteral("127.0.0.1")} + options);
        p.waitForFinished(120000);
        *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    static QString pdfText(const QString &path)
    {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    QStringList leftovers() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

private Q_SLOTS:
    void init()
    {
        if (filled)
            return;
        filled = true;
        test::Shop shop(*db);
        ivanov = shop.worker(QStringLiteral("Иванов И.И."));
        const int profile = shop.product(QStringLiteral("ПН-27"));
        const int cutting = shop.operation(profile, shop.kind(QStringLiteral("Резка")), 0, {10});
        const int blank = shop.operation(profile, shop.kind(QStringLiteral("Гибка")), 1, {4});
        shop.entry({QDate(2024, 3, 4), 1, ivanov, cutting, 10, 1, 12.5, 8});
        shop.entry({QDate(2024, 3, 5), 1, ivanov, blank, 3, 0, 4, 2});
        rebuildTimesheetMonth(&db->connection(), 2024, 3); // the time sheet from the entries
    }

    void reports_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("line");   // a text the pages hold
        QTest::addColumn<QString>("absent"); // a text they must not hold, if any
        QTest::newRow("workers") << "workers"
                                 << "all"
                                 << "Отчет по рабочим"
                                 << "Иванов И.И."
                                 << "";
        QTest::newRow("products") << "products"
                                  << "all"
                                  << "Отчет по продукции"
                                  << "ПН-27"
                                  << "";
        QTest::newRow("workers-detail") << "workers-detail"
                                        << "all"
                                        << "Детальный отчет по рабочим"
                                        << "Гибка"
                                        << "";
        QTest::newRow("products-detail") << "products-detail"
                                         << "all"
                                         << "Детальный отчет по продукции"
                                         << "Резка"
                                         << "";
        QTest::newRow("finished only") << "workers-detail"
                                       << "finished"
                                       << "Детальный отчет по рабочим"
                                       << "Резка"
                                       << "Гибка";
    }
    void reports()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, title);
        QFETCH(QString, line);
        QFETCH(QString, absent);
        const QString pdf = dir.filePath(name + QStringLiteral(".pdf"));
        QString err;
        QCOMPARE(run({QStringLiteral("--report"), name, QStringLiteral("--from"),
                      QStringLiteral("01.03.2024"), QStringLiteral("--to"), QStringLiteral("01.04.2024"),
                      QStringLiteral("--kind=") + kind, QStringLiteral("--pdf"), pdf},
                     &err),
                 0);
        QVERIFY2(err.contains(QStringLiteral("стр., запись в ")), qPrintable(err)); // the progress lines
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(title + QStringLiteral(" за период с 01.03.2024 по 01.04.2024")),
                 qPrintable(text));
        QVERIFY2(text.contains(line), qPrintable(text));
        if (!absent.isEmpty())
            QVERIFY2(!text.contains(absent), qPrintable(text));
        QVERIFY(QFileInfo(pdf).permissions() & QFileDevice::ReadOther);
        QCOMPARE(leftovers().filter(QStringLiteral(".part")), QStringList());
    }

    // The pay statements: every worker's, or one worker's by number, of the product kind chosen.
    void payStatements_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("oneWorker");
        QTest::addColumn<QString>("money");
        QTest::newRow("all") << "all" << false
                             << "Итого к начислению: 124,50 (сто двадцать четыре рубля 50 копеек)";
        QTest::newRow("finished") << "finished" << false
                                  << "Итого к начислению: 112,50 (сто двенадцать рублей 50 копеек)";
        QTest::newRow("one worker") << "blanks" << true
                                    << "Итого к начислению: 12,00 (двенадцать рублей 00 копеек)";
    }
    void payStatements()
    {
        QFETCH(QString, kind);
        QFETCH(bool, oneWorker);
        QFETCH(QString, money);
        const QString pdf = dir.filePath(QStringLiteral("листки.pdf"));
        QStringList options{QStringLiteral("--report"), QStringLiteral("pay-statements"),
                            QStringLiteral("--from"),   QStringLiteral("01.03.2024"),
                            QStringLiteral("--to"),     QStringLiteral("01.04.2024"),
                            QStringLiteral("--kind"),   kind,
                            QStringLiteral("--pdf"),    pdf};
        if (oneWorker)
            options << QStringLiteral("--worker") << QString::number(ivanov);
        QString err;
        QCOMPARE(run(options, &err), 0);
        QVERIFY2(err.contains(QStringLiteral("Расчётные листки: работников 1 из 1")), qPrintable(err));
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("Работник: Иванов И.И.")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Период: с 01.03.2024 по 31.03.2024")), qPrintable(text));
        QVERIFY2(text.contains(money), qPrintable(text));
        QVERIFY(QFileInfo(pdf).permissions() & QFileDevice::ReadOther);
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("message");
        const QStringList period{QStringLiteral("--from"), QStringLiteral("01.03.2024"),
                                 QStringLiteral("--to"), QStringLiteral("01.04.2024")};
        const QString out = QStringLiteral("OUT");
        QTest::newRow("unknown report")
            << (QStringList{QStringLiteral("--report"), QStringLiteral("salary")} + period +
                QStringList{QStringLiteral("--pdf"), out})
            << "Ошибка: Неизвестный отчёт «salary»: есть workers, products, "
               "workers-detail, products-detail, pay-statements, timesheet.";
        QTest::newRow("no date") << QStringList{QStringLiteral("--report"), QStringLiteral("workers"),
                                                QStringLiteral("--from"),   QStringLiteral("01.03.2024"),
                                                QStringLiteral("--pdf"),    out}
                                 << "Ошибка: Не задана дата --to ДД.ММ.ГГГГ.";
        QTest::newRow("impossible date")
            << QStringList{QStringLiteral("--report"), QStringLiteral("workers"),
                           QStringLiteral("--from"),   QStringLiteral("31.02.2024"),
                           QStringLiteral("--to"),     QStringLiteral("01.04.2024"),
                           QStringLiteral("--pdf"),    out}
            << "Ошибка: Дата «31.02.2024» в --from не читается: нужно ДД.ММ.ГГГГ.";
        QTest::newRow("reversed period")
            << QStringList{QStringLiteral("--report"), QStringLiteral("workers"),
                           QStringLiteral("--from"),   QStringLiteral("01.04.2024"),
                           QStringLiteral("--to"),     QStringLiteral("01.03.2024"),
                           QStringLiteral("--pdf"),    out}
            << "Ошибка: Начало периода позже его конца.";
        QTest::newRow("unknown kind") << (QStringList{QStringLiteral("--report"), QStringLiteral("workers"),
                                                      QStringLiteral("--kind"), QStringLiteral("paint")} +
                                          period + QStringList{QStringLiteral("--pdf"), out})
                                      << "Ошибка: --kind: all, finished или blanks, а не «paint».";
        QTest::newRow("no file") << (QStringList{QStringLiteral("--report"), QStringLiteral("workers")} +
                                     period)
                                 << "Ошибка: Не задан файл: --pdf ФАЙЛ или --xlsx ФАЙЛ.";
        QTest::newRow("a value missing")
            << (QStringList{QStringLiteral("--report"), QStringLiteral("workers")} + period +
                QStringList{QStringLiteral("--pdf")})
            << "Ошибка: После --pdf нужно значение.";
        QTest::newRow("a spreadsheet")
            << (QStringList{QStringLiteral("--report"), QStringLiteral("workers")} + period +
                QStringList{QStringLiteral("--xlsx"), out})
            << "Ошибка: В Excel выводятся products (количество по изделиям, как «Excel» окна отчётов) и "
               "timesheet; этот отчёт — в PDF: --pdf ФАЙЛ.";
        QTest::newRow("pay statements to a spreadsheet")
            << (QStringList{QStringLiteral("--report"), QStringLiteral("pay-statements")} + period +
                QStringList{QStringLiteral("--xlsx"), out})
            << "этот отчёт — в PDF: --pdf ФАЙЛ.";
        QTest::newRow("a worker for another report")
            << (QStringList{QStringLiteral("--report"), QStringLiteral("workers"), QStringLiteral("--worker"),
                            QStringLiteral("1")} +
                period + QStringList{QStringLiteral("--pdf"), out})
            << "Ошибка: --worker — только для pay-statements.";
        QTest::newRow("a worker that is no number")
            << (QStringList{QStringLiteral("--report"), QStringLiteral("pay-statements"),
                            QStringLiteral("--worker=7; drop table x")} +
                period + QStringList{QStringLiteral("--pdf"), out})
            << "Ошибка: --worker: нужно число от 1 до 2147483647, а не «7; drop table x».";
        QTest::newRow("a worker without entries")
            << (QStringList{QStringLiteral("--report"), QStringLiteral("pay-statements"),
                            QStringLiteral("--worker"), QStringLiteral("999999")} +
                period + QStringList{QStringLiteral("--pdf"), out})
            << "Ошибка: У работника № 999999 нет позиций за период.";
        QTest::newRow("no pay statements in the period")
            << QStringList{QStringLiteral("--report"), QStringLiteral("pay-statements"),
                           QStringLiteral("--from"),   QStringLiteral("01.01.2020"),
                           QStringLiteral("--to"),     QStringLiteral("01.02.2020"),
                           QStringLiteral("--pdf"),    out}
            << "Ошибка: За период нет позиций: расчётных листков нет.";
        QTest::newRow("unwritable folder")
            << (QStringList{QStringLiteral("--report"), QStringLiteral("workers")} + period +
                QStringList{QStringLiteral("--pdf"), QStringLiteral("/proc/no-such/report.pdf")})
            << "Ошибка: Файл «/proc/no-such/report.pdf» не записывается";
        QTest::newRow("a folder") << (QStringList{QStringLiteral("--report"), QStringLiteral("workers")} +
                                      period + QStringList{QStringLiteral("--pdf"), QStringLiteral("DIR")})
                                  << "Ошибка: «DIR» — папка, а нужен файл.";
    }
    void refusals()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, message);
        const QString out = dir.filePath(QStringLiteral("refused.pdf"));
        options.replaceInStrings(QStringLiteral("OUT"), out);
        options.replaceInStrings(QStringLiteral("DIR"), dir.path());
        message.replace(QStringLiteral("DIR"), dir.path());
        QString err;
        QCOMPARE(run(options, &err), 1);
        QVERIFY2(err.contains(message), qPrintable(err));
        QVERIFY(!QFileInfo::exists(out));
        QCOMPARE(leftovers().filter(QStringLiteral(".part")), QStringList());
    }

    // The spreadsheets: the time sheet of a month as its window exports it, the quantities by
    // product as the report dialog's "Excel"; the time sheet's PDF beside them.
    void spreadsheets()
    {
        const QString sheet = dir.filePath(QStringLiteral("timesheet.xlsx"));
        const QString pdf = dir.filePath(QStringLiteral("timesheet.pdf"));
        QString err;
        QCOMPARE(run({QStringLiteral("--report"), QStringLiteral("timesheet"), QStringLiteral("--month"),
                      QStringLiteral("3"), QStringLiteral("--year"), QStringLiteral("2024"),
                      QStringLiteral("--xlsx"), sheet, QStringLiteral("--pdf"), pdf},
                     &err),
                 0);
        QJsonObject cells = test::xlsxCells(sheet);
        const auto value = [&cells](const char *cell) {
            return cells[QLatin1String(cell)].toObject()[QStringLiteral("value")].toVariant().toString();
        };
        QCOMPARE(value("A1"), QStringLiteral("Март 2024"));
        QCOMPARE(value("A3"), QStringLiteral("Иванов И.И."));
        QCOMPARE(value("E3"), QStringLiteral("8"));   // the 4th
        QCOMPARE(value("AG3"), QStringLiteral("10")); // 8 and 2 hours
        QVERIFY2(pdfText(pdf).contains(QStringLiteral("Март 2024 г.")), qPrintable(pdfText(pdf)));

        const QString products = dir.filePath(QStringLiteral("products.xlsx"));
        QCOMPARE(
            run({QStringLiteral("--report"), QStringLiteral("products"), QStringLiteral("--from"),
                 QStringLiteral("01.03.2024"), QStringLiteral("--to"), QStringLiteral("01.04.2024"),
                 QStringLiteral("--kind"), QStringLiteral("finished"), QStringLiteral("--xlsx"), products},
                &err),
            0);
        cells = test::xlsxCells(products);
        QCOMPARE(value("A1"), QStringLiteral("Наименование"));
        QCOMPARE(value("B2"), QStringLiteral("Резка"));
        QCOMPARE(value("E2"), QStringLiteral("9"));     // 10 pieces less 1 rejected
        QVERIFY(!cells.contains(QStringLiteral("A3"))); // blanks left out
        QCOMPARE(leftovers().filter(QStringLiteral(".part")), QStringList());
    }

    // The settings send reports to a read-only standby ([reports] of tabel.conf): every report and
    // spreadsheet is read there (its own worker shows), nothing on the way writes, and the program
    // says where it reads.
    void readOnlyStandby()
    {
        test::TestDatabase standby;
        test::Shop shop(standby);
        const int sidorov = shop.worker(QStringLiteral("Сидоров С.С."));
        const int profile = shop.product(QStringLiteral("КР-40"));
        const int cutting = shop.operation(profile, shop.kind(QStringLiteral("Резка")), 0, {10});
        shop.entry({QDate(2024, 3, 4), 1, sidorov, cutting, 10, 1, 12.5, 8});
        rebuildTimesheetMonth(&standby.connection(), 2024, 3);
        standby.exec(
            QStringLiteral("alter database %1 set default_transaction_read_only = on").arg(standby.name()));
        QTemporaryDir config;
        QFile ini(config.filePath(QStringLiteral("tabel.conf")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(
            QStringLiteral("[reports]\nserver = 127.0.0.1\ndatabase = %1\n").arg(standby.name()).toUtf8());
        ini.close();
        QProcessEnvironment env;
        env.insert(QStringLiteral("TABEL_SYSTEM_CONFIG"), ini.fileName());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.filePath(QStringLiteral("user")));
        const QStringList period{QStringLiteral("--from"), QStringLiteral("01.03.2024"),
                                 QStringLiteral("--to"), QStringLiteral("01.04.2024")};
        const QString month = QStringLiteral("--month=3");
        const QString year = QStringLiteral("--year=2024");
        const QList<QStringList> runs = {QStringList{QStringLiteral("workers")} + period +
                                             QStringList{QStringLiteral("--pdf"), QStringLiteral("a.pdf")},
                                         QStringList{QStringLiteral("products")} + period +
                                             QStringList{QStringLiteral("--pdf"), QStringLiteral("b.pdf"),
                                                         QStringLiteral("--xlsx"), QStringLiteral("b.xlsx")},
                                         QStringList{QStringLiteral("workers-detail")} + period +
                                             QStringList{QStringLiteral("--pdf"), QStringLiteral("c.pdf")},
                                         QStringList{QStringLiteral("products-detail")} + period +
                                             QStringList{QStringLiteral("--pdf"), QStringLiteral("d.pdf")},
                                         QStringList{QStringLiteral("pay-statements")} + period +
                                             QStringList{QStringLiteral("--pdf"), QStringLiteral("f.pdf")},
                                         QStringList{QStringLiteral("timesheet"), month, year,
                                                     QStringLiteral("--pdf"), QStringLiteral("e.pdf"),
                                                     QStringLiteral("--xlsx"), QStringLiteral("e.xlsx")}};
        for (QStringList options : runs) {
            options.replaceInStrings(QRegularExpression(QStringLiteral("^(\\w\\.(pdf|xlsx))$")),
                                     dir.filePath(QStringLiteral("standby-\\1")));
            QString err;
            QCOMPARE(run(QStringList{QStringLiteral("--report")} + options, &err, env), 0);
            QVERIFY2(
                err.contains(QStringLiteral("Отчёт читается с сервера 127.0.0.1/%1").arg(standby.name())),
                qPrintable(err));
        }
        QVERIFY(
            pdfText(dir.filePath(QStringLiteral("standby-a.pdf"))).contains(QStringLiteral("Сидоров С.С.")));
        QVERIFY(
            pdfText(dir.filePath(QStringLiteral("standby-e.pdf"))).contains(QStringLiteral("Сидоров С.С.")));
        QVERIFY(pdfText(dir.filePath(QStringLiteral("standby-f.pdf")))
                    .contains(QStringLiteral("Работник: Сидоров С.С.")));
        // Read-only indeed, for every session the program opened there.
        QVERIFY(
            standby
                .scalar(QStringLiteral("select array_to_string(setconfig, ',') from pg_db_role_setting where "
                                       "setdatabase = (select oid from pg_database where datname = '%1')")
                            .arg(standby.name()))
                .toString()
                .contains(QStringLiteral("default_transaction_read_only=on")));
    }

    // Without DATABASE SERVER the settings name them; the options' values are no positions.
    void databaseFromTheSettings()
    {
        QTemporaryDir config;
        QFile ini(config.filePath(QStringLiteral("tabel.conf")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("server = 127.0.0.1\ndatabase = %1\n").arg(db->name()).toUtf8());
        ini.close();
        QProcessEnvironment env;
        env.insert(QStringLiteral("TABEL_SYSTEM_CONFIG"), ini.fileName());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.filePath(QStringLiteral("user")));
        const QString pdf = dir.filePath(QStringLiteral("settings.pdf"));
        QString err;
        QCOMPARE(run({QStringLiteral("--report"), QStringLiteral("workers"), QStringLiteral("--from"),
                      QStringLiteral("01.03.2024"), QStringLiteral("--to"), QStringLiteral("01.04.2024"),
                      QStringLiteral("--pdf"), pdf},
                     &err, env, false),
                 0);
        QVERIFY2(pdfText(pdf).contains(QStringLiteral("Иванов И.И.")), qPrintable(err));
    }

    // A report that replaces an earlier file: the new one is there whole; --help names the command.
    void replacesAndHelps()
    {
        const QString pdf = dir.filePath(QStringLiteral("month.pdf"));
        QFile old(pdf);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        QString err;
        QCOMPARE(run({QStringLiteral("--report=products"), QStringLiteral("--from=01.03.2024"),
                      QStringLiteral("--to=01.04.2024"), QStringLiteral("--pdf=") + pdf},
                     &err),
                 0);
        QVERIFY(pdfText(pdf).contains(QStringLiteral("Отчет по продукции")));
        QProcess help;
        help.start(QStringLiteral(TABEL_PROGRAM), {QStringLiteral("--help")});
        help.waitForFinished(30000);
        QVERIFY(QString::fromUtf8(help.readAllStandardOutput()).contains(QStringLiteral("--report ОТЧЁТ")));
    }
};

QTEST_GUILESS_MAIN(TestReportCommand)
#include "tst_reportcommand.moc"
