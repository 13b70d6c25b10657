#pragma once

#include "config/configuration.h"

#include <QObject>
#include <QStringList>

#include <array>
#include <vector>

namespace halvo::session {

// What the unit holds, as far as the tool can tell: each part as the unit last sent
// it (the pass table once all 72 rows are in, the settings values page as it came,
// all 50 aliases), or as a store sent it since. Nothing of a part is known until it
// has been read. A read counts the replies it expects; a read back reaches the image
// only, never the operator's fields.
class UnitImage : public QObject
{
    Q_OBJECT
public:
    // Replies a whole read of a part brings: 72 pass records, 4 settings pages, 50 names.
    static int Expected(config::Part part);

    const config::Configuration &unit() const { return m_unit; }
    bool read(config::Part part) const { return m_read[slot(part)]; }
    bool anyRead() const;
    // Replies placed since the part's last read request, and what is still missing.
    int arrived(config::Part part) const;
    // Whether reply item (a pass row - 1, a settings page 0..3, a slot) has arrived
    // since the part's last read request.
    bool hasArrived(config::Part part, int item) const;
    QStringList missing(config::Part part) const;
    // The replies as they last came, a read under way included: what a check of a
    // store compares with what it sent.
    const config::Configuration &lastReplies() const { return m_staging; }

    // ---- the receive side
    void startRead(config::Part part, bool readBack);
    bool readingBack(config::Part part) const { return m_readingBack[slot(part)]; }
    void passArrived(const passes::DecodedPass &pass);
    void locationArrived(int slot, const QString &alias);
    void settingsPageArrived(const settings::SettingsPage &page);

signals:
    // A reply of the part was placed (the last replies hold it).
    void replyArrived(halvo::config::Part part);
    void readComplete(halvo::config::Part part);
    void changed(halvo::config::Part part);

private:
    static size_t slot(config::Part part) { return static_cast<size_t>(part); }
    void markArrived(config::Part part, int item);
    void takes(config::Part part, const config::Configuration &from);

    config::Configuration m_unit;
    config::Configuration m_staging; // a read under way, until it is complete
    std::array<std::vector<bool>, 3> m_arrived{std::vector<bool>(config::PassCount), std::vector<bool>(4),
                                               std::vector<bool>(config::LocationCount)};
    std::array<bool, 3> m_read{};
    std::array<bool, 3> m_readingBack{};
};

} // namespace halvo::session
