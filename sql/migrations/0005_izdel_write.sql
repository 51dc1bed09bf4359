-- The shop's products are the enterprise goods: the view izdel is writable, so that the legacy import
-- can empty and fill it.
create or replace function accounts_dep.izdel_write() returns trigger language plpgsql as $$
begin
  if tg_op = 'INSERT' then
    insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, s_description, id_msm_bs, massa, nom)
    values (coalesce(new.id, nextval('cmn_gds_and_srv.gds_and_srv_id_seq')), new.marka, '', 6,
            new.massa, new.nom)
    returning id into new.id;
    return new;
  elsif tg_op = 'UPDATE' then
    update cmn_gds_and_srv.gds_and_srv
       set id = new.id, s_caption = new.marka, massa = new.massa, nom = new.nom
     where id = old.id;
    return new;
  else
    delete from cmn_gds_and_srv.gds_and_srv where id = old.id;
    return old;
  end if;
end $$;
create or replace trigger izdel_write instead of insert or update or delete on accounts_dep.izdel
  for each row execute function accounts_dep.izdel_write();
insert into accounts_dep.tabel_schema (version, name) values (5, 'izdel_write') on conflict (version) do nothing;
