// The main window: tool bar, the path of the open document, the student tree and the
// preview of the selected document; the commands on students, documents and files.
#pragma once

#include "app/IssueDesk.h"
#include "app/WindowSlot.h"
#include "documents/StudentSaver.h"
#include "printing/PageRenderer.h"
#include "storage/CalibrationStore.h"
#include "storage/FieldRow.h"
#include "storage/MessageBuffer.h"

#include <QMainWindow>
#include <QPicture>
#include <QPixmap>

#include <optional>

class QAction;
class QCheckBox;
class QDragEnterEvent;
class QDropEvent;
class QMimeData;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollArea;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

class DocumentForm;
class RegisterSession;
class TFAktualizacja;
class TFBackupFiles;
class TFDaneSzkoly;
class TFDaneUcznia;
class TFDrukuj;
class TFKalibracja;
class TFLogi;
class TFOProgramie;
class TFWait;
class UpdateCheck;
struct RegisterMergePlan;

class TFGlowna : public QMainWindow, public StudentSaver
{
    Q_OBJECT
public:
    explicit TFGlowna(QWidget* parent = nullptr);
    ~TFGlowna() override;

    // The other windows, each built the first time a command needs it and kept.
    struct Windows {
        WindowSlot<TFDaneUcznia> daneUcznia;
        WindowSlot<TFWait> wait;
        WindowSlot<TFOProgramie> oProgramie;
        WindowSlot<TFLogi> logi;
        WindowSlot<TFAktualizacja> aktualizacja;
        WindowSlot<TFDaneSzkoly> daneSzkoly;
        WindowSlot<TFDrukuj> drukuj;
        WindowSlot<DocumentForm> potwierdzenie;
        WindowSlot<DocumentForm> zawiadomienie;
        WindowSlot<TFBackupFiles> backupFiles;
        WindowSlot<TFKalibracja> kalibracja;
    };
    void setWindows(const Windows& windows);

    // Start-up routine; false when a fatal error closed the window.
    bool FormCreate();

    // Document file life cycle.
    bool bFunWczytajPlikSwiadectw(const QString& path);
    // After an open: true when the file was damaged and only its readable part is open,
    // as a new document that has no file name yet.
    bool readablePartOpened() const { return m_readablePartOpened; }
    bool bFunZapiszIstniejacyPlikSwiadectw();
    bool bFunZapiszNowyPlikSwiadectw();
    void vFunReset();
    // The Save command; true when the document file was written.
    bool bFunSaveCommand();
    // The save question before another register replaces the open one; false: stay.
    bool bFunSaveBeforeOpening();
    // Opens `path` as "Otwórz plik" does once its dialog has chosen it.
    void openRegisterFile(const QString& path);
    // Reads the class list `path` as "Importuj uczniów z pliku CSV" does once it is chosen.
    void importClassList(const QString& path);

    // The student list and tree.
    // False when the students cannot be listed (the message is shown, with `hint`
    // after the reason).
    bool vFunRefreshStudentList(const QString& hint = QString());
    void vFunUpdateStudentMenuItems();
    // Sorts the list, keeps it and builds the tree of it.
    void fillStudentTree(QList<StudentListEntry> students);
    bool bFunLoadStudent(const QString& tableName);
    bool bFunSaveStudent(const QString& previousTableName = QString()) override;
    bool bFunSaveDocument() override;

    // Draws the page of a document form (type 0 the transfer notice, 1 the admission
    // confirmation) from its calibration; not printing, it is shown in the preview.
    void vFunDrawPage(DocumentForm* form, bool printing, int documentType, int pages);
    // The start-up's page: the blank transfer notice.
    void vFunDrawStartPage();
    // The calibration editor outlines the object it has chosen while it is open.
    void setHighlightMode(bool on, const QString& highlightedName = QString());

    // The update check: silent at start, manual from the "Pomoc" menu.
    void vFunCheckForUpdate(bool silent);
    UpdateCheck* updateCheck() const { return m_updateCheck; }

    // State.
    QString openDocumentPath() const;
    void setOpenDocumentPath(const QString& path);
    bool unsavedChanges() const { return m_unsavedChanges; }
    void setUnsavedChanges(bool on) { m_unsavedChanges = on; }
    bool closeWithoutQuestions() const { return m_closeWithoutQuestions; }
    void setCloseWithoutQuestions(bool on) { m_closeWithoutQuestions = on; }
    bool printing() const { return m_printing; }
    MessageBuffer& messageBuffer() { return m_buf; }
    // Opened while another user has it: Save is disabled, Save as works.
    bool readOnly() const;
    // The open register: its file, working copy, base, lock and save.
    RegisterSession& session();
    const QList<StudentListEntry>& students() const { return m_students; }

