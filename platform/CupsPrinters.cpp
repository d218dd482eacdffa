#include "platform/CupsPrinters.h"

#include <cups/cups.h>

#include <cerrno>
#include <cstring>

namespace {

// The dests of one cupsGetDests call, freed on every path.
class Dests
{
public:
    Dests() { m_count = cupsGetDests2(CUPS_HTTP_DEFAULT, &m_dests); }
    ~Dests() { cupsFreeDests(m_count, m_dests); }
    Dests(const Dests&) = delete;
    Dests& operator=(const Dests&) = delete;

    int count() const { return m_count; }
    cups_dest_t* at(int i) const { return &m_dests[i]; }
    cups_dest_t* array() const { return m_dests; }

    cups_dest_t* find(const QString& name) const
    {
        const QByteArray full = name.toUtf8();
        const int slash = full.indexOf('/');
        const QByteArray printer = slash < 0 ? full : full.left(slash);
        const QByteArray instance = slash < 0 ? QByteArray() : full.mid(slash + 1);
        return cupsGetDest(printer.constData(), instance.isEmpty() ? nullptr : instance.constData(), m_count,
                           m_dests);
    }

private:
    cups_dest_t* m_dests = nullptr;
    int m_count = 0;
};

QString destName(const cups_dest_t* dest)
{
    QString name = QString::fromUtf8(dest->name);
    if (dest->instance)
        name += QLatin1Char('/') + QString::fromUtf8(dest->instance);
    return name;
}

QString cupsError()
{
    return QString::number(int(cupsLastError())) + QStringLiteral(" (") +
           QString::fromUtf8(cupsLastErrorString()) + QLatin1Char(')');
}

QString notFound()
{
    return QString::number(int(IPP_STATUS_ERROR_NOT_FOUND)) + QStringLiteral(" (") +
           QString::fromUtf8(ippErrorString(IPP_STATUS_ERROR_NOT_FOUND)) + QLatin1Char(')');
}

// The IPP value of `sides`.
const char* sidesValue(CupsPrinters::Sides sides)
{
    switch (sides) {
    case CupsPrinters::Sides::TwoSidedLongEdge:
        return CUPS_SIDES_TWO_SIDED_PORTRAIT;
    case CupsPrinters::Sides::TwoSidedShortEdge:
        return CUPS_SIDES_TWO_SIDED_LANDSCAPE;
    case CupsPrinters::Sides::OneSided:
        break;
    }
    return CUPS_SIDES_ONE_SIDED;
}

} // namespace

namespace CupsPrinters {

QStringList printers()
{
    Dests dests;
    QStringList names;
    for (int i = 0; i < dests.count(); ++i)
        names << destName(dests.at(i));
    return names;
}

QString defaultPrinter()
{
    Dests dests;
    for (int i = 0; i < dests.count(); ++i)
        if (dests.at(i)->is_default)
            return destName(dests.at(i));
    return QString();
}

Result storeDefaults(const QString& name, Sides sides)
{
    Dests dests;
    const ipp_status_t listed = cupsLastError();
    cups_dest_t* dest = dests.find(name);
    if (!dest) {
        // Gone since it was listed, or the server cannot be reached.
        return {Failure::Open, listed > IPP_STATUS_OK_EVENTS_COMPLETE ? cupsError() : notFound()};
    }
    // The server must still know the printer, as lpoptions checks before it writes; its
    // answer also tells whether it prints on both sides.
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
    if (!info)
        return {Failure::Read, cupsError()};
    Result result;
    result.twoSided =
        cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest, info, CUPS_SIDES, CUPS_SIDES_TWO_SIDED_PORTRAIT) ||
        cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest, info, CUPS_SIDES, CUPS_SIDES_TWO_SIDED_LANDSCAPE);
    cupsFreeDestInfo(info);
    if (!result.twoSided)
        sides = Sides::OneSided;

    dest->num_options = cupsAddOption("media", "A4", dest->num_options, &dest->options);
    dest->num_options = cupsAddOption("orientation-requested", "3", dest->num_options, &dest->options);
    dest->num_options = cupsAddOption(CUPS_SIDES, sidesValue(sides), dest->num_options, &dest->options);
    errno = 0;
    if (cupsSetDests2(CUPS_HTTP_DEFAULT, dests.count(), dests.array()) != 0) {
        const int error = errno;
        result.failure = Failure::Write;
        result.error = error != 0 ? QString::number(error) + QStringLiteral(" (") +
                                        QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char(')')
                                  : cupsError();
    }
    return result;
}

} // namespace CupsPrinters
