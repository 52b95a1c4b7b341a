#pragma once

#include "TField.h"

// A 32-bit signed whole number, written in decimal digits.
class TIntegerField : public TField
{
public:
    TIntegerField(TDataSet *dataSet, const QString &fieldName) : TIntegerField(dataSet, fieldName, TFieldType::Integer) {}

    QString DisplayText() const override;
    void setAsString(const QString &text) override;
    bool IsValidChar(QChar c) const override;

protected:
    TIntegerField(TDataSet *dataSet, const QString &fieldName, TFieldType type)
        : TField(dataSet, fieldName, type, TFieldKind::fkData) {}
    QVariant normalised(const QVariant &value) const override { return value.toInt(); }
};
