// libFuzzer target: arbitrary bytes, split into arbitrary receive events, through
// the unit session's receive path into the configuration, as the window takes them
// (pass records, settings pages with the priority refresh, location names, the
// event log pointer). Whatever arrives, nothing may crash and the configuration
// must stay one the tool can store.
#include "config/store_plan.h"
#include "session/receive_path.h"
#include "session/unit_session.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
using namespace halvo;

void check(bool ok)
{
    if (!ok)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const config::Configuration startup;
    config::Configuration c = startup; // shares the start-up texts until they change
    bool settingsApplied = false;
    session::UnitSession s;
    s.setConfiguration(&c);
    const session::ReceivePath &rx = s.receivePath();
    QObject::connect(c.notifier(), &config::ConfigurationNotifier::changed, [&](config::Change change) {
        switch (change.part) {
        case config::Part::Passes: {
            check(change.index >= 1 && change.index <= config::PassCount);
            const auto &row = c.passRow(change.index);
            const int mode = row[passes::ColOptionMode].toInt();
            check(mode >= 0 && mode <= 8 &&
                  row[passes::ColOptionModeName] == passes::Option_Mode_Names().at(mode));
            check(row[passes::ColUserName].size() == 16 && row[passes::ColAlarmSteering].size() == 19);
            break;
        }
        case config::Part::Locations:
            check(change.index >= 0 && change.index < config::LocationCount &&
                  c.alias(change.index).size() == 16);
            break;
        case config::Part::Settings:
            settingsApplied = true;
            break;
        case config::Part::EventLog:
            check(false);
        }
    });
    QObject::connect(&s, &session::UnitSession::pointerReceived,
                     [](int shown) { check(shown >= 0 && shown < 32767); });
    QObject::connect(&s, &session::UnitSession::identified,
                     [](const QString &id) { check(id.size() <= 12); });
    size_t pos = 0;
    while (pos < size) {
        // The first byte of each piece says how long the receive event is.
        const size_t len = (data[pos] % 97) + 1u;
        ++pos;
        const size_t take = std::min(len, size - pos);
        s.take(QByteArray(reinterpret_cast<const char *>(data + pos), static_cast<qsizetype>(take)));
        pos += take;
        check(rx.writeIndex() >= 0 && rx.writeIndex() <= 301);
        check(rx.lineBufferSize() <= 400);
    }
    // The settings frame is still built from whatever pages came.
    if (settingsApplied)
        check(config::Settings_Frame(c).has_value());
    return 0;
}
