// The event view on the received lines: words in any case, a regular expression, an
// invalid one, the count, following the newest line, copy and export.
#include "support/warnings.h"
#include "event_view.h"
#include "received_lines.h"
#include "support/bytes.h"
#include "support/fake_dialogs.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using namespace halvo;

class TestEventView : public QObject
{
    Q_OBJECT
    app::ReceivedLines lines;
    test::FakeDialogs::Log said;
    test::FakeDialogs dialogs{said};
    std::unique_ptr<app::EventView> view;

    QLineEdit *field() { return view->findChild<QLineEdit *>("TxtFilterEventLines"); }
    QString count() { return view->findChild<QLabel *>("LabelEventLineCount")->text(); }
    QListView *list() { return view->findChild<QListView *>("ListEventLines"); }
    QStringList shown()
    {
        QStringList out;
        for (int r = 0; r < view->filter().rowCount(); ++r)
            out << view->filter().index(r).data().toString().trimmed();
        return out;
    }
    void filter(const QString &text, bool regex = false)
    {
        view->findChild<QCheckBox *>("CheckRegularExpression")->setChecked(regex);
        field()->setText(text);
        QTRY_VERIFY(!view->filter().busy()); // a slice at a time
    }

private slots:
    void init()
    {
        halvo::test::failOnAnyWarning();
        lines.clear();
        for (const char *l :
             {" Page 00012 Ev 1 10:05 Pass 12 Alarm\r", " Page 00012 Ev 2 10:06 Pass 12 Reset\r",
              " Page 00013 Ev 1 10:07 pass 12 ALARM ack\r", " Page 00013 Ev 2 10:08 Pass 3 Alarm\r",
              " Page 00014 Ev 1 10:09 Pass 120 alarm\r"})
            lines.append(l);
        view = std::make_unique<app::EventView>(lines, dialogs);
        view->resize(600, 200);
    }

    void wordsInAnyCaseAndExpressions()
    {
        QTRY_COMPARE(count(), QStringLiteral("5 lines"));
        filter("pass 12 alarm"); // every word, any case: "120" holds "12" as well
        QCOMPARE(shown(), (QStringList{"Page 00012 Ev 1 10:05 Pass 12 Alarm",
                                       "Page 00013 Ev 1 10:07 pass 12 ALARM ack",
                                       "Page 00014 Ev 1 10:09 Pass 120 alarm"}));
        QTRY_COMPARE(count(), QStringLiteral("3 of 5 lines"));
        filter("pass 12\\b.*alarm", true);
        QCOMPARE(shown().size(), 2);
        filter("pass (12", true); // not an expression: said beside the field, the last result stays
        auto *error = view->findChild<QLabel *>("LabelFilterError");
        QVERIFY(!error->isHidden() && error->text().startsWith("Not a regular expression"));
        QCOMPARE(shown().size(), 2);
        filter("");
        QVERIFY(error->isHidden());
        QTRY_COMPARE(count(), QStringLiteral("5 lines"));
        // Lines that arrive while a filter is set are tested as they come.
        filter("reset");
        lines.append(" Page 00015 Ev 1 10:10 Pass 7 Reset\r");
        lines.append(" Page 00015 Ev 2 10:10 Pass 7 Alarm\r");
        QTRY_COMPARE(count(), QStringLiteral("2 of 7 lines"));
        lines.clear(); // "Clear Recieved Data"
        QTRY_COMPARE(count(), QStringLiteral("0 of 0 lines"));
    }

    void copyAndExportTheLinesShown()
    {
        filter("alarm");
        list()->selectionModel()->select(view->filter().index(2), QItemSelectionModel::Select);
        list()->selectionModel()->select(view->filter().index(0), QItemSelectionModel::Select);
        QCOMPARE(view->selectedText(), QStringLiteral(" Page 00012 Ev 1 10:05 Pass 12 Alarm\n"
                                                      " Page 00013 Ev 2 10:08 Pass 3 Alarm"));
        view->show();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        list()->setFocus();
        QTest::keySequence(list(), QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), view->selectedText());
        QTemporaryDir dir;
        said.fileNames = {dir.filePath("shown.txt")};
        view->findChild<QPushButton *>("CmdExportShownLines")->click();
        const QByteArray file = test::readFile(dir.filePath("shown.txt"));
        QCOMPARE(file.count("\"\r\n"), 4);
        QVERIFY(file.startsWith("\" Page 00012 Ev 1 10:05 Pass 12 Alarm\r\"\r\n"));
        said.fileNames = {dir.filePath("no/such/folder.txt")};
        view->CmdExportShownLines_Click();
        QCOMPARE(said.messages.size(), 1);
    }

    // The newest line stays in sight, unless the operator scrolled away or selected one.
    void followingTheNewestLine()
    {
        view->resize(400, 300); // smaller than 200 lines on any screen
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        auto *bar = list()->verticalScrollBar();
        for (int i = 0; i < 200; ++i)
            lines.append(" more\r");
        QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
        bar->setValue(0); // scrolled away: the view stays where it is
        lines.append(" one more\r");
        QCOMPARE(bar->value(), 0);
        QVERIFY(!view->following());
        bar->setValue(bar->maximum()); // back at the end: following again
        lines.append(" and another\r");
        QTRY_COMPARE(bar->value(), bar->maximum());
        list()->selectionModel()->select(view->filter().index(3), QItemSelectionModel::Select);
        QVERIFY(!view->following());
    }
};

QTEST_MAIN(TestEventView)
#include "test_event_view.moc"
