#pragma once

#include "TField.h"

// A double-precision amount. Shown in the general number format; text is
// read with the number syntax and the user's decimal separator. Amounts of
// magnitude 1E15 or more are refused.
class TFloatField : public TField
{
public:
    TFloatField(TDataSet *dataSet, const QString &fieldName) : TField(dataSet, fieldName, TFieldType::Float, TFieldKind::fkData) {}

    QString DisplayText() const override;
    void setAsString(const QString &text) override;
    bool IsValidChar(QChar c) const override;

protected:
    // An amount must fit (FieldText::fitsAmount); a larger one is refused
    // with the field's conversion message.
    QVariant normalised(const QVariant &value) const override;
};
