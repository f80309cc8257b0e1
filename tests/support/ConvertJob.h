#pragma once

// Conversions of generated sources as the program runs them: sources made
// with gst-launch (numbered frames, tones), a job that opens a source as
// Open Video does and converts it, and independent readings of the output
// (frames, sound, pitch).

#include "convert/ConversionController.h"
#include "media/Timeline.h"
#include "support/ConvertTestHost.h"
#include "support/TestEnv.h"

#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <vector>

namespace orvelin::test {

// Frame n: the upper half holds n as eight black or white bars (lowest bit
// on the left); the lower half is grey.
QImage NumberedFrame(int n, int width, int height);
// The number a frame carries; -1 when the bars cannot be read.
int FrameNumber(const QImage& image);

// Source files shared by the tests of one program, in a folder of their own.
class Sources {
public:
    static Sources& Get();
    QString Path(const QString& name) const { return dir_.filePath(name); }

    // Writes numbered frames as pictures (once per size and count) and
    // gives the gst-launch source that plays them at `fps`.
    QString NumberedSource(int frames, int width, int height, const QString& fps);
    // Runs a gst-launch description once for `name` (@OUT@ is the file);
    // the path, or empty.
    QString Make(const QString& name, const QString& description);
    // A gst-launch branch: a stereo tone of `seconds` through `encoder`.
    static QString Tone(double seconds, const QString& encoder, int freq = 440, int rate = 44100);

private:
    QTemporaryDir dir_;
};

struct Job {
    TestEnv env;
    ConvertTestHost host{env.ui};
    ConversionController controller{host};

    // Opens `source` as Open Video does (the real probe), output into
    // `outputName` in the container `format`.
    Job(const QString& source, int32_t format, const QString& outputName);
    ~Job();

    void UseCompressors(const char* video, const char* audio);
    // Converts and waits for the end; false (with a failure) when it does
    // not end with "Done".
    bool Run();
    QString Output() const { return host.state.output.outputPath; }

    bool opened = false;
    media::REFERENCE_TIME probedLength = 0;
};

// The decoded frames of a file's video, in order.
std::vector<QImage> Frames(const QString& path, const QString& folder, int count = -1);
// The decoded sound of a file as 16-bit mono samples at 44.1 kHz.
std::vector<int16_t> Sound(const QString& path, const QString& rawPath);
// The pitch of a stretch of samples, from its zero crossings.
double Pitch(const std::vector<int16_t>& samples, size_t from, size_t count);

} // namespace orvelin::test
