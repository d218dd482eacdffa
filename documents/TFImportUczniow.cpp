#include "documents/TFImportUczniow.h"

#include "documents/FormBinding.h"
#include "documents/FormTable.h"
#include "documents/Pesel.h"
#include "documents/StudentFields.h"
#include "prompts/Prompts.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

using StudentImport::Column;
using StudentImport::Row;
using StudentImport::State;

namespace {

constexpr ComponentEntry label(const char* name, const char* text = "", const char* buddy = nullptr)
{
    return {.name = name, .kind = ComponentKind::Label, .text = text, .buddy = buddy};
}

constexpr ComponentEntry list(const char* name, int tab, const char* items)
{
    return {.name = name, .kind = ComponentKind::PickList, .tab = tab, .items = items};
}

constexpr ComponentEntry button(const char* name, const char* text, int tab)
{
    return {
        .name = name, .kind = ComponentKind::Button, .text = text, .width = 100, .height = 27, .tab = tab};
}

// Top to bottom; the preview with the column lists above it stands between the
// separator and the replace box.
constexpr ComponentEntry Layout[] = {
    label("PlikLabel", "Plik:"),
    label("PlikNazwaLabel"),
    label("KodowanieLabel", "&Kodowanie znaków:", "KodowanieComboBox"),
    list("KodowanieComboBox", 1, "UTF-8|Windows-1250"),
    label("KodowanieUwagaLabel"),
    label("SeparatorLabel", "&Separator pól:", "SeparatorComboBox"),
    list("SeparatorComboBox", 2, "średnik ( ; )|przecinek ( , )|tabulator"),
    label("KolumnyLabel", "&Nad każdą kolumną wybierz, co zawiera; kolumny „pomiń” nie są wczytywane."),
    label("NieznaneKolumnyLabel"),
    label("BiezacaKolumnaLabel", "Kolumna &bieżąca zawiera:", "BiezacaKolumnaComboBox"),
    list("BiezacaKolumnaComboBox", 3, nullptr),
    {.name = "ZastapCheckBox",
     .kind = ComponentKind::CheckBox,
     .text = "&Zastąp dane uczniów, którzy już są w rejestrze (dokumenty ucznia zostają)",
     .tab = 4},
    {.name = "ZeroCheckBox",
     .kind = ComponentKind::CheckBox,
     .text = "&Dopisz brakujące wiodące zero do numerów PESEL, które mają 10 cyfr",
     .tab = 4},
    {.name = "TylkoUwagiCheckBox",
     .kind = ComponentKind::CheckBox,
     .text = "&Pokaż tylko wiersze do sprawdzenia",
     .tab = 4},
    label("PodsumowanieLabel"),
    button("ImportujButton", "&Importuj", 5),
    button("AnulujButton", "Anuluj", 6),
};

const QChar Separators[] = {QLatin1Char(';'), QLatin1Char(','), QLatin1Char('\t')};
// The first columns of the preview, before the file's own.
constexpr int LineColumn = 0;
constexpr int StateColumn = 1;
constexpr int FileColumns = 2;
// More students than a large school has.
constexpr qsizetype LargeImport = 5000;
// The rows the preview shows; the summary counts them all.
constexpr int PreviewRows = 5000;

QString shownNotes(const Row& row)
{
    return row.notes.isEmpty()
               ? QString()
               : QStringLiteral(" (uwaga: ") + row.notes.join(QStringLiteral("; ")) + QLatin1Char(')');
}

} // namespace

// The rows of the file beside their states; nothing is copied, every cell is read when
// it is shown, so a list of fifty thousand students costs no more than a page of it.
class ImportModel : public QAbstractTableModel
{
public:
    ImportModel(const StudentImport::Source& source, const QList<Row>& rows, const QCheckBox* replace,
                QObject* parent)
        : QAbstractTableModel(parent), m_source(source), m_rows(rows), m_replace(replace)
    {
    }

