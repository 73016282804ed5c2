#include "desktop/path_mime.h"

#include <QMimeData>

#include "files/native_names.h"

QMimeData* pathMimeData(const QString& path)
{
    auto* data = new QMimeData;
    const QByteArray bytes = native_names::encode(path);
    // Text alone, never a file: a paste gives the path. A name that is not
    // UTF-8 goes as its own bytes.
    if (native_names::decode(bytes) == QString::fromUtf8(bytes))
        data->setText(path);
    else
        data->setData(QStringLiteral("text/plain"), bytes);
    return data;
}
