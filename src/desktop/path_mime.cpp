#include "desktop/path_mime.h"

#include <QMimeData>

#include "files/native_names.h"

QMimeData* pathMimeData(const QString& path)
{
    auto* data = new QMimeData;
    const QByteArray bytes = native_names::encode(path);
    if (native_names::decode(bytes) == QString::fromUtf8(bytes))
        data->setText(path);
    if (path.startsWith(QLatin1Char('/')))
        data->setData(QStringLiteral("text/uri-list"), "file://" + bytes.toPercentEncoding("/") + "\r\n");
    return data;
}
