#include "prompts/PolishToolkit.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace {

struct Text {
    const char* context;
    const char* source;
    const char* polish;
};

// Texts of the toolkit's dialogs that its Polish translation does not have.
constexpr Text Missing[] = {
    {"QPrintSettingsOutput", "Pages", "Strony"},
    {"QPrintSettingsOutput", "Double Sided Printing", "Druk dwustronny"},
    {"QPrintSettingsOutput", "Off", "Wyłączony"},
    {"QPrintSettingsOutput", "Long side binding", "Łączenie wzdłuż dłuższej krawędzi"},
    {"QPrintSettingsOutput", "Short side binding", "Łączenie wzdłuż krótszej krawędzi"},
    {"QPrintSettingsOutput",
     "Specify pages or ranges separated by commas. Ranges are specified by two numbers separated by a "
     "hyphen. "
     "E.g: 3,5-7,9 prints pages 3, 5, 6, 7 and 9.",
     "Podaj strony lub zakresy stron oddzielone przecinkami; zakres to dwie liczby połączone łącznikiem. "
     "Na przykład 3,5-7,9 drukuje strony 3, 5, 6, 7 i 9."},
    {"QPrintPropertiesWidget", "Advanced", "Zaawansowane"},
    {"QPrintPropertiesWidget", "There are conflicts in some options. Please fix them.",
     "Niektóre opcje wykluczają się nawzajem. Popraw je."},
    {"QAbstractFileIconProvider", "Folder", "Katalog"},
    {"QAbstractFileIconProvider", "Drive", "Napęd"},
};

class MissingTexts : public QTranslator
{
public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        for (const Text& text : Missing)
            if (std::strcmp(text.context, context) == 0 && std::strcmp(text.source, source) == 0)
                return QString::fromUtf8(text.polish);
        return QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

bool bFunUsePolishToolkit()
{
    const QLocale polish(QLocale::Polish, QLocale::Poland);
    QLocale::setDefault(polish);
    QCoreApplication* app = QCoreApplication::instance();
    QCoreApplication::installTranslator(new MissingTexts(app));
    auto* translator = new QTranslator(app);
    if (!translator->load(polish, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    // Installed last, it is asked first; the missing texts come from the one above.
    QCoreApplication::installTranslator(translator);
    return true;
}
