-- Табель: a realistic shop for demonstration and benchmarks. Deterministic for a given day.
-- psql -v ON_ERROR_STOP=1 -f sql/demo.sql                      40 workers, three months
-- psql -v workers=400 -v days=1461 -f sql/demo.sql             a large shop, about 1,000,000 entries
\if :{?workers} \else \set workers 40 \endif
\if :{?days} \else \set days 92 \endif
set client_min_messages = warning;
set datestyle = 'ISO, DMY';
select setseed(0.4242) \g /dev/null

truncate accounts_dep.smena, accounts_dep.h_tabel, accounts_dep.norm, accounts_dep.oper,
         accounts_dep.vid_oper, accounts_dep.person, accounts_dep.ver, accounts_dep.workers,
         accounts_dep.nomenkl, cmn_contractor.person, cmn_gds_and_srv.gds_and_srv,
         hrms_staffpos.staffpos, cmn_department.department, adm_role.roles restart identity;

-- Enterprise look-ups of the worker editor.
insert into cmn_department.department (id, id_branch, id_parent, s_code, s_caption, s_description) values
  (1, 1, null, '01', 'Цех металлоконструкций', ''),
  (2, 1, 1, '02', 'Участок резки', ''),
  (3, 1, 1, '03', 'Участок гибки', ''),
  (4, 1, 1, '04', 'Покрасочный участок', ''),
  (5, 1, 1, '05', 'Участок упаковки', '');
insert into hrms_staffpos.staffpos (id, id_department, s_code, s_caption, d_begin, d_end, s_description) values
  (1, 2, '101', 'Резчик металла', '01.01.2015', null, ''),
  (2, 3, '102', 'Оператор листогиба', '01.01.2015', null, ''),
  (3, 4, '103', 'Маляр', '01.01.2015', null, ''),
  (4, 5, '104', 'Упаковщик', '01.01.2015', null, ''),
  (5, 1, '105', 'Мастер смены', '01.01.2015', null, '');
insert into adm_role.roles (id, s_name, s_caption, d_begin, d_end, b_active) values
  (1, 'worker', 'Рабочий', '01.01.2015', null, 'true'),
  (2, 'master', 'Мастер', '01.01.2015', null, 'true');

-- Workers: surname and initials from fixed lists; the trigger gives each a personnel code.
insert into accounts_dep.person (fio, s_staffpos_hl)
select s.surname || case when s.female then 'а' else '' end || ' ' || i1.l || '.' || i2.l || '.',
       (array['Участок резки','Участок гибки','Покрасочный участок','Участок упаковки'])[1 + n % 4]
  from generate_series(0, :workers - 1) n
  cross join lateral (select (array['Иванов','Петров','Сидоров','Кузнецов','Смирнов','Попов','Васильев',
          'Соколов','Михайлов','Новиков','Фёдоров','Морозов','Волков','Алексеев','Лебедев','Семёнов',
          'Егоров','Павлов','Козлов','Степанов','Николаев','Орлов','Андреев','Макаров','Никитин',
          'Захаров','Зайцев','Соловьёв','Борисов','Яковлев','Григорьев','Романов','Воробьёв','Сергеев',
          'Кузьмин','Фролов','Александров','Дмитриев','Королёв','Гусев','Киселёв','Ильин','Максимов',
          'Поляков','Сорокин','Виноградов','Ковалёв','Белов','Медведев','Антонов'])[1 + (n * 7) % 50]
          as surname, n % 5 = 3 as female) s
  cross join lateral (select (array['А','В','Г','Д','Е','И','К','Л','М','Н','О','П','С','Т','Ю'])[1 + (n * 3) % 15] as l) i1
  cross join lateral (select (array['А','В','Г','Д','Е','И','К','Л','М','Н','О','П','С','Т','Ю'])[1 + (n * 11 + n / 15) % 15] as l) i2
 order by n;

