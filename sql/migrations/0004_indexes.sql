-- The register reads one date and shift; postings and the rebuild read a worker's day or month; the
-- books' deletions look for what still uses a row.
create index if not exists smena_data_smena on accounts_dep.smena (data, smena);
create index if not exists smena_w_id_smena_data on accounts_dep.smena (w_id, smena, data);
create index if not exists smena_o_id on accounts_dep.smena (o_id);
create index if not exists smena_i_id on accounts_dep.smena (i_id);
create index if not exists h_tabel_period on accounts_dep.h_tabel (year, month, smena, w_id);
create index if not exists oper_i_id on accounts_dep.oper (i_id);
create index if not exists norm_o_id on accounts_dep.norm (o_id);
insert into accounts_dep.tabel_schema (version, name) values (4, 'indexes') on conflict (version) do nothing;
