// A tab built alone over a configuration and a session on a fake link, without the
// window: it follows the model whatever changes it, writes the operator's edits into
// it, and marks what differs from the unit.
#include "change_marks.h"
#include "config/configuration.h"
#include "location_tab.h"
#include "pass_tab.h"
#include "session/changes_not_stored.h"
#include "session/store_job.h"
#include "settings_tab.h"
#include "support/fake_dialogs.h"
#include "support/fake_link.h"
#include "support/session_probe.h"
#include "support/warnings.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace halvo;

namespace {
QByteArray settingsPage(char kind, std::initializer_list<std::pair<int, int>> bytes)
{
    QByteArray p(32, '\0');
    for (auto [i, v] : bytes)
        p[i] = char(v);
    return "D$" + QByteArray(1, kind) + p + "   \n\r";
}
// The 72 pass records of a unit whose pass n is named "Pass n".
QByteArray passTable()
{
    QByteArray out;
    for (int i = 0; i < 72; ++i) {
        QByteArray r(1, char(i));
        r += ("Pass " + QByteArray::number(i + 1)).leftJustified(16, ' ') + " 0A" + char(3) + "0E" +
             char(60) + char(0x80) + char(1) + char(5) + char(15) + char(0) + char(2);
        out += "D!" + r.leftJustified(36, ' ') + "\n\r";
    }
    return out;
}
} // namespace

class TestTabAlone : public QObject
{
    Q_OBJECT
    QStringList log;
    config::Configuration config;
    std::unique_ptr<test::FakeSession> fake;
    std::unique_ptr<session::ChangesNotStored> changes;
    test::FakeDialogs::Log said;
    test::FakeDialogs dialogs{said};

    app::TabContext context()
    {
        return {config, *fake->session, *changes, dialogs, [this] { return fake->session->isOpen(); }};
    }

private slots:
    void init()
    {
        test::failOnAnyWarning();
        config = config::Configuration();
        fake = std::make_unique<test::FakeSession>(log);
        fake->session->setConfiguration(&config);
        changes = std::make_unique<session::ChangesNotStored>(config, fake->session->image());
        QVERIFY(Probe::channel(*fake->session).open("/dev/fake"));
    }

    void theSettingsTabFollowsTheModelAndWritesEditsIntoIt()
    {
        app::SettingsTab tab(context());
        auto *timeout = tab.findChild<QLineEdit *>("Text_Config_Parameters(2)");
        auto *max = tab.findChild<QLabel *>("Label_Config_Parameters_Max(2)");
        Probe::channel(*fake->session).read(config::Part::Settings);
        fake->link->receive(settingsPage('0', {{2, 120}}) + settingsPage('3', {{2, 45}, {16, 1}}));
        QCOMPARE(timeout->text() + "/" + max->text(), QStringLiteral("45/120"));
        QVERIFY(!timeout->font().bold());

        timeout->setText("60"); // typed: the model has it at once, and it is marked
        QCOMPARE(config.param(2), QStringLiteral("60"));
        QCOMPARE(changes->summary(), QStringLiteral("1 change not stored"));
        QVERIFY(app::marks::isMarked(timeout));
        config.typeParam(2, "45"); // changed elsewhere (a file): the field follows, the mark goes
        QCOMPARE(timeout->text(), QStringLiteral("45"));
        QVERIFY(!app::marks::isMarked(timeout));
        timeout->setText("90");
        QVERIFY(Probe::stores(*fake->session).store(config::Part::Settings, config));
        QCOMPARE(fake->link->written.last().size(), 39);
        QCOMPARE(quint8(fake->link->written.last().at(6)), 90); // parameter 2
        QVERIFY(app::marks::isMarked(timeout));                 // sent, but not yet read back
        fake->store->fire(); // the frame's pause (none), then the unit's time to take it
        fake->store->fire();
        fake->link->receive(settingsPage('3', {{2, 90}, {16, 1}}));
        QVERIFY(!app::marks::isMarked(timeout));
        QCOMPARE(changes->summary(), QStringLiteral("Unit matches the window"));
    }

    // A change redraws only what it touched: the pass table's model names the row an
    // edit changed and the cells whose marks came or went; the settings tab rewrites
    // the one parameter typed, not its neighbours.
    void aChangeRedrawsOnlyWhatItTouched()
    {
        app::PassTab passes(context());
        auto *table = passes.findChild<QAbstractItemView *>("ListView1")->model();
        Probe::channel(*fake->session).read(config::Part::Passes);
        fake->link->receive(passTable());
        QSignalSpy redrawn(table, &QAbstractItemModel::dataChanged);
        auto row = config.passRow(5);
        row[passes::ColUserName] = "Night Porter    ";
        config.setPassRow(5, row);
        // The row itself, and the one cell now marked.
        QStringList ranges;
        for (const QList<QVariant> &signal : redrawn) {
            const QModelIndex from = signal.at(0).toModelIndex(), to = signal.at(1).toModelIndex();
            ranges << QStringLiteral("%1,%2-%3,%4")
                          .arg(from.row())
                          .arg(from.column())
                          .arg(to.row())
                          .arg(to.column());
        }
        ranges.sort();
        QCOMPARE(ranges, (QStringList{"4,0-4,12", "4,1-4,1"}));
        QVERIFY(table->index(4, 1).data(Qt::FontRole).value<QFont>().bold());
        QCOMPARE(table->index(4, 1).data(Qt::AccessibleDescriptionRole).toString(),
                 QStringLiteral("changed, unit has Pass 5          "));
        redrawn.clear();
        config.setAlias(3, "Elsewhere"); // another part: the table is not redrawn
        QVERIFY(redrawn.isEmpty());

        app::SettingsTab settings(context());
        auto *field = settings.findChild<QLineEdit *>("Text_Config_Parameters(2)");
        auto *neighbour = settings.findChild<QLineEdit *>("Text_Config_Parameters(4)");
        QSignalSpy rewritten(neighbour, &QLineEdit::textChanged), shown(field, &QLineEdit::textChanged);
        config.typeParam(2, "45");
        QCOMPARE(shown.size(), 1);
        QVERIFY(rewritten.isEmpty());

        redrawn.clear();
        config = config::Configuration(); // a whole table at once (a file loaded): every row
        const bool everyRow = std::any_of(redrawn.begin(), redrawn.end(), [](const QList<QVariant> &signal) {
            const QModelIndex from = signal.at(0).toModelIndex(), to = signal.at(1).toModelIndex();
            return from.row() == 0 && from.column() == 0 && to.row() == 71 && to.column() == 12;
        });
        QVERIFY(everyRow);
    }

    void theLocationTabNormalisesAndMarks()
    {
        app::LocationTab tab(context());
        auto *alias = tab.findChild<QLineEdit *>("Text_Location_Name(4)");
        Probe::channel(*fake->session).read(config::Part::Locations);
        QByteArray replies;
        for (int s = 0; s < 50; ++s)
            replies += "D-" + QByteArray::number(s).rightJustified(2, '0') + "Zone            " +
                       QByteArray(18, ' ') + "\n\r";
        fake->link->receive(replies);
        QCOMPARE(alias->text(), QStringLiteral("Zone            "));
        alias->setText("Gate");
        tab.Text_Location_Name_LostFocus(4);
        QCOMPARE(config.alias(4), QStringLiteral("Gate            "));
        QVERIFY(alias->accessibleDescription().endsWith("changed, unit has \"Zone            \""));
        QVERIFY(said.messages.isEmpty());
    }
};

QTEST_MAIN(TestTabAlone)
#include "test_tab_alone.moc"
