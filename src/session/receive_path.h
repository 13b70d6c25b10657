#pragma once

#include "notice.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace halvo::config {
class Configuration;
}

namespace halvo::session {

class UnitImage;

// The unit's bytes as one receive event takes them: reply frames are routed by their
// code to the decoders, which fill the operator's configuration and the unit image;
// the unit's banner identifies it; every other text line is an event line. A failure
// is told once until a receive event completes (the error latch).
class ReceivePath : public QObject
{
    Q_OBJECT
public:
    explicit ReceivePath(UnitImage &image, QObject *parent = nullptr);
    ~ReceivePath() override;

    void setConfiguration(config::Configuration *config);
    // One receive event's bytes (the link's, or the fuzz target's).
    void take(const QByteArray &bytes);

    bool errorLatch() const;
    void clearErrorLatch();
    // The first 12 characters of the unit's last banner.
    QString unitId() const;
    // The unit's last banner whole, without the blank before it and the CR after it:
    // "Halvo Base Unit V2.04 SN 000417". What tells one unit from another.
    QString identification() const;
    void clearUnitId();
    // The pointer the unit last sent (the page before the one it is at), if any
    // since it was last asked.
    std::optional<int> lastPointer() const;
    void forgetPointer();
    // The assembler's state, for the fuzz target's checks.
    int writeIndex() const;
    qsizetype lineBufferSize() const;

signals:
    void identified(const QString &unitId);
    void eventLine(const QByteArray &line);
    void pointerReceived(int shown);
    void notice(halvo::session::Notice what, const QString &detail);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace halvo::session
