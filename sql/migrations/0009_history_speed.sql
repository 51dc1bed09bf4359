-- The history's price on every save: the row trigger writes its line itself (a statement PL/pgSQL
-- plans once per session, where a call of the SQL function was planned on every row), an update's
-- changed fields are found in one expression, and the history's period look-up uses a BRIN index,
-- which costs an insert next to nothing, since lines are appended in time order. The warnings
-- before a save look up an operation's entries of recent days. A norm's line names its operation
-- (parent_id), so that an operation's history (its price and its norms, deleted ones too) is an
-- index look-up.
alter table accounts_dep.tabel_history add column if not exists parent_id bigint;
create index if not exists tabel_history_parent on accounts_dep.tabel_history (parent_id, id)
  where parent_id is not null;

create or replace function accounts_dep.tabel_history_write() returns trigger language plpgsql as $$
declare
  o jsonb;
  n jsonb;
  changed_old jsonb;
  changed_new jsonb;
begin
  if current_setting('tabel.bulk', true) = 'on' then
    return null;
  end if;
  if tg_op = 'UPDATE' then
    o := to_jsonb(old);
    n := to_jsonb(new);
    select jsonb_object_agg(e.key, o -> e.key), jsonb_object_agg(e.key, e.value)
      into changed_old, changed_new
      from jsonb_each(n) e
     where o -> e.key is distinct from e.value;
    -- An operation's history is its price.
    if changed_new is null or (tg_table_name = 'oper' and not (changed_new ?| array['cena_new', 'cena'])) then
      return null;
    end if;
  elsif tg_op = 'INSERT' then
    changed_new := to_jsonb(new);
    n := changed_new;
  else
    changed_old := to_jsonb(old);
    o := changed_old;
  end if;
  insert into accounts_dep.tabel_history (who, host, os_user, program, tbl, row_id, action, old, new, note,
                                          parent_id)
  values (coalesce(nullif(current_setting('tabel.role', true), ''), session_user::text),
          coalesce(nullif(current_setting('tabel.host', true), ''), host(inet_client_addr())),
          nullif(current_setting('tabel.os_user', true), ''),
          nullif(current_setting('application_name', true), ''),
          tg_table_name,
          case when tg_op = 'DELETE' then old.id else new.id end,
          lower(tg_op), changed_old, changed_new,
          nullif(current_setting('tabel.note', true), ''),
          case when tg_table_name = 'norm' then (coalesce(n, o) ->> 'o_id')::bigint end);
  return null;
end $$;

drop index if exists accounts_dep.tabel_history_at;
create index if not exists tabel_history_at_brin on accounts_dep.tabel_history using brin (at);

drop index if exists accounts_dep.smena_o_id;
create index if not exists smena_o_id_data on accounts_dep.smena (o_id, data) include (w_id, kol_vo);
insert into accounts_dep.tabel_schema (version, name) values (9, 'history_speed') on conflict (version) do nothing;
