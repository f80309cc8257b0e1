// Property values as text and back: what the property editor shows and what a
// filter's saved state holds.
#include "media/encoders/GstFilterImpl.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>

namespace orvelin::media {

namespace {

QString DoubleText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, static_cast<int>(result.ptr - buffer));
}

QString FloatText(float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, static_cast<int>(result.ptr - buffer));
}

bool ParseSigned(const QString& text, qint64 minimum, qint64 maximum, qint64& out) {
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok, 10);
    if (!ok || value < minimum || value > maximum)
        return false;
    out = value;
    return true;
}

bool ParseUnsigned(const QString& text, quint64 minimum, quint64 maximum, quint64& out) {
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith('-'))
        return false;
    bool ok = false;
    const quint64 value = trimmed.toULongLong(&ok, 10);
    if (!ok || value < minimum || value > maximum)
        return false;
    out = value;
    return true;
}

bool ParseDouble(const QString& text, double minimum, double maximum, double& out) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok); // QString reads the C format
    if (!ok || std::isnan(value) || value < minimum || value > maximum)
        return false;
    out = value;
    return true;
}

bool ParseBoolean(const QString& text, bool& out) {
    const QString t = text.trimmed().toLower();
    if (t == "true" || t == "1" || t == "yes" || t == "on") {
        out = true;
        return true;
    }
    if (t == "false" || t == "0" || t == "no" || t == "off") {
        out = false;
        return true;
    }
    return false;
}

// One enum value by nick, name or number.
const GEnumValue* FindEnumValue(GEnumClass* klass, const QString& text) {
    const QByteArray utf8 = text.trimmed().toUtf8();
    if (const GEnumValue* v = g_enum_get_value_by_nick(klass, utf8.constData()))
        return v;
    if (const GEnumValue* v = g_enum_get_value_by_name(klass, utf8.constData()))
        return v;
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    return ok ? g_enum_get_value(klass, number) : nullptr;
}

bool ParseFlags(GFlagsClass* klass, const QString& text, guint& out) {
    guint result = 0;
    const QString trimmed = text.trimmed();
    if (!trimmed.isEmpty()) {
        static const QRegularExpression separators(QStringLiteral("[+|,]"));
        for (const QString& part : trimmed.split(separators)) {
            const QByteArray utf8 = part.trimmed().toUtf8();
            if (utf8.isEmpty())
                return false;
            if (const GFlagsValue* v = g_flags_get_value_by_nick(klass, utf8.constData())) {
                result |= v->value;
                continue;
            }
            if (const GFlagsValue* v = g_flags_get_value_by_name(klass, utf8.constData())) {
                result |= v->value;
                continue;
            }
            bool ok = false;
            const uint number = part.trimmed().toUInt(&ok, 0);
            if (!ok)
                return false;
            result |= number;
        }
    }
    if ((result & ~klass->mask) != 0)
        return false;
    out = result;
    return true;
}

} // namespace

QString PropertyValueText(GParamSpec* param, const GValue* value) {
    const GType type = G_PARAM_SPEC_VALUE_TYPE(param);
    switch (G_TYPE_FUNDAMENTAL(type)) {
    case G_TYPE_BOOLEAN:
        return g_value_get_boolean(value) ? QStringLiteral("true") : QStringLiteral("false");
    case G_TYPE_INT:
        return QString::number(g_value_get_int(value));
    case G_TYPE_UINT:
        return QString::number(g_value_get_uint(value));
    case G_TYPE_LONG:
        return QString::number(static_cast<qint64>(g_value_get_long(value)));
    case G_TYPE_ULONG:
        return QString::number(static_cast<quint64>(g_value_get_ulong(value)));
    case G_TYPE_INT64:
        return QString::number(static_cast<qint64>(g_value_get_int64(value)));
    case G_TYPE_UINT64:
        return QString::number(static_cast<quint64>(g_value_get_uint64(value)));
    case G_TYPE_FLOAT:
        return FloatText(g_value_get_float(value));
    case G_TYPE_DOUBLE:
        return DoubleText(g_value_get_double(value));
    case G_TYPE_ENUM: {
        GEnumClass* klass = static_cast<GEnumClass*>(g_type_class_ref(type));
        const int number = g_value_get_enum(value);
        const GEnumValue* v = g_enum_get_value(klass, number);
        QString text = v ? QString::fromUtf8(v->value_nick) : QString::number(number);
        g_type_class_unref(klass);
        return text;
    }
    case G_TYPE_FLAGS: {
        GFlagsClass* klass = static_cast<GFlagsClass*>(g_type_class_ref(type));
        guint rest = g_value_get_flags(value);
        QStringList names;
        for (guint i = 0; i < klass->n_values && rest != 0; ++i) {
            const GFlagsValue& v = klass->values[i];
            if (v.value != 0 && (rest & v.value) == v.value) {
                names << QString::fromUtf8(v.value_nick);
                rest &= ~v.value;
            }
        }
        if (rest != 0)
            names << QStringLiteral("0x%1").arg(rest, 0, 16);
        g_type_class_unref(klass);
        return names.join('+');
    }
    case G_TYPE_STRING:
        return QString::fromUtf8(g_value_get_string(value));
    default:
        return {};
    }
}

