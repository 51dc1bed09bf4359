#!/usr/bin/env python3
"""A legacy shop database in SQLite: the seven tables of the old program, with their field kinds,
filled with a seeded, realistic shop (Cyrillic names, some empty values, entry dates with and
without a time of day).

    sql/legacy.py FILE [ENTRIES [WORKERS [PRODUCTS [OPERATIONS [SEED]]]]]
    sql/legacy.py FILE --schema-only
"""
import datetime
import os
import random
import sqlite3
import sys

SCHEMA = """
create table H_TABEL (id integer primary key autoincrement, w_id integer, month smallint, year smallint,
  smena smallint, {days});
create table IZDEL (ID integer primary key autoincrement, MARKA varchar(50), nom varchar(100), massa decimal(19,4));
create table NOMENKL (Nom varchar(150), marka varchar(7));
create table OPER (ID integer primary key autoincrement, VID integer, NAIMEN smallint, CENA decimal(19,4), I_ID integer);
create table VID_OPER (VID varchar(50), ID integer primary key autoincrement);
create table WORKERS (FIO varchar(50), ID integer primary key autoincrement, ADDR varchar(100));
create table smena (W_ID integer, I_ID integer, O_ID integer, KOL_VO integer, BRAK smallint, DATA datetime,
  SMENA smallint, ID integer primary key autoincrement, CENA double, color integer, time integer,
  ok varchar(255), vvod datetime);
""".format(days=", ".join("d%d smallint" % d for d in range(1, 32)))

SURNAMES = ["Иванов", "Петров", "Сидоров", "Кузнецов", "Смирнов", "Попов", "Васильев", "Соколов",
            "Михайлов", "Новиков", "Фёдоров", "Морозов", "Волков", "Алексеев", "Лебедев", "Семёнов",
            "Егоров", "Павлов", "Козлов", "Степанов", "Николаев", "Орлов", "Андреев", "Макаров"]
INITIALS = "АБВГДЕИКЛМНОПРСТФЮЯ"
STREETS = ["ул. Ленина", "ул. Заводская", "пр. Мира", "ул. Садовая", "ул. Гагарина", "ул. Молодёжная"]
KINDS = ["Резка", "Гибка", "Сварка", "Покраска", "Сверловка", "Зачистка", "Токарная", "Фрезерная",
         "Штамповка", "Рубка", "Сборка", "Упаковка", "Шлифовка", "Правка", "Нарезка резьбы", "Клёпка",
         "Полировка", "Маркировка", "Контроль", "Грунтовка"]
PARTS = ["Кронштейн", "Уголок", "Пластина", "Скоба", "Кожух", "Крышка", "Стойка", "Рама", "Фланец",
         "Косынка", "Петля", "Опора", "Панель", "Короб", "Хомут", "Втулка"]
STEELS = ["Ст3", "09Г2С", "08пс", "12Х18Н", "АМг3", "Д16Т", "20", "45"]


