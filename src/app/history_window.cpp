#include "history_window.h"

#include "ui_helpers.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace halvo::app {

using ui::named;

namespace {
QTableView *Table(QAbstractItemModel *model, const QString &name, const QString &heard)
{
    auto *t = named(new QTableView, name, heard);
    t->setModel(model);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}
} // namespace

HistoryWindow::HistoryWindow(std::unique_ptr<records::Repository> repository, const QString &unit,
                             Actions actions, QWidget *parent)
    : QDialog(parent), m_repository(std::move(repository)), m_records(*m_repository),
      m_actions(std::move(actions))
{
    setObjectName(QStringLiteral("FormHistory"));
    setWindowTitle(QStringLiteral("Unit History"));
    auto *v = new QVBoxLayout(this);
    unitBox = named(new QComboBox, QStringLiteral("ComboUnit"), QStringLiteral("Unit"));
    for (const QString &folder : m_repository->units()) {
        const auto file = m_records.unitFile(folder);
        unitBox->addItem(file ? file->name : folder, folder);
    }
    v->addWidget(unitBox);
    versionList =
        Table(&m_versions, QStringLiteral("ListVersions"), QStringLiteral("Versions, newest first"));
    versionList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    differenceList = Table(&m_differences, QStringLiteral("ListDifferences"), QStringLiteral("Differences"));
    differenceLine = named(new QLabel, QStringLiteral("LabelDifferences"));
    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(versionList);
    auto *lower = new QWidget;
    auto *l = new QVBoxLayout(lower);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(differenceLine);
    l->addWidget(differenceList);
    split->addWidget(lower);
    v->addWidget(split, 1);
    auto *buttons = new QDialogButtonBox;
    loadButton =
        named(new QPushButton(QStringLiteral("Load This Version")), QStringLiteral("CommandLoadVersion"));
    printButton = named(new QPushButton(QStringLiteral("Print This Version...")),
                        QStringLiteral("CommandPrintVersion"));
    buttons->addButton(loadButton, QDialogButtonBox::ActionRole);
    buttons->addButton(printButton, QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(loadButton, &QPushButton::clicked, this, &HistoryWindow::CommandLoadVersion_Click);
    connect(printButton, &QPushButton::clicked, this, &HistoryWindow::CommandPrintVersion_Click);
    v->addWidget(buttons);
    connect(versionList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::selectionChanged);
    connect(unitBox, &QComboBox::currentIndexChanged, this,
            [this](int i) { showUnit(unitBox->itemData(i).toString()); });
    resize(900, 600);
    const int at = unitBox->findData(unit);
    showUnit(unitBox->itemData(at >= 0 ? at : 0).toString());
}

HistoryWindow::~HistoryWindow() = default;

QString HistoryWindow::unit() const
{
    return unitBox->currentData().toString();
}

void HistoryWindow::showUnit(const QString &unit)
{
    const int at = unitBox->findData(unit);
    if (at >= 0 && at != unitBox->currentIndex()) {
        unitBox->setCurrentIndex(at); // comes back here
        return;
    }
    m_versions.setVersions(unit.isEmpty() ? std::vector<records::Version>{} : m_repository->history(unit));
    if (m_versions.rowCount() > 0)
        versionList->selectRow(0);
    else
        selectionChanged();
}

// One version: what it changed from the one before; two: what differs between them.
void HistoryWindow::selectionChanged()
{
    QList<int> rows;
    for (const QModelIndex &i : versionList->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    loadButton->setEnabled(rows.size() == 1);
    printButton->setEnabled(rows.size() == 1);
    m_differences.setDifferences({});
    if (rows.isEmpty() || rows.size() > 2) {
        differenceLine->setText(rows.isEmpty() ? QStringLiteral("Choose a version, or two to compare.")
                                               : QStringLiteral("Choose one version, or two to compare."));
        return;
    }
    const records::Version &newer = m_versions.version(rows.first());
    const bool first = rows.size() == 1 && rows.first() + 1 >= m_versions.rowCount();
    if (first) {
        differenceLine->setText(QStringLiteral("Version %1 is the unit's first.").arg(newer.number));
        return;
    }
    const records::Version &older = m_versions.version(rows.size() == 2 ? rows.last() : rows.first() + 1);
    QString why;
    const auto a = m_records.at(unit(), older, &why);
    const auto b = a ? m_records.at(unit(), newer, &why) : std::nullopt;
    if (!a || !b) {
        differenceLine->setText(QStringLiteral("The versions cannot be compared: ") + why);
        return;
    }
    const auto differences = records::Compare_Versions(*a, *b);
    m_differences.setDifferences(differences);
    differenceLine->setText(
        QStringLiteral("Version %1 against version %2: %3")
            .arg(newer.number)
            .arg(older.number)
            .arg(differences.fields.empty() ? QStringLiteral("the same")
                 : differences.fields.size() == 1
                     ? QStringLiteral("1 field differs")
                     : QStringLiteral("%1 fields differ").arg(differences.fields.size())));
}

std::optional<records::UnitVersion> HistoryWindow::chosen(records::Version *version) const
{
    const auto rows = versionList->selectionModel()->selectedRows();
    if (rows.size() != 1)
        return std::nullopt;
    *version = m_versions.version(rows.first().row());
    return m_records.at(unit(), *version);
}

void HistoryWindow::CommandLoadVersion_Click()
{
    records::Version v;
    if (const auto content = chosen(&v); content && m_actions.load)
        m_actions.load(*content, v);
}

void HistoryWindow::CommandPrintVersion_Click()
{
    records::Version v;
    if (const auto content = chosen(&v); content && m_actions.print)
        m_actions.print(*content, v);
}

} // namespace halvo::app
