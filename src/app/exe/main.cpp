#include "app/UiServices.h"
#include "app/exe/CommandLine.h"
#include "app/exe/ConverterApp.h"
#include "controls/Resources.h"

#include <QApplication>
#include <QStringList>

#include <clocale>
#include <cstdio>

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
    QApplication app(argc, argv);
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
