#pragma once

class QApplication;
class QTranslator;

// What the application needs before its first window: Japanese as Qt's default locale (date
// pickers, month and day names), Qt's own texts (file and folder choosers, standard buttons)
// in Japanese like the rest of the program, and the program's icon for every window. Returns
// the translator of Qt's texts, owned by `app`; null when Qt's Japanese translations are not
// installed, and Qt's texts then stay English.
QTranslator* setUpApplication(QApplication& app);
