-- Every shop table's id is its key, and the sequence that numbers it belongs to the column (so that
-- the import can find it and move it past the ids it copies) and stands past every id already
-- there (rows written with their own ids, as the old program did, leave it behind). Duplicate or
-- empty ids stop this change; the program lists them before it tries.
do $$
declare
  t      text;
  seq    text;
  top    bigint;
  nextid bigint;
begin
  foreach t in array array['accounts_dep.smena', 'accounts_dep.h_tabel', 'accounts_dep.vid_oper',
                           'accounts_dep.oper', 'accounts_dep.norm', 'accounts_dep.person',
                           'accounts_dep.workers', 'accounts_dep.nomenkl'] loop
    if not exists (select 1 from pg_index i join pg_attribute a on a.attrelid = i.indrelid and a.attnum = i.indkey[0]
                    where i.indrelid = t::regclass and i.indisunique and i.indnatts = 1 and a.attname = 'id') then
      execute format('alter table %s add primary key (id)', t);
    end if;
    select (regexp_match(pg_get_expr(d.adbin, d.adrelid), 'nextval\(''([^'']+)''::regclass\)'))[1] into seq
      from pg_attrdef d join pg_attribute a on a.attrelid = d.adrelid and a.attnum = d.adnum
     where d.adrelid = t::regclass and a.attname = 'id';
    if seq is not null and not exists (select 1 from pg_depend where classid = 'pg_class'::regclass
                                          and objid = seq::regclass and refobjid = t::regclass and deptype = 'a') then
      execute format('alter sequence %s owned by %s.id', seq, t);
    end if;
    if seq is not null then
      execute format('select max(id) from %s', t) into top;
      execute format('select case when is_called then last_value + 1 else last_value end from %s', seq) into nextid;
      if top >= nextid then
        perform setval(seq, top, true);
      end if;
    end if;
  end loop;
end $$;
insert into accounts_dep.tabel_schema (version, name) values (3, 'id_keys') on conflict (version) do nothing;
