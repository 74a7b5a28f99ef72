#ifndef INFOREPORT_H
#define INFOREPORT_H

#include "clinventory.h"
#include "glreport.h"

#include <QJsonObject>
#include <QString>

// What korvane-info prints: the rows of the "Platforms" dialog in tree
// order, each device followed by its selector index "(P:D)", then what the
// "OpenGL" dialog shows. One row a line, indented by two blanks a tree
// level; the further lines of a multi-line row keep their leading tab under
// the same indentation. Every text ends with a line break.
namespace InfoReport {

// Every platform and device row; after a failed scan, what went wrong.
QString openCl(const ClInventory &inventory, cl_int scanStatus);

// "OpenGL", then version, vendor, renderer and the extension list under
// its "Extensions (N)" header; without a context, that none could be made.
QString openGl(const GlStrings &strings);

// The OpenGL section when there is no display to ask OpenGL on, and why.
QString openGlWithoutDisplay(const QString &why);

// The same content as one object: "platforms" (each with its rows and its
// "devices", each device with its "index" "P:D" and rows; each row with its
// "name", its text as "value" and the driver's value as "typed"), "opengl"
// (null without a display, its "error" without a context) and, after a
// failed scan, "error".
QJsonObject json(const ClInventory &inventory, cl_int scanStatus, const GlStrings *gl);

// A row's text at a tree depth, with its line break.
QString row(const QString &text, int depth);

// What --help says of the program, its exit statuses included.
QString description();

} // namespace InfoReport

#endif
