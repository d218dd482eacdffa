// The school data template: the school's standing data (school year, class, name,
// number and patron, town and province, subjects, languages and classes) typed once
// over a picture of the page and kept as the template "school_data" in "szablony.sqset".
#pragma once

#include "storage/MessageBuffer.h"

#include <QDialog>

class TFDaneSzkoly : public QDialog
{
    Q_OBJECT

public:
    static inline const QString SectionId = QStringLiteral("DANE SZKOLY");
    static inline const QString TemplateName = QStringLiteral("school_data");

    explicit TFDaneSzkoly(QWidget* parent = nullptr);

    // The buffer failure texts are written to; the form has its own until one is given.
    void setMessageBuffer(MessageBuffer* buf) { m_buf = buf ? buf : &m_ownBuffer; }

    // Reloads the form from the stored template, proposes the school year where none is
    // stored, and marks the template as offered; runs on every showing.
    void FormShow();

    // The page's components in component order, and the value of one by name.
    const QList<QWidget*>& components() const { return m_components; }
    QString fieldText(const QString& compName) const;

public slots:
    void OKButtonClick();
    void AnulujButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QList<QWidget*> m_components;
    QWidget* m_firstField = nullptr;
    MessageBuffer m_ownBuffer;
    MessageBuffer* m_buf = &m_ownBuffer;
};