    void reset()
    {
        beginResetModel();
        endResetModel();
    }
    void statesChanged()
    {
        if (!m_rows.isEmpty())
            emit dataChanged(index(0, StateColumn), index(int(m_rows.size()) - 1, StateColumn));
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(std::min<qsizetype>(m_rows.size(), PreviewRows));
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() || m_rows.isEmpty() ? 0 : FileColumns + int(m_source.header.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_rows.size())
            return {};
        const Row& row = m_rows.at(index.row());
        const int column = index.column();
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
            if (column == LineColumn)
                return row.line;
            if (column == StateColumn)
                return row.stateText(m_replace->isChecked()) + shownNotes(row);
            const QStringList& fields = m_source.records.at(index.row()).fields;
            const int field = column - FileColumns;
            if (field >= fields.size())
                return {};
            QString text = fields.at(field);
            // A line break inside a field shows where it stands.
            if (role == Qt::DisplayRole)
                text.replace(QStringLiteral("\r\n"), QStringLiteral(" \u21B5 "))
                    .replace(QLatin1Char('\n'), QStringLiteral(" \u21B5 "))
                    .replace(QLatin1Char('\r'), QStringLiteral(" \u21B5 "));
            return text;
        }
        if (role == Qt::ForegroundRole && column == StateColumn) {
            if (row.state == State::Error)
                return QColor(170, 0, 0);
            if (row.state == State::InRegister || !row.notes.isEmpty())
                return QColor(150, 80, 0);
        }
        if (role == Qt::TextAlignmentRole && column == LineColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        if (section == LineColumn)
            return QStringLiteral("Wiersz");
        if (section == StateColumn)
            return QStringLiteral("Stan");
        return m_source.header.value(section - FileColumns);
    }

private:
    const StudentImport::Source& m_source;
    const QList<Row>& m_rows;
    const QCheckBox* m_replace;
};

// The rows a user has to look at: those that will not simply be added.
class ProblemFilter : public QSortFilterProxyModel
{
public:
    ProblemFilter(const QList<Row>& rows, const QCheckBox* only, QObject* parent)
        : QSortFilterProxyModel(parent), m_rows(rows), m_only(only)
    {
    }
    void refilter() { invalidateRowsFilter(); }

protected:
    bool filterAcceptsRow(int row, const QModelIndex&) const override
    {
        if (!m_only->isChecked() || row >= m_rows.size())
            return true;
        const Row& r = m_rows.at(row);
        return r.state != State::Add || !r.notes.isEmpty();
    }

private:
    const QList<Row>& m_rows;
    const QCheckBox* m_only;
};

// The header of the preview with a list above each of the file's columns, in which
// the user chooses what the column holds. The lists live on the header's viewport, so
// they scroll with the columns.
class MappingHeader : public QHeaderView
{
public:
    explicit MappingHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
    {
        setSectionsClickable(false);
        setHighlightSections(false);
        // Resizing every column one after another places the lists once, not once per column.
        connect(this, &QHeaderView::sectionResized, this, [this] { schedulePlacing(); });
        connect(this, &QHeaderView::geometriesChanged, this, [this] { schedulePlacing(); });
    }

    QList<QComboBox*> lists;

    // Only the lists of the columns in sight are shown.
    void placeLists()
    {
        m_placingScheduled = false;
        const int width = viewport()->width();
        for (qsizetype i = 0; i < lists.size(); ++i) {
            const int section = FileColumns + int(i);
            QComboBox* list = lists.at(i);
            const int x = section < count() ? sectionViewportPosition(section) : -1;
            if (section >= count() || x >= width || x + sectionSize(section) <= 0) {
                list->hide();
                continue;
            }
            list->setGeometry(x + 1, 1, sectionSize(section) - 2, listHeight());
            list->show();
        }
    }

    int listHeight() const { return lists.isEmpty() ? 0 : lists.constFirst()->sizeHint().height(); }

    QSize sizeHint() const override
    {
        QSize size = QHeaderView::sizeHint();
        size.setHeight(size.height() + listHeight() + 2);
        return size;
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int section) const override
    {
        // The name of the column under its list.
        QHeaderView::paintSection(
            painter, rect.adjusted(0, section >= FileColumns ? listHeight() + 2 : 0, 0, 0), section);
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QHeaderView::resizeEvent(event);
        placeLists();
    }

public:
    void schedulePlacing()
    {
        if (m_placingScheduled)
            return;
        m_placingScheduled = true;
        QMetaObject::invokeMethod(
            this, [this] { placeLists(); }, Qt::QueuedConnection);
    }

private:
    bool m_placingScheduled = false;
};

