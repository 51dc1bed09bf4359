-- The program's own record of the changes applied to this database: which, when and by whom.
create table if not exists accounts_dep.tabel_schema (
  version    integer primary key,
  name       text not null,
  applied_at timestamptz not null default now(),
  applied_by text not null default current_user
);
insert into accounts_dep.tabel_schema (version, name) values (1, 'schema_version') on conflict (version) do nothing;
