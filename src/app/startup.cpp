#include "app/startup.h"

#include <QApplication>

#include "app/splash_screen.h"
#include "ui/forms.h"
#include "app/enter_key.h"
#include "controls/fonts.h"
#include "app/translations.h"
#include "resources/builtin_pictures.h"

void startApplication()
{
    QApplication::setApplicationName(QStringLiteral("kiriview"));
    QApplication::setWindowIcon(builtin::programIcon());
    fonts::installSubstitutions();
    installJapaneseTranslations();
    installEnterPressesFocusedButton();
    (new SplashScreen)->show(); // it goes when it hands over
}
