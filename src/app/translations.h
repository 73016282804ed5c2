#pragma once

// Loads Qt's own Japanese texts (standard buttons, file dialog) and makes
// Japanese the locale for dates and numbers unless the user chose another.
void installJapaneseTranslations();
