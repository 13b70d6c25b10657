#pragma once

#include "link/receive_assembler.h"
#include "link/reply_router.h"
#include "link/serial_link.h"
#include "passes/pass_codec.h"
#include "settings/config_params.h"
#include "settings/locations.h"

#include <QDeadlineTimer>
#include <QObject>

#include <array>
#include <functional>
#include <optional>

namespace halvo::cli {

// What the unit has sent back, decoded by the same code the window uses.
struct Received
{
    std::array<std::optional<passes::DecodedPass>, passes::PassCount> passes;
    std::array<std::optional<settings::ParamBytes>, 4> pages; // maxima, minima, defaults, values
    std::array<std::optional<QString>, settings::LocationCount> aliases;
    std::optional<int> pointer; // as the window shows it
    bool identified = false;
    int damaged = 0; // reply frames with a wrong terminator
    QString refused; // why a reply could not be placed
};

// A link to one unit without a window: bytes in through the receive assembler and
// the reply router, frames out whole. Waits sleep in the event loop.
class UnitSession : public QObject, private link::ReplyHandlers
{
    Q_OBJECT
public:
    explicit UnitSession(QObject *parent = nullptr);

    bool open(const QString &path, QString *error);
    bool send(const QByteArray &frame);
    // Runs events until done() holds (true), or a reply is refused, the link breaks,
    // or timeoutMs pass (false).
    bool waitFor(const std::function<bool()> &done, int timeoutMs);
    void pause(int ms);

    Received &received() { return m_got; }
    bool linkLost() const { return m_lost; }

signals:
    void eventLine(const QByteArray &line);

private:
    void sleepUntilEvent(const QDeadlineTimer &deadline);
    void onBytes();
    bool Decode_Pass_Record(const QByteArray &reply) override;
    bool Decode_Event_Log_Pointer(const QByteArray &reply) override;
    bool Decode_Location_Reply(const QByteArray &reply) override;
    bool Decode_Settings_Page(const QByteArray &reply) override;

    link::SerialLink m_link;
    link::ReceiveAssembler m_rx;
    Received m_got;
    bool m_lost = false;
};

} // namespace halvo::cli
