#include "ui/AppIcon.h"

#include <QFile>
#include <QString>

QIcon LoadIconResource(int32_t id) {
    QIcon icon;
    for (int size : APP_ICON_SIZES) {
        const QString path = QStringLiteral(":/icons/%1/velkor-%2.png").arg(id).arg(size);
        if (QFile::exists(path)) icon.addFile(path, QSize(size, size));
    }
    return icon;
}
