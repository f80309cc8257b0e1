#include "media/encoders/GstFilter.h"

#include "media/encoders/GstFilterImpl.h"

#include <QStringList>

namespace orvelin::media {

namespace {

bool SupportedType(GType type) {
    switch (G_TYPE_FUNDAMENTAL(type)) {
    case G_TYPE_BOOLEAN:
    case G_TYPE_INT:
    case G_TYPE_UINT:
    case G_TYPE_LONG:
    case G_TYPE_ULONG:
    case G_TYPE_INT64:
    case G_TYPE_UINT64:
    case G_TYPE_FLOAT:
    case G_TYPE_DOUBLE:
    case G_TYPE_ENUM:
    case G_TYPE_FLAGS:
    case G_TYPE_STRING:
        return true;
    default:
        return false;
    }
}

FilterProperty::Kind KindOf(GType type) {
    switch (G_TYPE_FUNDAMENTAL(type)) {
    case G_TYPE_BOOLEAN:
        return FilterProperty::Kind::Boolean;
    case G_TYPE_INT:
        return FilterProperty::Kind::Integer;
    case G_TYPE_UINT:
        return FilterProperty::Kind::UnsignedInteger;
    case G_TYPE_LONG:
    case G_TYPE_ULONG:
    case G_TYPE_INT64:
    case G_TYPE_UINT64:
        return FilterProperty::Kind::Integer64;
    case G_TYPE_FLOAT:
    case G_TYPE_DOUBLE:
        return FilterProperty::Kind::Double;
    case G_TYPE_ENUM:
        return FilterProperty::Kind::Enum;
    case G_TYPE_FLAGS:
        return FilterProperty::Kind::Flags;
    default:
        return FilterProperty::Kind::String;
    }
}

void FillRange(GParamSpec* param, FilterProperty& p) {
    switch (G_TYPE_FUNDAMENTAL(G_PARAM_SPEC_VALUE_TYPE(param))) {
    case G_TYPE_INT:
        p.minimum = G_PARAM_SPEC_INT(param)->minimum;
        p.maximum = G_PARAM_SPEC_INT(param)->maximum;
        break;
    case G_TYPE_UINT:
        p.minimum = G_PARAM_SPEC_UINT(param)->minimum;
        p.maximum = G_PARAM_SPEC_UINT(param)->maximum;
        break;
    case G_TYPE_LONG:
        p.minimum = static_cast<double>(G_PARAM_SPEC_LONG(param)->minimum);
        p.maximum = static_cast<double>(G_PARAM_SPEC_LONG(param)->maximum);
        break;
    case G_TYPE_ULONG:
        p.minimum = static_cast<double>(G_PARAM_SPEC_ULONG(param)->minimum);
        p.maximum = static_cast<double>(G_PARAM_SPEC_ULONG(param)->maximum);
        break;
    case G_TYPE_INT64:
        p.minimum = static_cast<double>(G_PARAM_SPEC_INT64(param)->minimum);
        p.maximum = static_cast<double>(G_PARAM_SPEC_INT64(param)->maximum);
        break;
    case G_TYPE_UINT64:
        p.minimum = static_cast<double>(G_PARAM_SPEC_UINT64(param)->minimum);
        p.maximum = static_cast<double>(G_PARAM_SPEC_UINT64(param)->maximum);
        break;
    case G_TYPE_FLOAT:
        p.minimum = G_PARAM_SPEC_FLOAT(param)->minimum;
        p.maximum = G_PARAM_SPEC_FLOAT(param)->maximum;
        break;
    case G_TYPE_DOUBLE:
        p.minimum = G_PARAM_SPEC_DOUBLE(param)->minimum;
        p.maximum = G_PARAM_SPEC_DOUBLE(param)->maximum;
        break;
    case G_TYPE_BOOLEAN:
        p.minimum = 0;
        p.maximum = 1;
        break;
    default:
        break;
    }
}

void FillValueNames(GParamSpec* param, FilterProperty& p) {
    const GType type = G_PARAM_SPEC_VALUE_TYPE(param);
    if (G_TYPE_FUNDAMENTAL(type) == G_TYPE_ENUM) {
        auto* klass = static_cast<GEnumClass*>(g_type_class_ref(type));
        for (guint i = 0; i < klass->n_values; ++i) {
            p.enumNicks << QString::fromUtf8(klass->values[i].value_nick);
            p.enumNames << QString::fromUtf8(klass->values[i].value_name);
        }
        g_type_class_unref(klass);
    } else if (G_TYPE_FUNDAMENTAL(type) == G_TYPE_FLAGS) {
        auto* klass = static_cast<GFlagsClass*>(g_type_class_ref(type));
        for (guint i = 0; i < klass->n_values; ++i) {
            if (klass->values[i].value == 0)
                continue; // "none" is the empty set, not a flag of its own
            p.enumNicks << QString::fromUtf8(klass->values[i].value_nick);
            p.enumNames << QString::fromUtf8(klass->values[i].value_name);
        }
        g_type_class_unref(klass);
    }
}

QString Escape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == '\\')
            out += QLatin1String("\\\\");
        else if (c == '\n')
            out += QLatin1String("\\n");
        else if (c == '\r')
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

QString Unescape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[++i];
        if (next == 'n')
            out += '\n';
        else if (next == 'r')
            out += '\r';
        else
            out += next;
    }
    return out;
}

