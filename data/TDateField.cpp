#include "TDateField.h"

#include "Clock.h"
#include "EDatabaseError.h"
#include "FieldText.h"
#include "TDataSet.h"

QString TDateField::DisplayText() const
{
    const QDate d = AsDate();
    return d.isValid() ? FieldText::formatDate(d, FormatSettings()) : QString();
}

void TDateField::setAsString(const QString &text)
{
    if (text.isEmpty()) {
        setValue(QVariant());
        return;
    }
    checkAssignable();
    const std::optional<QDate> d = FieldText::parseDate(text, FormatSettings(), Clock::today());
    if (!d)
        throw EDatabaseError(QStringLiteral("'%1' is not a valid date").arg(text));
    setValue(*d);
}
