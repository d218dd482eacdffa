// Hands a message with one attached file to the desktop's mail program through
// xdg-email, which opens its compose window with everything filled in.
#pragma once

#include <QString>

#include <functional>

class QObject;

namespace SendMail {

// The maker's support address built into the program; the `text_value` of
// "support_mail" in the settings replaces it.
extern const char* const defaultSupportAddress;
QString strFunGetSupportAddress();

struct Message {
    QString subject;
    QString recipient;
    QString body;
    QString attachmentPath;
};

// Starts the mail program and returns at once; `done` receives true when it took the
// message (exit status 0) and false when it refused it, could not be started, or the
// attachment does not exist, with the reason for the log. `done` is not called once
// `context` is gone.
void vFunSendMail(const Message& message, QObject* context,
                  std::function<void(bool sent, const QString& reason)> done);

} // namespace SendMail
