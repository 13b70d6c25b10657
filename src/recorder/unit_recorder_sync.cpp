// The recorder and the department's remote: a sync, asked for or after a new version,
// and what it tells of how it went.
#include "unit_recorder.h"

#include <QtConcurrent/QtConcurrentRun>

namespace halvo::recorder {

void UnitRecorder::tellSync(const Outcome &o)
{
    if (!o.sync)
        return;
    QString text = o.sync->ok ? o.sync->text : QStringLiteral("not shared: ") + o.sync->text;
    if (o.notShared > 0)
        text += QStringLiteral("; %1 not shared yet")
                    .arg(o.notShared == 1 ? QStringLiteral("1 version")
                                          : QStringLiteral("%1 versions").arg(o.notShared));
    emit synced(o.sync->ok, text, o.notShared);
}

void UnitRecorder::shareWith(const QString &url)
{
    syncWith(url);
}

void UnitRecorder::sync()
{
    syncWith(std::nullopt);
}

// After the version being written, if any: the records are touched one task at a time.
void UnitRecorder::syncWith(const std::optional<QString> &url)
{
    if (m_folder.isEmpty()) {
        emit synced(false, QStringLiteral("not shared: no records are kept"), 0);
        return;
    }
    ++m_syncing;
    QtConcurrent::run(&m_files, [folder = m_folder, url] {
        Outcome o;
        auto repository = records::Repository::Open(folder, &o.why);
        if (!repository || (url && !repository->setRemote(*url, &o.why))) {
            o.sync = records::Repository::SyncEnd{false, o.why, 0, 0};
            return o;
        }
        o.sync = repository->sync();
        o.notShared = repository->notShared();
        return o;
    }).then(this, [this](const Outcome &o) {
        --m_syncing;
        tellSync(o);
        writeNext(); // a version kept while it synced
    });
}

} // namespace halvo::recorder
