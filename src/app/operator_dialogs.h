#pragma once

#include <QString>

#include <memory>

class QWidget;

namespace halvo::app {

// What a file dialog offers: the defaults the operator sees first.
struct FileChoice
{
    QString defaultSuffix; // "txt", "csv"
    QString initialFolder;
    QString filter; // "Txt Files (*.txt)"
    QString initialName;
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
    // A file name, or an empty string when the operator cancels.
    virtual QString saveFileName(const FileChoice &choice) = 0;
    virtual QString openFileName(const FileChoice &choice) = 0;
};

// Hands everything on to the dialogs in use, until the window closes: then nothing is
// shown, questions are declined and file choices cancelled.
class SilencedOnClose : public OperatorDialogs
{
public:
    explicit SilencedOnClose(std::unique_ptr<OperatorDialogs> dialogs) : m_dialogs(std::move(dialogs)) {}
    void replace(std::unique_ptr<OperatorDialogs> dialogs) { m_dialogs = std::move(dialogs); }
    void silence() { m_silent = true; }
    void message(const QString &text) override
    {
        if (!m_silent)
            m_dialogs->message(text);
    }
    bool question(const QString &text) override { return !m_silent && m_dialogs->question(text); }
    QString saveFileName(const FileChoice &c) override
    {
        return m_silent ? QString() : m_dialogs->saveFileName(c);
    }
    QString openFileName(const FileChoice &c) override
    {
        return m_silent ? QString() : m_dialogs->openFileName(c);
    }

private:
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
    QString saveFileName(const FileChoice &choice) override;
    QString openFileName(const FileChoice &choice) override;

private:
    QWidget *m_parent;
};

} // namespace halvo::app
