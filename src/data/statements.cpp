#include "data/statements.h"

namespace tabel::statements {

#define S(x) QStringLiteral(x)

QStringList workers()
{
    return {S("select * from accounts_dep.person order by fio")};
}

QStringList izdel()
{
    return {S("select marka, id, nom, massa  from accounts_dep.IZDEL order by marka")};
}

QStringList vidOper()
{
    return {S("select * from accounts_dep.VID_OPER order by vid")};
}

QStringList oper()
{
    return {
        S("select izdel.MARKA, vid_oper.VID, oper.NAIMEN, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn,"),
        S("count(o_id) norma, min(price)::numeric cena,"),
        S("oper.id, oper.i_id, oper.VID as oper_vid from accounts_dep.norm,accounts_dep.OPER,accounts_dep.IZDEL,accounts_dep.VID_OPER where OPER.i_id=IZDEL.id and norm.o_id=oper.id"),
        S("and oper.vid=vid_oper.id group by izdel.MARKA, vid_oper.VID, oper.NAIMEN, oper.id, oper.i_id, oper.VID order by izdel.marka, vid_oper.vid, oper.naimen"),
    };
}

QStringList smena(int shift)
{
    switch (shift) {
    case 2:
        return {
            S("select smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
            S("smena.cena, s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn, oper.naimen, smena.kol_vo::numeric, smena.brak, "),
            S("round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, smena.id, color,time,smena.ok,vvod, smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use  "),
            S("from cmn_contractor.person person,accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper "),
            S("where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and "),
            S("oper.vid=vid_oper.id and smena.smena=2 and smena.data=:data and ok<>:ok order by fio"),
        };
    case 3:
        return {
            S("select smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
            S("smena.cena,s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn,  oper.naimen, smena.kol_vo::numeric, smena.brak, "),
            S("round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, smena.id, color,time,smena.ok,vvod, smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use"),
            S("from cmn_contractor.person person,accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper "),
            S("where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and "),
            S("oper.vid=vid_oper.id and smena.smena=3 and smena.data=:data and ok<>:ok order by fio"),
        };
    case 4:
        return {
            S("select smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
            S("smena.cena,person.s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn,  oper.naimen, smena.kol_vo::numeric, smena.brak, "),
            S("round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, smena.id , color,time,smena.ok,vvod, smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use "),
            S("from cmn_contractor.person person, accounts_dep.izdel, accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper "),
            S("where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and "),
            S("oper.vid=vid_oper.id and smena.smena=4 and smena.data=:data and ok<>:ok order by fio"),
        };
    default:
        return {
            S("select smena.id, smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
            S("smena.cena,person.s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn, oper.naimen,  smena.brak, smena.kol_vo::numeric,"),
            S("round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, color,time, smena.ok, vvod, smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use"),
            S("from cmn_contractor.person person, accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper "),
            S("where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and "),
            S("oper.vid=vid_oper.id and smena.smena=1 and smena.data=:data and ok!=:ok order by "),
            S("fio, izdel.marka, vid_oper.vid, oper.naimen, color"),
        };
    }
}

QStringList hTabel(int shift)
{
    const QString line4 =
        shift == 2   ? S("h_tabel.w_id=person.s_code::integer and h_tabel.smena=2 and month=:mnth and ")
        : shift == 3 ? S("h_tabel.w_id=person.s_code::integer and h_tabel.smena=3 and month=:mnth and ")
                     : S("h_tabel.w_id=person.s_code::integer and h_tabel.smena=1 and month=:mnth and ");
    return {
        S("select person.s_caption fio, h_tabel.*,(d1+d2+d3+d4+d5+d6+d7+d8+d9+d10+d11"),
        S("+d12+d13+d14+d15+d16+d17+d18+d19+d20+d21+d22+d23+d24+d25"),
        S("+d26+d27+d28+d29+d30+d31) as summ from accounts_dep.h_tabel, cmn_contractor.person where "),
        line4,
        S("year=:yea order by fio"),
    };
}

QStringList hTabelPrint()
{
    return {
        S("select person.s_caption fio,sum(d1) as sd1,sum(d2) as sd2,sum(d3) as sd3,sum(d4) as sd4,"),
        S("sum(d5) as sd5,sum(d6) as sd6,sum(d7) as sd7,sum(d8) as sd8,sum(d9) as sd9,"),
        S("sum(d10) as sd10,sum(d11) as sd11,sum(d12) as sd12,sum(d13) as sd13,"),
        S("sum(d14) as sd14,sum(d15) as sd15,sum(d16) as sd16,sum(d17) as sd17,"),
        S("sum(d18) as sd18,sum(d19) as sd19,sum(d20) as sd20,sum(d21) as sd21,"),
        S("sum(d22) as sd22,sum(d23) as sd23,sum(d24) as sd24,sum(d25) as sd25,"),
        S("sum(d26) as sd26,sum(d27) as sd27,sum(d28) as sd28,sum(d29) as sd29,"),
        S("sum(d30) as sd30,sum(d31) as sd31 from accounts_dep.h_tabel, cmn_contractor.person person where"),
        S("h_tabel.w_id=person.s_code::t_integer and month=:mnth and"),
        S("year=:yea group by fio order by fio"),
    };
}

QStringList workersReport()
{
    return {
        S("select person.s_caption fio, sum(smena.kol_vo-smena.brak)::numeric as kolvo, "),
        S("sum((kol_vo-brak)*smena.cena) as summa,vid_oper.vid,"),
        S("izdel.nom, oper.naimen, color from cmn_contractor.person person,accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper,"),
        S("accounts_dep.oper where w_id=s_code::integer and izdel.id=smena.i_id and vid_oper.id=oper.vid"),
        S("and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 "),
        S("group by fio, izdel.nom, oper.naimen, vid_oper.vid, color order by fio, izdel.nom"),
    };
}

QStringList productsReport()
{
    return {
        S("select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid,"),
        S("izdel.nom, oper.naimen, color,  round((izdel.massa*sum(smena.kol_vo-smena.brak))::numeric,2) as mass"),
        S("from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, accounts_dep.oper where izdel.id=smena.i_id and vid_oper.id=oper.vid"),
        S("and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 "),
        S("group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom"),
    };
}

QStringList workersDetailReport()
{
    // prize and cena qualified: oper has a cena too, and the bare name is ambiguous on this schema.
    return {
        S("select s_caption fio, izdel.marka, vid_oper.vid, oper.naimen, "),
        S("sum(smena.kol_vo)::numeric as kolvo, sum(smena.brak) as brk, sum((kol_vo-brak)*"),
        S("smena.cena) as summa, color, sum(smena.prize*(kol_vo-brak)*smena.cena/100) as s_prize "),
        S("from cmn_contractor.person person,accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper where "),
        S("smena.o_id=oper.id and smena.w_id=s_code::integer and smena.i_id=izdel.id "),
        S("and smena.o_id=oper.id and w_id=s_code::integer and oper.vid=vid_oper.id "),
        S("and smena.data<:data2 and smena.data>=:data1 group by fio, marka, "),
        S("vid_oper.vid, oper.naimen, color order by fio, marka, vid_oper.vid, oper.naimen"),
    };
}

QStringList productsDetailReport()
{
    return {
        S("select izdel.marka, vid_oper.vid vid, oper.naimen, izdel.nom,"),
        S("sum(smena.kol_vo)::numeric as kolvo, sum(smena.brak) as brk, "),
        S("sum((kol_vo-brak)*smena.cena) as summa, color, round((izdel.massa*sum(smena.kol_vo))::numeric,2) as mass "),
        S("from accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper where smena.o_id=oper.id and smena.i_id=izdel.id "),
        S("and smena.o_id=oper.id and oper.vid=vid_oper.id and smena.data<:data2 and "),
        S("smena.data>=:data1 group by izdel.nom, marka, vid_oper.vid, oper.naimen, color,massa "),
        S("order by izdel.nom,marka, vid_oper.vid, oper.naimen"),
    };
}

QStringList productsExport()
{
    return {
        S("select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid,"),
        S("izdel.nom, oper.naimen, color,izdel.massa*sum(smena.kol_vo-smena.brak) as mass "),
        S("from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, accounts_dep.oper where izdel.id=smena.i_id and vid_oper.id=oper.vid"),
        S("and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 "),
        S("group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom"),
    };
}

QString operDel()
{
    return S("delete from accounts_dep.oper where id=:id");
}

QString verTable()
{
    return S("accounts_dep.ver");
}

#undef S

} // namespace tabel::statements
