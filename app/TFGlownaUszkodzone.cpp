// Opening a damaged register: the user is told what cannot be read, and only what can
// be read is opened, as a new document without a file name, so that the damaged file
// keeps everything it holds until the user decides where the readable part goes.
#include "app/TFGlowna.h"

#include "documents/DocumentFile.h"
#include "prompts/Prompts.h"
#include "storage/EventLog.h"

#include <QFileInfo>

namespace {
// More names would not fit on the screen; the log holds the same text.
constexpr qsizetype ShownNames = 20;
} // namespace

bool TFGlowna::bFunOfferReadablePart(const QString& path, const QString& workingCopy)
{
    m_readablePartOpened = false;
    RegisterDamage damage;
    MessageBuffer quiet;
    // A file that cannot be examined at all is refused by its listing, with the reason.
    if (!bFunFindDamage(quiet, workingCopy, damage) || !damage.damaged)
        return true;

    const QFileInfo file(path);
    const QString name = file.fileName();
    const qsizetype lost = damage.unreadable.size();
    // What the program never makes is named too, so that the user knows what stays behind.
    QStringList notes;
    if (!damage.redefined.isEmpty())
        notes.append(QStringLiteral("Tablice uczniów o nieznanej budowie (ich dane zostaną przepisane do "
                                    "nowych tablic): ") +
                     damage.redefined.mid(0, ShownNames).join(QStringLiteral(", ")) +
                     (damage.redefined.size() > ShownNames ? QStringLiteral(", …") : QString()) +
                     QLatin1Char('\n'));
    if (!damage.foreign.isEmpty()) {
        QString note = QStringLiteral(
            "Plik zawiera też obiekty, których program nie tworzy; nie zostaną otwarte ani wykonane:\n");
        for (qsizetype i = 0; i < std::min(damage.foreign.size(), ShownNames); ++i)
            note += damage.foreign.at(i) + QLatin1Char('\n');
        if (damage.foreign.size() > ShownNames)
            note += QStringLiteral("… i jeszcze %1\n").arg(damage.foreign.size() - ShownNames);
        notes.append(note);
    }
    m_buf.reset();
    m_buf << "Plik „" << name << "” jest uszkodzony.\n\n";
    if (lost == 0) {
        m_buf << "Dane wszystkich uczniów (" << damage.readable
              << ") dają się odczytać; uszkodzona jest inna część pliku.\n\n";
        for (const QString& note : std::as_const(notes))
            m_buf << note << "\n";
        m_buf << "„Otwórz to, co da się odczytać” otworzy je jako nowy dokument, bez nazwy pliku. ";
    } else {
        m_buf << "Nie da się odczytać danych uczniów wymienionych poniżej (" << int(lost) << " z "
              << int(lost) + damage.readable << "):\n";
        for (qsizetype i = 0; i < std::min(lost, ShownNames); ++i)
            m_buf << damage.unreadable.at(i).displayName << "\n";
        if (lost > ShownNames)
            m_buf << "… i jeszcze " << int(lost - ShownNames) << "\n";
        for (const QString& note : std::as_const(notes))
            m_buf << "\n" << note;
        m_buf << "\n„Otwórz to, co da się odczytać” otworzy dane pozostałych uczniów (" << damage.readable
              << ") jako nowy dokument, bez nazwy pliku i bez uczniów wymienionych wyżej. ";
    }
    m_buf << "Plik „" << name
          << "” pozostanie bez zmian, ze wszystkim, co zawiera; odczytane dane zapisz poleceniem "
             "„Zapisz” pod nową nazwą.";
    vFunLogError(m_buf, QStringLiteral("bFunWczytajPlikSwiadectw()"));
    if (Prompts::instance().choose(
            this, m_buf.text(), QStringLiteral("Uszkodzony plik"), Prompts::Icon::Warning,
            {QStringLiteral("Otwórz to, co da się odczytać"), QStringLiteral("Anuluj")}) != 0)
        return false;

    QStringList skip;
    for (const StudentListEntry& student : std::as_const(damage.unreadable))
        skip.append(student.tableName);
    if (!bFunRebuildFromReadableTables(m_buf, workingCopy, skip)) {
        showError(QStringLiteral("Błąd podczas próby odczytania uszkodzonego pliku\n") + path +
                  QStringLiteral("\n\n") + m_buf.text() +
                  QStringLiteral("\nDane świadectw nie zostały wczytane."));
        return false;
    }
    // The readable part lives only in the working copy until it is saved: closing asks,
    // and Save asks for a new name, proposed beside the damaged file.
    m_readablePartOpened = true;
    m_unsavedChanges = true;
    m_saveDialogName = file.absolutePath() + QLatin1Char('/') + file.completeBaseName() +
                       QStringLiteral(" - odczytane.sqdoc");
    return true;
}
