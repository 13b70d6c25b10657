#pragma once

#include "part.h"

#include <QMetaType>
#include <QObject>

namespace halvo::config {

// What changed in a configuration: one item of a part (a pass row 1..72, a
// parameter 0..31, a location slot 0..49), or all of the part (index -1).
struct Change
{
    Part part = Part::Passes;
    int index = -1;
    bool whole() const { return index < 0; }
};

// Announces the changes made through one Configuration; views subscribe to it.
class ConfigurationNotifier : public QObject
{
    Q_OBJECT
signals:
    void changed(halvo::config::Change change);
};

} // namespace halvo::config

Q_DECLARE_METATYPE(halvo::config::Change)
