#pragma once

#include "media/Filter.h"

#include <QString>
#include <vector>

namespace orvelin {

// A setting that decides the result of an encoder (its bit rate or quality,
// speed, keyframe distance, profile), shown first and plainly named in the
// property editor.
struct KeySetting {
    QString property; // the element's property name
    QString label;    // what the editor calls it, with its unit
};

// The key settings of an encoder factory, most important first; empty for a
// factory without any (the editor then shows only the full list). Properties
// the encoder of this system does not have are left out by the editor.
std::vector<KeySetting> KeySettingsOf(const QString& factoryName);

// The property's description for a tooltip: the element's text without the
// placeholders some elements give instead of one ("(null)"), then the
// default value.
QString PropertyTooltip(const media::FilterProperty& property);

// True when the property's value is the one that stands for "not set" (the
// largest value of a 64-bit property whose default it is, as time properties
// use).
bool IsUnsetValue(const media::FilterProperty& property, const QString& value);

} // namespace orvelin
