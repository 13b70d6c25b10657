#include "operator_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace halvo::app {

namespace {
const QString Caption = QStringLiteral("Halvo Configuration Tool");

// The defaults name Windows folders; elsewhere start in the home folder with the
// same file name.
QString startPath(const FileChoice &c)
{
    QString name = c.initialName.section(QLatin1Char('\\'), -1);
    QString folder = c.initialFolder;
    if (!QDir(folder).exists())
        folder = QDir::homePath();
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

QString QtOperatorDialogs::saveFileName(const FileChoice &choice)
{
    QFileDialog d(m_parent, Caption, startPath(choice), choice.filter);
    d.setAcceptMode(QFileDialog::AcceptSave);
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
