-- Day-first dates in statement text ('16.03.2023'), for every session of this database.
do $$ begin
  execute format('alter database %I set datestyle = %L', current_database(), 'ISO, DMY');
end $$;
set local datestyle = 'ISO, DMY';
insert into accounts_dep.tabel_schema (version, name) values (2, 'datestyle') on conflict (version) do nothing;