-- Products: marks and names of profiles, brackets, clamps and the like.
insert into cmn_gds_and_srv.gds_and_srv (s_caption, s_description, id_msm_bs, massa, nom)
select f.prefix || '-' || (10 + (n * 13) % 90)::text || 'x' || (20 + (n * 7) % 80)::text
          || case when n >= 30 then '-' || (n / 30)::text else '' end,
       '', 6, round((0.05 + random() * 0.5)::numeric, 3)::double precision,
       f.name || ' ' || (10 + (n * 13) % 90)::text || 'x' || (20 + (n * 7) % 80)::text
  from generate_series(0, 59) n
  cross join lateral (select (array['ПН','ПС','КР','ХМ','УГ','ПП','СК','ШП','ОП','ЗЛ'])[1 + n % 10] as prefix,
                             (array['Профиль направляющий','Профиль стоечный','Кронштейн','Хомут','Уголок',
                                    'Профиль потолочный','Скоба','Шпилька','Опора','Заглушка'])[1 + n % 10] as name) f
 order by n;

insert into accounts_dep.vid_oper (vid) values
  ('Резка'), ('Гибка'), ('Штамповка'), ('Пробивка'), ('Сверление'), ('Сварка'), ('Зачистка'),
  ('Рихтовка'), ('Профилирование'), ('Краска порошковая'), ('Покраска (КРАСКА эмаль)'),
  ('Грунт-краска'), ('Упаковка'), ('Маркировка'), ('Контроль ОТК');

-- 250 operations: product, kind and product kind, no two alike; their norms in the same
-- transaction, so that the database adds a first norm only to those without.
begin;
insert into accounts_dep.oper (vid, naimen, i_id, cena_new, cena)
select v, k, i, round((1 + random() * 20)::numeric, 2), 0
  from (select distinct on (i, v, k) i, v, k, n
          from (select n, 1 + (n * 17) % 60 as i, 1 + (n * 7 + n / 60) % 15 as v,
                       case when n % 4 = 0 then 1 else 0 end as k
                  from generate_series(0, 400) n) c
         order by i, v, k, n) u
 order by n
 limit 250;

-- Norms: one to three per operation; the last ten get only the first norm the database gives them.
insert into accounts_dep.norm (o_id, norma, price, prize)
select o.id, 100 * (1 + r) + (o.id * 37) % 400,
       round((0.5 + random() * 12 + r * 0.75)::numeric, 2)::double precision, (r * 5)
  from accounts_dep.oper o
  cross join generate_series(0, 2) r
 where o.id <= 240 and r <= o.id % 3
 order by o.id, r;
commit;

-- Painting kinds: their entries carry a colour.
create temporary table paint_oper as
select o.id from accounts_dep.oper o join accounts_dep.vid_oper v on v.id = o.vid
 where upper(v.vid) like '%КРАСКА%';

create temporary table oper_price as
select o.id, o.i_id, min(n.price) as price, row_number() over (order by o.id) as k
  from accounts_dep.oper o join accounts_dep.norm n on n.o_id = o.id
 group by o.id, o.i_id;

-- Entries: each worker has a home shift; weekdays worked, some Saturdays, a little overtime.
insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, kol_vo, brak, cena, color, time, ok,
                                vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use)
select e.day, e.shift, e.w_id, op.i_id, op.id, e.qty, e.brak,
       round((op.price * case when e.dayoff then 2.0 else 1.0 end
              * case e.shift when 3 then 1.2 when 4 then 1.5 else 1.0 end)::numeric, 4)::double precision,
       case when exists (select 1 from paint_oper p where p.id = op.id)
            then (array[1, 1, 1013, 3005, 5005, 6005, 7035, 9003, 9005, 8017])[1 + (e.r3 * 10)::int % 10]
            else 0 end,
       e.hours,
       case when e.day > current_date - 3 then 'no'
            when e.r2 < 0.02 then 'ta'
            when e.r2 < 0.08 then 'no'
            when e.r2 < 0.30 then 'да'
            else 'ok' end,
       least(e.day + ((e.r3 * 3)::int), current_date)::timestamp,
       0, 0, 0, 0, 0, 0
  from (select d.day, w.id as w_id, j.j,
               case when random() < 0.05 then 4 else 1 + w.id % 3 end as shift,
               extract(isodow from d.day) >= 6 as dayoff,
               (10 + random() * 490)::int as qty,
               case when random() < 0.15 then (random() * 5)::int else 0 end as brak,
               (1 + random() * 3)::int as hours,
               random() as r1, random() as r2, random() as r3
          from generate_series(current_date - (:days - 1), current_date, interval '1 day') g(ts)
          cross join lateral (select g.ts::date as day) d
          cross join accounts_dep.person w
          cross join lateral generate_series(1, 1 + ((w.id * 31 + extract(doy from d.day)::int) % 4)) j
         where (extract(isodow from d.day) <= 5 and (w.id + extract(doy from d.day)::int) % 11 <> 0)
            or (extract(isodow from d.day) = 6 and w.id % 4 = 0)) e
  join oper_price op on op.k = 1 + (e.r1 * (select count(*) from oper_price))::int % (select count(*) from oper_price)
 order by e.day, e.w_id, e.j;

