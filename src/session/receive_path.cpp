#include "receive_path.h"

#include "config/configuration.h"
#include "eventlog/event_requests.h"
#include "link/receive_assembler.h"
#include "link/reply_router.h"
#include "logging.h"
#include "unit_image.h"

#include <vector>

namespace halvo::session {

using config::Part;

struct ReceivePath::Impl : link::ReplyHandlers
{
    Impl(ReceivePath &owner, UnitImage &img) : q(owner), image(img) {}

    bool Decode_Pass_Record(const QByteArray &reply) override
    {
        const auto pass = passes::Decode_Pass_Record(reply, &why);
        if (!pass)
            return false;
        if (config && !image.readingBack(Part::Passes))
            config->applyPass(*pass);
        image.passArrived(*pass);
        return true;
    }
    bool Decode_Event_Log_Pointer(const QByteArray &reply) override
    {
        pointer = eventlog::Decode_Event_Log_Pointer(reply);
        if (!pointer) {
            why = QStringLiteral("the event log pointer reply does not fit 16 bits");
            return false;
        }
        emit q.pointerReceived(*pointer);
        return true;
    }
    bool Decode_Location_Reply(const QByteArray &reply) override
    {
        if (const auto location = settings::Decode_Location_Reply(reply)) {
            if (config && !image.readingBack(Part::Locations))
                config->setAlias(location->slot, location->alias);
            image.locationArrived(location->slot, location->alias);
        }
        return true; // a slot outside 0..49 changes nothing
    }
    bool Decode_Settings_Page(const QByteArray &reply) override
    {
        const auto page = settings::Decode_Settings_Page(reply);
        if (!page)
            return true; // an unknown page character: ignored
        const bool shown = !config || image.readingBack(Part::Settings) || config->applySettingsPage(*page);
        image.settingsPageArrived(*page);
        if (!shown)
            why = QStringLiteral("the priority list cannot show the values page");
        return shown;
    }

    ReceivePath &q;
    UnitImage &image;
    config::Configuration *config = nullptr;
    link::ReceiveAssembler rx;
    QString why; // why the reply being routed could not be placed
    bool latch = false;
    QString unitId;
    QString identification;
    std::optional<int> pointer;
};

ReceivePath::ReceivePath(UnitImage &image, QObject *parent)
    : QObject(parent), d(std::make_unique<Impl>(*this, image))
{
}

ReceivePath::~ReceivePath() = default;

void ReceivePath::setConfiguration(config::Configuration *config)
{
    d->config = config;
}

void ReceivePath::take(const QByteArray &bytes)
{
    d->rx.push(bytes);
    std::vector<std::pair<Notice, QString>> notices;
    QString failure;
    while (auto item = d->rx.next()) {
        using Kind = link::ReceiveItem::Kind;
        switch (item->kind) {
        case Kind::Reply:
            d->why.clear();
            if (link::Decode_Reply(item->data, *d) == link::RouteResult::Failed)
                failure = d->why;
            break;
        case Kind::TerminatorError:
            notices.emplace_back(Notice::TerminatorError, QString());
            break;
        case Kind::Identification:
            d->unitId = QString::fromLatin1(item->unitId);
            d->identification = QString::fromLatin1(item->data).trimmed().remove(QChar(0));
            emit identified(d->unitId);
            break;
        case Kind::EventLine:
            emit eventLine(item->data);
            break;
        case Kind::Overflow:
            failure = QStringLiteral("a text line ran past the receive buffer");
            break;
        }
        if (!failure.isEmpty())
            break;
    }
    if (!failure.isEmpty()) {
        d->rx.discardPending(); // the rest of this event's bytes go with it
        qCInfo(lcSession) << "reply refused:" << failure;
        if (!d->latch) {
            d->latch = true;
            notices.emplace_back(Notice::CommError, failure);
        }
    } else {
        d->latch = false;
    }
    for (const auto &[what, detail] : notices)
        emit notice(what, detail);
}

bool ReceivePath::errorLatch() const
{
    return d->latch;
}

void ReceivePath::clearErrorLatch()
{
    d->latch = false;
}

QString ReceivePath::unitId() const
{
    return d->unitId;
}

QString ReceivePath::identification() const
{
    return d->identification;
}

void ReceivePath::clearUnitId()
{
    d->unitId.clear();
    d->identification.clear();
}

std::optional<int> ReceivePath::lastPointer() const
{
    return d->pointer;
}

void ReceivePath::forgetPointer()
{
    d->pointer.reset();
}

int ReceivePath::writeIndex() const
{
    return d->rx.writeIndex();
}

qsizetype ReceivePath::lineBufferSize() const
{
    return d->rx.lineBuffer().size();
}

} // namespace halvo::session
