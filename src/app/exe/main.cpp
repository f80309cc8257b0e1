#include "app/Installation.h"
#include "app/UiServices.h"
#include "app/exe/CommandLine.h"
#include "app/exe/ConverterApp.h"
#include "controls/Resources.h"

#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QStringList>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

constexpr const char* kNoDisplay = "orvelin: cannot open a window: no display\n";

// True when Qt would have to find a window system by itself and the
// environment names none: no platform chosen (QT_QPA_PLATFORM, -platform) and
// neither an X nor a Wayland display.
bool NoDisplayNamed(const QStringList& arguments) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        arguments.contains(QLatin1String("-platform")) ||
        arguments.contains(QLatin1String("--platform")))
        return false;
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// While the window system starts, its plug-ins' complaints are held back: when
// no plug-in can open a display Qt ends the process with a fatal message (an
// abort), which becomes one line and status 1 instead; when one succeeds the
// held messages are passed on as they came.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QList<HeldMessage> g_heldMessages;

void WindowSystemStartMessages(QtMsgType type, const QMessageLogContext& context,
                               const QString& text) {
    if (type == QtFatalMsg && text.contains(QLatin1String("platform plugin"))) {
        std::fflush(stdout);
        std::fputs(kNoDisplay, stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    g_heldMessages.append(
        {type, QByteArray(context.category ? context.category : "default"), text});
}

void PassOnHeldMessages() {
    for (const HeldMessage& held : std::as_const(g_heldMessages)) {
        const QMessageLogger log(nullptr, 0, nullptr, held.category.constData());
        const QByteArray text = held.text.toLocal8Bit();
        switch (held.type) {
        case QtDebugMsg:
            log.debug("%s", text.constData());
            break;
        case QtInfoMsg:
            log.info("%s", text.constData());
            break;
        case QtWarningMsg:
            log.warning("%s", text.constData());
            break;
        default:
            log.critical("%s", text.constData());
            break;
        }
    }
    g_heldMessages.clear();
}

} // namespace

int main(int argc, char** argv) {
    // The command line is read before Qt starts its window system: help,
    // version and a wrong option need no display, and must not fail for the
    // want of one.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const orvelin::CommandLine commandLine =
        orvelin::ParseCommandLine(orvelin::WithoutToolkitOptions(arguments));
    switch (commandLine.action) {
    case orvelin::CommandLine::PrintHelp:
        std::fputs(orvelin::CommandLineHelp().toUtf8().constData(), stdout);
        return 0;
    case orvelin::CommandLine::PrintVersion:
        std::fputs(orvelin::VersionText().toUtf8().constData(), stdout);
        return 0;
    case orvelin::CommandLine::Error:
        std::fprintf(stderr, "orvelin: %s\n%s", commandLine.error.toUtf8().constData(),
                     orvelin::CommandLineHelp().toUtf8().constData());
        return 2;
    case orvelin::CommandLine::Run:
        break;
    }
    if (NoDisplayNamed(arguments)) {
        std::fputs(kNoDisplay, stderr);
        return 1;
    }
    // Wayland names the window's application by the desktop entry.
    QGuiApplication::setDesktopFileName(orvelin::ApplicationId());
    const QtMessageHandler previousHandler = qInstallMessageHandler(WindowSystemStartMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(previousHandler);
    PassOnHeldMessages();
    QApplication::setApplicationName(orvelin::ApplicationName());
    QApplication::setOrganizationName("ZEVRANT");
    // Numbers are read and printed with a full stop whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setWindowIcon(orvelin::LoadIconResource(128));
    orvelin::QtUiServices ui;
    orvelin::ConverterApp converter(ui);
    converter.SetFileToOpen(commandLine.fileToOpen);
    return converter.Run();
}
