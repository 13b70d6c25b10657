// Packing the records: libgit2 writes each object of a version as a loose file and
// never packs them, so the records pack themselves once enough have gathered.
#include "git_handles.h"
#include "repository.h"

#include <QDir>
#include <QFile>

#include <git2/sys/odb_backend.h>

namespace halvo::records {

namespace {

using Odb = Owned<git_odb, git_odb_free>;
using Packbuilder = Owned<git_packbuilder, git_packbuilder_free>;

// Each loose object's file, by its id in hex.
std::vector<std::pair<QString, QString>> Loose_Files(const QString &objects)
{
    std::vector<std::pair<QString, QString>> files;
    const QDir dir(objects);
    for (const QString &fan : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (fan.size() != 2 || fan.toLatin1().toLower() != fan.toLatin1() ||
            QByteArray::fromHex(fan.toLatin1()).size() != 1)
            continue; // "pack", "info"
        const QDir sub(dir.filePath(fan));
        for (const QString &rest : sub.entryList(QDir::Files))
            if (rest.size() == 38)
                files.emplace_back(fan + rest, sub.filePath(rest));
    }
    return files;
}

} // namespace

int Repository::looseObjects() const
{
    return static_cast<int>(Loose_Files(QDir(m_folder).filePath(QStringLiteral(".git/objects"))).size());
}

// Every loose object goes into one new pack, beside the packs there are (only the new
// objects are read and compressed, against each other); then the loose copies of what
// the packs hold go, as git's prune-packed does. Nothing is pruned.
bool Repository::pack(QString *why)
{
    auto fail = [why](const QString &text) {
        if (why)
            *why = text;
        return false;
    };
    const QString objects = QDir(m_folder).filePath(QStringLiteral(".git/objects"));
    const auto loose = Loose_Files(objects);
    if (loose.empty())
        return true;
    Packbuilder builder;
    if (git_packbuilder_new(builder.out(), m_git->repo) != 0)
        return fail(Git_Error("the records cannot be packed"));
    for (const auto &entry : loose) {
        git_oid id;
        if (git_oid_fromstr(&id, entry.first.toLatin1().constData()) != 0 ||
            git_packbuilder_insert(builder.get(), &id, nullptr) != 0)
            return fail(Git_Error("the records' loose objects cannot be gathered to pack"));
    }
    if (git_packbuilder_write(builder.get(), nullptr, 0, nullptr, nullptr) != 0)
        return fail(Git_Error("the records' pack cannot be written"));
    Odb packed;
    git_odb_backend *packs = nullptr;
    if (git_odb_new(packed.out()) != 0 ||
        git_odb_backend_pack(&packs, QDir::toNativeSeparators(objects).toUtf8().constData()) != 0)
        return fail(Git_Error("the records' packs cannot be read"));
    if (git_odb_add_backend(packed.get(), packs, 1) != 0) {
        packs->free(packs);
        return fail(Git_Error("the records' packs cannot be read"));
    }
    for (const auto &[hex, file] : loose) {
        git_oid id;
        if (git_oid_fromstr(&id, hex.toLatin1().constData()) == 0 && git_odb_exists(packed.get(), &id))
            QFile::remove(file);
    }
    return true;
}

bool Repository::packIfLoose(int threshold, QString *why)
{
    return looseObjects() < threshold || pack(why);
}

} // namespace halvo::records
