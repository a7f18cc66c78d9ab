#include "favorites/OrderRecordStore.h"

#include <QSettings>
#include <QVariant>

#include "common/AppInfo.h"
#include "common/Text.h"
#include "favorites/MenuOrder.h"

namespace
{
const QString kOrderValue = QStringLiteral("Order");
}

QString COrderRecordStore::groupOf(const QString& strRelPath)
{
    QString strGroup = toQ(CMenuOrder::KeyPath(fromQ(strRelPath)));
    while (strGroup.endsWith(QLatin1Char('/'))) {
        strGroup.chop(1);
    }
    return strGroup;
}

QByteArray COrderRecordStore::Read(const QString& strRelPath)
{
    QSettings settings(appinfo::organization(), appinfo::application());
    const QVariant value = settings.value(groupOf(strRelPath) + QLatin1Char('/') + kOrderValue);
    // Only raw bytes are a record, as only a binary value is one in the desktop's own store.
    if (value.typeId() != QMetaType::QByteArray) {
        return {};
    }
    return value.toByteArray();
}

void COrderRecordStore::Write(const QString& strRelPath, const QByteArray& bytes)
{
    QSettings settings(appinfo::organization(), appinfo::application());
    settings.setValue(groupOf(strRelPath) + QLatin1Char('/') + kOrderValue, bytes);
}

void COrderRecordStore::Remove(const QString& strRelPath)
{
    QSettings settings(appinfo::organization(), appinfo::application());
    settings.remove(groupOf(strRelPath));
}

void COrderRecordStore::Move(const QString& strOldRelPath, const QString& strNewRelPath)
{
    QSettings settings(appinfo::organization(), appinfo::application());
    const QString strOld = groupOf(strOldRelPath);
    const QString strNew = groupOf(strNewRelPath);
    settings.beginGroup(strOld);
    const QStringList keys = settings.allKeys();
    QList<QVariant> values;
    for (const QString& strKey : keys) {
        values.append(settings.value(strKey));
    }
    settings.endGroup();
    settings.remove(strOld);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        settings.setValue(strNew + QLatin1Char('/') + keys.at(i), values.at(i));
    }
}
