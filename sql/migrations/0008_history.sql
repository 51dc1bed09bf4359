-- The history of changes: every insert, update and delete of an entry (the acceptance mark
-- included), of a norm and of an operation (its price), written by the database itself, so that no
-- client can skip it. "Who" is the program's role, host and OS user as the program sets them on its
-- session (tabel.role, tabel.host, tabel.os_user, application_name "tabel"); a change made outside the
-- program records what the server knows. An update records only the fields that changed, old and
-- new; an insert its whole new row, a delete its whole old row, so that the history replays the
-- entries. A bulk write that says so (tabel.bulk = on: the time sheet rebuild, the legacy import)
-- adds one line of its own instead of a line per row. Nothing in it is ever changed or deleted.
create table if not exists accounts_dep.tabel_history (
  id      bigserial primary key,
  at      timestamptz not null default clock_timestamp(),
  who     text not null,
  host    text,
  os_user text,
  program text,
  tbl     text not null,
  row_id  bigint,
  action  text not null,
  old     jsonb,
  new     jsonb,
  note    text
);
create index if not exists tabel_history_row on accounts_dep.tabel_history (tbl, row_id, id);
create index if not exists tabel_history_at on accounts_dep.tabel_history (at);

create or replace function accounts_dep.tabel_history_line(p_tbl text, p_row bigint, p_action text, p_old jsonb,
                                                           p_new jsonb, p_note text) returns void
language sql as $$
  insert into accounts_dep.tabel_history (who, host, os_user, program, tbl, row_id, action, old, new, note)
  values (coalesce(nullif(current_setting('tabel.role', true), ''), session_user::text),
          coalesce(nullif(current_setting('tabel.host', true), ''), host(inet_client_addr())),
          nullif(current_setting('tabel.os_user', true), ''),
          nullif(current_setting('application_name', true), ''),
          p_tbl, p_row, p_action, p_old, p_new,
          coalesce(p_note, nullif(current_setting('tabel.note', true), '')));
$$;

create or replace function accounts_dep.tabel_history_write() returns trigger language plpgsql as $$
declare
  o jsonb;
  n jsonb;
  k text;
  changed_old jsonb := '{}';
  changed_new jsonb := '{}';
begin
  if coalesce(current_setting('tabel.bulk', true), '') = 'on' then
    return null;
  end if;
  if tg_op = 'INSERT' then
    perform accounts_dep.tabel_history_line(tg_table_name, new.id, 'insert', null, to_jsonb(new), null);
  elsif tg_op = 'DELETE' then
    perform accounts_dep.tabel_history_line(tg_table_name, old.id, 'delete', to_jsonb(old), null, null);
  else
    o := to_jsonb(old);
    n := to_jsonb(new);
    for k in select jsonb_object_keys(n) loop
      if o -> k is distinct from n -> k then
        changed_old := changed_old || jsonb_build_object(k, o -> k);
        changed_new := changed_new || jsonb_build_object(k, n -> k);
      end if;
    end loop;
    -- An operation's history is its price.
    if changed_new = '{}' or (tg_table_name = 'oper' and not (changed_new ?| array['cena_new', 'cena'])) then
      return null;
    end if;
    perform accounts_dep.tabel_history_line(tg_table_name, new.id, 'update', changed_old, changed_new, null);
  end if;
  return null;
end $$;

create or replace trigger smena_history after insert or update or delete on accounts_dep.smena
  for each row execute function accounts_dep.tabel_history_write();
create or replace trigger norm_history after insert or update or delete on accounts_dep.norm
  for each row execute function accounts_dep.tabel_history_write();
create or replace trigger oper_history after insert or update or delete on accounts_dep.oper
  for each row execute function accounts_dep.tabel_history_write();

create or replace function accounts_dep.tabel_history_append_only() returns trigger language plpgsql as $$
begin
  raise exception 'История изменений только дополняется: её строки не меняются и не удаляются.';
end $$;
create or replace trigger tabel_history_append_only before update or delete on accounts_dep.tabel_history
  for each row execute function accounts_dep.tabel_history_append_only();
create or replace trigger tabel_history_no_truncate before truncate on accounts_dep.tabel_history
  for each statement execute function accounts_dep.tabel_history_append_only();
insert into accounts_dep.tabel_schema (version, name) values (8, 'history') on conflict (version) do nothing;
