// The emblem and stamp marks are Windows enhanced metafiles; they are converted to SVG
// and drawn stretched into their boxes.
#pragma once

#include <QByteArray>
#include <QRectF>
#include <QString>

class QPainter;

// Reads the EMF file at `path` into SVG text; false with `error` set when it cannot.
bool bFunLoadEmfMark(const QString& path, QByteArray& svg, QString& error);
// Draws the SVG stretched into `box`.
void vFunPaintEmfMark(QPainter& painter, const QByteArray& svg, const QRectF& box);
