#include "TStringField.h"

#include "FieldText.h"

// The size counts characters, not 16-bit units: a character outside the
// basic plane is kept whole or dropped whole, never cut in half.
QVariant TStringField::normalised(const QVariant &value) const
{
    const QString s = value.toString();
    return Size() > 0 && s.size() > Size() ? FieldText::leftCharacters(s, Size()) : s;
}

bool TStringField::IsValidChar(QChar) const
{
    return FieldKind() == TFieldKind::fkData;
}
