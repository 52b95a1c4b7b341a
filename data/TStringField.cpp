#include "TStringField.h"

QVariant TStringField::normalised(const QVariant &value) const
{
    const QString s = value.toString();
    return Size() > 0 && s.size() > Size() ? s.left(Size()) : s;
}

bool TStringField::IsValidChar(QChar) const
{
    return FieldKind() == TFieldKind::fkData;
}
