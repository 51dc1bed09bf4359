-- Табель: the enterprise's and the shop's base tables, as a shop's database has them before the
-- program's own changes (sql/migrations/) are applied: no keys on the shop tables' ids, their id
-- sequences owned by nobody. sql/schema.sql is this file, then every migration.
set client_min_messages = warning;

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
create sequence accounts_dep.smena_id_seq;
create table accounts_dep.smena (
  id            integer default nextval('accounts_dep.smena_id_seq'),
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

create sequence accounts_dep.h_tabel_id_seq;
create table accounts_dep.h_tabel (
  id    integer default nextval('accounts_dep.h_tabel_id_seq'),
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

create sequence accounts_dep.vid_oper_id_seq;
create table accounts_dep.vid_oper (
  id  integer default nextval('accounts_dep.vid_oper_id_seq'),
  vid varchar(128)
);

create sequence accounts_dep.oper_id_seq;
create table accounts_dep.oper (
  id       integer default nextval('accounts_dep.oper_id_seq'),
  vid      integer,
  naimen   smallint,
  i_id     integer,
  cena_new numeric default 0,
  cena     double precision
);

create sequence accounts_dep.norm_id_seq;
create table accounts_dep.norm (
  id     integer default nextval('accounts_dep.norm_id_seq'),
  o_id   integer,
  norma  integer,
  price  double precision,
  prize  integer
);

create sequence accounts_dep.person_id_seq;
create table accounts_dep.person (
  id            integer default nextval('accounts_dep.person_id_seq'),
  fio           varchar(254),
  s_staffpos_hl varchar(254)
);

create table accounts_dep.ver (
  d     integer,
  t     integer,
  delim varchar(255)
);

create sequence accounts_dep.workers_id_seq;
create table accounts_dep.workers (
  id   integer default nextval('accounts_dep.workers_id_seq'),
  fio  varchar(128),
  addr varchar(128)
);

create sequence accounts_dep.nomenkl_id_seq;
create table accounts_dep.nomenkl (
  id    integer default nextval('accounts_dep.nomenkl_id_seq'),
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
