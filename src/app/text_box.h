#pragma once

#include <QPlainTextEdit>

namespace halvo::app {

// A multi-line text box that keeps its text exactly as set, CR LF line ends
// included; the display shows it as lines.
class TextBox : public QPlainTextEdit
{
public:
    using QPlainTextEdit::QPlainTextEdit;
    QString text() const { return m_text; }
    void setText(const QString &text)
    {
        m_text = text;
        setPlainText(text);
    }

private:
    QString m_text;
};

} // namespace halvo::app
