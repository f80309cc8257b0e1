#pragma once

#include "media/MediaPlatform.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace orvelin::media {

// One writable setting of a filter, as the property editor shows it.
struct FilterProperty {
    enum class Kind { Boolean, Integer, UnsignedInteger, Integer64, Double, Enum, Flags, String };
    QString name;  // the element's property name
    QString blurb; // a readable description
    Kind kind = Kind::Integer;
    double minimum = 0.0;
    double maximum = 0.0;
    QString value;         // current value as text
    QString defaultValue;  // as text
    QStringList enumNicks; // Enum/Flags: the value names, in order
    QStringList enumNames; // Enum/Flags: readable names, same order
};

// A created media element (an encoder, a multiplexer...): the program's
// counterpart of a bound filter object. Shared ownership; the element is
// released when the last owner lets go.
class Filter {
public:
    // Creates an element of the factory; nullptr when the factory is missing
    // or the element cannot be made.
    static std::shared_ptr<Filter> Create(const QString& factoryName,
                                          const QString& elementName = QString());
    virtual ~Filter() = default;

    virtual QString FactoryName() const = 0;
    // The factory's long name, as shown in lists.
    virtual QString LongName() const = 0;
    virtual QString Name() const = 0;
    virtual HRESULT SetName(const QString& name) = 0;

    // Writable properties with their types, ranges and current values.
    virtual std::vector<FilterProperty> Properties() const = 0;
    virtual HRESULT SetProperty(const QString& name, const QString& value) = 0;
    virtual QString GetProperty(const QString& name) const = 0;

    // All writable property values as one text, and back.
    virtual QString SerializeState() const = 0;
    virtual HRESULT RestoreState(const QString& state) = 0;

    // The GstElement* behind the filter; for code inside the media seam only.
    virtual void* NativeElement() const = 0;
};

} // namespace orvelin::media
