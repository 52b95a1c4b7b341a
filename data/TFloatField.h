#pragma once

#include "TField.h"

// A double-precision amount. Shown in the general number format; text is
// read with the number syntax and the user's decimal separator.
class TFloatField : public TField
{
public:
    TFloatField(TDataSet *dataSet, const QString &fieldName) : TField(dataSet, fieldName, TFieldType::Float, TFieldKind::fkData) {}

    QString DisplayText() const override;
    void setAsString(const QString &text) override;
    bool IsValidChar(QChar c) const override;

protected:
    QVariant normalised(const QVariant &value) const override { return value.toDouble(); }
};
