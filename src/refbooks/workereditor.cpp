#include "refbooks/workereditor.h"

#include "ui_workereditor.h"

#include "data/datamodule.h"
#include "shop/bookstore.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowsetup.h"

#include <QComboBox>
#include <QShowEvent>
#include <QWheelEvent>

namespace tabel {

namespace {
// Fills a look-up with its table's captions, keyed by id, keeping the entry chosen before.
void fill(QComboBox *box, Dataset *table)
{
    const QVariant chosen = box->currentData();
    box->clear();
    for (table->first(); !table->eof(); table->next())
        box->addItem(table->asString(QStringLiteral("s_caption")), table->value(QStringLiteral("id")));
    box->setCurrentIndex(chosen.isValid() ? box->findData(chosen) : -1);
}
} // namespace

WorkerEditor::WorkerEditor(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::WorkerEditor>()), m_context(context)
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);
    Connection *c = &m_context.data->connection();
    m_staffpos = new Dataset(c, QStringLiteral("staffpos"), this);
    m_staffpos->setSql(
        {QStringLiteral("select id, id_department, s_code, s_caption, d_begin, d_end, s_description "
                        "from hrms_staffpos.staffpos order by s_caption, id")});
    m_department = new Dataset(c, QStringLiteral("department"), this);
    m_department->setSql({QStringLiteral("select id, id_branch, s_code, s_caption, s_description, id_parent "
                                         "from cmn_department.department order by s_caption, id")});
    m_roles = new Dataset(c, QStringLiteral("roles"), this);
    m_roles->setSql({QStringLiteral("select id, s_name, s_caption, d_begin, d_end, b_active "
                                    "from adm_role.roles order by s_caption, id")});
    for (QComboBox *box : {ui->departmentCombo, ui->positionCombo, ui->roleCombo}) {
        box->installEventFilter(this);
        box->setFocusPolicy(Qt::StrongFocus); // the wheel never turns a look-up the user is not in
    }
    connectGuarded(ui->saveButton, &QPushButton::clicked, this, m_context.services.messages,
                   [this] { save(); });
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

WorkerEditor::~WorkerEditor() = default;

void WorkerEditor::reopenLookups()
{
    for (Dataset *table : {m_staffpos, m_roles, m_department}) {
        table->close();
        table->open();
    }
    fill(ui->positionCombo, m_staffpos);
    fill(ui->roleCombo, m_roles);
    fill(ui->departmentCombo, m_department);
}

bool WorkerEditor::add()
{
    m_mode = Mode::Add;
    m_id = 0;
    m_oldPosition.clear();
    ui->nameEdit->clear();
    setWindowTitle(QStringLiteral("Заведение данных нового работника"));
    reopenLookups(); // the look-ups keep what was chosen at the previous use
    return m_context.services.exec(this) == QDialog::Accepted;
}

bool WorkerEditor::change(int id, const QString &name, const QString &position)
{
    m_mode = Mode::Change;
    m_id = id;
    m_oldPosition = position;
    setWindowTitle(QStringLiteral("Изменение данных работника"));
    reopenLookups();
    // The worker's own department, found by the text stored for him; none when it names none.
    ui->departmentCombo->setCurrentIndex(ui->departmentCombo->findText(position.trimmed(), Qt::MatchExactly));
    ui->nameEdit->setText(name.trimmed());
    return m_context.services.exec(this) == QDialog::Accepted;
}

void WorkerEditor::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ui->nameEdit->setFocus();
}

bool WorkerEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel)
        return QDialog::eventFilter(watched, event);
    auto *box = qobject_cast<QComboBox *>(watched);
    if (!box || !box->hasFocus())
        return true; // the wheel acts on the look-up that has the focus, and nowhere else
    const int step = static_cast<QWheelEvent *>(event)->angleDelta().y() < 0 ? 1 : -1;
    const int next = box->currentIndex() + step;
    if (next >= 0 && next < box->count())
        box->setCurrentIndex(next);
    return true;
}

void WorkerEditor::save()
{
    // Nothing chosen in change mode keeps what the worker had.
    const QString department = ui->departmentCombo->currentIndex() >= 0 ? ui->departmentCombo->currentText()
                               : m_mode == Mode::Change                 ? m_oldPosition
                                                                        : QString();
    const BookResult result =
        BookStore(m_context.data)
            .saveWorker({m_mode == Mode::Add ? 0 : m_id, ui->nameEdit->text(), department});
    if (result.refused()) {
        m_context.services.messages->error(QStringLiteral("Ошибка"), result.refusal);
        return;
    }
    accept();
}

} // namespace tabel