TFImportUczniow::TFImportUczniow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FImportUczniow"));
    setWindowTitle(QStringLiteral("Import uczniów"));
    // Most of the screen: the more of the list is seen, the less is scrolled.
    const QRect area = (parent ? parent->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    resize(std::min(1200, area.width() * 9 / 10), std::min(800, area.height() * 9 / 10));

    const QList<BuiltComponent> built = FormTable::build(this, Layout);
    m_components = FormTable::widgets(built);
    m_encodingBox = qobject_cast<QComboBox*>(component("KodowanieComboBox"));
    m_separatorBox = qobject_cast<QComboBox*>(component("SeparatorComboBox"));
    m_replaceBox = qobject_cast<QCheckBox*>(component("ZastapCheckBox"));
    m_summary = qobject_cast<QLabel*>(component("PodsumowanieLabel"));
    m_encodingNote = qobject_cast<QLabel*>(component("KodowanieUwagaLabel"));
    m_importButton = qobject_cast<QPushButton*>(component("ImportujButton"));
    auto* cancel = qobject_cast<QPushButton*>(component("AnulujButton"));
    m_importButton->setDefault(true);
    m_summary->setWordWrap(true);
    auto* fileName = qobject_cast<QLabel*>(component("PlikNazwaLabel"));
    fileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_unknownNote = qobject_cast<QLabel*>(component("NieznaneKolumnyLabel"));
    m_unknownNote->setWordWrap(true);
    m_zeroBox = qobject_cast<QCheckBox*>(component("ZeroCheckBox"));
    m_zeroBox->hide();
    m_currentColumnBox = qobject_cast<QComboBox*>(component("BiezacaKolumnaComboBox"));
    m_currentColumnBox->addItems(StudentImport::columnCaptions());
    m_currentColumnBox->setEnabled(false);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("PodgladTableView"));
    m_table->setAccessibleName(QStringLiteral("Uczniowie z pliku"));
    // One stop of the Tab key: the arrows move inside the table, Tab goes on to the next field.
    m_table->setTabKeyNavigation(false);
    qobject_cast<QLabel*>(component("KolumnyLabel"))->setBuddy(m_table);
    m_header = new MappingHeader(m_table);
    m_table->setHorizontalHeader(m_header);
    m_model = new ImportModel(m_source, m_rows, m_replaceBox, this);
    auto* onlyProblems = qobject_cast<QCheckBox*>(component("TylkoUwagiCheckBox"));
    m_filter = new ProblemFilter(m_rows, onlyProblems, this);
    m_filter->setSourceModel(m_model);
    m_table->setModel(m_filter);
    connect(onlyProblems, &QCheckBox::toggled, this, [this] { m_filter->refilter(); });
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    // Rows of one height: the view never measures fifty thousand of them.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_header->setResizeContentsPrecision(200);

    auto* top = new QHBoxLayout;
    top->addWidget(component("PlikLabel"));
    top->addWidget(component("PlikNazwaLabel"), 1);
    auto* options = new QHBoxLayout;
    for (const char* name : {"KodowanieLabel", "KodowanieComboBox", "KodowanieUwagaLabel"})
        options->addWidget(component(name));
    options->addSpacing(24);
    options->addWidget(component("SeparatorLabel"));
    options->addWidget(component("SeparatorComboBox"));
    options->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_importButton);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(options);
    layout->addWidget(component("KolumnyLabel"));
    layout->addWidget(m_table, 1);
    auto* current = new QHBoxLayout;
    current->addWidget(component("BiezacaKolumnaLabel"));
    current->addWidget(m_currentColumnBox);
    current->addSpacing(24);
    current->addWidget(m_unknownNote, 1);
    layout->addLayout(current);
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(m_replaceBox);
    boxes->addWidget(m_zeroBox);
    boxes->addStretch(1);
    boxes->addWidget(onlyProblems);
    layout->addLayout(boxes);
    layout->addLayout(buttons);

    connect(m_encodingBox, &QComboBox::activated, this,
            [this](int index) { setEncoding(CsvText::Encoding(index)); });
    connect(m_separatorBox, &QComboBox::activated, this,
            [this](int index) { setSeparator(Separators[index]); });
    connect(m_replaceBox, &QCheckBox::toggled, this, [this] {
        m_model->statesChanged();
        m_table->resizeColumnToContents(StateColumn);
        updateSummary();
    });
    connect(m_zeroBox, &QCheckBox::toggled, this, [this](bool on) {
        m_options.addLeadingZero = on;
        evaluate();
        resetPreview();
    });
    connect(m_table->horizontalScrollBar(), &QScrollBar::valueChanged, m_header,
            [this] { m_header->schedulePlacing(); });
    // The keyboard's way to the column lists: the list of the column the cursor is in.
    connect(m_table->selectionModel(), &QItemSelectionModel::currentColumnChanged, this,
            [this] { showCurrentColumn(); });
    connect(m_currentColumnBox, &QComboBox::activated, this, [this](int index) {
        if (const int column = currentFileColumn(); column >= 0)
            setColumn(column, Column(index));
    });
    connect(m_importButton, &QPushButton::clicked, this, &TFImportUczniow::ImportujButtonClick);
    connect(cancel, &QPushButton::clicked, this, &TFImportUczniow::AnulujButtonClick);
}

