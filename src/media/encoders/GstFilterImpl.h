#pragma once

// The GStreamer side of a filter; included by code of the media seam only.

#include "media/Filter.h"

#include <QSet>
#include <QString>
#include <gst/gst.h>

namespace orvelin::media {

class GstFilter final : public Filter {
public:
    // `native` is the element a pipeline takes (an encoder or a bin around
    // one); `target` the element whose properties are shown and set (native
    // itself or a child of it). Both references are taken here. `pinned`
    // names properties that keep the value they have now: they are not
    // listed, set or restored.
    GstFilter(GstElement* native, GstElement* target, QString longName, QSet<QString> pinned = {});
    ~GstFilter() override;
    GstFilter(const GstFilter&) = delete;
    GstFilter& operator=(const GstFilter&) = delete;

    QString FactoryName() const override;
    QString LongName() const override { return longName_; }
    QString Name() const override;
    HRESULT SetName(const QString& name) override;

    std::vector<FilterProperty> Properties() const override;
    HRESULT SetProperty(const QString& name, const QString& value) override;
    QString GetProperty(const QString& name) const override;

    QString SerializeState() const override;
    HRESULT RestoreState(const QString& state) override;

    void* NativeElement() const override { return native_; }

private:
    // The property's description when `name` is one of the editable properties.
    GParamSpec* EditableSpec(const QString& name) const;
    bool Editable(GParamSpec* param) const;

    GstElement* native_ = nullptr;
    GstElement* target_ = nullptr;
    QString longName_;
    QSet<QString> pinned_;
};

// Text of a property value, as Properties() and GetProperty() give it.
QString PropertyValueText(GParamSpec* param, const GValue* value);
// Reads a text into `value` (initialised to the property's type); false when the
// text is not a valid value of the property.
bool PropertyValueFromText(GParamSpec* param, const QString& text, GValue* value);

} // namespace orvelin::media
