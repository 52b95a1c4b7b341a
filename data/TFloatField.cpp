#include "TFloatField.h"

#include "EDatabaseError.h"
#include "FieldText.h"
#include "TDataSet.h"

QString TFloatField::DisplayText() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return QString();
    return FieldText::formatGeneral(v.toDouble(), FormatSettings());
}

void TFloatField::setAsString(const QString &text)
{
    if (text.isEmpty()) {
        setValue(QVariant());
        return;
    }
    checkAssignable();
    const std::optional<double> v = FieldText::parseFloat(text, FormatSettings());
    if (!v || !FieldText::fitsAmount(*v))
        throw EDatabaseError(conversionError(text, "floating point"));
    setValue(*v);
}

QVariant TFloatField::normalised(const QVariant &value) const
{
    const double v = value.toDouble();
    if (!FieldText::fitsAmount(v))
        throw EDatabaseError(conversionError(FieldText::formatGeneral(v, FormatSettings()), "floating point"));
    return v;
}

bool TFloatField::IsValidChar(QChar c) const
{
    return c == QLatin1Char('+') || c == QLatin1Char('-') || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           c == QLatin1Char('E') || c == QLatin1Char('e') || c == FormatSettings().DecimalSeparator;
}