bool PropertyValueFromText(GParamSpec* param, const QString& text, GValue* value) {
    const GType type = G_PARAM_SPEC_VALUE_TYPE(param);
    switch (G_TYPE_FUNDAMENTAL(type)) {
    case G_TYPE_BOOLEAN: {
        bool b = false;
        if (!ParseBoolean(text, b))
            return false;
        g_value_set_boolean(value, b);
        return true;
    }
    case G_TYPE_INT: {
        const auto* s = G_PARAM_SPEC_INT(param);
        qint64 v = 0;
        if (!ParseSigned(text, s->minimum, s->maximum, v))
            return false;
        g_value_set_int(value, static_cast<gint>(v));
        return true;
    }
    case G_TYPE_UINT: {
        const auto* s = G_PARAM_SPEC_UINT(param);
        quint64 v = 0;
        if (!ParseUnsigned(text, s->minimum, s->maximum, v))
            return false;
        g_value_set_uint(value, static_cast<guint>(v));
        return true;
    }
    case G_TYPE_LONG: {
        const auto* s = G_PARAM_SPEC_LONG(param);
        qint64 v = 0;
        if (!ParseSigned(text, s->minimum, s->maximum, v))
            return false;
        g_value_set_long(value, static_cast<glong>(v));
        return true;
    }
    case G_TYPE_ULONG: {
        const auto* s = G_PARAM_SPEC_ULONG(param);
        quint64 v = 0;
        if (!ParseUnsigned(text, s->minimum, s->maximum, v))
            return false;
        g_value_set_ulong(value, static_cast<gulong>(v));
        return true;
    }
    case G_TYPE_INT64: {
        const auto* s = G_PARAM_SPEC_INT64(param);
        qint64 v = 0;
        if (!ParseSigned(text, s->minimum, s->maximum, v))
            return false;
        g_value_set_int64(value, v);
        return true;
    }
    case G_TYPE_UINT64: {
        const auto* s = G_PARAM_SPEC_UINT64(param);
        quint64 v = 0;
        if (!ParseUnsigned(text, s->minimum, s->maximum, v))
            return false;
        g_value_set_uint64(value, v);
        return true;
    }
    case G_TYPE_FLOAT: {
        const auto* s = G_PARAM_SPEC_FLOAT(param);
        double v = 0;
        if (!ParseDouble(text, s->minimum, s->maximum, v))
            return false;
        g_value_set_float(value, static_cast<float>(v));
        return true;
    }
    case G_TYPE_DOUBLE: {
        const auto* s = G_PARAM_SPEC_DOUBLE(param);
        double v = 0;
        if (!ParseDouble(text, s->minimum, s->maximum, v))
            return false;
        g_value_set_double(value, v);
        return true;
    }
    case G_TYPE_ENUM: {
        GEnumClass* klass = static_cast<GEnumClass*>(g_type_class_ref(type));
        const GEnumValue* v = FindEnumValue(klass, text);
        if (v)
            g_value_set_enum(value, v->value);
        g_type_class_unref(klass);
        return v != nullptr;
    }
    case G_TYPE_FLAGS: {
        GFlagsClass* klass = static_cast<GFlagsClass*>(g_type_class_ref(type));
        guint flags = 0;
        const bool ok = ParseFlags(klass, text, flags);
        if (ok)
            g_value_set_flags(value, flags);
        g_type_class_unref(klass);
        return ok;
    }
    case G_TYPE_STRING:
        g_value_set_string(value, text.toUtf8().constData());
        return true;
    default:
        return false;
    }
}

} // namespace orvelin::media
