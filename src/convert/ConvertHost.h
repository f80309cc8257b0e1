#pragma once

#include "convert/MainState.h"
#include "media/Filter.h"

#include <QString>
#include <memory>
#include <vector>

class QWidget;

namespace orvelin {

class UiServices;

// What the conversion needs of the main window: its state, its UI services,
// the window that owns the conversion's message boxes, and the controls the
// conversion changes. The main window implements it; tests script it.
class ConvertHost {
public:
    virtual ~ConvertHost() = default;

    virtual MainState& State() = 0;
    virtual UiServices& Ui() = 0;
    // The main window: owner of the message boxes that have one.
    virtual QWidget* OwnerWidget() = 0;

    // The caption of the Convert button (control 1000).
    virtual void SetConvertButtonText(const QString& text) = 0;
    // The text of the output information line (control 1021).
    virtual void SetStatusText(const QString& text) = 0;
    // Disables / enables Open Video (1006), Options (1003), Start Time (1062)
    // and End Time (1063).
    virtual void DisableEditControls() = 0;
    virtual void EnableEditControls() = 0;
    // While a job is set up the event loop runs: every command of the window
    // is refused and its buttons are disabled; false puts them back as they
    // were.
    virtual void BlockCommands(bool /*block*/) {}

    // Shows the filters of an output graph that is about to run, with their
    // settings, modally ("Set Filter's Properties"). The default shows the
    // filter properties dialog over the main window.
    // How much of the marked stretch is converted, 0..100, once a second
    // while a job runs; -1 when the job has ended.
    virtual void ShowConversionProgress(int percent) { (void)percent; }
    // A job has ended, with its file written (`succeeded`) or not;
    // `statusText` is what the status line now says, in the user's language.
    virtual void ConversionEnded(const QString& statusText, bool succeeded) {
        (void)statusText;
        (void)succeeded;
    }
    // The caption of the timeline Preview button (control 1019).
    virtual void SetTimelinePreviewButtonText(const QString& text) { (void)text; }

    virtual void ShowFilterProperties(const std::vector<std::shared_ptr<media::Filter>>& filters);
};

} // namespace orvelin
