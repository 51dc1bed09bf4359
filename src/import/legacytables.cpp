#include "import/legacytables.h"

namespace tabel::legacy {

namespace {
std::vector<Field> timesheetFields()
{
    std::vector<Field> f{{QStringLiteral("id"), Copy::Integer},
                         {QStringLiteral("w_id"), Copy::Integer},
                         {QStringLiteral("month"), Copy::Integer},
                         {QStringLiteral("year"), Copy::Integer},
                         {QStringLiteral("smena"), Copy::Integer}};
    for (int day = 1; day <= 31; ++day)
        f.push_back({QStringLiteral("d%1").arg(day), Copy::Integer});
    return f;
}
} // namespace

const std::vector<Table> &tables()
{
    static const std::vector<Table> all{
        {QStringLiteral("H_TABEL"), QStringLiteral("accounts_dep.h_tabel"),
         QStringLiteral("accounts_dep.h_tabel"), timesheetFields(), true, Origin::Legacy, Write::Replace,
         std::nullopt},
        {QStringLiteral("IZDEL"),
         QStringLiteral("accounts_dep.izdel"),
         QStringLiteral("cmn_gds_and_srv.gds_and_srv"),
         {{QStringLiteral("id"), Copy::Integer},
          {QStringLiteral("marka"), Copy::Text},
          {QStringLiteral("nom"), Copy::Text},
          {QStringLiteral("massa"), Copy::Floating}},
         true,
         Origin::Legacy,
         Write::AddAbsent,
         locks::Products},
        {QStringLiteral("NOMENKL"),
         QStringLiteral("accounts_dep.nomenkl"),
         QStringLiteral("accounts_dep.nomenkl"),
         {{QStringLiteral("marka"), Copy::Text}, {QStringLiteral("nom"), Copy::Text}},
         false,
         Origin::Legacy,
         Write::Replace,
         std::nullopt},
        {QStringLiteral("OPER"),
         QStringLiteral("accounts_dep.oper"),
         QStringLiteral("accounts_dep.oper"),
         {{QStringLiteral("id"), Copy::Integer},
          {QStringLiteral("vid"), Copy::Integer},
          {QStringLiteral("naimen"), Copy::Integer},
          {QStringLiteral("cena"), Copy::Floating},
          {QStringLiteral("i_id"), Copy::Integer}},
         true,
         Origin::Legacy,
         Write::Replace,
         locks::Operations},
        {QStringLiteral("VID_OPER"),
         QStringLiteral("accounts_dep.vid_oper"),
         QStringLiteral("accounts_dep.vid_oper"),
         {{QStringLiteral("id"), Copy::Integer}, {QStringLiteral("vid"), Copy::Text}},
         true,
         Origin::Legacy,
         Write::Replace,
         locks::OperationKinds},
        {QStringLiteral("WORKERS"),
         QStringLiteral("accounts_dep.workers"),
         QStringLiteral("accounts_dep.workers"),
         {{QStringLiteral("id"), Copy::Integer},
          {QStringLiteral("fio"), Copy::Text},
          {QStringLiteral("addr"), Copy::Text}},
         true,
         Origin::Legacy,
         Write::Replace,
         std::nullopt},
        {QStringLiteral("smena"),
         QStringLiteral("accounts_dep.smena"),
         QStringLiteral("accounts_dep.smena"),
         {{QStringLiteral("id"), Copy::Integer},
          {QStringLiteral("w_id"), Copy::Integer},
          {QStringLiteral("i_id"), Copy::Integer},
          {QStringLiteral("o_id"), Copy::Integer},
          {QStringLiteral("kol_vo"), Copy::Integer},
          {QStringLiteral("brak"), Copy::Integer},
          {QStringLiteral("smena"), Copy::Integer},
          {QStringLiteral("cena"), Copy::Floating},
          {QStringLiteral("color"), Copy::Integer},
          {QStringLiteral("ok"), Copy::Text},
          {QStringLiteral("data"), Copy::Date},
          {QStringLiteral("time"), Copy::NullableInteger},
          {QStringLiteral("vvod"), Copy::Timestamp}},
         true,
         Origin::Shared,
         Write::Replace,
         std::nullopt},
    };
    return all;
}

} // namespace tabel::legacy
