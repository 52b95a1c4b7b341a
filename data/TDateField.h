#pragma once

#include "TField.h"

// A calendar date, shown in the user's short date format and read back with
// the date syntax.
class TDateField : public TField
{
public:
    TDateField(TDataSet *dataSet, const QString &fieldName) : TField(dataSet, fieldName, TFieldType::Date, TFieldKind::fkData) {}

    QString DisplayText() const override;
    void setAsString(const QString &text) override;

protected:
    QVariant normalised(const QVariant &value) const override { return value.toDate(); }
};