QString LongNameOf(GstElement* element) {
    if (GstElementFactory* factory = gst_element_get_factory(element)) {
        if (const gchar* name =
                gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME))
            return QString::fromUtf8(name);
    }
    return QString::fromUtf8(G_OBJECT_TYPE_NAME(element));
}

} // namespace

GstFilter::GstFilter(GstElement* native, GstElement* target, QString longName, QSet<QString> pinned)
    : native_(GST_ELEMENT(gst_object_ref_sink(native))),
      target_(GST_ELEMENT(gst_object_ref(target))), longName_(std::move(longName)),
      pinned_(std::move(pinned)) {}

GstFilter::~GstFilter() {
    gst_object_unref(target_);
    gst_object_unref(native_);
}

QString GstFilter::FactoryName() const {
    if (GstElementFactory* factory = gst_element_get_factory(target_))
        return QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)));
    return QString::fromUtf8(G_OBJECT_TYPE_NAME(target_));
}

QString GstFilter::Name() const {
    gchar* name = gst_object_get_name(GST_OBJECT(native_));
    QString text = QString::fromUtf8(name);
    g_free(name);
    return text;
}

HRESULT GstFilter::SetName(const QString& name) {
    if (name.isEmpty())
        return E_INVALIDARG;
    // A filter that already sits in a graph keeps its name.
    return gst_object_set_name(GST_OBJECT(native_), name.toUtf8().constData()) ? S_OK : E_FAIL;
}

bool GstFilter::Editable(GParamSpec* param) const {
    const GParamFlags flags = param->flags;
    if (!(flags & G_PARAM_READABLE) || !(flags & G_PARAM_WRITABLE))
        return false;
    if (flags & (G_PARAM_CONSTRUCT_ONLY | G_PARAM_DEPRECATED))
        return false;
    const QString name = QString::fromUtf8(param->name);
    // The object's own name and parent belong to the graph, not to the filter's settings.
    if (name == QLatin1String("name") || name == QLatin1String("parent"))
        return false;
    return !pinned_.contains(name) && SupportedType(G_PARAM_SPEC_VALUE_TYPE(param));
}

GParamSpec* GstFilter::EditableSpec(const QString& name) const {
    GParamSpec* param =
        g_object_class_find_property(G_OBJECT_GET_CLASS(target_), name.toUtf8().constData());
    return param && Editable(param) ? param : nullptr;
}

std::vector<FilterProperty> GstFilter::Properties() const {
    std::vector<FilterProperty> list;
    guint count = 0;
    GParamSpec** params = g_object_class_list_properties(G_OBJECT_GET_CLASS(target_), &count);
    for (guint i = 0; i < count; ++i) {
        GParamSpec* param = params[i];
        if (!Editable(param))
            continue;
        FilterProperty p;
        p.name = QString::fromUtf8(param->name);
        p.blurb = QString::fromUtf8(g_param_spec_get_blurb(param));
        p.kind = KindOf(G_PARAM_SPEC_VALUE_TYPE(param));
        FillRange(param, p);
        FillValueNames(param, p);
        GValue value = G_VALUE_INIT;
        g_value_init(&value, G_PARAM_SPEC_VALUE_TYPE(param));
        g_object_get_property(G_OBJECT(target_), param->name, &value);
        p.value = PropertyValueText(param, &value);
        g_value_unset(&value);
        p.defaultValue = PropertyValueText(param, g_param_spec_get_default_value(param));
        list.push_back(std::move(p));
    }
    g_free(params);
    return list;
}

