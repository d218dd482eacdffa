// Drives the modal window that the next call of a test opens.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QtTest>

#include <functional>

// Runs `action` once the modal window that the next call opens is up. A window that
// a failed check left open is closed, so the test goes on instead of hanging.
inline void whenModal(std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, [action] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        action(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
            dialog->reject();
    });
}
