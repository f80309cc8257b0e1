#pragma once

#include <QString>

namespace orvelin {

// What the desktop shows of the program besides its windows: the task-bar
// progress of a running conversion (the launcher-entry signal that docks and
// task bars listen to) and a notification when a conversion ends. Without a
// session bus every call quietly does nothing.
class DesktopSession {
public:
    virtual ~DesktopSession() = default;
    // `fraction` in 0..1 shows the progress; a negative value hides it.
    virtual void SetProgress(double fraction) = 0;
    virtual void Notify(const QString& summary, const QString& body) = 0;
};

// The product implementation on the session bus (Qt D-Bus).
class DBusDesktopSession : public DesktopSession {
public:
    void SetProgress(double fraction) override;
    void Notify(const QString& summary, const QString& body) override;
};

// The process-wide session the main window reports to; tests may put their
// own in its place (nullptr puts the product one back).
DesktopSession& CurrentDesktopSession();
void SetDesktopSession(DesktopSession* session);

} // namespace orvelin
