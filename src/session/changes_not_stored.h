#pragma once

#include "config/differences.h"

#include <QObject>

#include <vector>

namespace halvo::session {

class UnitImage;

// What the operator's configuration holds and the unit does not, field by field, of
// the parts read from the unit: followed as either side changes, for the marks on
// the tabs, the line beside STORE and the review.
class ChangesNotStored : public QObject
{
    Q_OBJECT
public:
    ChangesNotStored(const config::Configuration &config, const UnitImage &image, QObject *parent = nullptr);

    const std::vector<config::Difference> &differences() const { return m_differences; }
    const config::Configuration &unit() const;
    bool anyPartRead() const;
    // "Unit not read yet", "Unit matches the window", "1 change not stored", "N changes not stored".
    QString summary() const;

signals:
    void changed();

private:
    void refresh();

    const config::Configuration &m_config;
    const UnitImage &m_image;
    std::vector<config::Difference> m_differences;
};

} // namespace halvo::session