    QString selectedStudentCaption() const;
    QString selectedStudentTable() const;
    QString selectedDocumentCaption() const;
    // The students chosen in the tree (a chosen document counts for its student), in the
    // tree's order.
    QStringList selectedStudentTables() const;
    // Selects the document node of the student stored under `tableName`.
    bool selectDocument(const QString& tableName, const QString& documentCaption);
    // Selects the student stored under `tableName` (its node of `documentCaption`, when
    // given), shows it and gives the list the keyboard. False when it is not listed.
    bool selectStudent(const QString& tableName, const QString& documentCaption = QString());

    // The filter above the student list and the registers of "Ostatnio otwierane".
    QLineEdit* filterBox() const { return m_filter; }
    QMenu* recentMenu() const { return m_recentMenu; }
    // The preview's scale in percent, kept between runs.
    int previewZoom() const { return m_zoom; }
    void setPreviewZoom(int percent);
    static constexpr int kMinZoom = 25;
    static constexpr int kMaxZoom = 400;

    QTreeWidget* treeView() const { return m_tree; }
    QScrollArea* scrollBox() const { return m_scroll; }
    // The last drawn page and its number of pages, for the print dialog.
    const QPicture& pagePicture();
    int pageCount() const { return m_pageCount; }
    const QList<CalibEntry>& calibEntries() const { return m_calibEntries; }
    // The fields of the last drawn page that are cut at their boxes, one line each.
    const QStringList& clippedFields() const { return m_clippedFields; }

    // A student node's table name, and its display name (a namesake's caption adds the PESEL).
    static constexpr int kTableRole = Qt::UserRole + 1;
    static constexpr int kNameRole = Qt::UserRole + 2;

    static const QString kTransferNotice;        // "Zawiadomienie o przekazaniu"
    static const QString kAdmissionConfirmation; // "Potwierdzenie przyjęcia ucznia"

public Q_SLOTS:
    // File commands.
    void NowyPlikToolButtonClick();
    void OtworzPlikToolButtonClick();
    void Zapisz1Click();
    void Zapiszjako1Click();
    void Koniec1Click();
    // Backups: the ten-minute tick and the recovery of a backup into a document file.
    void timerBackupTimer();
    void Otwrzplikzkopizapasowej1Click();
    // The school data template form, from the hidden menu item and tool button.
    void Szablondanychszkoy1Click();
    // The calibration editor in its two modes, and the calibration file out and in.
    void Formatowaniewiadectwapodstawowe1Click();
    void Ustawieniaczcionki1Click();
    void EksportujPlikKalibracji();
    void ImportujPlikKalibracji();
    // Class lists: students read from a CSV file, the students written out as CSV.
    void Importujuczniow1Click();
    void Eksportujliste1Click();
    // Students and documents.
    void DodajUczniaToolButtonClick();
    void EdytujDaneUczniaToolButtonClick();
    void UsunUczniaToolButtonClick();
    void EdytujSwiadectwoToolButtonClick();
    void DrukujToolButtonClick();
    // One document for every chosen student, printed as one job.
    void DrukujDlaZaznaczonychClick();
    void TreeViewClick();
    // Options.
    void WykreskujPusteCheckBoxClick();
    void PrintNoDotsCheckBoxClick();
    void cbWordWrapClick();
    // Help menu.
    void Instrukcjaobsugi1Click();
    void KontaktButtonClick();
    void Oprogramie1Click();
    void DziennikInternetowy1Click();
    void Logiprogramu1Click();
    void Sprawdczyjestnowawersja1Click();
    // Opens the download window that an accepted update check asked for.
    void AktualizacjaTimerTimer();
    // Moves the preview by a wheel turn (delta as the system reports it).
    void FormMouseWheel(int delta);
    // Finding and moving about: the filter, and F6 / Shift+F6 between the list, the
    // filter and the preview.
    void SzukajUczniaClick();
    void NastepnyObszarClick();
    void PoprzedniObszarClick();
    // The preview's scale.
    void PowiekszClick();
    void PomniejszClick();
    void RzeczywistyRozmiarClick();
    void DopasujDoSzerokosciClick();
    // The book of issued documents and the open transfer cases (TFGlownaWydane.cpp).
    void Rejestrwydanychdokumentow1Click();
    void Sprawywtoku1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Registers and class lists dropped on the window open or import as from the menu.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildCentre();
    QAction* action(const char* objectName) const;
    void optionClicked(QCheckBox* box, const char* key);
    void showError(const QString& text, const QString& caption = QStringLiteral("Błąd"));
    QTreeWidgetItem* selectedNode() const;
    bool storeStudent(const QString& tableName, const QStringList& alsoDrop);
    // At open, with the file copied to the working copy: a damaged register is named with
    // what cannot be read, and the user may open the rest. False: the open stops.
    bool bFunOfferReadablePart(const QString& path, const QString& workingCopy);
    void connectMaintenance();
    void connectCalibration();
    void openCalibrationEditor(bool advanced);
    void drawCalibrationPreview(const QString& key, const QString& highlighted);
    void vFunBlankPreview();
    void vFunShowPagePreview();
    bool bFunLoadPageCalibration(bool haveForm, int documentType);
    PageOptions pageOptions() const;
    // The fields of `form` that the last drawing of `renderer` cut, one line each.
    static QStringList clippedLines(const DocumentForm& form, const PageRenderer& renderer);
    void vFunShowRecordedPage(const PageRenderer& renderer);
    void finishStartPage();
    QString previewBackgroundPath();
    QSize previewBackgroundSize();

