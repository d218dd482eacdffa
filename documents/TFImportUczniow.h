// The window "Import uczniów": a class list read from a CSV file, one row per student
// with what the import will do with it, the meaning of every column chosen above it.
#pragma once

#include "documents/StudentImport.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class ImportModel;
class MappingHeader;
class ProblemFilter;

class TFImportUczniow : public QDialog
{
    Q_OBJECT

public:
    explicit TFImportUczniow(QWidget* parent = nullptr);
    ~TFImportUczniow() override;

    // Stores the rows "Importuj" takes; true when they are stored, which closes the window.
    using Store = std::function<bool(const QList<StudentImport::Row>& rows)>;
    void setStore(Store store) { m_store = std::move(store); }

    // Reads the file's bytes, `registerTables` being the tables the register holds.
    // False when the file holds no students; problem() then says why.
    bool setFile(const QString& path, const QByteArray& bytes, const QSet<QString>& registerTables);
    QString problem() const { return m_problem; }

    void setEncoding(CsvText::Encoding encoding);
    void setSeparator(QChar separator);
    void setColumn(int column, StudentImport::Column meaning);

    const StudentImport::Source& source() const { return m_source; }
    const QList<StudentImport::Column>& mapping() const { return m_mapping; }
    const QList<StudentImport::Row>& rows() const { return m_rows; }
    // The rows "Importuj" stores: those to be added, and those already in the register
    // when they are to be replaced.
    QList<StudentImport::Row> rowsToStore() const;
    bool replaceExisting() const;

public slots:
    void ImportujButtonClick();
    void AnulujButtonClick();

private:
    QWidget* component(const char* name) const;
    // Reads the file again with the chosen encoding and separator.
    void reread();
    // Shows what was read, its columns mapped by their names.
    void applySource();
    void evaluate();
    // The file's column the table's cursor is in; -1 when none.
    int currentFileColumn() const;
    void showCurrentColumn();
    // The preview read again from the rows, the cursor kept.
    void resetPreview();
    // The pupils of `rows` that give no sex get the one the user chooses, once for all,
    // or are left out; false when the user gives up the import.
    bool askSexOnce(QList<StudentImport::Row>& rows);
    void showMapping();
    void updateSummary();

    QByteArray m_bytes;
    QSet<QString> m_registerTables;
    CsvText::Encoding m_encoding = CsvText::Encoding::Utf8;
    QChar m_separator = QLatin1Char(';');
    StudentImport::Source m_source;
    QList<StudentImport::Column> m_mapping;
    QList<StudentImport::Row> m_rows;
    StudentImport::Options m_options;
    QString m_problem;
    Store m_store;

    QList<QWidget*> m_components;
    ImportModel* m_model = nullptr;
    ProblemFilter* m_filter = nullptr;
    MappingHeader* m_header = nullptr;
    QTableView* m_table = nullptr;
    QComboBox* m_encodingBox = nullptr;
    QComboBox* m_separatorBox = nullptr;
    QCheckBox* m_replaceBox = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_encodingNote = nullptr;
    QLabel* m_unknownNote = nullptr;
    QCheckBox* m_zeroBox = nullptr;
    QComboBox* m_currentColumnBox = nullptr;
    QPushButton* m_importButton = nullptr;
};
