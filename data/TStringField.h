#pragma once

#include "TField.h"

// Text of at most Size characters: a longer text keeps its first Size
// characters. As a lookup field (fkLookup) it shows the result field of the
// lookup table's record whose key matches, and cannot be assigned.
class TStringField : public TField
{
public:
    TStringField(TDataSet *dataSet, const QString &fieldName, int size, TFieldKind kind = TFieldKind::fkData)
        : TField(dataSet, fieldName, TFieldType::String, kind)
    {
        setSize(size);
    }

    bool IsValidChar(QChar c) const override;

protected:
    QVariant normalised(const QVariant &value) const override;
};