TFImportUczniow::~TFImportUczniow()
{
    // The model reads the rows and the file's records, which die before the view does.
    hide();
    m_table->setModel(nullptr);
}

QWidget* TFImportUczniow::component(const char* name) const
{
    return FormBinding::find(m_components, QString::fromLatin1(name));
}

bool TFImportUczniow::setFile(const QString& path, const QByteArray& bytes,
                              const QSet<QString>& registerTables)
{
    auto* fileName = qobject_cast<QLabel*>(component("PlikNazwaLabel"));
    fileName->setText(path);
    fileName->setAccessibleName(QStringLiteral("Plik: ") + path);
    m_bytes.clear();
    m_registerTables = registerTables;
    m_problem.clear();
    m_options = StudentImport::Options();
    m_replaceBox->setChecked(false);
    {
        const QSignalBlocker blocker(m_zeroBox);
        m_zeroBox->setChecked(false);
    }
    if (bytes.size() > StudentImport::LargestFile) {
        m_problem = StudentImport::problemText(StudentImport::Problem::TooLarge, path);
        return false;
    }
    m_bytes = bytes;
    if (CsvText::looksBinary(bytes)) {
        m_problem = StudentImport::problemText(StudentImport::Problem::Binary);
        return false;
    }
    m_encoding = CsvText::detectEncoding(bytes);
    const QString text = CsvText::decode(bytes, m_encoding);
    m_separator = CsvText::detectSeparator(text);
    if (const auto problem = StudentImport::read(text, m_separator, m_source);
        problem != StudentImport::Problem::None) {
        m_problem = StudentImport::problemText(problem, path, m_source.problemLine);
        m_source = StudentImport::Source();
        return false;
    }
    applySource();
    return true;
}

void TFImportUczniow::setEncoding(CsvText::Encoding encoding)
{
    m_encoding = encoding;
    reread();
}

void TFImportUczniow::setSeparator(QChar separator)
{
    m_separator = separator;
    reread();
}

void TFImportUczniow::reread()
{
    StudentImport::read(CsvText::decode(m_bytes, m_encoding), m_separator, m_source);
    applySource();
}

void TFImportUczniow::applySource()
{
    m_mapping = StudentImport::mappingOf(m_source);
    m_encodingBox->setCurrentIndex(int(m_encoding));
    m_encodingNote->setText(CsvText::decodesCleanly(m_bytes, m_encoding)
                                ? QString()
                                : QStringLiteral("plik nie jest poprawnym tekstem w tym kodowaniu"));
    m_encodingNote->setAccessibleName(m_encodingNote->text());
    for (int i = 0; i < 3; ++i)
        if (Separators[i] == m_separator)
            m_separatorBox->setCurrentIndex(i);
    evaluate();
    resetPreview();
    showMapping();
    m_table->resizeColumnsToContents();
    // Every list must be wide enough to read its choice.
    for (int section = FileColumns; section < m_header->count(); ++section)
        if (!m_header->lists.isEmpty())
            m_header->resizeSection(section, std::max(m_header->sectionSize(section),
                                                      m_header->lists.constFirst()->sizeHint().width()));
    m_header->placeLists();
}

