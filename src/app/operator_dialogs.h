#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QPrinter;
class QWidget;

namespace halvo::app {

// Where file dialogs start: the user's Documents folder, or the home folder where
// there is none.
QString documentsFolder();

// What a file dialog offers: the defaults the operator sees first.
struct FileChoice
{
    QString defaultSuffix; // "txt", "csv"
    QString initialFolder;
    QString filter; // "Txt Files (*.txt)"
    QString initialName;
    bool confirmOverwrite = true; // false for a file the tool appends to
};

class OperatorDialogs;

// The operator chooses an event archive ("" when cancelled); it is only appended to,
// so choosing one that exists is no overwrite.
QString chooseArchive(OperatorDialogs &dialogs);

// One row of the review of changes: an item that differs from the unit.
struct ReviewRow
{
    QString tab;        // "Pass Device Configuration "
    QString item;       // "pass 14"
    QStringList window; // "User ID: 13", one per field that differs, as the window holds it
    QStringList unit;   // "User ID: 14", the same fields as the unit holds them
};

// One field that differs between the window and a data file.
struct ComparisonRow
{
    QString item;   // "pass 14 User ID"
    QString window; // as the window holds it
    QString file;   // as the file holds it
};

// Everything the tool asks or tells the operator goes through here, so the window
// decides how it is shown and tests can answer it.
class OperatorDialogs
{
public:
    virtual ~OperatorDialogs() = default;
    // A message with an OK button.
    virtual void message(const QString &text) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool question(const QString &text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool askYesNo(const QString &text) = 0;
    // A choice between buttons, and Cancel: the index of the button, or -1.
    virtual int choose(const QString &text, const QStringList &buttons) = 0;
    // A line of text the operator types, offered filled in; nothing for Cancel.
    virtual std::optional<QString> askText(const QString &title, const QString &label,
                                           const QString &offered) = 0;
    // A folder, or an empty string when the operator cancels.
    virtual QString chooseFolder(const QString &title, const QString &start) = 0;
    // A file name, or an empty string when the operator cancels.
    virtual QString saveFileName(const FileChoice &choice) = 0;
    virtual QString openFileName(const FileChoice &choice) = 0;
    // "Review Changes": the rows, each ticked to start with; the rows ticked when the
    // operator chose "Store Selected", or nothing for "Cancel". Without rows the
    // dialog says emptyText and only lets the operator close it.
    virtual std::optional<std::vector<int>> reviewChanges(const std::vector<ReviewRow> &rows,
                                                          const QString &emptyText) = 0;
    // "Compare With Data File...": the fields that differ, read only, with "Load This
    // File" and "Close"; true when the operator chose to load it.
    virtual bool compareWithFile(const QString &fileName, const std::vector<ComparisonRow> &rows) = 0;
    // A report to read and copy (the computer check, About), with "Copy" and "Close".
    virtual void report(const QString &title, const QString &text) = 0;
    // The system's print dialog: true when the operator chose to print on printer.
    virtual bool choosePrinter(QPrinter &printer) = 0;
    // "Save Support File": whether "Include the configuration" was ticked when the
    // operator chose "Save...", or nothing for "Cancel". It starts unticked.
    virtual std::optional<bool> supportFileChoice() = 0;
};

// Hands everything on to the dialogs in use, until the window closes: then nothing is
// shown, questions are declined and file choices cancelled.
class SilencedOnClose : public OperatorDialogs
{
public:
    explicit SilencedOnClose(std::unique_ptr<OperatorDialogs> dialogs) : m_dialogs(std::move(dialogs)) {}
    void replace(std::unique_ptr<OperatorDialogs> dialogs) { m_dialogs = std::move(dialogs); }
    void silence() { m_silent = true; }
    // Each message and question is logged as it is shown, and each answer: the
    // support file lists the last of them.
    void message(const QString &text) override
    {
        if (m_silent)
            return;
        shown("told", text);
        m_dialogs->message(text);
    }
    bool question(const QString &text) override
    {
        return !m_silent && answered(m_dialogs->question(shown("asked", text)), "OK", "Cancel");
    }
    bool askYesNo(const QString &text) override
    {
        return !m_silent && answered(m_dialogs->askYesNo(shown("asked", text)), "Yes", "No");
    }
    int choose(const QString &text, const QStringList &buttons) override
    {
        if (m_silent)
            return -1;
        shown("asked", text + QStringLiteral(" [") + buttons.join(QLatin1Char('|')) + QLatin1Char(']'));
        const int chosen = m_dialogs->choose(text, buttons);
        answered(chosen >= 0, qPrintable(buttons.value(chosen)), "Cancel");
        return chosen;
    }
    std::optional<std::vector<int>> reviewChanges(const std::vector<ReviewRow> &rows,
                                                  const QString &emptyText) override
    {
        return m_silent ? std::nullopt : m_dialogs->reviewChanges(rows, emptyText);
    }
    std::optional<QString> askText(const QString &title, const QString &label,
                                   const QString &offered) override
    {
        if (m_silent)
            return std::nullopt;
        shown("asked", title + QStringLiteral(": ") + label);
        const auto text = m_dialogs->askText(title, label, offered);
        answered(text.has_value(), "OK", "Cancel");
        return text;
    }
    QString chooseFolder(const QString &title, const QString &start) override
    {
        return m_silent ? QString() : m_dialogs->chooseFolder(title, start);
    }
    QString saveFileName(const FileChoice &c) override
    {
        return m_silent ? QString() : m_dialogs->saveFileName(c);
    }
    QString openFileName(const FileChoice &c) override
    {
        return m_silent ? QString() : m_dialogs->openFileName(c);
    }
    bool compareWithFile(const QString &fileName, const std::vector<ComparisonRow> &rows) override
    {
        return !m_silent && m_dialogs->compareWithFile(fileName, rows);
    }
    void report(const QString &title, const QString &text) override
    {
        if (!m_silent)
            m_dialogs->report(title, text);
    }
    bool choosePrinter(QPrinter &printer) override { return !m_silent && m_dialogs->choosePrinter(printer); }
    std::optional<bool> supportFileChoice() override
    {
        return m_silent ? std::nullopt : m_dialogs->supportFileChoice();
    }

private:
    static const QString &shown(const char *how, const QString &text);
    // Logs the answer; returns yes.
    static bool answered(bool yes, const char *ifYes, const char *ifNo);

    std::unique_ptr<OperatorDialogs> m_dialogs;
    bool m_silent = false;
};

// The real thing: modal Qt message boxes and file dialogs over the window.
class QtOperatorDialogs : public OperatorDialogs
{
public:
    explicit QtOperatorDialogs(QWidget *parent) : m_parent(parent) {}
    void message(const QString &text) override;
    bool question(const QString &text) override;
    bool askYesNo(const QString &text) override;
    int choose(const QString &text, const QStringList &buttons) override;
    QString saveFileName(const FileChoice &choice) override;
    QString openFileName(const FileChoice &choice) override;
    std::optional<QString> askText(const QString &title, const QString &label,
                                   const QString &offered) override;
    QString chooseFolder(const QString &title, const QString &start) override;
    std::optional<std::vector<int>> reviewChanges(const std::vector<ReviewRow> &rows,
                                                  const QString &emptyText) override;
    bool compareWithFile(const QString &fileName, const std::vector<ComparisonRow> &rows) override;
    void report(const QString &title, const QString &text) override;
    bool choosePrinter(QPrinter &printer) override;
    std::optional<bool> supportFileChoice() override;

private:
    QWidget *m_parent;
};

} // namespace halvo::app
