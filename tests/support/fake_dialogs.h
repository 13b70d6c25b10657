#pragma once
// Test helper: answers the window's questions from a script and keeps every message.

#include "operator_dialogs.h"

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
        QStringList fileNames; // file names to come; cancelled when empty
        std::function<void(const QString &)> onMessage;
        std::function<void()> onFileDialog; // runs while a file dialog is open
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
    QString saveFileName(const app::FileChoice &) override { return nextFile(); }
    QString openFileName(const app::FileChoice &) override { return nextFile(); }

private:
    QString nextFile()
    {
        if (m_log.onFileDialog)
            m_log.onFileDialog();
        return m_log.fileNames.isEmpty() ? QString() : m_log.fileNames.takeFirst();
    }
    Log &m_log;
};

} // namespace halvo::test