void TFImportUczniow::evaluate()
{
    m_rows = StudentImport::evaluate(m_source, m_mapping, m_registerTables, m_options);
    const bool offered =
        m_options.addLeadingZero || std::any_of(m_rows.cbegin(), m_rows.cend(),
                                                [](const Row& row) { return !row.zeroOffered.isEmpty(); });
    m_zeroBox->setVisible(offered);
    const QString unknown = StudentImport::unknownColumns(m_source, m_mapping);
    m_unknownNote->setText(unknown.isEmpty() ? QString()
                                             : QStringLiteral("Kolumny nierozpoznane (nie są wczytywane): ") +
                                                   unknown + QLatin1Char('.'));
    m_unknownNote->setAccessibleName(m_unknownNote->text());
    updateSummary();
    showCurrentColumn();
}

void TFImportUczniow::resetPreview()
{
    // The cursor stays where it was: choosing a column's meaning does not lose the place.
    const QModelIndex current = m_table->currentIndex();
    m_model->reset();
    if (current.isValid())
        m_table->setCurrentIndex(
            m_filter->index(std::min(current.row(), m_filter->rowCount() - 1), current.column()));
    showCurrentColumn();
}

int TFImportUczniow::currentFileColumn() const
{
    const int column =
        m_table->currentIndex().isValid() ? m_table->currentIndex().column() - FileColumns : -1;
    return column >= 0 && column < m_mapping.size() ? column : -1;
}

void TFImportUczniow::showCurrentColumn()
{
    const int column = currentFileColumn();
    m_currentColumnBox->setEnabled(column >= 0);
    const QSignalBlocker blocker(m_currentColumnBox);
    m_currentColumnBox->setCurrentIndex(column >= 0 ? int(m_mapping.at(column)) : -1);
    m_currentColumnBox->setAccessibleDescription(
        column >= 0
            ? QStringLiteral("kolumna %1 \u201E%2\u201D").arg(column + 1).arg(m_source.header.at(column))
            : QString());
}

void TFImportUczniow::showMapping()
{
    const QStringList captions = StudentImport::columnCaptions();
    QList<QComboBox*>& lists = m_header->lists;
    while (lists.size() < m_mapping.size()) {
        auto* list = new QComboBox(m_header->viewport());
        list->setObjectName(QStringLiteral("KolumnaComboBox%1").arg(lists.size() + 1));
        list->addItems(captions);
        const int column = int(lists.size());
        connect(list, &QComboBox::activated, this,
                [this, column](int index) { setColumn(column, Column(index)); });
        lists.append(list);
    }
    QWidget* previous = m_separatorBox;
    for (qsizetype i = 0; i < lists.size(); ++i) {
        QComboBox* list = lists.at(i);
        if (i >= m_mapping.size()) {
            list->hide();
            continue;
        }
        const QSignalBlocker blocker(list);
        // The lists are for the mouse; the keyboard has the list of the current column.
        list->setFocusPolicy(Qt::ClickFocus);
        list->setCurrentIndex(int(m_mapping.at(i)));
        list->setAccessibleName(
            QStringLiteral("Zawartość kolumny %1 %2")
                .arg(i + 1)
                .arg(QStringLiteral("\u201E") + m_source.header.at(i) + QStringLiteral("\u201D")));
    }
    setTabOrder(previous, m_table);
    setTabOrder(m_table, m_currentColumnBox);
    setTabOrder(m_currentColumnBox, m_replaceBox);
    setTabOrder(m_replaceBox, m_zeroBox);
    setTabOrder(m_zeroBox, component("TylkoUwagiCheckBox"));
    setTabOrder(component("TylkoUwagiCheckBox"), m_importButton);
    setTabOrder(m_importButton, component("AnulujButton"));
    m_header->updateGeometry();
    m_header->placeLists();
}

void TFImportUczniow::setColumn(int column, Column meaning)
{
    if (column < 0 || column >= m_mapping.size())
        return;
    // A meaning belongs to one column: the column that had it is left out.
    if (meaning != Column::Skip)
        for (Column& other : m_mapping)
            if (other == meaning)
                other = Column::Skip;
    m_mapping[column] = meaning;
    evaluate();
    resetPreview();
    showMapping();
}

bool TFImportUczniow::replaceExisting() const
{
    return m_replaceBox->isChecked();
}

QList<Row> TFImportUczniow::rowsToStore() const
{
    QList<Row> out;
    const bool replace = replaceExisting();
    for (const Row& row : m_rows)
        if (row.state == State::Add || (replace && row.state == State::InRegister))
            out.append(row);
    return out;
}