HRESULT GstFilter::SetProperty(const QString& name, const QString& text) {
    GParamSpec* param = EditableSpec(name);
    if (!param)
        return E_INVALIDARG;
    // Some settings only take effect before the filter starts streaming.
    const GstState state = GST_STATE(target_);
    if ((param->flags & GST_PARAM_MUTABLE_READY) && state > GST_STATE_READY)
        return E_UNEXPECTED;
    if ((param->flags & GST_PARAM_MUTABLE_PAUSED) && state > GST_STATE_PAUSED)
        return E_UNEXPECTED;
    GValue value = G_VALUE_INIT;
    g_value_init(&value, G_PARAM_SPEC_VALUE_TYPE(param));
    const bool parsed = PropertyValueFromText(param, text, &value);
    if (parsed)
        g_object_set_property(G_OBJECT(target_), param->name, &value);
    g_value_unset(&value);
    return parsed ? S_OK : E_INVALIDARG;
}

QString GstFilter::GetProperty(const QString& name) const {
    GParamSpec* param =
        g_object_class_find_property(G_OBJECT_GET_CLASS(target_), name.toUtf8().constData());
    if (!param || !(param->flags & G_PARAM_READABLE) ||
        !SupportedType(G_PARAM_SPEC_VALUE_TYPE(param)))
        return {};
    GValue value = G_VALUE_INIT;
    g_value_init(&value, G_PARAM_SPEC_VALUE_TYPE(param));
    g_object_get_property(G_OBJECT(target_), param->name, &value);
    QString text = PropertyValueText(param, &value);
    g_value_unset(&value);
    return text;
}

QString GstFilter::SerializeState() const {
    QString state;
    for (const FilterProperty& p : Properties())
        state += p.name + '=' + Escape(p.value) + '\n';
    return state;
}

HRESULT GstFilter::RestoreState(const QString& state) {
    bool skipped = false;
    for (const QString& line : state.split('\n', Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) {
            skipped = true;
            continue;
        }
        const QString name = line.left(eq);
        const QString value = Unescape(line.mid(eq + 1));
        if (!EditableSpec(name)) {
            skipped = true;
            continue;
        }
        // Only what differs is set: some elements act on every write.
        if (GetProperty(name) == value)
            continue;
        if (Failed(SetProperty(name, value)))
            skipped = true;
    }
    return skipped ? S_FALSE : S_OK;
}

std::shared_ptr<Filter> Filter::Create(const QString& factoryName, const QString& elementName) {
    if (!MediaPlatformInitialized() || factoryName.isEmpty())
        return nullptr;
    const QByteArray name = elementName.toUtf8();
    GstElement* element = gst_element_factory_make(
        factoryName.toUtf8().constData(), elementName.isEmpty() ? nullptr : name.constData());
    if (!element)
        return nullptr;
    auto filter = std::make_shared<GstFilter>(element, element, LongNameOf(element));
    return filter;
}

std::shared_ptr<Filter> WrapNativeElement(void* nativeElement) {
    if (!nativeElement || !GST_IS_ELEMENT(nativeElement))
        return nullptr;
    GstElement* element = GST_ELEMENT(nativeElement);
    return std::make_shared<GstFilter>(element, element, LongNameOf(element));
}

std::vector<std::shared_ptr<Filter>> ListBinFilters(void* nativeBin) {
    std::vector<std::shared_ptr<Filter>> filters;
    if (!nativeBin || !GST_IS_BIN(nativeBin))
        return filters;
    GstIterator* it = gst_bin_iterate_elements(GST_BIN(nativeBin));
    GValue item = G_VALUE_INIT;
    bool done = false;
    while (!done) {
        switch (gst_iterator_next(it, &item)) {
        case GST_ITERATOR_OK:
            filters.push_back(WrapNativeElement(g_value_get_object(&item)));
            g_value_reset(&item);
            break;
        case GST_ITERATOR_RESYNC:
            filters.clear();
            gst_iterator_resync(it);
            break;
        case GST_ITERATOR_ERROR:
            filters.push_back(nullptr);
            done = true;
            break;
        case GST_ITERATOR_DONE:
            done = true;
            break;
        }
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return filters;
}

} // namespace orvelin::media