    // A register that other users may have open too (TFGlownaRejestr.cpp).
    enum class RegisterAccess { Cancelled, Normal, ReadOnly, TakeOver };
    RegisterAccess askAboutOtherUser(const QString& path);
    void claimRegister(const QString& path, RegisterAccess access);
    void forgetRegister();
    // Save over the open register through the session; nullopt: Save as is to follow.
    std::optional<bool> saveOverRegister();
    void setReadOnly(bool on);
    void setStatusNote(const QString& note);
    void showRegisterNotes();
    void refillKeepingSelection(const RegisterMergePlan& plan);

    // The student list's filter, the recent registers and the preview's scale
    // (TFGlownaSzukaj.cpp, TFGlownaPodglad.cpp).
    enum class QuitAnswer { Save, Discard, Cancel };
    QuitAnswer askSaveBeforeQuit();
    // The filter box and its label for screen readers, to be laid out beside each other.
    QLabel* buildFilter();
    void applyFilter();
    bool filterKey(int key);
    void cycleArea(int step);
    void buildRecentMenu(QMenu* fileMenu);
    void refreshRecentMenu();
    void openRecentRegister(const QString& path);
    // The file a drop would open or import; empty when it is neither kind.
    static QString droppedFile(const QMimeData* data);
    void applyZoom();
    void loadZoom();
    QSize previewPageSize();
    // The preview's accessible description: the document of `documentType` and the
    // selected student, or (-1) what it showed, at the scale it has now.
    void describePreview(int documentType);
    void reportDamagedStudents(const QString& target, const QStringList& students);

    // Issued documents (TFGlownaWydane.cpp).
    IssueDesk::Context issueContext();
    QPicture drawIssuedPage(const PageTexts& texts);
    // The issues of the student just loaded, on the document nodes under the student.
    void showIssuesInTree();
    // At opening: the status bar mentions the cases waiting too long.
    void mentionWaitingCases();
    // Numbers given on two desks at once, found by the last join.
    void reportRepeatedNumbers(const QStringList& repeats);

    MessageBuffer m_buf;
    Windows m_windows;
    QList<StudentListEntry> m_students;
    FieldRowList m_fieldRows;
    QPicture m_pagePicture;
    int m_pageCount = 0;
    QList<CalibEntry> m_calibEntries;
    QStringList m_clippedFields;
    QPixmap m_previewBackground;
    QString m_previewBackgroundStamp;       // path, size and time of the file it was read from
    std::optional<PageOptions> m_startPage; // the start-up's page, still to be drawn
    bool m_highlightMode = false;
    QString m_highlightedName;
    bool m_unsavedChanges = false;
    bool m_closeWithoutQuestions = false;
    bool m_printing = false;
    bool m_readablePartOpened = false;
    bool m_pressOnSelected = false; // the mouse went down on the selected node
    QString m_saveDialogName = QStringLiteral("nowy");
    RegisterSession* m_session = nullptr;
    bool m_openCancelled = false; // the last open stopped at the other user's question
    QString m_note;               // what the last join did
    QString m_storedTable;        // the student the last store wrote
    int m_zoom = 100;
    QString m_previewSubject; // the document and the student the preview shows

    QToolBar* m_toolBar = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_statusText = nullptr;
    QLabel* m_statusNote = nullptr;
    QTreeWidget* m_tree = nullptr;
    QLineEdit* m_filter = nullptr;
    QMenu* m_recentMenu = nullptr;
    QMenu* m_treeMenu = nullptr;
    QTabWidget* m_pageControl = nullptr;
    QScrollArea* m_scroll = nullptr;
    QLabel* m_image = nullptr;
    QTimer* m_timerBackup = nullptr;
    QTimer* m_updateTimer = nullptr;
    UpdateCheck* m_updateCheck = nullptr;

public:
    QCheckBox* WykreskujPusteCheckBox = nullptr;
    QCheckBox* PrintNoDotsCheckBox = nullptr;
    QCheckBox* cbWordWrap = nullptr;
};
