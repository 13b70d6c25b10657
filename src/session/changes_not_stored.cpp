#include "changes_not_stored.h"

#include "unit_image.h"

namespace halvo::session {

ChangesNotStored::ChangesNotStored(const config::Configuration &config, const UnitImage &image,
                                   QObject *parent)
    : QObject(parent), m_config(config), m_image(image)
{
    connect(config.notifier(), &config::ConfigurationNotifier::changed, this, &ChangesNotStored::refresh);
    connect(&image, &UnitImage::changed, this, &ChangesNotStored::refresh);
    refresh();
}

const config::Configuration &ChangesNotStored::unit() const
{
    return m_image.unit();
}

bool ChangesNotStored::anyPartRead() const
{
    return m_image.anyRead();
}

QString ChangesNotStored::summary() const
{
    const auto n = m_differences.size();
    return !anyPartRead() ? QStringLiteral("Unit not read yet")
           : n == 0       ? QStringLiteral("Unit matches the window")
           : n == 1       ? QStringLiteral("1 change not stored")
                          : QStringLiteral("%1 changes not stored").arg(n);
}

void ChangesNotStored::refresh()
{
    m_differences.clear();
    for (config::Difference &d : config::Differences(m_config, m_image.unit()))
        if (m_image.read(d.part))
            m_differences.push_back(std::move(d));
    emit changed();
}

} // namespace halvo::session
