// The emblem and the stamp mark printed on the documents are Windows enhanced metafiles,
// so that a school can drop in its own pictures made on Windows. They are read through
// libemf2svg and drawn as SVG.
#pragma once

#include <QByteArray>
#include <QRectF>
#include <QString>

class QPainter;

// Reads an EMF file and converts it into an SVG document. A file that is missing, is not
// an enhanced metafile, is cut short or cannot be converted gives false and the reason
// in `error`.
bool bFunLoadEmfMark(const QString& path, QByteArray& svg, QString& error);

// Draws a converted mark stretched into `box`; an invalid document draws nothing.
void vFunPaintEmfMark(QPainter& painter, const QByteArray& svg, const QRectF& box);
