#include "i18n/Translations.h"

#include <QCoreApplication>

#include "app/Language.h"

bool LoadTranslation(QTranslator& translator, unsigned codePage) {
    const char* name = TranslationOf(codePage);
    return name && translator.load(QString::fromUtf8(name), QStringLiteral(":/i18n"));
}

Text::Translate TranslateWith(const QTranslator& translator) {
    return [&translator](const char* context, const char* pattern) {
        const QString translated = translator.translate(context, pattern);
        return translated.isEmpty() ? std::string(pattern) : translated.toStdString();
    };
}

void UseLanguage(unsigned codePage) {
    static QTranslator translator;
    QCoreApplication::removeTranslator(&translator);
    if (LoadTranslation(translator, codePage))
        QCoreApplication::installTranslator(&translator);
}

Text::Translate QtTranslate() {
    return [](const char* context, const char* pattern) {
        return QCoreApplication::translate(context, pattern).toStdString();
    };
}