def main():
    args = sys.argv[1:]
    if not args:
        sys.exit(__doc__)
    path = args[0]
    entries = int(args[1]) if len(args) > 1 and args[1] != "--schema-only" else 20000
    workers = int(args[2]) if len(args) > 2 else 40
    products = int(args[3]) if len(args) > 3 else 200
    operations = int(args[4]) if len(args) > 4 else 1200
    rnd = random.Random(int(args[5]) if len(args) > 5 else 1974)

    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.executescript(SCHEMA)
    if len(args) > 1 and args[1] == "--schema-only":
        db.close()
        return

    db.executemany("insert into WORKERS (ID, FIO, ADDR) values (?, ?, ?)", [
        (i, "%s %s.%s." % (rnd.choice(SURNAMES), rnd.choice(INITIALS), rnd.choice(INITIALS)),
         None if rnd.random() < 0.1 else "%s, д. %d, кв. %d" % (rnd.choice(STREETS), rnd.randint(1, 90), rnd.randint(1, 200)))
        for i in range(1, workers + 1)])
    db.executemany("insert into VID_OPER (ID, VID) values (?, ?)", [(i + 1, k) for i, k in enumerate(KINDS)])
    db.executemany("insert into IZDEL (ID, MARKA, nom, massa) values (?, ?, ?, ?)", [
        (i, "%s-%04d" % (rnd.choice(["КР", "УГ", "ПЛ", "СК", "КЖ", "РМ"]), i),
         "" if rnd.random() < 0.03 else "%s %d" % (rnd.choice(PARTS), rnd.randint(10, 999)),
         None if rnd.random() < 0.05 else round(rnd.uniform(0.05, 40), 3))
        for i in range(1, products + 1)])
    db.executemany("insert into NOMENKL (Nom, marka) values (?, ?)", [
        ("%s %s %dx%d" % (rnd.choice(["Лист", "Полоса", "Труба", "Круг", "Швеллер"]), rnd.choice(STEELS),
                           rnd.randint(1, 60), rnd.randint(100, 3000)),
         None if rnd.random() < 0.05 else rnd.choice(STEELS)[:7])
        for _ in range(max(products // 3, 1))])
    opers = []
    for i in range(1, operations + 1):
        opers.append((i, rnd.randint(1, len(KINDS)), rnd.choice([0, 1]),
                      None if rnd.random() < 0.02 else round(rnd.uniform(0.2, 60), 2), rnd.randint(1, products)))
    db.executemany("insert into OPER (ID, VID, NAIMEN, CENA, I_ID) values (?, ?, ?, ?, ?)", opers)

    # Entries day by day back from the end of 2025, a few per worker and shift, with their hours.
    hours = {}
    rows = []
    day = datetime.date(2025, 12, 31)
    next_id = 1
    while next_id <= entries:
        if day.weekday() < 5 or rnd.random() < 0.1:
            for w in range(1, workers + 1):
                if next_id > entries:
                    break
                if rnd.random() < 0.15:
                    continue
                shift = rnd.choices([1, 2, 3, 4], [60, 25, 10, 5])[0]
                for _ in range(rnd.randint(1, 3)):
                    if next_id > entries:
                        break
                    o = opers[rnd.randrange(len(opers))]
                    t = None if rnd.random() < 0.03 else rnd.choice([2, 4, 8, 8, 8, 10, 12])
                    when = day.isoformat()
                    if rnd.random() < 0.2:
                        when += " %02d:%02d:00" % (rnd.randint(6, 22), rnd.randint(0, 59))
                    entered = datetime.datetime.combine(day, datetime.time(rnd.randint(7, 23), rnd.randint(0, 59), rnd.randint(0, 59)))
                    rows.append((w, o[4], o[0], rnd.randint(1, 500), rnd.choice([0, 0, 0, 1, 2]), when, shift,
                                 next_id, o[3] if o[3] is not None else 0, rnd.choice([0, 0, 0, 1015, 3020, 9005]),
                                 t, rnd.choice(["ok", "ok", "no", "да", None]), entered.strftime("%Y-%m-%d %H:%M:%S")))
                    if t:
                        key = (w, shift, day.year, day.month)
                        hours.setdefault(key, [0] * 31)[day.day - 1] += t
                    next_id += 1
                    if len(rows) >= 50000:
                        db.executemany("insert into smena values (?,?,?,?,?,?,?,?,?,?,?,?,?)", rows)
                        rows = []
        day -= datetime.timedelta(days=1)
    db.executemany("insert into smena values (?,?,?,?,?,?,?,?,?,?,?,?,?)", rows)
    db.executemany("insert into H_TABEL (w_id, month, year, smena, %s) values (?, ?, ?, ?, %s)"
                   % (", ".join("d%d" % d for d in range(1, 32)), ", ".join("?" * 31)),
                   [(w, m, y, s, *(min(h, 32767) for h in days)) for (w, s, y, m), days in sorted(hours.items())])
    db.commit()
    db.close()


if __name__ == "__main__":
    main()
