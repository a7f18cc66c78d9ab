#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace
{
// Texts of Qt's that its Chinese catalogue leaves out: the kinds of file in the file dialog's list.
class CMissingQtTexts final : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0) {
            return {};
        }
        static const struct
        {
            const char* source;
            const char* text;
        } kTexts[] = {
            {"Folder", "文件夹"}, {"File", "文件"},    {"%1 File", "%1 文件"},
            {"Drive", "驱动器"},  {"Unknown", "未知"}, {"Shortcut", "快捷方式"},
        };
        for (const auto& entry : kTexts) {
            if (qstrcmp(sourceText, entry.source) == 0) {
                return QString::fromUtf8(entry.text);
            }
        }
        return {};
    }
};
} // namespace

QStringList InstallQtTranslations(QCoreApplication& app)
{
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
    // Dates and sizes in the file dialog follow the same language as its labels.
    QLocale::setDefault(chinese);
    const QString strFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    QStringList loaded;
    // Installed first, so that a catalogue that has these texts wins over it.
    QCoreApplication::installTranslator(new CMissingQtTexts(&app));
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
