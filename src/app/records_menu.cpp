#include "records_menu.h"

#include "history_window.h"
#include "operator_dialogs.h"
#include "recorder/records_place.h"
#include "recorder/unit_recorder.h"
#include "report/config_sheet.h"
#include "session/unit_session.h"
#include "ui_helpers.h"

#include "settings/config_params.h"
#include "settings/locations.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QRegularExpression>

namespace halvo::app {

// The recorder's questions, asked with the window's dialogs.
class RecordsMenu::Questions : public recorder::RecordQuestions
{
public:
    explicit Questions(OperatorDialogs &dialogs) : m_dialogs(dialogs) {}
    std::optional<QString> nameUnit(const QString &banner, const QStringList &sameBanner) override
    {
        const QString label =
            sameBanner.isEmpty()
                ? QStringLiteral(
                      "The records keep each unit's history by its name. This unit says \"%1\".\n\n"
                      "Name this unit:")
                      .arg(banner)
                : QStringLiteral("This unit is not %1. The records keep it apart by its own name.\n\nName "
                                 "this unit:")
                      .arg(sameBanner.join(QStringLiteral(" or ")));
        return m_dialogs.askText(QStringLiteral("Name this unit"), label, banner);
    }
    bool isThisUnit(const QString &name, const QString &banner) override
    {
        return m_dialogs.askYesNo(
            QStringLiteral("Is this %1?\n\nThe records hold %1, whose banner is \"%2\" too, "
                           "met through another adapter.")
                .arg(name, banner));
    }
    std::optional<QString> operatorName(const QString &offered) override
    {
        auto name =
            m_dialogs.askText(QStringLiteral("Your name"),
                              QStringLiteral("The records name who made each version. Your name:"), offered);
        if (name && !name->trimmed().isEmpty())
            recorder::Keep_Operator_Name(*name); // asked once on this PC
        return name;
    }

private:
    OperatorDialogs &m_dialogs;
};

RecordsMenu::RecordsMenu(QMenu *file, QMenu *options, session::UnitSession &session,
                         config::Configuration &config, OperatorDialogs &dialogs, QLabel *line,
                         QWidget *window)
    : QObject(window), m_session(session), m_config(config), m_dialogs(dialogs), m_line(line),
      m_window(window), m_questions(std::make_unique<Questions>(dialogs)),
      m_recorder(std::make_unique<recorder::UnitRecorder>(session, *m_questions))
{
    m_recorder->setFolder(recorder::Records_Kept() ? recorder::Kept_Records_Folder() : QString());
    const QString kept = recorder::Kept_Operator_Name();
    if (!kept.isEmpty())
        m_recorder->setAuthor(recorder::Author_Named(kept));
    connect(m_recorder.get(), &recorder::UnitRecorder::recorded, this,
            [this](const records::Recorded &, const QString &text) {
                m_lastRecorded = text;
                m_line->setText(text);
            });
    connect(m_recorder.get(), &recorder::UnitRecorder::synced, this, [this](bool, const QString &text, int) {
        m_line->setText(m_lastRecorded.isEmpty() ? text : m_lastRecorded + QStringLiteral("; ") + text);
        m_lastRecorded.clear();
    });
    connect(m_recorder.get(), &recorder::UnitRecorder::notRecorded, this,
            [this](const QString &text) { m_line->setText(text); });

    file->addSeparator();
    auto *history =
        ui::named(file->addAction(QStringLiteral("Unit History...")), QStringLiteral("Menu_Unit_History"));
    history->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(history, &QAction::triggered, this, &RecordsMenu::Menu_Unit_History_Click);
    auto *folder = ui::named(options->addAction(QStringLiteral("Records Folder...")),
                             QStringLiteral("Menu_Records_Folder"));
    connect(folder, &QAction::triggered, this, &RecordsMenu::Menu_Records_Folder_Click);
    auto *share = ui::named(options->addAction(QStringLiteral("Share Records...")),
                            QStringLiteral("Menu_Share_Records"));
    connect(share, &QAction::triggered, this, &RecordsMenu::Menu_Share_Records_Click);
    auto *sync =
        ui::named(options->addAction(QStringLiteral("Sync Records")), QStringLiteral("Menu_Sync_Records"));
    connect(sync, &QAction::triggered, this, &RecordsMenu::Menu_Sync_Records_Click);
    m_keep =
        ui::named(options->addAction(QStringLiteral("Keep Records")), QStringLiteral("Menu_Keep_Records"));
    m_keep->setCheckable(true);
    m_keep->setChecked(recorder::Records_Kept());
    connect(m_keep, &QAction::toggled, this, &RecordsMenu::Menu_Keep_Records_Click);
}

RecordsMenu::~RecordsMenu() = default;

HistoryWindow *RecordsMenu::history() const
{
    return m_history;
}

void RecordsMenu::Menu_Records_Folder_Click()
{
    const QString folder =
        m_dialogs.chooseFolder(QStringLiteral("Records Folder"), recorder::Kept_Records_Folder());
    if (folder.isEmpty())
        return;
    recorder::Keep_Records_Folder(folder);
    if (m_keep->isChecked())
        m_recorder->setFolder(folder);
    m_line->setText(QStringLiteral("records kept in %1").arg(QDir::toNativeSeparators(folder)));
}

void RecordsMenu::Menu_Share_Records_Click()
{
    QString current;
    if (auto repository = records::Repository::Open(m_recorder->folder(), nullptr))
        current = repository->remote();
    const auto url = m_dialogs.askText(
        QStringLiteral("Share Records"),
        QStringLiteral("The department's records, shared by every PC: a bare repository in a shared folder "
                       "(\\\\server\\share\\halvo-records.git), a file:// address or an https:// address:"),
        current);
    if (!url || url->trimmed().isEmpty())
        return;
    m_lastRecorded.clear();
    m_line->setText(QStringLiteral("sharing the records..."));
    m_recorder->shareWith(url->trimmed());
}

void RecordsMenu::Menu_Sync_Records_Click()
{
    m_lastRecorded.clear();
    m_line->setText(QStringLiteral("syncing the records..."));
    m_recorder->sync();
}

void RecordsMenu::Menu_Keep_Records_Click(bool on)
{
    recorder::Keep_Records(on);
    m_recorder->setFolder(on ? recorder::Kept_Records_Folder() : QString());
    m_line->setText(
        on ? QStringLiteral("records kept in %1").arg(QDir::toNativeSeparators(m_recorder->folder()))
           : QStringLiteral("no records kept"));
}

// The unit on the link, as the records know it: it opens the history at its own.
QString RecordsMenu::connectedUnit() const
{
    if (!m_session.isOpen() || m_recorder->folder().isEmpty())
        return {};
    auto repository = records::Repository::Open(m_recorder->folder(), nullptr);
    if (!repository)
        return {};
    const QString adapter = m_session.adapter();
    const records::UnitRecords units(*repository);
    const auto found = units.find({m_session.identification().trimmed(),
                                   adapter == m_session.path() ? QString() : adapter,
                                   m_session.path(),
                                   {}});
    if (found.unit)
        return *found.unit;
    return found.sameBanner.size() == 1 ? found.sameBanner.front() : QString();
}

void RecordsMenu::Menu_Unit_History_Click()
{
    const QString folder =
        m_recorder->folder().isEmpty() ? recorder::Kept_Records_Folder() : m_recorder->folder();
    if (!QFileInfo::exists(QDir(folder).filePath(QStringLiteral(".git")))) {
        m_dialogs.message(QStringLiteral("There are no records in %1 yet: each unit read or stored from here "
                                         "is recorded there.")
                              .arg(QDir::toNativeSeparators(folder)));
        return;
    }
    QString why;
    auto repository = records::Repository::Open(folder, &why);
    if (!repository) {
        m_dialogs.message(QStringLiteral("The records cannot be opened: ") + why);
        return;
    }
    if (m_history)
        m_history->close();
    m_history =
        new HistoryWindow(std::move(repository), connectedUnit(),
                          {[this](const records::UnitVersion &c, const records::Version &v) { load(c, v); },
                           [this](const records::UnitVersion &c, const records::Version &v) { print(c, v); }},
                          m_window);
    m_history->setAttribute(Qt::WA_DeleteOnClose);
    m_history->show();
}

void RecordsMenu::offerWhoChanged(QWidget *window)
{
    auto offer = [this](QWidget *w, config::Part part, int index, QMenu *(*standard)(QWidget *)) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w, part, index, standard](const QPoint &at) {
                    QMenu *menu = standard ? standard(w) : new QMenu(w);
                    menu->setAttribute(Qt::WA_DeleteOnClose);
                    int item = index;
                    QPoint where = w->mapToGlobal(at);
                    if (auto *view = qobject_cast<QAbstractItemView *>(w)) { // at is in its viewport
                        const QModelIndex cell = view->indexAt(at);
                        if (!cell.isValid())
                            return delete menu;
                        item = cell.row() + 1;
                        where = view->viewport()->mapToGlobal(at);
                    }
                    if (!menu->isEmpty())
                        menu->addSeparator();
                    connect(menu->addAction(QStringLiteral("Who Changed This?")), &QAction::triggered, this,
                            [this, part, item] { whoChanged(part, item); });
                    menu->popup(where);
                });
    };
    auto lineMenu = [](QWidget *w) { return static_cast<QLineEdit *>(w)->createStandardContextMenu(); };
    if (auto *passes = window->findChild<QAbstractItemView *>(QStringLiteral("ListView1")))
        offer(passes, config::Part::Passes, 0, nullptr);
    const QRegularExpression indexed(
        QStringLiteral("^(Text_Config_Parameters|Text_Location_Name)\\((\\d+)\\)$"));
    for (QLineEdit *field : window->findChildren<QLineEdit *>()) {
        const auto m = indexed.match(field->objectName());
        if (m.hasMatch())
            offer(field,
                  m.captured(1) == QLatin1String("Text_Location_Name") ? config::Part::Locations
                                                                       : config::Part::Settings,
                  m.captured(2).toInt(), lineMenu);
    }
}

