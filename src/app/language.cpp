#include "language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

namespace {

Q_LOGGING_CATEGORY(lcLanguage, "stepperbench.language")

struct Translators
{
    QTranslator tool; // English texts of the tool (compiled in)
    QTranslator qt; // Chinese texts of Qt's dialogs (from the system's Qt)
    Language language = Language::Chinese;
    bool qtLoaded = false;
};

Translators &translators()
{
    static Translators all;
    return all;
}

} // namespace

void installLanguage(Language language)
{
    Translators &t = translators();
    t.language = language;
    QCoreApplication::removeTranslator(&t.tool);
    QCoreApplication::removeTranslator(&t.qt);
    if (language == Language::English) {
        if (t.tool.isEmpty() && !t.tool.load(QStringLiteral(":/i18n/stepperbench_en.qm")))
            qCWarning(lcLanguage) << "the English translation is missing";
        QCoreApplication::installTranslator(&t.tool);
        return;
    }
    // Qt's own texts are English: only Chinese needs their translation. Without
    // Debian's qt6-translations-l10n the dialogs stay English, and work.
    if (!t.qtLoaded) {
        t.qtLoaded = t.qt.load(QStringLiteral("qtbase_zh_CN"),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath));
        if (!t.qtLoaded)
            qCInfo(lcLanguage) << "no Chinese translation of Qt's dialogs found";
    }
    if (t.qtLoaded)
        QCoreApplication::installTranslator(&t.qt);
}

Language installedLanguage()
{
    return translators().language;
}