void TFImportUczniow::updateSummary()
{
    int add = 0;
    int inRegister = 0;
    int errors = 0;
    for (const Row& row : std::as_const(m_rows)) {
        switch (row.state) {
        case State::Add:
            ++add;
            break;
        case State::InRegister:
            ++inRegister;
            break;
        case State::Error:
            ++errors;
            break;
        }
    }
    const bool replace = replaceExisting();
    QString text =
        QStringLiteral("Do dodania: %1; już w rejestrze: %2%3; z błędami (nie zostaną wczytane): %4")
            .arg(add)
            .arg(inRegister)
            .arg(inRegister == 0 ? QString()
                 : replace       ? QStringLiteral(" (zostaną zastąpieni)")
                                 : QStringLiteral(" (zostaną pominięci)"))
            .arg(errors);
    const auto withoutSex = std::count_if(m_rows.cbegin(), m_rows.cend(), [](const Row& row) {
        return row.needsSex && row.state == State::Add;
    });
    if (withoutSex > 0)
        text += QStringLiteral("; bez płci: %1 (płeć zostanie zapytana)").arg(withoutSex);
    if (m_source.blankRecords > 0)
        text += QStringLiteral("; puste wiersze: %1").arg(m_source.blankRecords);
    text += QLatin1Char('.');
    if (m_rows.size() > PreviewRows)
        text += QStringLiteral(" Podgląd pokazuje pierwsze %1 z %2 wierszy.")
                    .arg(QLocale(QLocale::Polish, QLocale::Poland).toString(PreviewRows))
                    .arg(QLocale(QLocale::Polish, QLocale::Poland).toString(m_rows.size()));
    m_summary->setText(text);
    m_summary->setAccessibleName(text);
    m_importButton->setEnabled(add > 0 || (replace && inRegister > 0));
}

void TFImportUczniow::ImportujButtonClick()
{
    QList<Row> rows = rowsToStore();
    if (rows.isEmpty() || !m_store || !askSexOnce(rows) || rows.isEmpty())
        return;
    // Each new table makes the next one slower to create: a whole city's list would keep
    // the program busy for many minutes.
    if (rows.size() > LargeImport &&
        !Prompts::instance().askYesNo(
            this,
            QStringLiteral(
                "Do wczytania jest %1 uczniów. Zapisanie tylu uczniów naraz może potrwać wiele minut, "
                "a rejestr z tyloma uczniami działa wolniej.\nCzy mimo to wczytać wszystkich ?")
                .arg(QLocale(QLocale::Polish, QLocale::Poland).toString(rows.size())),
            QStringLiteral("Import uczniów"), Prompts::Icon::Warning, Prompts::Answer::No))
        return;
    if (m_store(rows))
        accept();
}

bool TFImportUczniow::askSexOnce(QList<Row>& rows)
{
    QStringList lines;
    // A pupil already in the register keeps the sex stored there.
    const auto asked = [](const Row& row) { return row.needsSex && row.state == State::Add; };
    for (const Row& row : std::as_const(rows))
        if (asked(row))
            lines << QString::number(row.line);
    if (lines.isEmpty())
        return true;
    const qsizetype count = lines.size();
    if (count > 10) {
        lines = lines.mid(0, 10);
        lines << QStringLiteral("…");
    }
    const QString female = Pesel::sexText(false);
    const QString male = Pesel::sexText(true);
    const int answer = Prompts::instance().choose(
        this,
        QStringLiteral(
            "Uczniowie bez płci i bez numeru PESEL, z którego można ją odczytać: %1 (wiersze: %2).\n"
            "Jaką płeć im wpisać ?")
            .arg(count)
            .arg(lines.join(QStringLiteral(", "))),
        QStringLiteral("Import uczniów"), Prompts::Icon::Question,
        {female, male, QStringLiteral("Pomiń tych uczniów"), QStringLiteral("Anuluj")}, 3);
    if (answer == 2) {
        rows.removeIf(asked);
        return true;
    }
    if (answer != 0 && answer != 1)
        return false;
    for (Row& row : rows)
        if (asked(row))
            row.given.insert(StudentFields::Sex, answer == 0 ? female : male);
    return true;
}

void TFImportUczniow::AnulujButtonClick()
{
    reject();
}
