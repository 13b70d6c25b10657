#pragma once
// Test helper: answers the window's questions from a script and keeps every message.

#include "operator_dialogs.h"

#include <QPrinter>
#include <QStringList>

#include <functional>

namespace halvo::test {

class FakeDialogs : public app::OperatorDialogs
{
public:
    struct Log
    {
        QStringList messages;
        QStringList questions;
        QList<bool> answers;   // answers to come; Cancel when empty
        QList<int> choices;    // buttons chosen in choices to come; Cancel when empty
        QStringList fileNames; // file names to come; cancelled when empty
        std::function<void(const QString &)> onMessage;
        std::function<void()> onFileDialog;         // runs while a file dialog is open
        QList<std::vector<app::ReviewRow>> reviews; // every review shown
        QList<int> untick;                          // rows the operator unticks in the next review
        bool cancelReview = false;
        QStringList reports; // title, then text, of every report shown (the file of a comparison)
        QList<std::vector<app::ComparisonRow>> comparisons; // every comparison shown
        bool loadCompared = false;                          // "Load This File" in the comparisons to come
        QString printTo;            // print to this PDF file; the print dialog is cancelled without
        QStringList offered;        // every file dialog's start: folder and name, "|" between
        QList<bool> overwriteAsked; // every file dialog: whether it asks before replacing a file
        std::optional<bool> includeConfiguration; // the support file's box; Cancel when empty
        QStringList texts; // lines the operator types in the text questions to come; Cancel when empty
    };

    explicit FakeDialogs(Log &log) : m_log(log) {}
    void message(const QString &text) override
    {
        m_log.messages << text;
        if (m_log.onMessage)
            m_log.onMessage(text);
    }
    bool question(const QString &text) override
    {
        m_log.questions << text;
        return m_log.answers.isEmpty() ? false : m_log.answers.takeFirst();
    }
    bool askYesNo(const QString &text) override { return question(text); }
    int choose(const QString &text, const QStringList &buttons) override
    {
        m_log.questions << text + " [" + buttons.join("|") + "]";
        return m_log.choices.isEmpty() ? -1 : m_log.choices.takeFirst();
    }
    std::optional<std::vector<int>> reviewChanges(const std::vector<app::ReviewRow> &rows,
                                                  const QString &) override
    {
        m_log.reviews << rows;
        if (m_log.cancelReview || rows.empty())
            return std::nullopt;
        std::vector<int> chosen;
        for (int r = 0; r < static_cast<int>(rows.size()); ++r)
            if (!m_log.untick.contains(r))
                chosen.push_back(r);
        return chosen;
    }
    bool compareWithFile(const QString &fileName, const std::vector<app::ComparisonRow> &rows) override
    {
        m_log.comparisons << rows;
        m_log.reports << fileName;
        return m_log.loadCompared;
    }
    void report(const QString &title, const QString &text) override { m_log.reports << title << text; }
    bool choosePrinter(QPrinter &printer) override
    {
        if (m_log.printTo.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_log.printTo);
        return true;
    }
    std::optional<QString> askText(const QString &title, const QString &label,
                                   const QString &offered) override
    {
        m_log.questions << title + ": " + label + " [" + offered + "]";
        if (m_log.texts.isEmpty())
            return std::nullopt;
        return m_log.texts.takeFirst();
    }
    QString chooseFolder(const QString &title, const QString &start) override
    {
        m_log.offered << title + "|" + start;
        return m_log.fileNames.isEmpty() ? QString() : m_log.fileNames.takeFirst();
    }
    std::optional<bool> supportFileChoice() override
    {
        m_log.questions << "Save Support File";
        return m_log.includeConfiguration;
    }
    QString saveFileName(const app::FileChoice &c) override { return nextFile(c); }
    QString openFileName(const app::FileChoice &c) override { return nextFile(c); }

private:
    QString nextFile(const app::FileChoice &c)
    {
        m_log.offered << c.initialFolder + "|" + c.initialName;
        m_log.overwriteAsked << c.confirmOverwrite;
        if (m_log.onFileDialog)
            m_log.onFileDialog();
        return m_log.fileNames.isEmpty() ? QString() : m_log.fileNames.takeFirst();
    }
    Log &m_log;
};

} // namespace halvo::test
