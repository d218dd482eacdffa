#include "printing/EmfMark.h"

#include <emf2svg.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <cstdlib>
#include <memory>

namespace {

constexpr quint32 EmrHeader = 1;
constexpr quint32 EmrEof = 14;
constexpr quint32 EmfSignature = 0x464D4520; // " EMF"
constexpr qsizetype HeaderMinimum = 88;
constexpr qint64 MarkMaximum = 16 * 1024 * 1024; // a drawn mark is a few kilobytes

quint32 u32At(const QByteArray& data, qsizetype offset)
{
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

// Walks the record chain before the converter sees the bytes: the converter trusts the
// sizes in the file, and a file cut short by a failed copy must not take the program
// down with it.
QString structureFault(const QByteArray& data)
{
    if (data.size() < HeaderMinimum || u32At(data, 0) != EmrHeader || u32At(data, 4) < HeaderMinimum ||
        u32At(data, 40) != EmfSignature)
        return QStringLiteral("to nie jest rysunek EMF");
    const quint32 declared = u32At(data, 48);
    if (declared > quint32(data.size()))
        return QStringLiteral("plik jest niekompletny");
    qsizetype offset = 0;
    while (offset + 8 <= qsizetype(declared)) {
        const quint32 type = u32At(data, offset);
        const quint32 size = u32At(data, offset + 4);
        if (size < 8 || size % 4 != 0 || size > quint32(declared - offset))
            return QStringLiteral("uszkodzony rekord w bajcie %1").arg(offset);
        if (type == EmrEof)
            return QString();
        offset += size;
    }
    return QStringLiteral("plik jest niekompletny");
}

// A mark converted once is drawn again from its picture while the file stays as it was:
// a class printed at once draws the same two marks on every page.
struct ConvertedMark {
    qint64 size = -1;
    QDateTime modified;
    QByteArray svg;
};

QHash<QString, ConvertedMark>& convertedMarks()
{
    static QHash<QString, ConvertedMark> marks;
    return marks;
}

} // namespace

bool bFunLoadEmfMark(const QString& path, QByteArray& svg, QString& error)
{
    svg.clear();
    // Only a regular file of a mark's size is read: a device or a pipe in its place would
    // never end, and a huge file would be read whole before being refused.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        error = QStringLiteral("Nie można odczytać pliku:\n") + path +
                QStringLiteral("\nTo nie jest zwykły plik.");
        return false;
    }
    if (info.size() > MarkMaximum) {
        error = QStringLiteral("Nie można odczytać pliku:\n") + path + QStringLiteral("\nPlik jest za duży.");
        return false;
    }
    if (const auto known = convertedMarks().constFind(path); known != convertedMarks().cend() &&
                                                             info.isFile() && known->size == info.size() &&
                                                             known->modified == info.lastModified()) {
        svg = known->svg;
        return true;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error =
            QStringLiteral("Nie można odczytać pliku:\n") + path + QStringLiteral("\n") + file.errorString();
        return false;
    }
    QByteArray emf = file.readAll();
    const QString fault = structureFault(emf);
    if (!fault.isEmpty()) {
        error = QStringLiteral("Niepoprawny rysunek EMF (") + fault + QStringLiteral("):\n") + path;
        return false;
    }
    emf.truncate(u32At(emf, 48));

    generatorOptions options{};
    char noNamespace[] = "";
    options.nameSpace = noNamespace;
    options.svgDelimiter = true;
    char* out = nullptr;
    size_t outLength = 0;
    const int ok = emf2svg(emf.data(), size_t(emf.size()), &out, &outLength, &options);
    if (out)
        svg = QByteArray(out, qsizetype(outLength));
    std::free(out);
    if (!ok || svg.isEmpty() || !QSvgRenderer(svg).isValid()) {
        svg.clear();
        error = QStringLiteral("Nie udało się odczytać rysunku EMF:\n") + path;
        return false;
    }
    convertedMarks().insert(path, {info.size(), info.lastModified(), svg});
    return true;
}

void vFunPaintEmfMark(QPainter& painter, const QByteArray& svg, const QRectF& box)
{
    // The two marks of the form are parsed once and drawn from then on.
    static QHash<QByteArray, std::shared_ptr<QSvgRenderer>> parsed;
    std::shared_ptr<QSvgRenderer>& renderer = parsed[svg];
    if (!renderer) {
        if (parsed.size() > 8) {
            parsed.clear();
            return vFunPaintEmfMark(painter, svg, box);
        }
        renderer = std::make_shared<QSvgRenderer>(svg);
    }
    if (!renderer->isValid())
        return;
    renderer->render(&painter, box);
}
