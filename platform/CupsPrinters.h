// The machine's printers as the CUPS server and the user's stored options know them.
#pragma once

#include <QString>
#include <QStringList>

namespace CupsPrinters {

enum class Sides { OneSided, TwoSidedLongEdge, TwoSidedShortEdge };

// Which step of storing a printer's defaults failed.
enum class Failure { None, Open, Read, Write };

struct Result {
    Failure failure = Failure::None;
    QString error;         // the CUPS error or errno, "code (text)"
    bool twoSided = false; // the printer offers two-sided printing
};

// Names of the printers and their instances ("name/instance"); empty without a server.
QStringList printers();
// The default destination, or an empty text when none is set.
QString defaultPrinter();
// Stores paper A4, portrait and `sides` as the user's default options for the printer,
// as `lpoptions -p name -o media=A4 ...` does; a printer without two-sided printing
// gets one-sided. The result also says whether the printer prints on both sides.
Result storeDefaults(const QString& name, Sides sides);

} // namespace CupsPrinters
