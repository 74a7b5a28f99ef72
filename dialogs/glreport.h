#ifndef GLREPORT_H
#define GLREPORT_H

#include <QString>
#include <QStringList>

// What the "OpenGL" dialog and the korvane-info report show of the OpenGL
// driver, as plain text made from the driver's raw strings.

// The driver's four strings. A string the driver did not give (no context
// could be made current, or glGetString answered nothing) is null.
struct GlStrings
{
    QString version;
    QString vendor;
    QString renderer;
    QString extensions;
    bool haveContext = false;
};

// Asks OpenGL through a temporary, never-shown OpenGL widget; needs a GUI
// application on a display. The widget and its context are gone again when
// this returns.
GlStrings queryGlStrings();

namespace GlFormat {

// Stands in the labels and the report for a string the driver did not give.
QString unavailable();

// The string itself, or unavailable() when there is none.
QString shown(const QString &value);

// The extension string as a list of names, split at every run of blanks.
// A missing string gives no extension at all.
QStringList extensionList(const QString &extensions);

// "Extensions (N)".
QString extensionsHeader(int count);

// "Version: <b>value</b>" for a label (rich text, the value not escaped),
// and "Version: value" for plain text.
QString labelText(const QString &caption, const QString &value);
QString plainText(const QString &caption, const QString &value);

} // namespace GlFormat

#endif
