#include "printing/EmfMark.h"

#include <emf2svg.h>

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

bool bFunLoadEmfMark(const QString& path, QByteArray& svg, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Plik nie istnieje.\n\n") + path;
        return false;
    }
    QByteArray emf = file.readAll();
    generatorOptions options{};
    options.nameSpace = const_cast<char*>("svg");
    options.svgDelimiter = true;
    options.emfplus = true;
    char* out = nullptr;
    size_t outLength = 0;
    const int ok = emf2svg(emf.data(), size_t(emf.size()), &out, &outLength, &options);
    if (!ok || !out) {
        free(out);
        error = QStringLiteral("Niepoprawny plik EMF:\n\n") + path;
        return false;
    }
    svg = QByteArray(out, qsizetype(outLength));
    free(out);
    return true;
}

void vFunPaintEmfMark(QPainter& painter, const QByteArray& svg, const QRectF& box)
{
    QSvgRenderer renderer(svg);
    if (renderer.isValid())
        renderer.render(&painter, box);
}
