#include "app/UiServices.h"
#include "app/exe/CommandLine.h"
#include "app/exe/ConverterApp.h"
#include "controls/Resources.h"

#include <QApplication>

#include <clocale>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // Help and version need no display, so they are answered before Qt
    // starts its window system.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(orvelin::CommandLineHelp().toUtf8().constData(), stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs(orvelin::VersionText().toUtf8().constData(), stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(orvelin::ApplicationName());
    QApplication::setOrganizationName("ZEVRANT");
    // Numbers are read and printed with a full stop whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    const orvelin::CommandLine commandLine =
        orvelin::ParseCommandLine(QApplication::arguments().mid(1));
    if (commandLine.action == orvelin::CommandLine::Error) {
        std::fprintf(stderr, "orvelin: %s\n%s", commandLine.error.toUtf8().constData(),
                     orvelin::CommandLineHelp().toUtf8().constData());
        return 2;
    }
    QApplication::setWindowIcon(orvelin::LoadIconResource(128));
    orvelin::QtUiServices ui;
    orvelin::ConverterApp converter(ui);
    converter.SetFileToOpen(commandLine.fileToOpen);
    return converter.Run();
}
