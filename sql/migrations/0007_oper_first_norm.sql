-- An operation is listed (Oper) and reached for its norms only through its norm rows. A new
-- operation therefore gets a first norm row (norm 0, bonus 0, the operation's own price: the new
-- price column, or the old one where only that is given, as in the legacy import; none when neither
-- is given, so that no price of 0 can become the lowest), whoever inserts
-- it, when it still has none as its transaction ends: a copy that brings its own norm rows in the
-- same transaction keeps just those.
create or replace function accounts_dep.oper_first_norm() returns trigger language plpgsql as $$
begin
  if exists (select 1 from accounts_dep.oper where id = new.id)
     and not exists (select 1 from accounts_dep.norm where o_id = new.id) then
    insert into accounts_dep.norm (o_id, norma, price, prize) values (new.id, 0, coalesce(nullif(new.cena_new, 0), new.cena), 0);
  end if;
  return new;
end $$;
do $$ begin
  if not exists (select 1 from pg_trigger where tgname = 'oper_first_norm'
                   and tgrelid = 'accounts_dep.oper'::regclass) then
    create constraint trigger oper_first_norm after insert on accounts_dep.oper
      deferrable initially deferred
      for each row execute function accounts_dep.oper_first_norm();
  end if;
end $$;
insert into accounts_dep.tabel_schema (version, name) values (7, 'oper_first_norm') on conflict (version) do nothing;
