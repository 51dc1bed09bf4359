-- Табель: the whole database the client reads and writes, for a new install or a test database.
-- Run on an empty database as its owner: psql -v ON_ERROR_STOP=1 -f sql/schema.sql
-- The base tables as a shop has them, then every change the program relies on, each in one
-- transaction, exactly as `tabel DATABASE SERVER --prepare-database` applies them to an existing shop.
\ir base.sql
begin;
\ir migrations/0001_schema_version.sql
commit;
begin;
\ir migrations/0002_datestyle.sql
commit;
begin;
\ir migrations/0003_id_keys.sql
commit;
begin;
\ir migrations/0004_indexes.sql
commit;
begin;
\ir migrations/0005_izdel_write.sql
commit;
begin;
\ir migrations/0006_person_link.sql
commit;
begin;
\ir migrations/0007_oper_first_norm.sql
commit;
begin;
\ir migrations/0008_history.sql
commit;
begin;
\ir migrations/0009_history_speed.sql
commit;
