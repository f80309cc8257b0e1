#include "app/UiServices.h"
#include "app/exe/ConverterApp.h"
#include "controls/Resources.h"

#include <QApplication>

#include <clocale>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(orvelin::ApplicationName());
    QApplication::setOrganizationName("ZEVRANT");
    // Numbers are read and printed with a full stop whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setWindowIcon(orvelin::LoadIconResource(128));
    orvelin::QtUiServices ui;
    return orvelin::ConverterApp(ui).Run();
}
