-- Табель: the whole database the client reads and writes, for a new install or a test database.
-- Run on an empty database as its owner: psql -v ON_ERROR_STOP=1 -f sql/schema.sql
set client_min_messages = warning;

-- Day-first dates in statement text ('16.03.2023'), for every session of this database.
do $$ begin
  execute format('alter database %I set datestyle = %L', current_database(), 'ISO, DMY');
end $$;
set datestyle = 'ISO, DMY';

-- Domains of the enterprise database, used unqualified in casts (s_code::t_id).
create domain public.t_id as bigint;
create domain public.t_integer as integer;
create domain public.t_float as double precision;

create schema cmn_contractor;
create schema cmn_gds_and_srv;
create schema hrms_staffpos;
create schema cmn_department;
create schema adm_role;
create schema accounts_dep;

-- Enterprise tables: only the columns the shop client uses.
create table cmn_contractor.person (
  id        t_id primary key,
  s_code    varchar(254),
  s_caption varchar(254)
);
create index person_s_code on cmn_contractor.person (s_code);

create sequence cmn_gds_and_srv.gds_and_srv_id_seq;
create table cmn_gds_and_srv.gds_and_srv (
  id            numeric(15) primary key default nextval('cmn_gds_and_srv.gds_and_srv_id_seq'),
  s_caption     varchar(254),
  s_description text,
  id_msm_bs     numeric(15),
  massa         t_float,
  -- the shop's product name; the enterprise leaves it empty, the shop then reads the mark
  nom           varchar(255)
);
alter sequence cmn_gds_and_srv.gds_and_srv_id_seq owned by cmn_gds_and_srv.gds_and_srv.id;

create table hrms_staffpos.staffpos (
  id            numeric(15) primary key,
  id_department numeric(15),
  s_code        varchar(254),
  s_caption     varchar(254),
  d_begin       date,
  d_end         date,
  s_description varchar(4000)
);

create table cmn_department.department (
  id            numeric(15) primary key,
  id_branch     numeric(15),
  id_parent     numeric(15),
  s_code        varchar(254),
  s_caption     varchar(254),
  s_description varchar(4000)
);

create table adm_role.roles (
  id        numeric(15) primary key,
  s_name    varchar(30),
  s_caption varchar(254),
  d_begin   date,
  d_end     date,
  b_active  varchar(5)
);

-- The shop's own tables.
create table accounts_dep.smena (
  id            serial primary key,
  data          date,
  smena         smallint,
  w_id          integer,
  i_id          integer,
  o_id          integer,
  kol_vo        integer,
  brak          smallint,
  cena          double precision,
  color         integer default 0,
  time          integer,
  ok            varchar(2),
  vvod          timestamp,
  prize         double precision default 0,
  id_doc        numeric(15) default 0,
  id_doc_item   numeric(15) default 0,
  f_gds_qty_use double precision default 0,
  id_gds_use    numeric(15) default 0,
  id_cons_use   numeric(15) default 0
);
-- The register reads one date and shift; postings and the rebuild read a worker's day or month.
create index smena_data_smena on accounts_dep.smena (data, smena);
create index smena_w_id_smena_data on accounts_dep.smena (w_id, smena, data);
create index smena_o_id on accounts_dep.smena (o_id);
create index smena_i_id on accounts_dep.smena (i_id);

create table accounts_dep.h_tabel (
  id    serial primary key,
  w_id  integer,
  smena smallint,
  month smallint,
  year  smallint,
  d1  smallint default 0, d2  smallint default 0, d3  smallint default 0, d4  smallint default 0,
  d5  smallint default 0, d6  smallint default 0, d7  smallint default 0, d8  smallint default 0,
  d9  smallint default 0, d10 smallint default 0, d11 smallint default 0, d12 smallint default 0,
  d13 smallint default 0, d14 smallint default 0, d15 smallint default 0, d16 smallint default 0,
  d17 smallint default 0, d18 smallint default 0, d19 smallint default 0, d20 smallint default 0,
  d21 smallint default 0, d22 smallint default 0, d23 smallint default 0, d24 smallint default 0,
  d25 smallint default 0, d26 smallint default 0, d27 smallint default 0, d28 smallint default 0,
  d29 smallint default 0, d30 smallint default 0, d31 smallint default 0
);
create index h_tabel_period on accounts_dep.h_tabel (year, month, smena, w_id);

create table accounts_dep.vid_oper (
  id  serial primary key,
  vid varchar(128)
);

create table accounts_dep.oper (
  id       serial primary key,
  vid      integer,
  naimen   smallint,
  i_id     integer,
  cena_new numeric default 0,
  cena     double precision
);
create index oper_i_id on accounts_dep.oper (i_id);

