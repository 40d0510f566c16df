#pragma once

class QString;

// The form is measured for "Arial Narrow", which a bare Windows lacks; Qt's fallback is wider
// and clips the buttons' labels. Where the system has no "Arial Narrow", this loads the fonts in
// fontFolder (Liberation Sans Narrow, metric-compatible) and makes that family stand in for it.
void provideNarrowFont(const QString &fontFolder);
