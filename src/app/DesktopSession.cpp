#include "app/DesktopSession.h"

#include "app/Installation.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace orvelin {

namespace {

DesktopSession* g_override = nullptr;

// The application id docks match the signal against: the desktop entry's name.
QString LauncherUri() {
    return QStringLiteral("application://%1.desktop").arg(ApplicationId());
}

} // namespace

void DBusDesktopSession::SetProgress(double fraction) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/com/canonical/unity/launcherentry/orvelin"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    QVariantMap properties;
    const bool visible = fraction >= 0.0;
    properties.insert(QStringLiteral("progress"), visible ? qBound(0.0, fraction, 1.0) : 0.0);
    properties.insert(QStringLiteral("progress-visible"), visible);
    signal << LauncherUri() << properties;
    bus.send(signal);
}

void DBusDesktopSession::Notify(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    // The desktop entry (without ".desktop") and the theme icon share the id.
    hints.insert(QStringLiteral("desktop-entry"), ApplicationId());
    call << QStringLiteral("Orvelin") << uint(0) << ApplicationId() << summary << body
         << QStringList() << hints << int(-1);
    // Fire and forget: no notification service means no notification.
    bus.call(call, QDBus::NoBlock);
}

DesktopSession& CurrentDesktopSession() {
    static DBusDesktopSession product;
    return g_override ? *g_override : product;
}

void SetDesktopSession(DesktopSession* session) {
    g_override = session;
}

} // namespace orvelin
