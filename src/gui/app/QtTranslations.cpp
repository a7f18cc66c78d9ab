#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QStringList InstallQtTranslations(QCoreApplication& app)
{
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
    // Dates and sizes in the file dialog follow the same language as its labels.
    QLocale::setDefault(chinese);
    const QString strFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    QStringList loaded;
    for (const QString& strCatalog : {QStringLiteral("qtbase"), QStringLiteral("qtwebengine")}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(chinese, strCatalog, QStringLiteral("_"), strFolder) &&
            QCoreApplication::installTranslator(translator)) {
            loaded.append(strCatalog);
        } else {
            delete translator;
        }
    }
    return loaded;
}
