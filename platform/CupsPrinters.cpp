#include "platform/CupsPrinters.h"

#include <cups/cups.h>

#include <QLibrary>

#include <cerrno>
#include <cstring>
#include <type_traits>

namespace {

// The CUPS library is loaded the first time a printer is asked for, not with the
// program: it brings its own TLS, Kerberos and Avahi libraries, and most starts of the
// program print nothing.
struct Cups {
    decltype(&::cupsGetDests2) getDests2 = nullptr;
    decltype(&::cupsFreeDests) freeDests = nullptr;
    decltype(&::cupsGetDest) getDest = nullptr;
    decltype(&::cupsLastError) lastError = nullptr;
    decltype(&::cupsLastErrorString) lastErrorString = nullptr;
    decltype(&::ippErrorString) errorString = nullptr;
    decltype(&::cupsCopyDestInfo) copyDestInfo = nullptr;
    decltype(&::cupsCheckDestSupported) checkDestSupported = nullptr;
    decltype(&::cupsFreeDestInfo) freeDestInfo = nullptr;
    decltype(&::cupsAddOption) addOption = nullptr;
    decltype(&::cupsSetDests2) setDests2 = nullptr;
    QString loadError; // empty once every function is there
};

const Cups& cups()
{
    static const Cups loaded = [] {
        Cups c;
        QLibrary library(QStringLiteral("cups"), 2);
        if (!library.load()) {
            c.loadError = library.errorString();
            return c;
        }
        bool whole = true;
        auto resolve = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
            whole = whole && function;
        };
        resolve(c.getDests2, "cupsGetDests2");
        resolve(c.freeDests, "cupsFreeDests");
        resolve(c.getDest, "cupsGetDest");
        resolve(c.lastError, "cupsLastError");
        resolve(c.lastErrorString, "cupsLastErrorString");
        resolve(c.errorString, "ippErrorString");
        resolve(c.copyDestInfo, "cupsCopyDestInfo");
        resolve(c.checkDestSupported, "cupsCheckDestSupported");
        resolve(c.freeDestInfo, "cupsFreeDestInfo");
        resolve(c.addOption, "cupsAddOption");
        resolve(c.setDests2, "cupsSetDests2");
        if (!whole)
            c.loadError = library.errorString();
        return c;
    }();
    return loaded;
}

bool available()
{
    return cups().loadError.isEmpty();
}

// The dests of one cupsGetDests call, freed on every path.
class Dests
{
public:
    Dests()
    {
        if (available())
            m_count = cups().getDests2(CUPS_HTTP_DEFAULT, &m_dests);
    }
    ~Dests()
    {
        if (m_dests)
            cups().freeDests(m_count, m_dests);
    }
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
        if (!m_dests)
            return nullptr;
        return cups().getDest(printer.constData(), instance.isEmpty() ? nullptr : instance.constData(),
                              m_count, m_dests);
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
    return QString::number(int(cups().lastError())) + QStringLiteral(" (") +
           QString::fromUtf8(cups().lastErrorString()) + QLatin1Char(')');
}

QString notFound()
{
    return QString::number(int(IPP_STATUS_ERROR_NOT_FOUND)) + QStringLiteral(" (") +
           QString::fromUtf8(cups().errorString(IPP_STATUS_ERROR_NOT_FOUND)) + QLatin1Char(')');
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
    if (!available())
        return {Failure::Open, cups().loadError};
    Dests dests;
    const ipp_status_t listed = cups().lastError();
    cups_dest_t* dest = dests.find(name);
    if (!dest) {
        // Gone since it was listed, or the server cannot be reached.
        return {Failure::Open, listed > IPP_STATUS_OK_EVENTS_COMPLETE ? cupsError() : notFound()};
    }
    // The server must still know the printer, as lpoptions checks before it writes; its
    // answer also tells whether it prints on both sides.
    cups_dinfo_t* info = cups().copyDestInfo(CUPS_HTTP_DEFAULT, dest);
    if (!info)
        return {Failure::Read, cupsError()};
    Result result;
    result.twoSided =
        cups().checkDestSupported(CUPS_HTTP_DEFAULT, dest, info, CUPS_SIDES, CUPS_SIDES_TWO_SIDED_PORTRAIT) ||
        cups().checkDestSupported(CUPS_HTTP_DEFAULT, dest, info, CUPS_SIDES, CUPS_SIDES_TWO_SIDED_LANDSCAPE);
    cups().freeDestInfo(info);
    if (!result.twoSided)
        sides = Sides::OneSided;

    dest->num_options = cups().addOption("media", "A4", dest->num_options, &dest->options);
    dest->num_options = cups().addOption("orientation-requested", "3", dest->num_options, &dest->options);
    dest->num_options = cups().addOption(CUPS_SIDES, sidesValue(sides), dest->num_options, &dest->options);
    errno = 0;
    if (cups().setDests2(CUPS_HTTP_DEFAULT, dests.count(), dests.array()) != 0) {
        const int error = errno;
        result.failure = Failure::Write;
        result.error = error != 0 ? QString::number(error) + QStringLiteral(" (") +
                                        QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char(')')
                                  : cupsError();
    }
    return result;
}

} // namespace CupsPrinters
