#pragma once

class QString;

// The form is measured for "Arial Narrow" and "Arial". A bare Windows lacks the first, Wine
// both; Qt's fallbacks are wider or taller and clip the buttons' labels. For each family the
// system lacks, this loads the fonts in fontFolder (Liberation Sans Narrow and Liberation Sans,
// metric-compatible) and makes the Liberation family stand in for it; so it does for Windows'
// default font where Tahoma is missing.
void provideFonts(const QString &fontFolder);
