#include "TIntegerField.h"

#include "EDatabaseError.h"
#include "FieldText.h"
#include "TDataSet.h"

QString TIntegerField::DisplayText() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return QString();
    return QString::number(AsInteger());
}

void TIntegerField::setAsString(const QString &text)
{
    if (text.isEmpty()) {
        setValue(QVariant());
        return;
    }
    checkAssignable();
    const std::optional<qint32> v = FieldText::parseInteger(text);
    if (!v)
        throw EDatabaseError(conversionError(text, "integer"));
    setValue(*v);
}

bool TIntegerField::IsValidChar(QChar c) const
{
    return c == QLatin1Char('+') || c == QLatin1Char('-') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}