create table accounts_dep.norm (
  id     serial primary key,
  o_id   integer,
  norma  integer,
  price  double precision,
  prize  integer
);
create index norm_o_id on accounts_dep.norm (o_id);

create table accounts_dep.person (
  id            serial primary key,
  fio           varchar(254),
  s_staffpos_hl varchar(254)
);

create table accounts_dep.ver (
  d     integer,
  t     integer,
  delim varchar(255)
);

create table accounts_dep.workers (
  id   serial primary key,
  fio  varchar(128),
  addr varchar(128)
);

create table accounts_dep.nomenkl (
  id    serial primary key,
  marka varchar(128),
  nom   varchar(512)
);

-- The shop's products are the enterprise goods, under the same id. Writable, so that the legacy
-- import can empty and fill it; a product written by the client reads its mark back as its name.
create view accounts_dep.izdel as
  select g.id,
         g.s_caption::varchar(254) as marka,
         coalesce(nullif(g.nom, ''), g.s_caption)::varchar(255) as nom,
         g.massa::numeric as massa
    from cmn_gds_and_srv.gds_and_srv g;

create function accounts_dep.izdel_write() returns trigger language plpgsql as $$
begin
  if tg_op = 'INSERT' then
    insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, s_description, id_msm_bs, massa, nom)
    values (coalesce(new.id, nextval('cmn_gds_and_srv.gds_and_srv_id_seq')), new.marka, '', 6,
            new.massa, new.nom)
    returning id into new.id;
    return new;
  elsif tg_op = 'UPDATE' then
    update cmn_gds_and_srv.gds_and_srv
       set id = new.id, s_caption = new.marka, massa = new.massa, nom = new.nom
     where id = old.id;
    return new;
  else
    delete from cmn_gds_and_srv.gds_and_srv where id = old.id;
    return old;
  end if;
end $$;
create trigger izdel_write instead of insert or update or delete on accounts_dep.izdel
  for each row execute function accounts_dep.izdel_write();

-- A worker of the shop is also a person of the enterprise whose personnel code is the worker's
-- key: the register finds names by id or code, the reports and the time sheet by code alone. A new
-- worker gets an enterprise person only when none carries its code yet, under the worker's id when
-- that is free, and otherwise under a key below every other (negative), which no worker's id can
-- ever equal: the register also finds a name by "w_id=person.id". Only the persons made here follow
-- later renames; the enterprise's own rows are never written.
create table accounts_dep.person_link (
  worker_id integer primary key,
  person_id bigint not null
);

create function accounts_dep.person_sync() returns trigger language plpgsql as $$
declare
  pid bigint;
begin
  if tg_op = 'INSERT' then
    -- Two clients adding workers at once must not pick the same fresh id.
    perform pg_advisory_xact_lock(4, 0);
    if exists (select 1 from cmn_contractor.person where s_code = new.id::text) then
      return new;
    end if;
    if exists (select 1 from cmn_contractor.person where id = new.id) then
      select least(min(id), 0) - 1 into pid from cmn_contractor.person;
    else
      pid := new.id;
    end if;
    insert into cmn_contractor.person (id, s_code, s_caption) values (pid, new.id::text, new.fio);
    insert into accounts_dep.person_link (worker_id, person_id) values (new.id, pid)
      on conflict (worker_id) do update set person_id = excluded.person_id;
  elsif new.fio is distinct from old.fio then
    update cmn_contractor.person p set s_caption = new.fio
      from accounts_dep.person_link l
     where l.worker_id = new.id and p.id = l.person_id;
  end if;
  return new;
end $$;
create trigger person_sync after insert or update of fio on accounts_dep.person
  for each row execute function accounts_dep.person_sync();

-- An operation is listed (Oper) and reached for its norms only through its norm rows. A new
-- operation therefore gets a first norm row (norm 0, bonus 0, the operation's own price: the new
-- price column, or the old one where only that is given, as in the legacy import; none when neither
-- is given, so that no price of 0 can become the lowest), whoever inserts
-- it, when it still has none as its transaction ends: a copy that brings its own norm rows in the
-- same transaction keeps just those.
create function accounts_dep.oper_first_norm() returns trigger language plpgsql as $$
begin
  if exists (select 1 from accounts_dep.oper where id = new.id)
     and not exists (select 1 from accounts_dep.norm where o_id = new.id) then
    insert into accounts_dep.norm (o_id, norma, price, prize) values (new.id, 0, coalesce(nullif(new.cena_new, 0), new.cena), 0);
  end if;
  return new;
end $$;
create constraint trigger oper_first_norm after insert on accounts_dep.oper
  deferrable initially deferred
  for each row execute function accounts_dep.oper_first_norm();
