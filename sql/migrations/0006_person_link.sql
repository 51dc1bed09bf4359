-- A worker of the shop is also a person of the enterprise whose personnel code is the worker's
-- key: the register finds names by id or code, the reports and the time sheet by code alone. A new
-- worker gets an enterprise person only when none carries its code yet, under the worker's id when
-- that is free, and otherwise under a key below every other (negative), which no worker's id can
-- ever equal: the register also finds a name by "w_id=person.id". Only the persons made here follow
-- later renames; the enterprise's own rows are never written.
create table if not exists accounts_dep.person_link (
  worker_id integer primary key,
  person_id bigint not null
);

create or replace function accounts_dep.person_sync() returns trigger language plpgsql as $$
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
create or replace trigger person_sync after insert or update of fio on accounts_dep.person
  for each row execute function accounts_dep.person_sync();
insert into accounts_dep.tabel_schema (version, name) values (6, 'person_link') on conflict (version) do nothing;
