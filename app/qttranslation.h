#pragma once

class QTranslator;

// Loads Qt's own Italian texts (the file dialogs' buttons, their questions), so the dialogs
// speak the window's language: from Qt's translations folder, or on Windows from the
// "translations" folder beside the program. Returns the installed translator, owned by the
// application, or null where the texts were not found.
QTranslator *installQtTranslation();
