-- Reference books of a large shop, for the list benchmark: 5,000 workers, 20,000 products, 60 operation
-- kinds, 50,000 operations with one to three norms each. Deterministic. Run on a database that holds
-- the schema:  psql -v ON_ERROR_STOP=1 -f bench/books.sql
set client_min_messages = warning;
select setseed(0.2718) \g /dev/null

truncate accounts_dep.norm, accounts_dep.oper, accounts_dep.vid_oper, accounts_dep.person, accounts_dep.person_link,
         cmn_contractor.person, cmn_gds_and_srv.gds_and_srv restart identity;

insert into accounts_dep.person (fio, s_staffpos_hl)
select (array['Иванов','Петров','Сидоров','Кузнецов','Смирнов','Попов','Волков','Зайцев','Соловьёв','Лебедев'])[1 + n % 10]
       || '-' || n || ' ' || chr(1040 + n % 32) || '.' || chr(1040 + (n / 32) % 32) || '.',
       (array['Цех №1','Цех №2','Малярный участок','Склад'])[1 + n % 4]
  from generate_series(1, 5000) n;

insert into cmn_gds_and_srv.gds_and_srv (s_caption, s_description, id_msm_bs, massa, nom)
select (array['ПН','ПП','СК','ХМ','КР','ЗЛ','ОП','ПС'])[1 + n % 8] || '-' || (10 + n % 90) || 'x' || (n / 90) || '-' || n,
       '', 6, round((random() * 5)::numeric, 3), null
  from generate_series(1, 20000) n;

insert into accounts_dep.vid_oper (vid)
select (array['Резка','Гибка','Штамповка','Пробивка','Сверление','Сварка','Зачистка','Рихтовка','Профилирование',
              'Краска порошковая','Покраска (КРАСКА эмаль)','Грунт-краска','Упаковка','Маркировка','Контроль ОТК'])[1 + n % 15]
       || case when n > 15 then ' ' || (n / 15)::text else '' end
  from generate_series(1, 60) n;

begin;
insert into accounts_dep.oper (vid, naimen, i_id, cena_new, cena)
select 1 + n % 60, n % 2, 1 + (n * 7919) % 20000, round((1 + random() * 20)::numeric, 2), 0
  from generate_series(1, 50000) n;
insert into accounts_dep.norm (o_id, norma, price, prize)
select o.id, 100 * (1 + r), round((0.5 + random() * 12)::numeric, 2)::double precision, r * 5
  from accounts_dep.oper o cross join generate_series(0, 2) r
 where r <= o.id % 3;
commit;
analyze accounts_dep.person, accounts_dep.oper, accounts_dep.norm, accounts_dep.vid_oper, cmn_contractor.person,
        cmn_gds_and_srv.gds_and_srv;
select (select count(*) from accounts_dep.person) as workers, (select count(*) from accounts_dep.izdel) as products,
       (select count(*) from accounts_dep.oper) as operations, (select count(*) from accounts_dep.norm) as norms;
