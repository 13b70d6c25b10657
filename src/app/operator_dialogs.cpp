#include "operator_dialogs.h"

#include "session/support_log.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>

namespace halvo::app {

QString documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

QString chooseArchive(OperatorDialogs &dialogs)
{
    FileChoice choice{QStringLiteral("txt"), documentsFolder(), QStringLiteral("Txt Files (*.txt)"),
                      QStringLiteral("Halvo_Event_Archive.txt")};
    choice.confirmOverwrite = false; // it is appended to, never emptied
    return dialogs.saveFileName(choice);
}

namespace {
const QString Caption = QStringLiteral("Halvo Configuration Tool");

// The defaults name Windows folders; elsewhere start in the home folder with the
// same file name.
QString startPath(const FileChoice &c)
{
    QString name = c.initialName.section(QLatin1Char('\\'), -1);
    QString folder = c.initialFolder;
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = documentsFolder();
    return QDir(folder).filePath(name);
}
} // namespace

void QtOperatorDialogs::message(const QString &text)
{
    QMessageBox::information(m_parent, Caption, text, QMessageBox::Ok);
}

bool QtOperatorDialogs::question(const QString &text)
{
    return QMessageBox::question(m_parent, Caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

bool QtOperatorDialogs::askYesNo(const QString &text)
{
    return QMessageBox::question(m_parent, Caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

// A table of what differs, a box per row to store it or not.
std::optional<std::vector<int>> QtOperatorDialogs::reviewChanges(const std::vector<ReviewRow> &rows,
                                                                 const QString &emptyText)
{
    QDialog d(m_parent);
    d.setObjectName(QStringLiteral("DialogReviewChanges"));
    d.setWindowTitle(QStringLiteral("Review Changes"));
    auto *v = new QVBoxLayout(&d);
    auto *buttons = new QDialogButtonBox;
    auto *store = buttons->addButton(QStringLiteral("Store Selected"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    std::vector<QCheckBox *> boxes;
    if (rows.empty()) {
        v->addWidget(new QLabel(emptyText));
        store->setEnabled(false);
    } else {
        auto *table = new QTableWidget(static_cast<int>(rows.size()), 5);
        table->setObjectName(QStringLiteral("TableReviewChanges"));
        table->setAccessibleName(QStringLiteral("Changes not stored"));
        table->setHorizontalHeaderLabels({QStringLiteral("Store"), QStringLiteral("Tab"),
                                          QStringLiteral("Item"), QStringLiteral("Window"),
                                          QStringLiteral("Unit")});
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            const ReviewRow &row = rows[static_cast<size_t>(r)];
            auto *box = new QCheckBox;
            box->setChecked(true);
            box->setAccessibleName(QStringLiteral("Store %1").arg(row.item));
            boxes.push_back(box);
            table->setCellWidget(r, 0, box);
            table->setItem(r, 1, new QTableWidgetItem(row.tab.trimmed()));
            table->setItem(r, 2, new QTableWidgetItem(row.item));
            table->setItem(r, 3, new QTableWidgetItem(row.window.join(QLatin1Char('\n'))));
            table->setItem(r, 4, new QTableWidgetItem(row.unit.join(QLatin1Char('\n'))));
        }
        table->resizeColumnsToContents();
        table->resizeRowsToContents();
        table->horizontalHeader()->setStretchLastSection(true);
        v->addWidget(table);
        d.resize(760, 420);
    }
    v->addWidget(buttons);
    if (d.exec() != QDialog::Accepted)
        return std::nullopt;
    std::vector<int> chosen;
    for (size_t r = 0; r < boxes.size(); ++r)
        if (boxes[r]->isChecked())
            chosen.push_back(static_cast<int>(r));
    return chosen;
}

// What differs between the window and a file, to read; loading it is the operator's call.
bool QtOperatorDialogs::compareWithFile(const QString &fileName, const std::vector<ComparisonRow> &rows)
{
    QDialog d(m_parent);
    d.setObjectName(QStringLiteral("DialogCompareWithFile"));
    d.setWindowTitle(QStringLiteral("Compare With Data File"));
    auto *v = new QVBoxLayout(&d);
    v->addWidget(new QLabel(
        rows.empty()
            ? QStringLiteral("The window holds what %1 holds.").arg(fileName)
            : QStringLiteral("%1 fields differ between the window and %2.").arg(rows.size()).arg(fileName)));
    if (!rows.empty()) {
        auto *table = new QTableWidget(static_cast<int>(rows.size()), 3);
        table->setObjectName(QStringLiteral("TableCompareWithFile"));
        table->setAccessibleName(QStringLiteral("Fields that differ from the file"));
        table->setHorizontalHeaderLabels(
            {QStringLiteral("Item"), QStringLiteral("Window"), QStringLiteral("File")});
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            const ComparisonRow &row = rows[static_cast<size_t>(r)];
            table->setItem(r, 0, new QTableWidgetItem(row.item));
            table->setItem(r, 1, new QTableWidgetItem(row.window));
            table->setItem(r, 2, new QTableWidgetItem(row.file));
        }
        table->resizeColumnsToContents();
        table->horizontalHeader()->setStretchLastSection(true);
        v->addWidget(table);
        d.resize(760, 420);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    auto *load = buttons->addButton(QStringLiteral("Load This File"), QDialogButtonBox::AcceptRole);
    load->setEnabled(!rows.empty());
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    v->addWidget(buttons);
    return d.exec() == QDialog::Accepted;
}

void QtOperatorDialogs::report(const QString &title, const QString &text)
{
    QDialog d(m_parent);
    d.setObjectName(QStringLiteral("DialogReport"));
    d.setWindowTitle(title);
    auto *v = new QVBoxLayout(&d);
    auto *view = new QPlainTextEdit(text);
    view->setReadOnly(true);
    view->setAccessibleName(title);
    view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    v->addWidget(view);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    auto *copy = buttons->addButton(QStringLiteral("Copy"), QDialogButtonBox::ActionRole);
    QObject::connect(copy, &QPushButton::clicked, &d,
                     [text] { QGuiApplication::clipboard()->setText(text); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    v->addWidget(buttons);
    d.resize(760, 460);
    d.exec();
}

std::optional<bool> QtOperatorDialogs::supportFileChoice()
{
    QDialog d(m_parent);
    d.setObjectName(QStringLiteral("DialogSupportFile"));
    d.setWindowTitle(QStringLiteral("Save Support File"));
    auto *v = new QVBoxLayout(&d);
    auto *text = new QLabel(QStringLiteral(
        "A support file is one text file to send with a problem report: this tool and computer, the "
        "ports, the connection, the messages shown and the log of this run.\n\nPass user names and "
        "location names are left out unless you include the configuration."));
    text->setWordWrap(true);
    v->addWidget(text);
    auto *include = new QCheckBox(QStringLiteral("Include the configuration"));
    include->setObjectName(QStringLiteral("CheckIncludeConfiguration"));
    include->setAccessibleDescription(QStringLiteral("Adds the pass table, settings and location names"));
    v->addWidget(include);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    buttons->addButton(QStringLiteral("Save..."), QDialogButtonBox::AcceptRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    v->addWidget(buttons);
    if (d.exec() != QDialog::Accepted)
        return std::nullopt;
    return include->isChecked();
}

const QString &SilencedOnClose::shown(const char *how, const QString &text)
{
    qCInfo(lcOperator).noquote() << how << text;
    return text;
}

bool SilencedOnClose::answered(bool yes, const char *ifYes, const char *ifNo)
{
    qCInfo(lcOperator).noquote() << "answered" << (yes ? ifYes : ifNo);
    return yes;
}

bool QtOperatorDialogs::choosePrinter(QPrinter &printer)
{
    QPrintDialog d(&printer, m_parent);
    d.setWindowTitle(QStringLiteral("Print Configuration"));
    return d.exec() == QDialog::Accepted;
}

int QtOperatorDialogs::choose(const QString &text, const QStringList &buttons)
{
    QMessageBox box(QMessageBox::Question, Caption, text, QMessageBox::Cancel, m_parent);
    QList<QAbstractButton *> offered;
    for (const QString &b : buttons)
        offered << box.addButton(b, QMessageBox::AcceptRole);
    box.exec();
    return static_cast<int>(offered.indexOf(box.clickedButton()));
}

std::optional<QString> QtOperatorDialogs::askText(const QString &title, const QString &label,
                                                  const QString &offered)
{
    QInputDialog d(m_parent);
    d.setWindowTitle(title);
    d.setLabelText(label);
    d.setTextValue(offered);
    d.setAccessibleName(title);
    if (d.exec() != QDialog::Accepted)
        return std::nullopt;
    return d.textValue();
}

QString QtOperatorDialogs::chooseFolder(const QString &title, const QString &start)
{
    return QFileDialog::getExistingDirectory(m_parent, title, start);
}

QString QtOperatorDialogs::saveFileName(const FileChoice &choice)
{
    QFileDialog d(m_parent, Caption, startPath(choice), choice.filter);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setOption(QFileDialog::DontConfirmOverwrite, !choice.confirmOverwrite);
    d.setDefaultSuffix(choice.defaultSuffix);
    d.selectFile(startPath(choice));
    return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                         : QString();
}

QString QtOperatorDialogs::openFileName(const FileChoice &choice)
{
    QFileDialog d(m_parent, Caption, startPath(choice), choice.filter);
    d.setAcceptMode(QFileDialog::AcceptOpen);
    d.setFileMode(QFileDialog::ExistingFile);
    d.setDefaultSuffix(choice.defaultSuffix);
    return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                         : QString();
}

} // namespace halvo::app
