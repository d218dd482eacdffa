// The confirmation that a student has been admitted.
#pragma once

#include "documents/DocumentForm.h"

class TFPotwierdzeniePrzyjUcznia : public DocumentForm
{
    Q_OBJECT

public:
    static inline const QString SectionId = QStringLiteral("POTWIERDZENIE_PRZYJECIA_UCZNIA");

    explicit TFPotwierdzeniePrzyjUcznia(TFDaneUcznia* student, QWidget* parent = nullptr);

    QString sectionId() const override { return SectionId; }
};
