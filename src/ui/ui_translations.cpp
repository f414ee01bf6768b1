#include "ui/ui_translations.h"

#include "convert/conversion_engine.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace qvo::ui {
namespace {

// The run's status texts, for lupdate; the run itself has no Qt.
[[maybe_unused]] constexpr const char *kStatusTexts[] = {
    QT_TRANSLATE_NOOP("ConversionStatus", "変換待ち"),
    QT_TRANSLATE_NOOP("ConversionStatus", "変換成功"),
    QT_TRANSLATE_NOOP("ConversionStatus", "変換失敗"),
    QT_TRANSLATE_NOOP("ConversionStatus", "同名ファイルが存在"),
};

std::unique_ptr<QTranslator> &ownTranslator()
{
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

std::unique_ptr<QTranslator> &qtTranslator()
{
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

} // namespace

void removeTranslations()
{
    for (std::unique_ptr<QTranslator> *t : {&ownTranslator(), &qtTranslator()}) {
        if (*t)
            QCoreApplication::removeTranslator(t->get());
        t->reset();
    }
}

bool installTranslations(platform::UiLanguage language)
{
    removeTranslations();
    if (language == platform::UiLanguage::English) {
        // Qt's own texts are English already.
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(QStringLiteral(":/i18n/qvo_en.qm")))
            return false;
        QCoreApplication::installTranslator(translator.get());
        ownTranslator() = std::move(translator);
        return true;
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    qtTranslator() = std::move(translator);
    return true;
}

QString statusText(const std::string &status)
{
    return QCoreApplication::translate("ConversionStatus", status.c_str());
}

} // namespace qvo::ui