void RecordsMenu::whoChanged(config::Part part, int index)
{
    const QString field = part == config::Part::Passes ? QStringLiteral("pass %1").arg(index)
                          : part == config::Part::Settings
                              ? QStringLiteral("setting ") + settings::Param_Description(index)
                              : QStringLiteral("location ") + settings::Location_Code_Caption(index);
    const QString unit = connectedUnit();
    auto repository = unit.isEmpty() ? nullptr : records::Repository::Open(m_recorder->folder(), nullptr);
    if (!repository) {
        m_dialogs.message(
            QStringLiteral("The records hold nothing of the unit on the link yet, so they cannot say "
                           "who changed %1.")
                .arg(field));
        return;
    }
    const records::UnitRecords units(*repository);
    QString why;
    const auto version = units.lastChanged(unit, part, index, &why);
    const auto file = units.unitFile(unit);
    const QString name = file ? file->name : unit;
    if (!version) {
        m_dialogs.message(why.isEmpty()
                              ? QStringLiteral("The records of %1 hold no %2 read from the unit, so they "
                                               "cannot say who changed %3.")
                                    .arg(name, config::Part_Name(part), field)
                              : QStringLiteral("The records cannot say who changed %1: %2").arg(field, why));
        return;
    }
    m_dialogs.message(QStringLiteral("%1 was last changed in version %2 of %3, by %4 on %5, %6:\n\n%7")
                          .arg(field.left(1).toUpper() + field.mid(1))
                          .arg(version->number)
                          .arg(name, version->author.name, version->author.host,
                               version->when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                               version->summary));
}

// The version's known parts go into the window; what differs from the unit is then
// marked, counted and storable with Store Selected. Nothing is sent.
void RecordsMenu::load(const records::UnitVersion &content, const records::Version &version)
{
    QStringList parts;
    for (config::Part p : records::RecordedParts)
        if (content.unit.knows(p)) {
            records::Take_Part(m_config, content.configuration, p);
            parts << config::Part_Name(p);
        }
    m_line->setText(QStringLiteral("version %1 of %2 loaded: %3")
                        .arg(version.number)
                        .arg(content.unit.name, parts.join(QStringLiteral(", "))));
}

void RecordsMenu::print(const records::UnitVersion &content, const records::Version &version)
{
    report::SheetSource source;
    source.kind = report::SheetSource::Kind::Recorded;
    source.when = version.when.toLocalTime();
    source.recordedBy = version.author.name;
    source.version = version.number;
    source.unitId = content.unit.banner;
    QPrinter printer(QPrinter::HighResolution);
    if (m_dialogs.choosePrinter(printer))
        report::Paint_Sheet({content.configuration, source, {}, QStringLiteral(HALVO_VERSION)}, printer);
}

} // namespace halvo::app