-- The time sheet that those entries give.
insert into accounts_dep.h_tabel (w_id, smena, month, year,
  d1, d2, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, d13, d14, d15, d16,
  d17, d18, d19, d20, d21, d22, d23, d24, d25, d26, d27, d28, d29, d30, d31)
select w_id, smena, m, y,
  sum(h) filter (where dd = 1), sum(h) filter (where dd = 2), sum(h) filter (where dd = 3),
  sum(h) filter (where dd = 4), sum(h) filter (where dd = 5), sum(h) filter (where dd = 6),
  sum(h) filter (where dd = 7), sum(h) filter (where dd = 8), sum(h) filter (where dd = 9),
  sum(h) filter (where dd = 10), sum(h) filter (where dd = 11), sum(h) filter (where dd = 12),
  sum(h) filter (where dd = 13), sum(h) filter (where dd = 14), sum(h) filter (where dd = 15),
  sum(h) filter (where dd = 16), sum(h) filter (where dd = 17), sum(h) filter (where dd = 18),
  sum(h) filter (where dd = 19), sum(h) filter (where dd = 20), sum(h) filter (where dd = 21),
  sum(h) filter (where dd = 22), sum(h) filter (where dd = 23), sum(h) filter (where dd = 24),
  sum(h) filter (where dd = 25), sum(h) filter (where dd = 26), sum(h) filter (where dd = 27),
  sum(h) filter (where dd = 28), sum(h) filter (where dd = 29), sum(h) filter (where dd = 30),
  sum(h) filter (where dd = 31)
  from (select w_id, smena, extract(month from data)::int m, extract(year from data)::int y,
               extract(day from data)::int dd, sum(time) h
          from accounts_dep.smena group by 1, 2, 3, 4, 5) s
 group by w_id, smena, m, y;
update accounts_dep.h_tabel set
  d1 = coalesce(d1, 0), d2 = coalesce(d2, 0), d3 = coalesce(d3, 0), d4 = coalesce(d4, 0),
  d5 = coalesce(d5, 0), d6 = coalesce(d6, 0), d7 = coalesce(d7, 0), d8 = coalesce(d8, 0),
  d9 = coalesce(d9, 0), d10 = coalesce(d10, 0), d11 = coalesce(d11, 0), d12 = coalesce(d12, 0),
  d13 = coalesce(d13, 0), d14 = coalesce(d14, 0), d15 = coalesce(d15, 0), d16 = coalesce(d16, 0),
  d17 = coalesce(d17, 0), d18 = coalesce(d18, 0), d19 = coalesce(d19, 0), d20 = coalesce(d20, 0),
  d21 = coalesce(d21, 0), d22 = coalesce(d22, 0), d23 = coalesce(d23, 0), d24 = coalesce(d24, 0),
  d25 = coalesce(d25, 0), d26 = coalesce(d26, 0), d27 = coalesce(d27, 0), d28 = coalesce(d28, 0),
  d29 = coalesce(d29, 0), d30 = coalesce(d30, 0), d31 = coalesce(d31, 0);

select setval('cmn_gds_and_srv.gds_and_srv_id_seq', (select max(id)::bigint from cmn_gds_and_srv.gds_and_srv)) \g /dev/null
analyze accounts_dep.smena, accounts_dep.h_tabel, accounts_dep.oper, accounts_dep.norm, accounts_dep.person,
        accounts_dep.vid_oper, cmn_contractor.person, cmn_gds_and_srv.gds_and_srv;
select (select count(*) from accounts_dep.person) as workers, (select count(*) from accounts_dep.izdel) as products,
       (select count(*) from accounts_dep.vid_oper) as kinds, (select count(*) from accounts_dep.oper) as operations,
       (select count(*) from accounts_dep.norm) as norms, (select count(*) from accounts_dep.smena) as entries,
       (select count(*) from accounts_dep.h_tabel) as timesheet_rows;
