// FormMain, Location Name Configuration tab: the 50 location aliases and their codes.
#include "formmain.h"

#include "ui_helpers.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace halvo::app {

using ui::describes;
using ui::indexed;
using ui::named;

QWidget *FormMain::buildLocationTab()
{
    auto *tab = new QWidget;
    auto *h = new QHBoxLayout(tab);
    for (int group = 0; group < 5; ++group) {
        auto *frame = new QGroupBox(QStringLiteral("Name Location Addresses"));
        auto *g = new QGridLayout(frame);
        for (int k = 0; k < 10; ++k) {
            const int slot = group * 10 + k;
            const auto s = static_cast<size_t>(slot);
            Lbl_Location_Address[s] = describes(named(new QLabel, indexed("Lbl_Location_Address", slot)),
                                                QStringLiteral("Location %1 code").arg(slot + 1));
            Text_Location_Name[s] = named(new QLineEdit, indexed("Text_Location_Name", slot),
                                          QStringLiteral("Location %1 name").arg(slot + 1));
            // Reading and storing the names come with their own change.
            Text_Location_Name[s]->setReadOnly(true);
            g->addWidget(Lbl_Location_Address[s], k, 0);
            g->addWidget(Text_Location_Name[s], k, 1);
        }
        h->addWidget(frame);
    }
    return tab;
}

// Location replies are read with their own change; until then they are taken and
// left alone.
bool FormMain::Decode_Location_Reply(const QByteArray &)
{
    return true;
}

} // namespace halvo::app
