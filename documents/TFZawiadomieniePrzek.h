// The notice that a student is transferred to another school.
#pragma once

#include "documents/DocumentForm.h"

class TFZawiadomieniePrzek : public DocumentForm
{
    Q_OBJECT

public:
    static inline const QString SectionId = QStringLiteral("ZAWIADOMIENIE_O_PRZEKAZANIU");

    explicit TFZawiadomieniePrzek(TFDaneUcznia* student, QWidget* parent = nullptr);

    // The components of the page, as the form is built from them.
    static std::span<const ComponentEntry> pageTable();

    QString sectionId() const override { return SectionId; }
};
