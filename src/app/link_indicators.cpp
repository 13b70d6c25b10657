#include "link_indicators.h"

#include "session/unit_session.h"
#include "ui_helpers.h"

#include <QLineEdit>
#include <QVBoxLayout>

namespace halvo::app {

using ui::px;

LinkIndicators::LinkIndicators(session::UnitSession &session, QWidget *parent) : QWidget(parent)
{
    auto indicator = [](const QString &text, const QString &name, const QColor &bg) {
        auto *e = ui::named(new QLineEdit(text), name, QStringLiteral("Link state"));
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        e->setFixedSize(px(2295), px(495));
        QFont f = e->font();
        f.setBold(true);
        f.setPointSize(12);
        e->setFont(f);
        e->setStyleSheet(QStringLiteral("QLineEdit { color: white; background-color: %1; }").arg(bg.name()));
        return e;
    };
    disconnectedIndicator =
        indicator(QStringLiteral("DISCONNECTED"), QStringLiteral("TextDisConnected"), QColor(64, 0, 0));
    connectedIndicator =
        indicator(QStringLiteral("   CONNECTED"), QStringLiteral("TextConnected"), QColor(0, 64, 0));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addWidget(disconnectedIndicator);
    v->addWidget(connectedIndicator);
    connect(&session, &session::UnitSession::connectedShownChanged, this, &LinkIndicators::showConnected);
    showConnected(session.connectedShown());
}

void LinkIndicators::showConnected(bool connected)
{
    connectedIndicator->setVisible(connected);
    disconnectedIndicator->setVisible(!connected);
}

} // namespace halvo::app
