#pragma once

#include "convert/ConvertHost.h"
#include "convert/MainState.h"
#include "support/ScriptedUi.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

namespace orvelin::test {

// A main window for the conversion, scripted: records the captions and
// status texts it is given and the state of the edit controls.
class ConvertTestHost : public ConvertHost {
public:
    explicit ConvertTestHost(ScriptedUi& ui) : ui_(ui) {}

    MainState& State() override { return state; }
    UiServices& Ui() override { return ui_; }
    QWidget* OwnerWidget() override { return &owner; }
    void SetConvertButtonText(const QString& text) override { convertCaption = text; }
    void SetStatusText(const QString& text) override {
        status = text;
        statusHistory << text;
    }
    void DisableEditControls() override { editControlsEnabled = false; }
    void EnableEditControls() override { editControlsEnabled = true; }
    void ShowFilterProperties(const std::vector<std::shared_ptr<media::Filter>>& filters) override {
        ++filterDialogs;
        shownFilters = filters;
    }

    // Makes `path` the opened video, as opening it does: item 0 and music
    // entry 0, trim points at 0 and the length, output size and rate those
    // of the source, and the output file.
    void OpenVideo(const QString& path, double seconds, int width, int height, double fps,
                   const QString& outputPath, int32_t outputFormat);

    MainState state;
    QWidget owner;
    QString convertCaption = QStringLiteral("Convert");
    QString status;
    QStringList statusHistory;
    bool editControlsEnabled = true;
    int filterDialogs = 0;
    std::vector<std::shared_ptr<media::Filter>> shownFilters;

private:
    ScriptedUi& ui_;
};

// Binds the named encoders (nullptr: leave that kind alone) as the chosen
// compressors and turns them on in `output`; a failure when one is missing.
void UseCompressors(OutputSettings& output, const char* video, const char* audio);

} // namespace orvelin::test
