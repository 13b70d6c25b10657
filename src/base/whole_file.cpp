#include "whole_file.h"

#include <QSaveFile>

namespace halvo::base {

bool Write_Whole_File(const QString &path, const QByteArray &bytes, QString *why)
{
    QSaveFile f(path);
    if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit())
        return true;
    if (why)
        *why = f.errorString();
    return false;
}

} // namespace halvo::base
