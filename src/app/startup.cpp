#include "app/startup.h"

#include <QApplication>

#include "app/splash_screen.h"
#include "app/forms.h"
#include "platform/enter_key.h"
#include "platform/fonts.h"
#include "platform/translations.h"
#include "resources/builtin_pictures.h"

void startApplication()
{
    QApplication::setApplicationName(QStringLiteral("kiriview"));
    QApplication::setWindowIcon(builtin::programIcon());
    fonts::installSubstitutions();
    installJapaneseTranslations();
    installEnterPressesFocusedButton();
    forms::get<SplashScreen>().show();
}
