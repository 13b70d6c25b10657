// FormMain, Location Name Configuration tab: the 50 location aliases and their codes.
#include "formmain.h"

#include "settings/locations.h"
#include "ui_helpers.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <vector>

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
            onFocusLost(Text_Location_Name[s], [this, slot] { Text_Location_Name_LostFocus(slot); });
            g->addWidget(Lbl_Location_Address[s], k, 0);
            g->addWidget(Text_Location_Name[s], k, 1);
        }
        h->addWidget(frame);
    }
    return tab;
}

void FormMain::Text_Location_Name_LostFocus(int index)
{
    QLineEdit *field = Text_Location_Name[static_cast<size_t>(index)];
    field->setText(settings::Normalise_Alias(field->text()));
}

// Each reply carries one alias; any number may come, in any order. A slot outside
// 0..49 changes nothing.
bool FormMain::Decode_Location_Reply(const QByteArray &reply)
{
    if (const auto decoded = settings::Decode_Location_Reply(reply))
        Text_Location_Name[static_cast<size_t>(decoded->slot)]->setText(decoded->alias);
    return true;
}

// Sends the 50 aliases, one frame every 0.3 s behind the progress bar. Every frame is
// built before the first goes out, so the unit gets all 50 names or none.
void FormMain::Store_Location_Names()
{
    if (!storeCanStart())
        return;
    std::vector<QByteArray> frames;
    for (int slot = 0; slot < m_locationCount; ++slot) {
        Text_Location_Name_LostFocus(slot); // a name set without leaving its field
        const auto frame =
            settings::Build_Location_Name_Frame(slot, Text_Location_Name[static_cast<size_t>(slot)]->text());
        if (!frame) {
            tell(Msg::CommError);
            return;
        }
        frames.push_back(*frame);
    }
    const auto outcome = Paced_Store(static_cast<int>(frames.size()), m_timing.locationFramePause,
                                     [&frames](int i) { return frames[static_cast<size_t>(i)]; });
    if (outcome == StoreOutcome::Failed)
        reportSendFailure();
}

} // namespace halvo::app
