// The calibration editor: the user picks a document type and one of its printed
// objects, moves it and changes its font; every applied change is stored in the
// calibration file at once and shown outlined in red in the main window's preview.
#pragma once

#include "storage/CalibrationStore.h"
#include "storage/MessageBuffer.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;

class TFKalibracja : public QDialog
{
    Q_OBJECT

public:
    // Basic mode offers only the variable objects (names containing "ZMIENNA").
    enum class Mode { Basic, Advanced };

    // What the editor asks of the main window.
    struct Host {
        // Draws the preview of a document key with `highlighted` outlined; any other
        // key draws nothing.
        std::function<void(const QString& key, const QString& highlighted)> drawPreview;
        // Puts the sample values into both document forms.
        std::function<void()> fillSampleValues;
        std::function<void()> reloadStudents;
        // Paints the preview blank.
        std::function<void()> clearPreview;
    };

    // `buf` is the program's message buffer.
    explicit TFKalibracja(MessageBuffer& buf, QWidget* parent = nullptr);

    void setHost(Host host) { m_host = std::move(host); }
    void setMode(Mode mode) { m_mode = mode; }

public slots:
    void FormShow();
    void TypSwiadectwaComboBoxChange();
    void VariableComboBoxChange();
    void SaveButtonClick();
    void PrzywrocUstawieniaButtonClick();
    void CloseButtonClick();

public:
    void reject() override; // Escape acts as "Zamknij"

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Moves the box or changes the size by the button's steps; false (with a message)
    // when one of the edits does not hold an integer.
    bool nudge(const char* buttonName);
    // The integer in an edit; shows a message naming the field when there is none.
    bool readInteger(const QLineEdit* edit, int& value);
    QString selectedKey() const;
    void redraw();

    MessageBuffer& m_buf;
    Host m_host;
    Mode m_mode = Mode::Basic;
    QList<CalibEntry> m_entries;
    bool m_closing = false;

    QComboBox* TypSwiadectwaComboBox = nullptr;
    QComboBox* VariableComboBox = nullptr;
    QLineEdit* X1Edit = nullptr;
    QLineEdit* Y1Edit = nullptr;
    QLineEdit* X2Edit = nullptr;
    QLineEdit* Y2Edit = nullptr;
    QLineEdit* FontSizeEdit = nullptr;
    QComboBox* FontsNameComboBox = nullptr;
    QComboBox* AdjustmentComboBox = nullptr;
    QCheckBox* PogrubienieCheckBox = nullptr;
    QCheckBox* KursywaCheckBox = nullptr;
    QCheckBox* PodkreslenieCheckBox = nullptr;
    QCheckBox* PrzekreslenieCheckBox = nullptr;
};
